// Text encoding conversion of job titles and printer descriptions with the
// system's character set converter.
#include "jobshaper/encode.h"

#include <errno.h>
#include <iconv.h>

#include <cstring>
#include <string_view>

#include "common/debug_trace.h"

namespace {

#define TRACE(...) debug_trace().print_any(__VA_ARGS__)

enum class Language { TRADITIONAL_CHINESE, SIMPLIFIED_CHINESE, JAPANESE, KOREAN, OTHER };

Language language_of(std::string_view locale) {
  auto has = [&](std::string_view part) { return locale.find(part) != std::string_view::npos; };
  if (has("zh_TW") || has("zh_HK")) return Language::TRADITIONAL_CHINESE;
  if (has("zh")) return Language::SIMPLIFIED_CHINESE;
  if (has("ja")) return Language::JAPANESE;
  if (has("ko")) return Language::KOREAN;
  return Language::OTHER;
}

const char* native_encoding(Language language) {
  switch (language) {
    case Language::TRADITIONAL_CHINESE:
      return "big5";
    case Language::SIMPLIFIED_CHINESE:
      return "gbk";
    case Language::JAPANESE:
      return "eucJP";
    case Language::KOREAN:
      return "EUC-KR";
    case Language::OTHER:
      break;
  }
  return "iso88591";
}

// The encoding a banner program expects for a UTF-8 text of the language.
const char* banner_encoding(Language language) {
  return language == Language::JAPANESE ? "SJIS" : native_encoding(language);
}

struct Conversion {
  const char* from = nullptr;
  const char* to = nullptr;
};

Conversion choose(const char* locale, int is_banner, int codeset_flag) {
  Language language = language_of(locale);
  bool utf8 = std::strstr(locale, "UTF-8") != nullptr;
  if (is_banner == 1) {
    if (utf8) return {"UTF-8", banner_encoding(language)};
    if (language == Language::JAPANESE) return {"eucJP", "SJIS"};
    TRACE("Encodeit ( Banner + NOT-JA & NOT-UTF8, skip! )\n\n");
    return {};
  }
  if (is_banner != 0) return {};
  if (codeset_flag == 1) {
    if (utf8) {
      TRACE("Encodeit ( Not Banner + UTF8 + CODESET_UTF8, skip! )\n\n");
      return {};
    }
    return {native_encoding(language), "UTF-8"};
  }
  if (utf8) {
    if (language == Language::OTHER) return {"UTF-8", "IBM850"};
    TRACE("Encodeit ( Not Banner + Not NON_DBCS + IS-UTF, skip! )\n\n");
    return {};
  }
  if (language == Language::OTHER) return {"iso88591", "IBM850"};
  return {native_encoding(language), "UTF-8"};
}

// Owns a converter descriptor.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  // iconv_open reports failure with the handle value -1, an integer made a pointer.
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

void Encodeit(std::string& text, const char* locale, int is_banner, int codeset_flag) {
  if (!locale) {
    TRACE("\nEncodeit ( lang is null )\n");
    return;
  }
  TRACE("\nEncodeit ( %s, is_banner=", locale);
  TRACE(is_banner == 1 ? "yes )\n" : "no )\n");
  Conversion conversion = choose(locale, is_banner, codeset_flag);
  if (!conversion.from) return;

  TRACE("Encodeit ( Converting from %s to %s )\n", conversion.from, conversion.to);
  Converter converter(conversion.to, conversion.from);
  if (!converter.ok()) {
    TRACE("Encodeit ( ERROR - iconv doesn't know %s or %s encoding.! Skip encoding. )\n\n",
          conversion.from, conversion.to);
    return;
  }

  // The text up to its terminating zero, converted into at most ENCODE_LIMIT bytes.
  std::string input = text.substr(0, text.find('\0'));
  char output[ENCODE_LIMIT + 1];
  char* in = input.data();
  size_t in_left = input.size();
  char* out = output;
  size_t out_left = ENCODE_LIMIT;
  bool failed = iconv(converter.get(), &in, &in_left, &out, &out_left) == static_cast<size_t>(-1);
  // Stateful encodings end with the sequence that returns to the initial state.
  if (!failed)
    failed = iconv(converter.get(), nullptr, nullptr, &out, &out_left) == static_cast<size_t>(-1);
  int error = errno;
  *out = '\0';
  if (failed) {
    TRACE("Encodeit ( OLD LINE = %s )\n", input.c_str());
    TRACE("Encodeit ( NEW LINE = %s )\n", output);
    TRACE("Encodeit ( ERROR [ %d ] - iconv failed to convert all characters.! Skip encoding. )\n\n",
          error);
    return;
  }
  TRACE("Encodeit ( OLD LINE = %s )\n", input.c_str());
  text.assign(output, static_cast<size_t>(out - output));
  TRACE("Encodeit ( NEW LINE = __ %s __ )\n", text.c_str());
  TRACE("Encodeit ( SUCCESS )\n\n");
}
