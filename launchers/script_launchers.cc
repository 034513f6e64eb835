// The script launchers pactrunner, spoolrunner and filtergate.
#include "launchers/script_launchers.h"

#include <cerrno>
#include <cstring>

#include "common/descriptors.h"
#include "common/format.h"
#include "common/paths.h"
#include "launchers/launch_common.h"

namespace {

// Starts `path` with the caller's identity and the suite's script environment.
int run_user_script(const std::string& path, int argc, char** argv, LauncherSystem& system,
                    Environment& env) {
  if (!set_script_environment(system, env)) return LAUNCH_REFUSED;
  std::vector<char*> envp = env.envp();
  int result = system.exec_search(path, argv, envp.data());
  return report_exec_failure(system, result, path, argc, argv);
}

}  // namespace

std::string notice_script_path() { return paths::notice_script(); }

std::string quintspool_script_path() { return application_script_path("quintspool"); }

std::string filter_script_path() { return paths::filter_script(); }

int run_pactrunner(int argc, char** argv, LauncherSystem& system, Environment& env) {
  return run_user_script(notice_script_path(), argc, argv, system, env);
}

int run_spoolrunner(int argc, char** argv, LauncherSystem& system, Environment& env) {
  return run_user_script(quintspool_script_path(), argc, argv, system, env);
}

int run_filtergate(int, char** argv, LauncherSystem& system, Environment& env) {
  std::string error_prefix =
      strprintf("jobgate.sh : error execv() of %s: ", filter_script_path().c_str());
  // A failure leaves the caller's own identity, which the script then runs with.
  (void)system.set_uid(0);
  // The filter script may run as the superuser on the caller's behalf: nothing the
  // caller put in the environment may steer it, but the spooler's variables stay.
  env.scrub_for_privileged_script();
  std::vector<char*> envp = env.envp();
  system.exec_path(filter_script_path(), argv, envp.data());
  // What perror(3) would write with the prefix.
  int error = errno;
  system.write_err(error_prefix + ": " + strerror(error) + "\n");
  return FILTERGATE_EXEC_FAILED;
}

int pactrunner_main(int argc, char** argv) {
  RealLauncherSystem system;
  Environment env = Environment::from_process();
  return run_pactrunner(argc, argv, system, env);
}

int spoolrunner_main(int argc, char** argv) {
  RealLauncherSystem system;
  Environment env = Environment::from_process();
  return run_spoolrunner(argc, argv, system, env);
}

int filtergate_main(int argc, char** argv) {
  // Nothing can be reported when even /dev/null cannot be opened.
  if (!ensure_standard_descriptors()) return FILTERGATE_EXEC_FAILED;
  RealLauncherSystem system;
  Environment env = Environment::from_process();
  return run_filtergate(argc, argv, system, env);
}
