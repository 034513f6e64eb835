// Rendering of the values that discovery's SNMP requests bring back.
#include "hostsweep/snmp_value.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr size_t kHexBytesPerLine = 16;
// Strings this short are shown in hex as well, as their text may hide blanks or
// control characters the eye misses.
constexpr size_t kShortString = 5;

std::string_view bytes_of(const netsnmp_variable_list& var) {
  if (!var.val.string) return {};
  return {reinterpret_cast<const char*>(var.val.string), var.val_len};
}

// Printable or white space in ASCII, whatever the locale.
bool shows_as_text(unsigned char c) { return (c >= 0x20 && c < 0x7f) || (c >= '\t' && c <= '\r'); }

std::string hex_form(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = " Hex: ";
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    text += kDigits[c >> 4];
    text += kDigits[c & 0x0f];
    text += (i + 1) % kHexBytesPerLine == 0 ? '\n' : ' ';
  }
  return text;
}

std::string octet_string(std::string_view bytes) {
  if (bytes.empty()) return "\"\"";
  if (!std::all_of(bytes.begin(), bytes.end(),
                   [](char c) { return shows_as_text(static_cast<unsigned char>(c)); })) {
    return hex_form(bytes);
  }
  std::string text = "\"" + std::string(bytes) + "\"";
  if (bytes.size() < kShortString) text += hex_form(bytes);
  return text;
}

bool has_integer(const netsnmp_variable_list& var) {
  return var.val.integer && var.val_len >= sizeof(long);
}

// The decimal text of an INTEGER, Counter, Gauge or TimeTicks; false for other types.
bool integer_text(const netsnmp_variable_list& var, std::string* text) {
  if (!has_integer(var)) return false;
  switch (var.type) {
    case ASN_INTEGER:
      *text = std::to_string(*var.val.integer);
      return true;
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
      // Net-SNMP keeps these 32-bit unsigned values in a long.
      *text = std::to_string(static_cast<unsigned long>(*var.val.integer) & 0xffffffffUL);
      return true;
    default:
      return false;
  }
}

std::string object_identifier(const netsnmp_variable_list& var) {
  std::string text;
  if (!var.val.objid) return text;
  for (size_t i = 0; i < var.val_len / sizeof(oid); ++i) {
    text += '.';
    text += std::to_string(var.val.objid[i]);
  }
  return text;
}

std::string counter64_hex(const netsnmp_variable_list& var) {
  if (!var.val.counter64 || var.val_len < sizeof(struct counter64)) return hex_form(bytes_of(var));
  std::string bytes;
  for (u_long half : {var.val.counter64->high, var.val.counter64->low}) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((half >> shift) & 0xff);
  }
  return hex_form(bytes);
}

}  // namespace

std::string render_value(const netsnmp_variable_list& var) {
  std::string text;
  if (integer_text(var, &text)) return text;
  switch (var.type) {
    case ASN_OCTET_STR:
      return octet_string(bytes_of(var));
    case ASN_OBJECT_ID:
      return object_identifier(var);
    case ASN_IPADDRESS: {
      std::string_view b = bytes_of(var);
      if (b.size() != 4) return hex_form(b);
      for (size_t i = 0; i < 4; ++i) {
        if (i) text += '.';
        text += std::to_string(static_cast<unsigned char>(b[i]));
      }
      return text;
    }
    case ASN_NULL:
      return "";
    case ASN_COUNTER64:
      return counter64_hex(var);
    default:
      return hex_form(bytes_of(var));
  }
}

std::string value_text(const netsnmp_variable_list& var) {
  std::string text;
  if (integer_text(var, &text)) return text;
  if (var.type != ASN_OCTET_STR) return "";
  std::string_view bytes = bytes_of(var);
  bytes = bytes.substr(0, std::min({bytes.find('\0'), bytes.size(), VALUE_TEXT_MAX}));
  return std::string(bytes);
}
