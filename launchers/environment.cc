// The environment handed to a launcher's script.
#include "launchers/environment.h"

#include <unistd.h>

#include <algorithm>
#include <array>

namespace {

std::string_view entry_name(std::string_view entry) {
  size_t equals = entry.find('=');
  return equals == std::string_view::npos ? entry : entry.substr(0, equals);
}

// Variables that shells read at start-up or that change how they parse and run.
constexpr std::array<std::string_view, 8> kShellStartupVariables = {
    "BASH_ENV", "ENV", "SHELLOPTS", "BASHOPTS", "PS4", "CDPATH", "GLOBIGNORE", "IFS"};

}  // namespace

Environment Environment::from_process() {
  std::vector<std::string> entries;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    entries.emplace_back(*entry);
  }
  return Environment(std::move(entries));
}

std::optional<std::string> Environment::get(std::string_view name) const {
  for (const std::string& entry : entries_) {
    if (entry_name(entry) == name && entry.size() > name.size()) {
      return entry.substr(name.size() + 1);
    }
  }
  return std::nullopt;
}

void Environment::set(std::string_view name, std::string_view value) {
  std::string replacement;
  replacement.append(name).append("=").append(value);
  bool placed = false;
  std::erase_if(entries_, [&](std::string& entry) {
    if (entry_name(entry) != name) return false;
    if (placed) return true;
    entry = replacement;
    placed = true;
    return false;
  });
  if (!placed) entries_.push_back(std::move(replacement));
}

bool is_unsafe_for_privileged_script(std::string_view name) {
  if (name.starts_with("LD_") || name.starts_with("BASH_FUNC_")) return true;
  // A script that honoured it would write, as the superuser, below a directory the
  // caller chose.
  if (name == "QUINTARO_ROOT") return true;
  return std::find(kShellStartupVariables.begin(), kShellStartupVariables.end(), name) !=
         kShellStartupVariables.end();
}

void Environment::scrub_for_privileged_script() {
  std::erase_if(entries_, [](const std::string& entry) {
    return is_unsafe_for_privileged_script(entry_name(entry));
  });
  set("PATH", kLaunchPath);
}

std::vector<char*> Environment::envp() {
  std::vector<char*> pointers;
  pointers.reserve(entries_.size() + 1);
  for (std::string& entry : entries_) pointers.push_back(entry.data());
  pointers.push_back(nullptr);
  return pointers;
}
