// What the launchers share: exit statuses, script paths, the environment for the
// suite's scripts, the report of a failed exec, and the standard descriptors.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "launchers/environment.h"
#include "launchers/launcher_system.h"

// Exit statuses.
inline constexpr int LAUNCH_REFUSED = 1;        // unknown user or application, control program
inline constexpr int LAUNCH_EXEC_FAILED = 255;  // the script could not be executed (exit(-1))
inline constexpr int FILTERGATE_EXEC_FAILED = 4;

// The part of `invocation` after its last '/' ("" for a null pointer).
std::string base_name(const char* invocation);

// The script of an application: "<prefix>/bin/.scripts/<name>.sh" below the suite's
// install prefix (moved below QUINTARO_ROOT when that applies).
std::string application_script_path(std::string_view name);

// Looks up the real user's password entry and sets PATH, PDUSER and PDHOME in `env`.
// Without an entry prints "User ID Was Not Found!" on standard error and gives the
// entry nullopt; the caller then exits with LAUNCH_REFUSED.
std::optional<PasswordEntry> set_script_environment(LauncherSystem& system, Environment& env);

// After execvp returned `result` (always -1): tells what was tried on standard error
// and gives the exit status, LAUNCH_EXEC_FAILED (the exec's result as a status).
int report_exec_failure(LauncherSystem& system, int result, const std::string& path, int argc,
                        char* const argv[]);
