// Job format recognition by signature.
#include "jobshaper/sniff.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "common/io.h"

namespace {

bool is_filler(unsigned char byte) {
  return byte == 0x04 || byte == 0x09 || byte == 0x0A || byte == 0x0D || byte == 0x20;
}

void say(bool verbose, const char* text) {
  if (verbose) std::fputs(text, stderr);
}

}  // namespace

int sniff(int fd, bool verbose, std::string* consumed) {
  unsigned char first = 0;
  for (;;) {
    ssize_t n = read_retry(fd, &first, 1);
    if (n <= 0) return SNIFF_PCL;
    if (consumed) consumed->push_back(static_cast<char>(first));
    if (!is_filler(first)) break;
  }
  unsigned char next[5] = {0, 0, 0, 0, 0};
  ssize_t got = read_retry(fd, next, sizeof next);
  if (got > 0 && consumed)
    consumed->append(reinterpret_cast<char*>(next), static_cast<size_t>(got));
  if (got < 3) {
    say(verbose, "Too small, return pcl\n");
    return SNIFF_PCL;
  }
  if (verbose) {
    std::fprintf(stderr, "SNIFFING - [ %x %x %x %x %x ]\n\n", first, next[0], next[1], next[2],
                 next[3]);
  }
  const char* n = reinterpret_cast<const char*>(next);
  struct Signature {
    bool matches;
    const char* message;
    int kind;
  };
  const Signature signatures[] = {
      {first == 0xFF && next[0] == 0xD8, "JPEG File detected.\n", SNIFF_IMAGE},
      {first == '<' && strncasecmp(n, "!DOC", 4) == 0, "HMTL - DOCTYPE detected.\n", SNIFF_IMAGE},
      {first == '<' && strncasecmp(n, "htm", 3) == 0, "HMTL - HTML detected.\n", SNIFF_IMAGE},
      {first == '<' && strncasecmp(n, "titl", 4) == 0, "HMTL - Title detected.\n", SNIFF_IMAGE},
      {first == '<' && strncasecmp(n, "head", 4) == 0, "HMTL - HEAD detected.\n", SNIFF_IMAGE},
      {first == '%' && std::memcmp(n, "PDF-", 4) == 0, "PDF file detected.\n", SNIFF_IMAGE},
      {first >= 0x02 && first <= 0x05 && next[0] == 0x01, "PCX File detected.\n", SNIFF_IMAGE},
      {first == 0xB1 && next[0] == 'h' && next[1] == 0xDE && next[2] == ':', "DCX File detected.\n",
       SNIFF_IMAGE},
      {first == 0x89 && std::memcmp(n, "PNG", 3) == 0, "PNG File detected.\n", SNIFF_IMAGE},
      {(first == 'M' && next[0] == 'M' && next[1] == 0x00 && next[2] == '*') ||
           (first == 'I' && next[0] == 'I' && next[1] == '*' && next[2] == 0x00),
       "TIFF File detected.\n", SNIFF_IMAGE},
      {first == 'B' && next[0] == 'M', "BMP File detected.\n", SNIFF_IMAGE},
      {first == 'G' && std::memcmp(n, "IF8", 3) == 0, "GIF File detected.\n", SNIFF_IMAGE},
      {first == 'P' && next[0] == 'K' && next[1] == 0x03 && next[2] == 0x04, "XPS File detected.\n",
       SNIFF_IMAGE},
      {first == '%' && next[0] == '!', "POSTSCRIPT File detected.\n", SNIFF_POSTSCRIPT},
  };
  for (const Signature& signature : signatures) {
    if (signature.matches) {
      say(verbose, signature.message);
      return signature.kind;
    }
  }
  say(verbose, "File type not detected, defaulting to PCL type.\n");
  return SNIFF_PCL;
}
