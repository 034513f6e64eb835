// The choice of a user's own queue definition.
#include "jobshaper/user_queue.h"

#include <pwd.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>

#include "common/debug_trace.h"
#include "common/paths.h"

namespace {

#define LIST(...) debug_trace().print(DEBUG_LISTING, __VA_ARGS__)

constexpr std::string_view kUniqueUserDirKey = "quint.unique.user.dir";

}  // namespace

SuiteProperties read_suite_properties(const std::string& path) {
  SuiteProperties properties;
  FILE* file = std::fopen(path.c_str(), "re");
  if (!file) return properties;
  properties.file_found = true;
  std::string word;
  auto take_word = [&]() {
    size_t eq = word.find('=');
    if (eq != std::string::npos && std::string_view(word).substr(0, eq) == kUniqueUserDirKey) {
      properties.unique_user_dir = word.substr(eq + 1);
    }
    word.clear();
  };
  for (int ch; !properties.unique_user_dir && (ch = std::getc(file)) != EOF;) {
    if (std::isspace(ch)) {
      if (!word.empty()) take_word();
    } else {
      word.push_back(static_cast<char>(ch));
    }
  }
  if (!properties.unique_user_dir && !word.empty()) take_word();
  std::fclose(file);
  return properties;
}

std::optional<std::string> find_user_vqd(const std::string& user, const std::string& queue) {
  struct passwd* entry = getpwnam(user.c_str());
  if (!entry) {
    LIST("User name [ %s ]             : NOT Found\n", user.c_str());
    return std::nullopt;
  }
  std::string props = paths::suite_properties();
  SuiteProperties properties = read_suite_properties(props);
  if (!properties.file_found) LIST("File Missing (Unique Path)       : %s\n", props.c_str());
  LIST(properties.unique_user_dir ? "User Key                         : Found\n\n"
                                  : "User Key                         : Not Found\n\n");
  const std::string* dir = properties.unique_user_dir ? &*properties.unique_user_dir : nullptr;
  std::string user_vqd = paths::user_vqd(entry->pw_dir, dir, queue);
  LIST("User name                        : %s\n", user.c_str());
  LIST("User Virtual Queue Definition    : %s\n", user_vqd.c_str());
  struct stat st;
  if (lstat(user_vqd.c_str(), &st) != 0) {
    LIST("User Virtual Queue Definition    : Not Available\n");
    return std::nullopt;
  }
  LIST("User Virtual Queue Definition    : Available\n");
  return user_vqd;
}
