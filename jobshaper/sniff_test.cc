// Job format recognition by signature.
#include "jobshaper/sniff.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/support/capture.h"

namespace {

// Sniffs `job` through a pipe; gives the class and what was consumed.
int sniff_text(const std::string& job, std::string* consumed, bool verbose = false,
               std::string* rest = nullptr) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  EXPECT_EQ(write(fds[1], job.data(), job.size()), static_cast<ssize_t>(job.size()));
  close(fds[1]);
  int kind = sniff(fds[0], verbose, consumed);
  if (rest) {
    char buffer[64];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
      rest->append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  return kind;
}

TEST(Sniff, SignaturesDecideTheClass) {
  using namespace std::string_literals;
  struct Case {
    std::string job;
    int kind;
    const char* message;
  };
  const Case cases[] = {
      {"", SNIFF_PCL, ""},
      {" \n\t\r\n  ", SNIFF_PCL, ""},
      {"\n\n%!PS-Adobe-3.0", SNIFF_POSTSCRIPT, "POSTSCRIPT File detected.\n"},
      {"\x04%!PS", SNIFF_POSTSCRIPT, "POSTSCRIPT File detected.\n"},
      {"%!", SNIFF_PCL, "Too small, return pcl\n"},  // one byte after the first
      {"\xff\xd8\xff\xe0", SNIFF_IMAGE, "JPEG File detected.\n"},
      {"<!DOCTYPE html>", SNIFF_IMAGE, "HMTL - DOCTYPE detected.\n"},
      {"<HtMl>", SNIFF_IMAGE, "HMTL - HTML detected.\n"},
      {"<title>", SNIFF_IMAGE, "HMTL - Title detected.\n"},
      {"<HEAD>", SNIFF_IMAGE, "HMTL - HEAD detected.\n"},
      {"<body>", SNIFF_PCL, "File type not detected, defaulting to PCL type.\n"},
      {"%PDF-1.7", SNIFF_IMAGE, "PDF file detected.\n"},
      {"\x03\x01\x00\x00"s, SNIFF_IMAGE, "PCX File detected.\n"},
      {"\xb1h\xde:", SNIFF_IMAGE, "DCX File detected.\n"},
      {"\x89PNG\r\n", SNIFF_IMAGE, "PNG File detected.\n"},
      {"MM\x00*\x00"s, SNIFF_IMAGE, "TIFF File detected.\n"},
      {"II*\x00\x08"s, SNIFF_IMAGE, "TIFF File detected.\n"},
      {"BM6\x00"s, SNIFF_IMAGE, "BMP File detected.\n"},
      {"GIF89a", SNIFF_IMAGE, "GIF File detected.\n"},
      {"PK\x03\x04\x14"s, SNIFF_IMAGE, "XPS File detected.\n"},
      {"\x1b"
       "E\x1b&l0O",
       SNIFF_PCL, "File type not detected, defaulting to PCL type.\n"},
  };
  for (const Case& c : cases) {
    std::string consumed;
    StderrCapture err;
    EXPECT_EQ(sniff_text(c.job, &consumed, true), c.kind) << testing::PrintToString(c.job);
    std::string messages = err.text();
    // The verbose dump of the first bytes comes before the verdict.
    if (messages.rfind("SNIFFING - [ ", 0) == 0) messages.erase(0, messages.find("\n\n") + 2);
    EXPECT_EQ(messages, c.message) << testing::PrintToString(c.job);
  }
}

TEST(Sniff, ConsumedBytesAreCopiedInOrderZeroBytesIncluded) {
  using namespace std::string_literals;
  std::string consumed, rest;
  std::string job = "\r\n MM\x00*\x00\x00tail"s;
  EXPECT_EQ(sniff_text(job, &consumed, false, &rest), SNIFF_IMAGE);
  // The fillers, the first byte and five more.
  EXPECT_EQ(consumed, "\r\n MM\x00*\x00\x00"s);
  EXPECT_EQ(consumed + rest, job);
}

TEST(Sniff, QuietWithoutVerbose) {
  std::string consumed;
  StderrCapture err;
  EXPECT_EQ(sniff_text("%!PS", &consumed), SNIFF_POSTSCRIPT);
  EXPECT_EQ(sniff_text("%!", nullptr), SNIFF_PCL);
  EXPECT_EQ(err.text(), "");
}

}  // namespace
