// runwarden: starts an administrative application's script, as the superuser when
// the caller is a member of the administrator group.
#include "launchers/runwarden.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/descriptors.h"
#include "common/format.h"
#include "common/paths.h"
#include "launchers/launch_common.h"

namespace {

constexpr const char* kAdministrativeApplications[] = {"quintaro", "lanecreate", "laneremove",
                                                       "portcreate", "portremove"};
constexpr const char* kControlProgram = "portpanel";

// Options are parsed up to the first plain argument and stay in argv, which goes to
// the script unchanged; unknown options are skipped without a word.
void parse_options(int argc, char** argv, RunwardenState& state) {
  opterr = 0;
  optind = 0;  // start afresh, also when a caller parsed before
  int option;
  while ((option = getopt(argc, argv, "+nx")) != -1) {
    if (option == 'n') state.switch_wanted = false;
    if (option == 'x') state.verbose = true;
  }
}

void trace_ids(LauncherSystem& system) {
  system.write_out(strprintf("ID     = %d\n", static_cast<int>(system.real_uid())));
  system.write_out(strprintf("EID    = %d\n", static_cast<int>(system.effective_uid())));
}

// Gives up the superuser's effective identity. A script must never run with it
// unless the caller qualified, so a failure here ends the run.
bool drop_to_real_user(LauncherSystem& system) {
  uid_t real = system.real_uid();
  if (system.set_effective_uid(real) == 0) return true;
  int error = errno;
  system.write_err(strprintf("ERROR: Setting the effective user ID back to %d failed: %s\n",
                             static_cast<int>(real), strerror(error)));
  return false;
}

// Chooses the identity the script runs with; false when it must not run at all.
bool choose_identity(LauncherSystem& system, const RunwardenState& state, Environment& env) {
  if (!state.switch_wanted) return drop_to_real_user(system);
  if (!caller_is_admin(system, state.verbose)) {
    if (state.verbose) system.write_out("User is not an admin user!.\n\n");
    return drop_to_real_user(system);
  }
  if (state.verbose) system.write_out("User is an admin user!\n");
  if (system.set_uid(0) != 0) {
    if (state.verbose) system.write_out("Switching to admin user failed!\n\n");
    return drop_to_real_user(system);
  }
  if (state.verbose) system.write_out("Switching to admin user was a success!\n\n");
  // The script now runs as the superuser: nothing the caller put in the environment
  // may steer it.
  env.scrub_for_privileged_script();
  return true;
}

}  // namespace

ApplicationClass application_class(const std::string& name) {
  if (name == kControlProgram) return ApplicationClass::CONTROL_PROGRAM;
  for (const char* application : kAdministrativeApplications) {
    if (name == application) return ApplicationClass::ADMINISTRATIVE;
  }
  return ApplicationClass::UNKNOWN;
}

std::string control_program_path() { return paths::control_program_file(); }

bool caller_is_admin(LauncherSystem& system, bool verbose) {
  if (verbose) system.write_out("Checking User's Groups against the file's group.\n");
  std::optional<std::vector<gid_t>> groups = system.supplementary_groups(kMaxAdminGroups);
  if (!groups) {
    if (verbose) system.write_out("ERROR : getgroups failed !\n");
    return false;
  }
  std::string path = control_program_path();
  std::optional<gid_t> file_group = system.file_group(path);
  if (!file_group) {
    if (verbose) system.write_out(strprintf("ERROR: stat [ %s ] failed.\n", path.c_str()));
    return false;
  }
  bool member = std::find(groups->begin(), groups->end(), *file_group) != groups->end();
  if (verbose) {
    system.write_out(strprintf("FILENAME = %s\n", path.c_str()));
    system.write_out(strprintf("GROUP %d\n", static_cast<int>(*file_group)));
    system.write_out(member ? "SUCCESS: Groups Match.\n\n" : "ERROR: Groups DO NOT Match!\n\n");
  }
  return member;
}

int run_runwarden(int argc, char** argv, LauncherSystem& system, Environment& env) {
  std::optional<PasswordEntry> user = set_script_environment(system, env);
  if (!user) return LAUNCH_REFUSED;

  std::string name = base_name(argc > 0 ? argv[0] : nullptr);
  RunwardenState state;
  switch (application_class(name)) {
    case ApplicationClass::CONTROL_PROGRAM:
      system.write_out(strprintf("%s Control Program \n", "Print Drivers"));
      return LAUNCH_REFUSED;
    case ApplicationClass::UNKNOWN:
      system.write_err(strprintf("ERROR:  Application [ %s ] is unknown.\n", name.c_str()));
      return LAUNCH_REFUSED;
    case ApplicationClass::ADMINISTRATIVE:
      state.switch_wanted = true;
      break;
  }
  parse_options(argc, argv, state);

  if (state.verbose) {
    system.write_out(strprintf("PDUSER = %s\n", user->name.c_str()));
    trace_ids(system);
    system.write_out(strprintf("PDHOME = %s\n", user->home.c_str()));
    system.write_out(strprintf("PATH   = %s\n", kLaunchPath));
    system.write_out(strprintf("SETUID = %d\n\n", state.switch_wanted ? 1 : 0));
  }
  if (!choose_identity(system, state, env)) return LAUNCH_REFUSED;
  if (state.verbose) trace_ids(system);

  std::string path = application_script_path(name);
  std::vector<char*> envp = env.envp();
  int result = system.exec_search(path, argv, envp.data());
  return report_exec_failure(system, result, path, argc, argv);
}

int runwarden_main(int argc, char** argv) {
  // Nothing can be reported when even /dev/null cannot be opened.
  if (!ensure_standard_descriptors()) return LAUNCH_REFUSED;
  RealLauncherSystem system;
  Environment env = Environment::from_process();
  return run_runwarden(argc, argv, system, env);
}
