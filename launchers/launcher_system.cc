// The launchers' operating-system services for the running process.
#include "launchers/launcher_system.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/io.h"

uid_t RealLauncherSystem::real_uid() { return getuid(); }

uid_t RealLauncherSystem::effective_uid() { return geteuid(); }

std::optional<PasswordEntry> RealLauncherSystem::password_entry(uid_t uid) {
  const struct passwd* entry = getpwuid(uid);
  if (entry == nullptr) return std::nullopt;
  return PasswordEntry{entry->pw_name ? entry->pw_name : "", entry->pw_dir ? entry->pw_dir : ""};
}

std::optional<std::vector<gid_t>> RealLauncherSystem::supplementary_groups(int max) {
  std::vector<gid_t> groups(static_cast<size_t>(max));
  int count = getgroups(max, groups.data());
  if (count < 0) return std::nullopt;
  groups.resize(static_cast<size_t>(count));
  return groups;
}

std::optional<gid_t> RealLauncherSystem::file_group(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  return status.st_gid;
}

int RealLauncherSystem::set_uid(uid_t uid) { return setuid(uid); }

int RealLauncherSystem::set_effective_uid(uid_t uid) { return seteuid(uid); }

int RealLauncherSystem::exec_search(const std::string& path, char* const argv[],
                                    char* const envp[]) {
  return execvpe(path.c_str(), argv, envp);
}

int RealLauncherSystem::exec_path(const std::string& path, char* const argv[], char* const envp[]) {
  return execve(path.c_str(), argv, envp);
}

// A failed write has nowhere to be reported; the launcher goes on regardless.
void RealLauncherSystem::write_out(std::string_view text) { (void)write_all(1, text); }

void RealLauncherSystem::write_err(std::string_view text) { (void)write_all(2, text); }
