// The pddtool program's subcommands and files.
#include "pddtool/command_line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "common/format.h"
#include "common/io.h"
#include "common/unique_fd.h"
#include "pdd/read_nodes.h"
#include "pddtool/compile.h"
#include "pddtool/library_capture.h"
#include "pddtool/settings.h"

namespace pddtool {

namespace {

constexpr const char* kCompileUsage = "pddtool compile SOURCE [-o FILE.b]";
constexpr const char* kDecompileUsage = "pddtool decompile FILE.b [-o SOURCE]";
constexpr const char* kCheckUsage = "pddtool check SOURCE";
constexpr const char* kSettingsUsage = "pddtool settings FILE.b [-s STREAM] [TAG=VALUE ...]";

constexpr const char* kHelp =
    "usage: pddtool compile SOURCE [-o FILE.b]\n"
    "       pddtool decompile FILE.b [-o SOURCE]\n"
    "       pddtool check SOURCE\n"
    "       pddtool settings FILE.b [-s STREAM] [TAG=VALUE ...]\n"
    "Compiles printer definition sources (YAML) into compiled PDD files and back.\n"
    "  compile    writes FILE.b (by default SOURCE with its extension replaced by .b)\n"
    "  decompile  writes the source of FILE.b to SOURCE, or to standard output\n"
    "  check      checks SOURCE and writes nothing\n"
    "  settings   prints the queue definition lines of FILE.b: ds_list=STREAM and\n"
    "             TAG=DEFAULT for every option of the data stream (-s STREAM; else the\n"
    "             only one, or \"automatic\" for all), each TAG=VALUE given replacing a\n"
    "             default after the checks jobshaper applies to -p\n"
    "Exit status: 0 success, 1 bad input, 2 usage error.\n";

// The program's messages: every line starts with the program's name.
class Result {
 public:
  CommandResult result;

  CommandResult fail(int status, const std::string& message) {
    result.err += "pddtool: " + message + "\n";
    result.status = status;
    result.out.clear();
    return result;
  }
  CommandResult usage(const std::string& message, const char* usage_line) {
    return fail(EXIT_USAGE, message + "; usage: " + usage_line);
  }
};

// The operands and the options (each with its argument) after the subcommand.
struct Arguments {
  std::vector<std::string> operands;
  std::map<char, std::string> options;
};

bool parse_arguments(const std::vector<std::string>& args, const std::string& letters,
                     Arguments* parsed, std::string* err) {
  bool options_end = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_end || arg.size() < 2 || arg[0] != '-') {
      parsed->operands.push_back(arg);
    } else if (arg == "--") {
      options_end = true;
    } else if (letters.find(arg[1]) == std::string::npos) {
      *err = "unknown option '" + arg + "'";
      return false;
    } else if (arg.size() > 2) {
      parsed->options[arg[1]] = arg.substr(2);
    } else if (i + 1 < args.size()) {
      parsed->options[arg[1]] = args[++i];
    } else {
      *err = std::string("option -") + arg[1] + " needs an argument";
      return false;
    }
  }
  return true;
}

bool read_file(const std::string& path, std::string* bytes, std::string* err) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st;
  if (!fd.valid() || fstat(fd.get(), &st) != 0) {
    *err = path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *err = path + ": not a regular file";
    return false;
  }
  if (st.st_size > PDD_MAX_FILE_SIZE * 2) {
    *err = path + ": too large";
    return false;
  }
  bytes->clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = read_retry(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      *err = path + ": " + std::strerror(errno);
      return false;
    }
    if (n == 0) return true;
    bytes->append(buffer, static_cast<size_t>(n));
  }
}

bool write_file(const std::string& path, const std::string& bytes, std::string* err) {
  if (replace_file(path, bytes, ".pddtool-tmp")) return true;
  *err = path + ": cannot write: " + std::strerror(errno);
  return false;
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (a == b) return true;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string base_name(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

CommandResult compile_or_check(const std::vector<std::string>& args, bool write) {
  Result r;
  const char* usage = write ? kCompileUsage : kCheckUsage;
  Arguments parsed;
  std::string err;
  if (!parse_arguments(args, write ? "o" : "", &parsed, &err)) return r.usage(err, usage);
  if (parsed.operands.size() != 1) return r.usage(args[0] + " takes one SOURCE", usage);
  const std::string& source = parsed.operands[0];
  std::string output = parsed.options.count('o') ? parsed.options['o'] : compiled_path(source);
  if (write && same_file(source, output)) {
    return r.usage("the output " + output + " would replace the source; name another with -o",
                   usage);
  }
  std::string text;
  if (!read_file(source, &text, &err)) return r.fail(EXIT_BAD_INPUT, err);
  std::string bytes;
  std::vector<Diagnostic> errors;
  if (!compile_source(text, &bytes, &errors)) {
    for (const Diagnostic& d : errors) {
      r.fail(EXIT_BAD_INPUT,
             strprintf("%s:%d:%d: %s", source.c_str(), d.at.line, d.at.column, d.message.c_str()));
    }
    return r.result;
  }
  if (write && !write_file(output, bytes, &err)) return r.fail(EXIT_BAD_INPUT, err);
  return r.result;
}

CommandResult decompile(const std::vector<std::string>& args) {
  Result r;
  Arguments parsed;
  std::string err;
  if (!parse_arguments(args, "o", &parsed, &err)) return r.usage(err, kDecompileUsage);
  if (parsed.operands.size() != 1) return r.usage("decompile takes one FILE.b", kDecompileUsage);
  const std::string& file = parsed.operands[0];
  std::string bytes;
  if (!read_file(file, &bytes, &err)) return r.fail(EXIT_BAD_INPUT, err);
  std::string source;
  std::string header = "PDD source of " + base_name(file) + ", written by pddtool decompile.";
  if (!decompile_pdd(bytes, header, &source, &err))
    return r.fail(EXIT_BAD_INPUT, file + ": " + err);
  if (!parsed.options.count('o')) {
    r.result.out = source;
  } else if (!write_file(parsed.options['o'], source, &err)) {
    return r.fail(EXIT_BAD_INPUT, err);
  }
  return r.result;
}

CommandResult settings(const std::vector<std::string>& args) {
  Result r;
  Arguments parsed;
  std::string err;
  if (!parse_arguments(args, "s", &parsed, &err)) return r.usage(err, kSettingsUsage);
  if (parsed.operands.empty()) return r.usage("settings needs a FILE.b", kSettingsUsage);
  SettingsRequest request;
  request.stream = parsed.options['s'];
  for (size_t i = 1; i < parsed.operands.size(); ++i) {
    const std::string& pair = parsed.operands[i];
    size_t equals = pair.find('=');
    if (equals == std::string::npos || equals == 0) {
      return r.usage("'" + pair + "' is not TAG=VALUE", kSettingsUsage);
    }
    request.values.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
  }
  const std::string& file = parsed.operands[0];
  std::string bytes;
  if (!read_file(file, &bytes, &err)) return r.fail(EXIT_BAD_INPUT, err);
  PddHandle pdd = read_pdd_quietly(file);
  if (!is_valid_top_menu(pdd.get())) return r.fail(EXIT_BAD_INPUT, file + ": not a readable PDD");
  if (!queue_settings(pdd.get(), request, &r.result.out, &err)) {
    return r.fail(EXIT_BAD_INPUT, err);
  }
  return r.result;
}

}  // namespace

std::string compiled_path(const std::string& source) {
  size_t slash = source.rfind('/');
  size_t dot = source.rfind('.');
  size_t name = slash == std::string::npos ? 0 : slash + 1;
  if (dot == std::string::npos || dot <= name) return source + ".b";
  return source.substr(0, dot) + ".b";
}

CommandResult run_pddtool(const std::vector<std::string>& args) {
  Result r;
  if (args.empty()) {
    return r.fail(EXIT_USAGE,
                  "no subcommand (compile, decompile, check or settings); see "
                  "'pddtool -h'");
  }
  const std::string& command = args[0];
  if (command == "-h" || command == "--help" || command == "help") {
    r.result.out = kHelp;
    return r.result;
  }
  if (command == "compile") return compile_or_check(args, true);
  if (command == "check") return compile_or_check(args, false);
  if (command == "decompile") return decompile(args);
  if (command == "settings") return settings(args);
  return r.fail(EXIT_USAGE, "unknown subcommand '" + command + "'; see 'pddtool -h'");
}

}  // namespace pddtool
