// Conversion of titles between the encodings a queue's locale implies.
#include "jobshaper/encode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/debug_trace.h"

namespace {

// Points the debug file at a temporary file with debug number 2 while it lives.
class TraceCapture {
 public:
  TraceCapture() : saved_(debug_trace()) {
    file_ = std::tmpfile();
    debug_trace().level = DEBUG_LISTING;
    debug_trace().file = file_;
  }
  ~TraceCapture() {
    debug_trace() = saved_;
    std::fclose(file_);
  }
  std::string text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string out;
    int c;
    while ((c = std::fgetc(file_)) != EOF) out.push_back(static_cast<char>(c));
    return out;
  }

 private:
  FILE* file_;
  DebugTrace saved_;
};

// "Nihon" in three encodings.
const std::string kEucJp = "\xc6\xfc\xcb\xdc";
const std::string kSjis = "\x93\xfa\x96\x7b";
const std::string kUtf8Jp = "\xe6\x97\xa5\xe6\x9c\xac";

TEST(Encodeit, ConversionTable) {
  struct Case {
    const char* locale;
    int is_banner;
    int codeset;
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"ja_JP.eucJP", 0, 0, kEucJp, kUtf8Jp},
      {"ja_JP.eucJP", 1, 0, kEucJp, kSjis},
      {"ja_JP.UTF-8", 1, 0, kUtf8Jp, kSjis},
      {"ja_JP.UTF-8", 0, 0, kUtf8Jp, kUtf8Jp},  // a UTF-8 double-byte locale: left alone
      {"ja_JP.eucJP", 0, 1, kEucJp, kUtf8Jp},
      {"en_US.UTF-8", 0, 0, "caf\xc3\xa9", "caf\x82"},
      {"en_US.UTF-8", 0, 1, "caf\xc3\xa9", "caf\xc3\xa9"},
      {"en_US.UTF-8", 1, 0, "caf\xc3\xa9", "caf\xe9"},
      {"", 0, 0, "caf\xe9", "caf\x82"},  // no locale: Latin-1 to code page 850
      {"", 1, 0, "caf\xe9", "caf\xe9"},  // a banner title is left alone
      {"de_DE", 0, 1, "caf\xe9", "caf\xc3\xa9"},
      {"zh_HK.UTF-8", 1, 0, "\xe4\xb8\xad", "\xa4\xa4"},  // Traditional: big5
      {"zh_CN.UTF-8", 1, 0, "\xe4\xb8\xad", "\xd6\xd0"},  // Simplified: gbk
      {"kok_IN", 0, 0, "\xb0\xa1", "\xea\xb0\x80"},       // contains "ko": EUC-KR
      {"en_US", 2, 0, "caf\xe9", "caf\xe9"},              // no such banner flag
      {"ja_JP.eucJP", 0, 0, "\xc6", "\xc6"},              // incomplete: unchanged
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    Encodeit(text, c.locale, c.is_banner, c.codeset);
    EXPECT_EQ(text, c.out) << c.locale << " banner=" << c.is_banner << " codeset=" << c.codeset;
  }
}

TEST(Encodeit, TextsGrowingBeyondTheLimitStayAsTheyWere) {
  std::string fits(ENCODE_LIMIT / 2, '\xe9');  // each byte becomes two in UTF-8
  std::string too_long(ENCODE_LIMIT / 2 + 1, '\xe9');
  std::string text = fits;
  Encodeit(text, "de_DE", 0, 1);
  EXPECT_EQ(text.size(), ENCODE_LIMIT);
  text = too_long;
  TraceCapture trace;
  Encodeit(text, "de_DE", 0, 1);
  EXPECT_EQ(text, too_long);
  EXPECT_NE(trace.text().find("Encodeit ( ERROR [ 7 ] - iconv failed to convert all characters.! "
                              "Skip encoding. )\n\n"),
            std::string::npos);
}

TEST(Encodeit, TraceLines) {
  struct Case {
    const char* locale;
    int is_banner;
    int codeset;
    std::string in;
    std::string trace;
  };
  const Case cases[] = {
      {nullptr, 0, 0, "x", "\nEncodeit ( lang is null )\n"},
      {"en_US", 1, 0, "x",
       "\nEncodeit ( en_US, is_banner=yes )\nEncodeit ( Banner + NOT-JA & NOT-UTF8, skip! )\n\n"},
      {"en_US.UTF-8", 0, 1, "x",
       "\nEncodeit ( en_US.UTF-8, is_banner=no )\n"
       "Encodeit ( Not Banner + UTF8 + CODESET_UTF8, skip! )\n\n"},
      {"ko_KR.UTF-8", 0, 0, "x",
       "\nEncodeit ( ko_KR.UTF-8, is_banner=no )\n"
       "Encodeit ( Not Banner + Not NON_DBCS + IS-UTF, skip! )\n\n"},
      {"en_US", 0, 0, "\"caf\xe9\"",
       "\nEncodeit ( en_US, is_banner=no )\nEncodeit ( Converting from iso88591 to IBM850 )\n"
       "Encodeit ( OLD LINE = \"caf\xe9\" )\nEncodeit ( NEW LINE = __ \"caf\x82\" __ )\n"
       "Encodeit ( SUCCESS )\n\n"},
      {"ja_JP.eucJP", 0, 0, "\xc6",
       "\nEncodeit ( ja_JP.eucJP, is_banner=no )\nEncodeit ( Converting from eucJP to UTF-8 )\n"
       "Encodeit ( OLD LINE = \xc6 )\nEncodeit ( NEW LINE =  )\n"
       "Encodeit ( ERROR [ 22 ] - iconv failed to convert all characters.! Skip encoding. )\n\n"},
  };
  for (const Case& c : cases) {
    TraceCapture trace;
    std::string text = c.in;
    Encodeit(text, c.locale, c.is_banner, c.codeset);
    EXPECT_EQ(trace.text(), c.trace) << (c.locale ? c.locale : "null");
  }
}

}  // namespace
