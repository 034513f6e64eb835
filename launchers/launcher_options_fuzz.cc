// Fuzz target of the launchers' command lines and environments: run_runwarden (its
// options and the application named by argv[0]), run_pactrunner, run_spoolrunner and
// run_filtergate, with a launcher system that only records and whose answers (groups,
// identity changes) come from the input. Checks that a script started as the
// superuser on a caller's behalf gets a scrubbed environment, and that a script is
// never started with an effective identity other than the real one.
//
// Input: byte 0 picks the launcher and argv[0]; byte 1 the system's answers; then the
// command line, an empty piece, and the environment entries, zero-separated.
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "launchers/environment.h"
#include "launchers/launcher_system.h"
#include "launchers/runwarden.h"
#include "launchers/script_launchers.h"
#include "tests/support/fuzz_input.h"

namespace {

constexpr uid_t kCaller = 1000;
constexpr gid_t kAdminGroup = 77;

class FuzzSystem final : public LauncherSystem {
 public:
  explicit FuzzSystem(uint8_t answers) : answers_(answers) {}

  uid_t real_uid() override { return real_; }
  uid_t effective_uid() override { return effective_; }
  std::optional<PasswordEntry> password_entry(uid_t) override {
    if (answers_ & 1) return std::nullopt;
    return PasswordEntry{"caller", "/home/caller"};
  }
  std::optional<std::vector<gid_t>> supplementary_groups(int) override {
    if (answers_ & 2) return std::nullopt;
    if (answers_ & 4) return std::vector<gid_t>{10, kAdminGroup};
    return std::vector<gid_t>{10};
  }
  std::optional<gid_t> file_group(const std::string&) override {
    if (answers_ & 8) return std::nullopt;
    return kAdminGroup;
  }
  int set_uid(uid_t uid) override {
    if (answers_ & 16) {
      errno = EPERM;
      return -1;
    }
    real_ = effective_ = uid;
    return 0;
  }
  int set_effective_uid(uid_t uid) override {
    if (answers_ & 32) {
      errno = EPERM;
      return -1;
    }
    effective_ = uid;
    return 0;
  }
  int exec_search(const std::string& path, char* const argv[], char* const envp[]) override {
    return exec(path, argv, envp);
  }
  int exec_path(const std::string& path, char* const argv[], char* const envp[]) override {
    return exec(path, argv, envp);
  }
  void write_out(std::string_view) override {}
  void write_err(std::string_view) override {}

  bool executed = false;
  uid_t executed_real = 0, executed_effective = 0;
  std::vector<std::string> executed_environment;

 private:
  int exec(const std::string&, char* const argv[], char* const envp[]) {
    executed = true;
    executed_real = real_;
    executed_effective = effective_;
    for (char* const* arg = argv; *arg; ++arg) (void)std::string(*arg);
    for (char* const* entry = envp; *entry; ++entry) executed_environment.emplace_back(*entry);
    errno = ENOENT;
    return -1;
  }

  uint8_t answers_;
  uid_t real_ = kCaller;
  uid_t effective_ = 0;  // installed set-user-id superuser
};

bool scrubbed(const std::vector<std::string>& environment) {
  int paths = 0;
  for (const std::string& entry : environment) {
    std::string_view name = std::string_view(entry).substr(0, entry.find('='));
    if (is_unsafe_for_privileged_script(name)) return false;
    if (name == "PATH") {
      if (entry != std::string("PATH=") + kLaunchPath) return false;
      ++paths;
    }
  }
  return paths == 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static constexpr const char* kNames[] = {
      "quintaro", "lanecreate", "portremove", "portpanel", "/usr/quintaro/bin/portcreate", "other",
      ""};
  const uint8_t launcher = data[0] % 4;
  std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  size_t split = rest.find(std::string_view("\0\0", 2));
  std::string_view command = rest.substr(0, split);
  std::string_view environment =
      split == std::string_view::npos ? std::string_view() : rest.substr(split + 2);

  FuzzArguments arguments(kNames[(data[0] >> 2) % std::size(kNames)], command);
  FuzzArguments entries("", environment);
  Environment env(std::vector<std::string>(entries.strings().begin() + 1, entries.strings().end()));
  FuzzSystem system(data[1]);
  switch (launcher) {
    case 0:
      run_runwarden(arguments.argc(), arguments.argv(), system, env);
      break;
    case 1:
      run_pactrunner(arguments.argc(), arguments.argv(), system, env);
      break;
    case 2:
      run_spoolrunner(arguments.argc(), arguments.argv(), system, env);
      break;
    default:
      run_filtergate(arguments.argc(), arguments.argv(), system, env);
      break;
  }
  if (!system.executed) return 0;
  bool as_superuser = system.executed_real == 0 || system.executed_effective == 0;
  if (launcher == 0 && system.executed_effective != system.executed_real) __builtin_trap();
  if ((launcher == 0 || launcher == 3) && as_superuser && !scrubbed(system.executed_environment)) {
    __builtin_trap();
  }
  return 0;
}
