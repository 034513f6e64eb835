// The environment a launcher hands to its script: a copy of the process's own,
// edited by name and passed to exec explicitly.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The search path every launcher gives its script.
inline constexpr const char* kLaunchPath = "/bin:/usr/bin";

class Environment {
 public:
  explicit Environment(std::vector<std::string> entries) : entries_(std::move(entries)) {}
  // A copy of the running process's environment.
  static Environment from_process();

  // The value of the first entry named `name`, or nullopt.
  std::optional<std::string> get(std::string_view name) const;
  // Leaves exactly one entry named `name`, holding `value`: the first such entry is
  // replaced in place and later duplicates are dropped, so that no program down the
  // line can pick a different one; without one the entry is appended.
  void set(std::string_view name, std::string_view value);

  // Removes what would let the caller steer a script that runs with more privilege
  // than the caller has: the dynamic loader's variables (LD_*), the shells' start-up
  // and option variables, exported shell functions (BASH_FUNC_*), QUINTARO_ROOT (the
  // suite's scripts would read and write their files below it); and sets PATH to
  // kLaunchPath. Everything else stays, since the scripts may rely on it.
  void scrub_for_privileged_script();

  const std::vector<std::string>& entries() const { return entries_; }
  // Null-terminated pointers into the entries, for exec; valid while the
  // environment is not changed.
  std::vector<char*> envp();

 private:
  std::vector<std::string> entries_;
};

// Whether a variable of this name may steer a shell script or the dynamic loader.
bool is_unsafe_for_privileged_script(std::string_view name);
