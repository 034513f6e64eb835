// The frame of the spool-side programs.
#include "common/program_frame.h"

#include <getopt.h>
#include <sys/stat.h>

#include <cstdarg>
#include <cstdlib>

#include "common/debug_trace.h"
#include "common/format.h"
#include "common/io.h"

ProgramFrame::ProgramFrame(const char* name, std::string usage_lines, char help_letter, int failed)
    : name_(name),
      usage_lines_(std::move(usage_lines)),
      help_letter_(help_letter),
      failed_(failed) {}

ProgramFrame::~ProgramFrame() {
  if (debug_file_ && debug_trace().file == debug_file_.get()) debug_trace().file = nullptr;
}

void report(std::string_view text) { write_all(2, text); }

void reportf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vstrprintf(format, args);
  va_end(args);
  report(text);
}

std::string ProgramFrame::usage_section() const { return "\nUSAGE:\n" + usage_lines_; }

void ProgramFrame::usage() const {
  report(usage_section() +
         strprintf("\nTry '%s -%c' for more information\n\n", name_, help_letter_));
}

int ProgramFrame::parse(int argc, char** argv, const std::vector<ProgramOption>& table) const {
  std::string letters;
  for (const ProgramOption& option : table) {
    letters += option.letter;
    if (option.takes_argument) letters += ':';
  }
  // 0, not 1: getopt then also forgets a group of options ("-xq") it stopped in, which
  // an earlier parse may have left behind in an argv that is gone now.
  optind = 0;
  for (int c; (c = getopt(argc, argv, letters.c_str())) != -1;) {
    const ProgramOption* found = nullptr;
    for (const ProgramOption& option : table) {
      if (option.letter == c) found = &option;
    }
    if (!found) {  // getopt has said what is wrong
      usage();
      return failed_;
    }
    if (int status = found->apply(optarg); status != -1) return status;
  }
  return -1;
}

void ProgramFrame::set_debug_number(const char* text) {
  debug_trace().level = std::atoi(text);
  debug_number_given_ = true;
}

bool ProgramFrame::open_debug_file(const char* path) {
  FILE* file = std::fopen(path, "w+e");
  if (!file) return false;
  debug_file_.reset(file);
  debug_trace().file = file;
  return true;
}

bool ProgramFrame::apply_debug_rule(DebugRule rule, std::string_view message) const {
  DebugTrace& trace = debug_trace();
  bool needs_file =
      rule == DebugRule::ANY_NUMBER_NEEDS_FILE ? debug_number_given_ : trace.level != 0;
  if (needs_file && !debug_file_) {
    usage();
    report(message);
    return false;
  }
  if (debug_file_ && !debug_number_given_) trace.level = DEBUG_LISTING;
  return true;
}

FILE* open_definition_file(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "re");
  if (!file) return nullptr;
  struct stat st;
  if (fstat(fileno(file), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}
