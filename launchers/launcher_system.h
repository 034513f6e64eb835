// The operating-system services the launchers use: identities, the password and
// group databases, file status, exec and output. They sit behind one interface so
// that the identity decisions can be tested without a set-user-id binary.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The fields of a password entry the launchers hand to their scripts.
struct PasswordEntry {
  std::string name;  // login name
  std::string home;  // home directory
};

class LauncherSystem {
 public:
  virtual ~LauncherSystem() = default;

  virtual uid_t real_uid() = 0;
  virtual uid_t effective_uid() = 0;
  // The password entry of `uid`, or nullopt when the database has none.
  virtual std::optional<PasswordEntry> password_entry(uid_t uid) = 0;
  // The caller's supplementary group ids, read into a list of `max` entries; nullopt
  // when getgroups(2) fails, which includes a caller with more than `max` groups.
  virtual std::optional<std::vector<gid_t>> supplementary_groups(int max) = 0;
  // The group that owns `path`, or nullopt when stat(2) fails.
  virtual std::optional<gid_t> file_group(const std::string& path) = 0;
  // setuid(2) and seteuid(2): 0 on success, -1 on failure.
  virtual int set_uid(uid_t uid) = 0;
  virtual int set_effective_uid(uid_t uid) = 0;
  // execvp(3) and execv(3) with the environment `envp`. They return only when the
  // exec fails, with -1 and errno set.
  virtual int exec_search(const std::string& path, char* const argv[], char* const envp[]) = 0;
  virtual int exec_path(const std::string& path, char* const argv[], char* const envp[]) = 0;
  // Standard output and standard error, written in full at once: nothing may be
  // left in a buffer when the process replaces itself.
  virtual void write_out(std::string_view text) = 0;
  virtual void write_err(std::string_view text) = 0;
};

// The services of the running process.
class RealLauncherSystem final : public LauncherSystem {
 public:
  uid_t real_uid() override;
  uid_t effective_uid() override;
  std::optional<PasswordEntry> password_entry(uid_t uid) override;
  std::optional<std::vector<gid_t>> supplementary_groups(int max) override;
  std::optional<gid_t> file_group(const std::string& path) override;
  int set_uid(uid_t uid) override;
  int set_effective_uid(uid_t uid) override;
  int exec_search(const std::string& path, char* const argv[], char* const envp[]) override;
  int exec_path(const std::string& path, char* const argv[], char* const envp[]) override;
  void write_out(std::string_view text) override;
  void write_err(std::string_view text) override;
};
