// The frame the spool-side programs share: the command line read through an option
// table, the usage text, the -d/-t debug rule and the debug file, opening definition
// files, and one reporter on standard error. Each program brings its option table,
// its texts and its run sequence.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The program's reporter on standard error. Standard error is unbuffered: each
// message goes out whole, at once.
void report(std::string_view text);
void reportf(const char* format, ...) __attribute__((format(printf, 1, 2)));

struct ProgramOption {
  char letter;
  bool takes_argument;
  // Applies the option; gives -1 to go on, or the exit status to stop with.
  std::function<int(const char* argument)> apply;
};

// Which debug numbers need a debug file (-t).
enum class DebugRule {
  ANY_NUMBER_NEEDS_FILE,      // every -d, even -d 0
  NONZERO_NUMBER_NEEDS_FILE,  // a debug number other than 0
};

class ProgramFrame {
 public:
  // `name` is the program's name in its usage text, `usage_lines` the lines of that
  // text's USAGE section, `help_letter` the option that shows the help text, and
  // `failed` the exit status of every failure.
  ProgramFrame(const char* name, std::string usage_lines, char help_letter, int failed);
  // Closes the debug file.
  ~ProgramFrame();
  ProgramFrame(const ProgramFrame&) = delete;
  ProgramFrame& operator=(const ProgramFrame&) = delete;

  const char* name() const { return name_; }
  int failed() const { return failed_; }

  // "\nUSAGE:\n" followed by the usage lines.
  std::string usage_section() const;
  // The usage section and "\nTry '%s -%c' for more information\n\n", on standard
  // error.
  void usage() const;

  // Applies the options of argv in order (getopt). An option that is not in the
  // table, or lacks its argument, prints the usage text and gives the failed status.
  // Gives -1 when every option was applied, else the status an option stopped with.
  int parse(int argc, char** argv, const std::vector<ProgramOption>& table) const;

  // -d: the debug number, read with atoi.
  void set_debug_number(const char* text);
  // -t: opens `path` as the process's debug file (mode "w+": created or truncated;
  // close-on-exec, so that no program started later inherits it), replacing one
  // opened before. False when it cannot be opened.
  bool open_debug_file(const char* path);
  // After the options: a debug number that needs a debug file without one prints the
  // usage text and `message` and gives false; a debug file without a debug number
  // sets the number to 2 (the program's listing).
  bool apply_debug_rule(DebugRule rule, std::string_view message) const;

 private:
  struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
  };

  const char* name_;
  std::string usage_lines_;
  char help_letter_;
  int failed_;
  bool debug_number_given_ = false;
  std::unique_ptr<FILE, FileCloser> debug_file_;
};

// A definition file (VQD or VDD) opened for reading, or nullptr when it cannot be
// opened or is a directory (which would open and read as a file without any line).
FILE* open_definition_file(const std::string& path);
