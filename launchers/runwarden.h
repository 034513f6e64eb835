// runwarden: the set-user-id launcher of the suite's administrative applications.
// The name it is invoked by picks the application; members of the administrator
// group (the group owning the control program's file) run it as the superuser.
#pragma once

#include <string>

#include "launchers/environment.h"
#include "launchers/launcher_system.h"

// How many supplementary groups are read; a caller with more never qualifies.
inline constexpr int kMaxAdminGroups = 32;

// Run-time flags of one run.
struct RunwardenState {
  bool switch_wanted = false;  // run as the superuser if the caller qualifies (not -n)
  bool verbose = false;        // -x: trace the decisions on standard output
};

enum class ApplicationClass { ADMINISTRATIVE, CONTROL_PROGRAM, UNKNOWN };

// The class of the application called `name` (the base name of argv[0]).
ApplicationClass application_class(const std::string& name);

// The control program's file, whose group is the administrator group.
std::string control_program_path();

// Whether the caller belongs to the administrator group; traces the check when
// `verbose`.
bool caller_is_admin(LauncherSystem& system, bool verbose);

// One run with the command line `argc`/`argv`, the services of `system` and the
// environment `env` handed to the script. Returns only when the script was not
// executed, with the exit status.
int run_runwarden(int argc, char** argv, LauncherSystem& system, Environment& env);

// The program: makes sure the standard descriptors are open, then runs with the
// process's own services and environment.
int runwarden_main(int argc, char** argv);
