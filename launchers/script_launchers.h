// The script launchers: pactrunner and spoolrunner start the suite's notice and
// quintspool scripts with the caller's identity; filtergate, installed set-user-id
// superuser, becomes the superuser and starts the filter script.
#pragma once

#include <string>

#include "launchers/environment.h"
#include "launchers/launcher_system.h"

// The scripts (below QUINTARO_ROOT when that applies).
std::string notice_script_path();
std::string quintspool_script_path();
std::string filter_script_path();

// One run each, with the command line, the services of `system` and the
// environment handed to the script. They return only when the script was not
// executed, with the exit status.
int run_pactrunner(int argc, char** argv, LauncherSystem& system, Environment& env);
int run_spoolrunner(int argc, char** argv, LauncherSystem& system, Environment& env);
int run_filtergate(int argc, char** argv, LauncherSystem& system, Environment& env);

// The programs, with the process's own services and environment.
int pactrunner_main(int argc, char** argv);
int spoolrunner_main(int argc, char** argv);
int filtergate_main(int argc, char** argv);
