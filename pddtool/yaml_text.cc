// Writing the strings of a compiled PDD as YAML scalars, and reading !bytes texts.
#include "pddtool/yaml_text.h"

#include <cstdint>

#include "common/format.h"

namespace pddtool {

namespace {

// The length of the well-formed UTF-8 sequence at `pos` (its character in *cp),
// or 0.
size_t decode_utf8(std::string_view s, size_t pos, uint32_t* cp) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char first = byte(pos);
  if (first < 0x80) {
    *cp = first;
    return 1;
  }
  size_t length = 0;
  uint32_t smallest = 0;
  if (first >= 0xc2 && first <= 0xdf) {
    length = 2;
    *cp = first & 0x1f;
    smallest = 0x80;
  } else if (first >= 0xe0 && first <= 0xef) {
    length = 3;
    *cp = first & 0x0f;
    smallest = 0x800;
  } else if (first >= 0xf0 && first <= 0xf4) {
    length = 4;
    *cp = first & 0x07;
    smallest = 0x10000;
  } else {
    return 0;
  }
  if (pos + length > s.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xc0) != 0x80) return 0;
    *cp = *cp << 6 | (byte(pos + i) & 0x3f);
  }
  if (*cp < smallest || *cp > 0x10ffff || (*cp >= 0xd800 && *cp <= 0xdfff)) return 0;
  return length;
}

// Characters a YAML file may hold as they are (outside the ASCII controls).
bool printable(uint32_t cp) {
  if (cp < 0x80) return cp >= 0x20 && cp != 0x7f;
  if (cp < 0xa0) return false;  // the C1 controls, NEL among them
  return cp != 0x2028 && cp != 0x2029 && cp != 0xfeff && cp != 0xfffe && cp != 0xffff;
}

// Texts that a plain scalar holds unchanged: printable ASCII without the
// characters that start or end YAML structures, and not a word YAML reads as null.
bool plain_safe(std::string_view s) {
  if (s.empty() || s.front() == ' ' || s.back() == ' ') return false;
  if (s == "~" || s == "null" || s == "Null" || s == "NULL") return false;
  constexpr std::string_view kNoStart = "-?:,[]{}#&*!|>'\"%@`";
  if (kNoStart.find(s.front()) != std::string_view::npos) return false;
  for (char c : s) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7e || c == ':' || c == '#') return false;
  }
  return true;
}

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xc0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xe0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3f));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  }
}

// One character of a double-quoted scalar.
void append_escaped(std::string& out, uint32_t cp) {
  switch (cp) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      break;
  }
  if (cp < 0x100 && !printable(cp)) {
    out += strprintf("\\x%02X", static_cast<unsigned>(cp));
  } else if (!printable(cp)) {
    out += strprintf("\\u%04X", static_cast<unsigned>(cp));
  } else {
    append_utf8(out, cp);
  }
}

}  // namespace

size_t first_invalid_utf8(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    uint32_t cp = 0;
    size_t length = decode_utf8(text, pos, &cp);
    if (length == 0) return pos;
    pos += length;
  }
  return std::string_view::npos;
}

std::string yaml_text(std::string_view bytes) {
  if (first_invalid_utf8(bytes) != std::string_view::npos) {
    // Every byte is one character: ASCII as in any text, the others as \xNN.
    std::string out = std::string(BYTES_TAG) + " \"";
    for (char c : bytes) {
      auto byte = static_cast<unsigned char>(c);
      if (byte >= 0x80) {
        out += strprintf("\\x%02X", byte);
      } else {
        append_escaped(out, byte);
      }
    }
    return out + "\"";
  }
  if (plain_safe(bytes)) return std::string(bytes);
  bool all_printable = true;
  for (size_t pos = 0; pos < bytes.size();) {
    uint32_t cp = 0;
    pos += decode_utf8(bytes, pos, &cp);
    all_printable = all_printable && printable(cp);
  }
  if (all_printable) {
    std::string out = "'";
    for (char c : bytes) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
  }
  std::string out = "\"";
  for (size_t pos = 0; pos < bytes.size();) {
    uint32_t cp = 0;
    pos += decode_utf8(bytes, pos, &cp);
    append_escaped(out, cp);
  }
  return out + "\"";
}

bool bytes_from_text(std::string_view utf8, std::string* bytes) {
  bytes->clear();
  for (size_t pos = 0; pos < utf8.size();) {
    uint32_t cp = 0;
    size_t length = decode_utf8(utf8, pos, &cp);
    if (length == 0 || cp > 0xff) return false;
    bytes->push_back(static_cast<char>(cp));
    pos += length;
  }
  return true;
}

}  // namespace pddtool
