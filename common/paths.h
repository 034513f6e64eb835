// Fixed places of the suite on disk. Every absolute path that a program composes
// itself goes through rooted(), so that QUINTARO_ROOT can move the whole tree.
#pragma once

#include <string>
#include <string_view>

namespace paths {

inline constexpr const char* kSpoolDir = "/var/spool";
inline constexpr const char* kInstallPrefix = "/usr/quintaro";
inline constexpr const char* kToolDir = "/usr/corvtools";

// The directory below which composed absolute paths are looked up: the value of
// QUINTARO_ROOT, read with secure_getenv so that a set-user-id or set-group-id
// process never honours it, or "" when unset.
std::string root();

// root() followed by `absolute_path`. Paths given on a command line or written in
// definition files are used as given and must not be passed through here.
std::string rooted(std::string_view absolute_path);

}  // namespace paths
