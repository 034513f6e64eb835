// runwarden's identity choice when the operating system refuses a change, which no
// real set-user-id run can provoke: the script must never run with an identity
// the caller does not qualify for.
#include "launchers/runwarden.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

// Caller 1000 of a set-user-id runwarden, member of the administrator group.
class RefusingSystem final : public LauncherSystem {
 public:
  bool setuid_fails = false, seteuid_fails = false, member = true;
  std::string calls;  // identity changes and exec, in order
  std::string err;

  uid_t real_uid() override { return real_; }
  uid_t effective_uid() override { return effective_; }
  std::optional<PasswordEntry> password_entry(uid_t) override {
    return PasswordEntry{"alice", "/home/alice"};
  }
  std::optional<std::vector<gid_t>> supplementary_groups(int) override {
    return std::vector<gid_t>{100, 50};
  }
  std::optional<gid_t> file_group(const std::string&) override { return member ? 50 : 7; }
  int set_uid(uid_t uid) override {
    record("setuid(" + std::to_string(uid) + ")");
    if (setuid_fails) return refuse();
    real_ = effective_ = uid;
    return 0;
  }
  int set_effective_uid(uid_t uid) override {
    record("seteuid(" + std::to_string(uid) + ")");
    if (seteuid_fails) return refuse();
    effective_ = uid;
    return 0;
  }
  int exec_search(const std::string&, char* const[], char* const[]) override {
    record("exec as " + std::to_string(real_) + "/" + std::to_string(effective_));
    errno = ENOENT;
    return -1;
  }
  int exec_path(const std::string& path, char* const argv[], char* const envp[]) override {
    return exec_search(path, argv, envp);
  }
  void write_out(std::string_view) override {}
  void write_err(std::string_view text) override { err.append(text); }

 private:
  void record(const std::string& call) { calls += (calls.empty() ? "" : ", ") + call; }
  static int refuse() {
    errno = EPERM;
    return -1;
  }
  uid_t real_ = 1000, effective_ = 0;
};

TEST(RunwardenIdentityTest, ScriptRunsOnlyWithAnIdentityTheCallerQualifiesFor) {
  struct Case {
    const char* what;
    const char* option;
    bool member, setuid_fails, seteuid_fails;
    std::string calls;
    int status;
  };
  const std::vector<Case> cases = {
      {"member switches", "-x", true, false, false, "setuid(0), exec as 0/0", 255},
      {"switch fails", "-x", true, true, false, "setuid(0), seteuid(1000), exec as 1000/1000", 255},
      {"switch and drop fail", "-x", true, true, true, "setuid(0), seteuid(1000)", 1},
      {"-n, drop fails", "-n", true, false, true, "seteuid(1000)", 1},
      {"non-member, drop fails", "-x", false, false, true, "seteuid(1000)", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RefusingSystem system;
    system.member = c.member;
    system.setuid_fails = c.setuid_fails;
    system.seteuid_fails = c.seteuid_fails;
    Environment env({"PATH=/usr/bin"});
    std::string name = "lanecreate", option = c.option;
    char* argv[] = {name.data(), option.data(), nullptr};
    EXPECT_EQ(run_runwarden(2, argv, system, env), c.status);
    EXPECT_EQ(system.calls, c.calls);
    if (c.status == 1) {
      EXPECT_EQ(system.err,
                "ERROR: Setting the effective user ID back to 1000 failed: "
                "Operation not permitted\n");
    }
  }
}

}  // namespace
