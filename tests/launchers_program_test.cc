// Runs the built launchers as the superuser, as unprivileged callers (through
// setpriv) and, in a private mount namespace, installed set-user-id; a recording
// stand-in takes the place of every script. Checks exact output and statuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/program.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kApplications = {"quintaro", "lanecreate", "laneremove",
                                                "portcreate", "portremove"};
constexpr gid_t kAdminGroup = 4242;

// Who runs the launcher; an empty uid is the test process itself (the superuser).
struct Caller {
  std::string uid, gid, groups;
};
const Caller kSelf{};
const Caller kRootAdmin{"0", "0", "4242"};
const Caller kAdmin{"65534", "65534", "4242"};
const Caller kPlain{"65534", "65534", "65534"};
const Caller kNoEntry{"54321", "65534", "65534"};
const Caller kAdminWith33Groups{"65534", "65534",
                                "4242,5001,5002,5003,5004,5005,5006,5007,5008,5009,5010,5011,"
                                "5012,5013,5014,5015,5016,5017,5018,5019,5020,5021,5022,5023,"
                                "5024,5025,5026,5027,5028,5029,5030,5031,5032"};
// A caller's environment: what may steer a privileged script, a second PATH, and a
// spooler variable that must survive.
const std::vector<std::string> kCallerEnv = {"BASH_ENV=/tmp/rc",
                                             "ENV=/tmp/rc",
                                             "CDPATH=/tmp",
                                             "IFS=/",
                                             "LD_BIND_NOW=1",
                                             "PATH=/tmp/evil",
                                             "BASH_FUNC_f%%=() { id; }",
                                             "SPOOLER=lp"};
const std::string kKeptEnv =
    "BASH_ENV=/tmp/rc|BASH_FUNC_f%%=() { id; }|CDPATH=/tmp|ENV=/tmp/rc|IFS=/|LANG=C|"
    "LD_BIND_NOW=1|PATH=/bin:/usr/bin";
const std::string kScrubbedEnv = "LANG=C|PATH=/bin:/usr/bin";

// The suite below `prefix`: the launchers, a link per application, the control
// program's file in the administrator group, and the recorder as every script but
// portremove's. `setid` makes runwarden and filtergate set-user-id.
void install_suite(const std::string& prefix, bool setid) {
  std::string bin = prefix + "/bin/";
  fs::create_directories(bin + ".scripts");
  auto copy = [](const std::string& from, const std::string& to, mode_t mode) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    ASSERT_EQ(chown(to.c_str(), 0, 0), 0);
    chmod(to.c_str(), mode);
  };
  copy(RUNWARDEN_PATH, bin + "runwarden", setid ? 04755 : 0755);
  copy(FILTERGATE_PATH, bin + "filtergate", setid ? 04755 : 0755);
  copy(PACTRUNNER_PATH, bin + "pactrunner", 0755);
  copy(SPOOLRUNNER_PATH, bin + "spoolrunner", 0755);
  for (const std::string& name : kApplications) fs::create_symlink("runwarden", bin + name);
  std::ofstream(bin + "portpanel").close();
  ASSERT_EQ(chown((bin + "portpanel").c_str(), 0, kAdminGroup), 0);
  for (const char* script : {".scripts/quintaro.sh", ".scripts/lanecreate.sh",
                             ".scripts/laneremove.sh", ".scripts/portcreate.sh",
                             ".scripts/pact_notice.sh", ".scripts/quintspool.sh", "jobgate.sh"}) {
    copy(RECORDER_PATH, bin + script, 0755);
  }
}

// The verbose trace of runwarden up to the group check.
std::string trace_start(const std::string& user, int id, int eid, const std::string& home,
                        int setuid) {
  return "PDUSER = " + user + "\nID     = " + std::to_string(id) +
         "\nEID    = " + std::to_string(eid) + "\nPDHOME = " + home +
         "\nPATH   = /bin:/usr/bin\nSETUID = " + std::to_string(setuid) + "\n\n";
}
std::string group_check(const std::string& control_file, bool match) {
  return "Checking User's Groups against the file's group.\nFILENAME = " + control_file +
         "\nGROUP 4242\n" +
         (match ? "SUCCESS: Groups Match.\n\n" : "ERROR: Groups DO NOT Match!\n\n");
}
std::string final_ids(int id) {
  return "ID     = " + std::to_string(id) + "\nEID    = " + std::to_string(id) + "\n";
}
// What the recorder writes: `env` is the sorted environment before SPOOLER, `user`
// the PDHOME and PDUSER entries.
// The recorder's output. QUINTARO_ROOT comes along unless the environment was
// scrubbed for a script that runs as the superuser.
std::string record(const std::string& argv, int id, const std::string& env,
                   const std::string& user) {
  return "argv: " + argv + "\nids: " + std::to_string(id) + " " + std::to_string(id) +
         "\nenv: " + env + user + (env == kScrubbedEnv ? "" : "|QUINTARO_ROOT=ROOT") +
         "|SPOOLER=lp\n";
}
const std::string kRootUser = "|PDHOME=/root|PDUSER=root";
const std::string kNobodyUser = "|PDHOME=/nonexistent|PDUSER=nobody";

class LaunchersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "running launchers as other users needs the superuser";
    chmod(tree.root().c_str(), 0755);
    install_suite(tree.path("usr/quintaro"), false);
  }
  RunResult run(const Caller& who, const std::string& program, const std::vector<std::string>& args,
                std::vector<std::string> env = kCallerEnv, const std::string& argv0 = "") {
    env.push_back("QUINTARO_ROOT=" + tree.root());
    if (who.uid.empty()) return run_program(program, args, {.env = env}, argv0);
    std::vector<std::string> wrapped = {"--reuid=" + who.uid, "--regid=" + who.gid,
                                        "--groups=" + who.groups, program};
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    return run_program("/usr/bin/setpriv", wrapped, {.env = env});
  }

  TempTree tree;
  const std::string bin = tree.path("usr/quintaro/bin/");
};

// Starts `program` with descriptors 0 to 2 closed; gives its exit status.
int run_with_standard_descriptors_closed(const std::string& program, std::vector<std::string> args,
                                         std::vector<std::string> env) {
  std::vector<char*> argv, envp;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    close(0), close(1), close(2);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Lays `upper` over /usr in a mount namespace of this test process's own, so that
// the suite appears at its real place while the real /usr stays untouched.
class PrivateUsr {
 public:
  PrivateUsr(const std::string& upper, const std::string& work) {
    fs::create_directories(upper);
    fs::create_directories(work);
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr)) {
      return;
    }
    std::string options = "lowerdir=/usr,upperdir=" + upper + ",workdir=" + work;
    mounted_ = mount("overlay", "/usr", "overlay", 0, options.c_str()) == 0;
  }
  ~PrivateUsr() {
    if (mounted_) umount2("/usr", MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  bool mounted_ = false;
};

// A command line written as the recorder writes it: arguments separated by '|'.
std::vector<std::string> split(const std::string& args) {
  std::vector<std::string> result;
  for (size_t start = 0; start < args.size();) {
    size_t end = std::min(args.find('|', start), args.size());
    result.push_back(args.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

TEST_F(LaunchersTest, RunwardenChoosesTheIdentityByGroupMembership) {
  const std::string control = bin + "portpanel";
  const std::string nobody_trace = trace_start("nobody", 65534, 65534, "/nonexistent", 1);
  struct Case {
    const char* what;
    Caller who;
    std::string name, args, out;
  };
  const std::vector<Case> cases = {
      {"superuser in the group: switch, scrubbed environment", kRootAdmin, "quintaro", "-x|q 1",
       trace_start("root", 0, 0, "/root", 1) + group_check(control, true) +
           "User is an admin user!\nSwitching to admin user was a success!\n\n" + final_ids(0) +
           record(bin + "quintaro|-x|q 1", 0, kScrubbedEnv, kRootUser)},
      {"member whose switch fails", kAdmin, "portcreate", "-x",
       nobody_trace + group_check(control, true) +
           "User is an admin user!\nSwitching to admin user failed!\n\n" + final_ids(65534) +
           record(bin + "portcreate|-x", 65534, kKeptEnv, kNobodyUser)},
      {"unknown option skipped, -n: no group check", kAdmin, "lanecreate", "-q|-n|-x|a",
       trace_start("nobody", 65534, 65534, "/nonexistent", 0) + final_ids(65534) +
           record(bin + "lanecreate|-q|-n|-x|a", 65534, kKeptEnv, kNobodyUser)},
      {"non-member", kPlain, "laneremove", "-x",
       nobody_trace + group_check(control, false) + "User is not an admin user!.\n\n" +
           final_ids(65534) + record(bin + "laneremove|-x", 65534, kKeptEnv, kNobodyUser)},
      {"member of more than 32 groups", kAdminWith33Groups, "quintaro", "-x",
       nobody_trace +
           "Checking User's Groups against the file's group.\nERROR : getgroups failed !\n"
           "User is not an admin user!.\n\n" +
           final_ids(65534) + record(bin + "quintaro|-x", 65534, kKeptEnv, kNobodyUser)},
      {"plain argument before -x", kAdmin, "lanecreate", "q1|-x",
       record(bin + "lanecreate|q1|-x", 65534, kKeptEnv, kNobodyUser)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunResult r = run(c.who, bin + c.name, split(c.args));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(LaunchersTest, RunwardenNamesAndRefusals) {
  struct Case {
    Caller who;
    std::string name, argv0, args;
    int status;
    std::string out, err;
  };
  const std::vector<Case> cases = {
      {kSelf, "laneremove", "../elsewhere/laneremove", "a", 0,
       record("../elsewhere/laneremove|a", 0, kKeptEnv, kRootUser), ""},
      {kSelf, "runwarden", "portpanel", "-x", 1, "Print Drivers Control Program \n", ""},
      {kSelf, "runwarden", "", "", 1, "", "ERROR:  Application [ runwarden ] is unknown.\n"},
      {kNoEntry, "lanecreate", "", "", 1, "", "User ID Was Not Found!\n"},
      {kSelf, "portremove", "", "-n|p1", 255, "",
       "There has been an internal error of -1.\nThe path is: " + bin +
           ".scripts/portremove.sh\nARG[0] = " + bin + "portremove\nARG[1] = -n\nARG[2] = p1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argv0.empty() ? c.name : c.argv0);
    RunResult r = run(c.who, bin + c.name, split(c.args), kCallerEnv, c.argv0);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(LaunchersTest, ScriptLaunchers) {
  struct Case {
    Caller who;
    std::string program, args;
    int status;
    std::string out, err;
  };
  const std::string unknown = "User ID Was Not Found!\n";
  const std::vector<Case> cases = {
      {kSelf, "pactrunner", "-x|a b", 0, record(bin + "pactrunner|-x|a b", 0, kKeptEnv, kRootUser),
       ""},
      {kPlain, "spoolrunner", "", 0, record(bin + "spoolrunner", 65534, kKeptEnv, kNobodyUser), ""},
      {kSelf, "filtergate", "job 1", 0, record(bin + "filtergate|job 1", 0, kScrubbedEnv, ""), ""},
      {kPlain, "filtergate", "", 0, record(bin + "filtergate", 65534, kScrubbedEnv, ""), ""},
      {kNoEntry, "filtergate", "", 0, record(bin + "filtergate", 54321, kScrubbedEnv, ""), ""},
      {kNoEntry, "pactrunner", "", 1, "", unknown},
      {kNoEntry, "spoolrunner", "", 1, "", unknown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program + " as " + (c.who.uid.empty() ? "root" : c.who.uid));
    RunResult r = run(c.who, bin + c.program, split(c.args));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(LaunchersTest, ScriptLaunchersReportAMissingScript) {
  for (const char* script : {".scripts/pact_notice.sh", ".scripts/quintspool.sh", "jobgate.sh"}) {
    fs::remove(bin + script);
  }
  RunResult pact = run(kSelf, bin + "pactrunner", {"a"});
  EXPECT_EQ(pact.status, 255);
  EXPECT_EQ(pact.err, "There has been an internal error of -1.\nThe path is: " + bin +
                          ".scripts/pact_notice.sh\nARG[0] = " + bin + "pactrunner\nARG[1] = a\n");
  RunResult spool = run(kSelf, bin + "spoolrunner", {});
  EXPECT_EQ(spool.status, 255);
  EXPECT_EQ(spool.err, "There has been an internal error of -1.\nThe path is: " + bin +
                           ".scripts/quintspool.sh\nARG[0] = " + bin + "spoolrunner\n");
  RunResult filter = run(kSelf, bin + "filtergate", {"a"});
  EXPECT_EQ(filter.status, 4);
  EXPECT_EQ(filter.err,
            "jobgate.sh : error execv() of " + bin + "jobgate.sh: : No such file or directory\n");
}

TEST_F(LaunchersTest, ClosedStandardDescriptorsAreOpenedOnDevNull) {
  for (const std::string name : {"lanecreate", "filtergate"}) {
    SCOPED_TRACE(name);
    std::string file = tree.path(name + ".record");
    EXPECT_EQ(
        run_with_standard_descriptors_closed(
            bin + name, {name, "-n"}, {"QUINTARO_ROOT=" + tree.root(), "LAUNCH_RECORD=" + file}),
        0);
    std::string text = read_file(file);
    EXPECT_NE(text.find("\nfds: /dev/null /dev/null /dev/null\n"), std::string::npos) << text;
  }
}

TEST_F(LaunchersTest, InstalledSetUserIdTheyIgnoreQuintaroRoot) {
  install_suite(tree.path("upper/quintaro"), true);
  PrivateUsr usr(tree.path("upper"), tree.path("work"));
  if (!usr.mounted()) GTEST_SKIP() << "no private mount namespace with an overlay on /usr";
  const std::string real_bin = "/usr/quintaro/bin/";
  const std::string trace = trace_start("nobody", 65534, 0, "/nonexistent", 1);
  RunResult admin = run(kAdmin, real_bin + "lanecreate", {"-x", "q1"});
  EXPECT_EQ(admin.out, trace + group_check(real_bin + "portpanel", true) +
                           "User is an admin user!\nSwitching to admin user was a success!\n\n" +
                           final_ids(0) +
                           record(real_bin + "lanecreate|-x|q1", 0, kScrubbedEnv, kNobodyUser));
  RunResult plain = run(kPlain, real_bin + "laneremove", {"-x"});
  EXPECT_EQ(plain.out, trace + group_check(real_bin + "portpanel", false) +
                           "User is not an admin user!.\n\n" + final_ids(65534) +
                           record(real_bin + "laneremove|-x", 65534, kKeptEnv, kNobodyUser));
  RunResult filter = run(kPlain, real_bin + "filtergate", {"j"});
  EXPECT_EQ(filter.out, record(real_bin + "filtergate|j", 0, kScrubbedEnv, ""));
}

TEST_F(LaunchersTest, InstallMakesSetUserIdProgramsAndOneLinkPerApplication) {
  RunResult r = run_program(CMAKE_COMMAND, {"--install", BUILD_DIR, "--component", "launchers"},
                            {.env = {"DESTDIR=" + tree.path("dest")}});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string installed = tree.path("dest" QUINTARO_PREFIX "/bin/");
  for (auto [name, mode] : {std::pair{"runwarden", 04755},
                            {"filtergate", 04755},
                            {"pactrunner", 0755},
                            {"spoolrunner", 0755}}) {
    struct stat status;
    ASSERT_EQ(stat((installed + name).c_str(), &status), 0) << name;
    EXPECT_EQ(status.st_mode & 07777, static_cast<mode_t>(mode)) << name;
    EXPECT_EQ(status.st_uid, 0u) << name;
  }
  for (const std::string& name : kApplications) {
    EXPECT_EQ(fs::read_symlink(installed + name), "runwarden") << name;
  }
}

}  // namespace
