// Support for program-level tests: temporary trees that stand in for the system's
// directories (through QUINTARO_ROOT), and running a built program with given
// arguments, environment and input while capturing its output and exit status.
#pragma once

#include <string>
#include <vector>

// A temporary directory, removed with everything below it when destroyed.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& root() const { return root_; }
  // root() + relative path ("var/spool/..." or "/var/spool/...").
  std::string path(const std::string& relative) const;
  // Writes a file (creating its directories); gives its full path.
  std::string write(const std::string& relative, const std::string& content, int mode = 0644) const;
  std::string read(const std::string& relative) const;
  bool exists(const std::string& relative) const;

 private:
  std::string root_;
};

struct RunResult {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;  // standard output
  std::string err;  // standard error
};

struct RunOptions {
  std::vector<std::string> env;     // NAME=value entries added to a minimal environment
  std::string input;                // written to standard input (through a pipe)
  std::string input_file;           // when set, standard input is this file instead
  bool close_stdout_early = false;  // standard output is a pipe closed before reading
  std::string output_file;          // when set, standard output goes to this file
};

// Runs `program` with `args` (argv[0] is `program` unless `argv0` is given).
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options = {}, const std::string& argv0 = "");

// The environment a program under test starts with: a minimal PATH and locale, the
// sanitizers' settings of the test itself, then `extra` (NAME=value entries).
std::vector<std::string> test_environment(const std::vector<std::string>& extra);

// In a forked child: replaces it with `program` (argv and environment as given), or
// ends it with status 127.
[[noreturn]] void exec_program(const std::string& program, std::vector<std::string> argv,
                               std::vector<std::string> env);

// Reads a whole file ("" when it cannot be read).
std::string read_file(const std::string& path);
