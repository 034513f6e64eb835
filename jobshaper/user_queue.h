// A user's own queue definition: where it is (the suite properties may name a
// directory of its own for them) and whether it is there, in place of the system one.
#pragma once

#include <optional>
#include <string>

// What the suite properties say about per-user queues.
struct SuiteProperties {
  bool file_found = false;
  // The directory named by the first whitespace-separated word
  // "quint.unique.user.dir=D", when there is one.
  std::optional<std::string> unique_user_dir;
};

// Reads the suite properties file at `path`.
SuiteProperties read_suite_properties(const std::string& path);

// The user's own definition of `queue` when `user` is in the user database and the
// file exists (a symbolic link counts as there), else nothing. Writes the debug
// listing's lines on the choice.
std::optional<std::string> find_user_vqd(const std::string& user, const std::string& queue);
