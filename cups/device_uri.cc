// Reading and writing the backend's device URIs.
#include "cups/device_uri.h"

#include <cctype>

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `text` with %XX escapes decoded; false for a cut or malformed escape.
bool percent_decode(std::string_view text, std::string* decoded) {
  decoded->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      *decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int high = hex_value(text[i + 1]), low = hex_value(text[i + 2]);
    if (high < 0 || low < 0) return false;
    *decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

bool host_character(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' ||
         c == ':' || c == '[' || c == ']';
}

}  // namespace

bool valid_queue_name(std::string_view name) {
  if (name.empty() || name.size() > 64 || name[0] == '.' || name[0] == '-') return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') {
      return false;
    }
  }
  return true;
}

DeviceTarget parse_device_uri(std::string_view uri) {
  DeviceTarget target;
  if (uri.size() <= kScheme.size() || uri[kScheme.size()] != ':') return target;
  for (size_t i = 0; i < kScheme.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(uri[i])) != kScheme[i]) return target;
  }
  std::string_view rest = uri.substr(kScheme.size() + 1);
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    std::string_view path = slash == std::string_view::npos ? "" : rest.substr(slash);
    if (!authority.empty()) {
      // A printer found by discovery: the authority alone, with at most a bare "/".
      if (path.size() > 1) return target;
      for (char c : authority) {
        if (!host_character(c)) return target;
      }
      target.kind = DeviceTarget::DISCOVERED;
      target.name = std::string(authority);
      return target;
    }
    rest = path;
  }
  if (!rest.starts_with("/")) return target;
  std::string queue;
  if (!percent_decode(rest.substr(1), &queue) || !valid_queue_name(queue)) return target;
  target.kind = DeviceTarget::QUEUE;
  target.name = queue;
  return target;
}

std::string queue_uri(std::string_view queue) {
  return std::string(kScheme) + ":/" + std::string(queue);
}

std::string discovered_uri(std::string_view address) {
  return std::string(kScheme) + "://" + std::string(address);
}
