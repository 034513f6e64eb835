// hostsweep_mibc: compiles MIB modules into the binary MIB file that hostsweep
// loads (hsweep.cmib). The build runs it on the suite's own MIB text.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/io.h"
#include "common/program_frame.h"
#include "common/unique_fd.h"
#include "hostsweep/mib_compiler.h"

namespace {

enum ExitStatus { EXIT_OK = 0, EXIT_FAILED = 1 };

constexpr const char* kUsageLine = "usage: hostsweep_mibc -o OUT [-I DIR]... MODULE...";

constexpr const char* kHelp =
    "Usage: hostsweep_mibc -o OUT [-I DIR]... MODULE...\n"
    "Compiles MIB modules into the binary MIB file that hostsweep loads.\n"
    "  -o OUT   the compiled file to write\n"
    "  -I DIR   a directory of MIB text files; give one for every directory that\n"
    "           holds a module named or imported. No other directory is searched.\n"
    "  MODULE   the name of a module defined in a file of those directories, or\n"
    "           the path of a MIB text file (a name with a \"/\")\n"
    "An administrator can compile other MIB text the same way and install the\n"
    "result in place of the suite's hsweep.cmib (in the suite's etc directory).\n";

bool write_file(const std::string& path, const std::string& bytes, std::string* err) {
  if (replace_file(path, bytes, ".tmp")) return true;
  *err = "cannot write " + path + ": " + std::strerror(errno);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string output;
  MibCompileInput input;
  opterr = 0;  // getopt's own messages take two lines; ours take one
  int c;
  while ((c = getopt(argc, argv, "+ho:I:")) != -1) {
    switch (c) {
      case 'h':
        fputs(kHelp, stdout);
        return EXIT_OK;
      case 'o':
        output = optarg;
        break;
      case 'I':
        input.mib_dirs.push_back(optarg);
        break;
      default:
        if (optopt == 'o' || optopt == 'I') {
          reportf("hostsweep_mibc: option -%c needs an argument; %s\n", optopt, kUsageLine);
        } else {
          reportf("hostsweep_mibc: unknown option -%c; %s\n", optopt, kUsageLine);
        }
        return EXIT_FAILED;
    }
  }
  for (int i = optind; i < argc; ++i) input.modules.push_back(argv[i]);
  if (output.empty() || input.modules.empty()) {
    reportf("hostsweep_mibc: %s; %s\n", output.empty() ? "no output file" : "no module",
            kUsageLine);
    return EXIT_FAILED;
  }
  MibNode tree;
  std::string err;
  std::vector<std::string> warnings;
  bool compiled = compile_mib(input, &tree, &err, &warnings);
  for (const std::string& warning : warnings)
    reportf("hostsweep_mibc: warning: %s\n", warning.c_str());
  if (!compiled || !write_file(output, encode_mib(tree), &err)) {
    reportf("hostsweep_mibc: %s\n", err.c_str());
    return EXIT_FAILED;
  }
  return EXIT_OK;
}
