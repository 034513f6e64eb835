// What the launchers share.
#include "launchers/launch_common.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/format.h"
#include "common/paths.h"

std::string base_name(const char* invocation) {
  if (invocation == nullptr) return "";
  std::string_view name(invocation);
  size_t slash = name.rfind('/');
  return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

std::string application_script_path(std::string_view name) {
  return paths::application_script(name);
}

std::optional<PasswordEntry> set_script_environment(LauncherSystem& system, Environment& env) {
  std::optional<PasswordEntry> user = system.password_entry(system.real_uid());
  if (!user) {
    system.write_err("User ID Was Not Found!\n");
    return std::nullopt;
  }
  env.set("PATH", kLaunchPath);
  env.set("PDUSER", user->name);
  env.set("PDHOME", user->home);
  return user;
}

int report_exec_failure(LauncherSystem& system, int result, const std::string& path, int argc,
                        char* const argv[]) {
  std::string report = strprintf("There has been an internal error of %d.\n", result);
  report += strprintf("The path is: %s\n", path.c_str());
  for (int i = 0; i < argc; ++i) report += strprintf("ARG[%d] = %s\n", i, argv[i]);
  system.write_err(report);
  return LAUNCH_EXEC_FAILED;
}
