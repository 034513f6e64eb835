// The job formatter's run: command line, choice of the queue definition, data
// stream, PDD, overrides, prologue codes, body and end-of-job codes.
#include "jobshaper/jobshaper.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "common/debug_trace.h"
#include "common/format.h"
#include "common/help_text.h"
#include "common/io.h"
#include "common/paths.h"
#include "common/program_frame.h"
#include "common/unique_fd.h"
#include "jobshaper/banner.h"
#include "jobshaper/code_strings.h"
#include "jobshaper/copy.h"
#include "jobshaper/encode.h"
#include "jobshaper/overrides.h"
#include "jobshaper/sniff.h"
#include "jobshaper/user_queue.h"
#include "pdd/definitions.h"
#include "pdd/library.h"
#include "pdd/read_nodes.h"

namespace {

constexpr const char* kProgram = "jobshaper";
constexpr const char* kDashes75 =
    "---------------------------------------------------------------------------";

// Writes one line of the debug listing (debug bit 2).
#define LIST(...) debug_trace().print(DEBUG_LISTING, __VA_ARGS__)

std::string usage_lines() {
  return strprintf("    %s -q name [-f file] [-b] [-h host] [-p options] [-u user]\n", kProgram) +
         "                             [-s name] [ -d number -t file ]\n";
}

std::string help_text(const ProgramFrame& frame) {
  std::string text = strprintf("\n%s\n\n", kProgram);
  text += "Formats print jobs according to printer queue settings.\n\n";
  text += "This program is designed to be called by an interface\n";
  text += "script when a print job is inserted into a printer queue.\n";
  text += "It reads the virtual queue definition file and prepends\n";
  text += "the correct printer codes to the print job before sending\n";
  text += "the print job to the printer.\n\n";
  text += "This program reads from either a file or standard input and\n";
  text += "writes to standard output.\n";
  text += frame.usage_section();
  text += help_options({
      {"-b", "Prints the banner file.\n"},
      {"-d number", "Specify the debug number. Valid options are 2 or 4.\n"},
      {"-f",
       "Specify the input filename.  Use the specified filename\n"
       "instead of standard input data.\n"},
      {"-h host", "Specify the hostname of the printing host.\n"},
      {"-H", "Display this help and exit.\n"},
      {"-p options",
       "Specify the options to override the printer queue settings.\n"
       "Options are in the format of tag=value and should be enclosed\n"
       "in quotation marks.  See [ settingsview ] for a list of valid\n"
       "queue options.\n"},
      {"-q name", "Specify the name of the printer queue.\n"},
      {"-s name", "Specify the job name that will be printed on the banner page.\n"},
      {"-t file", "Specify the debug filename.\n"},
      {"-u user", "Specify the current username.\n"},
  });
  text += "\nEXAMPLES:\n\n";
  text += strprintf("    $ %s -q test_pcl -f /etc/motd\n", kProgram);
  text += "       Formats the file /etc/motd for the printer queue test_pcl.\n\n";
  text += strprintf("    $ %s -q test_ps -f /etc/motd -b -u admin \\ \n", kProgram);
  text += "         -h localhost -s 'My Print Job'\n";
  text += "       Prints the default PostScript banner page for the PostScript\n";
  text += "       queue test_ps, for user admin on host localhost, with the\n";
  text += "       job title My Print Job.\n\n";
  return text;
}

class JobShaper {
 public:
  int run(int argc, char** argv);

 private:
  int parse_options(int argc, char** argv);
  int load_vqd();
  int choose_data_stream();
  int load_pdd();
  int write_prologue();
  int copy_job();
  int write_end_of_job();
  int finish(int result);
  void report_write_codes_failure(const char* field);
  // Copies `fd` to standard output; reports a failure and remembers it.
  void copy_input(int fd);

  // Declared first, so that the debug file is closed after everything else.
  ProgramFrame frame_{kProgram, usage_lines(), 'H', JOBSHAPER_FAILED};
  JobSettings s_;
  PddHandle pdd_;
  std::string pdd_path_;
  std::string banner_source_;
  bool io_error_ = false;  // the job could not be read or written in full
};

int JobShaper::parse_options(int argc, char** argv) {
  auto set_title = [this](const char* title) {
    s_.title = title;
    s_.have_title = true;
    s_.quoted_title = "\"" + s_.title + "\"";
  };
  const std::vector<ProgramOption> options = {
      {'H', false,
       [&](const char*) {
         report(help_text(frame_));
         return JOBSHAPER_FAILED;
       }},
      {'q', true,
       [&](const char* queue) {
         s_.queue = queue;
         s_.have_queue = true;
         s_.system_vqd = paths::system_vqd(queue);
         return -1;
       }},
      {'f', true,
       [&](const char* file) {
         // Close-on-exec, as the debug file: a banner program gets neither.
         UniqueFd input(open(file, O_RDONLY | O_CLOEXEC));
         if (!input.valid()) {
           frame_.usage();
           reportf("ERROR: Can't Open input file '%s'\n\n", file);
           LIST("\n%s: Can't Open input file.\n\n", s_.invocation.c_str());
           return JOBSHAPER_FAILED;
         }
         s_.input_file = std::move(input);
         set_title(file);
         return -1;
       }},
      {'h', true,
       [&](const char* host) {
         s_.host = host;
         s_.have_host = true;
         return -1;
       }},
      {'t', true,
       [&](const char* file) {
         if (frame_.open_debug_file(file)) return -1;
         reportf("\n%s: Can't Open debug file '%s' for writing.\n\n", s_.invocation.c_str(), file);
         return JOBSHAPER_FAILED;
       }},
      {'u', true,
       [&](const char* user) {
         s_.user = user;
         s_.have_user = true;
         return -1;
       }},
      {'s', true,
       [&](const char* title) {
         set_title(title);
         return -1;
       }},
      {'p', true,
       [&](const char* options) {
         s_.options = options;
         s_.have_options = true;
         return -1;
       }},
      {'d', true,
       [&](const char* number) {
         frame_.set_debug_number(number);
         return -1;
       }},
      {'b', false,
       [&](const char*) {
         s_.banner = true;
         return -1;
       }},
  };
  if (int status = frame_.parse(argc, argv, options); status != -1) return status;
  if (!frame_.apply_debug_rule(DebugRule::ANY_NUMBER_NEEDS_FILE,
                               "\nERROR: Specify a writable debug filename with the -t flag.\n")) {
    return JOBSHAPER_FAILED;
  }
  return JOBSHAPER_OK;
}

int JobShaper::load_vqd() {
  FILE* file = open_definition_file(s_.vqd);
  if (!file) {
    frame_.usage();
    reportf("ERROR: Printer Queue [ %s ] does not exist.\n\n", s_.queue.c_str());
    LIST("\n%s: Can't Open virtual queue definition file.\n\n", s_.invocation.c_str());
    LIST("Queue File: [%s]\n\n", s_.vqd.c_str());
    return JOBSHAPER_FAILED;
  }
  LIST("Opened vqd %s successfully\n", s_.vqd.c_str());
  LIST("Getting printer info ... ");
  load_definitions(file);
  LIST("Done.\n");

  // The raw lines are scanned once more for the UTF-8 code set marker.
  if (FILE* again = std::fopen(s_.vqd.c_str(), "r")) {
    char line[255];
    while (std::fgets(line, sizeof line, again)) {
      if (std::strstr(line, "STRINGCODESET_UTF8")) s_.codeset_utf8 = true;
    }
    std::fclose(again);
  }

  s_.locale = get_definition("locale");
  Encodeit(s_.quoted_title, s_.locale.c_str(), s_.banner ? 1 : 0, s_.codeset_utf8 ? 1 : 0);

  s_.data_stream = get_definition("ds_list");
  if (s_.data_stream.empty()) {
    std::string text =
        strprintf("\n\n%s: Virtual Queue Definition File Error!\n", s_.invocation.c_str());
    text += "\nReason:\n";
    text += "\t- Could not find data stream type.\n";
    text += strprintf("\t- Missing '%s' field.\n", "ds_list");
    text += "\nSolution:\n";
    text += strprintf("\t- Re-create the [ %s ] print queue.\n\n", s_.queue.c_str());
    report(text);
    LIST("%s", text.c_str());
    LIST("     - Add a line in %s:\n\n", s_.vqd.c_str());
    LIST("         ds_list=pcl   (For a PCL queue)\n\n");
    LIST("         ds_list=ps    (For a PS queue)\n\n");
    LIST("Cleaning up and Exiting with error.\n");
    return JOBSHAPER_FAILED;
  }
  LIST("Data Stream name from option list = %s\n", s_.data_stream.c_str());
  return JOBSHAPER_OK;
}

int JobShaper::choose_data_stream() {
  std::string& ds = s_.data_stream;
  if (ds == "automatic" || ds == "automatic_plus" || ds == "automatic_pdf") {
    s_.sniff_position = lseek(s_.input_fd(), 0, SEEK_CUR);
    int kind = sniff(s_.input_fd(), false, &s_.sniffed);
    if (kind == SNIFF_PCL) {
      ds = "pcl";
      LIST("PCL file\n");
    } else if (kind == SNIFF_POSTSCRIPT) {
      ds = "ps";
      LIST("PostScript file\n");
    } else if (kind == SNIFF_IMAGE) {
      ds = ds == "automatic" ? "pcl" : "zt";
      LIST("Tessaly Style file\n");
    } else {
      reportf("\n\n%s: Not sure about data stream type\n", s_.invocation.c_str());
      reportf("Defaulting to PCL.\n");
      ds = "pcl";
    }
    if (s_.sniff_position >= 0) lseek(s_.input_fd(), s_.sniff_position, SEEK_SET);
    LIST("Automatic queue - Sniffed the job the data stream is = %s\n", ds.c_str());
  } else if (ds == "pdf") {
    ds = "zt";
  }
  return JOBSHAPER_OK;
}

int JobShaper::load_pdd() {
  const std::string& pdd = get_definition("pdd");
  if (pdd.empty()) {
    reportf("\n%s: Virtual Queue Definition File Error!\n", s_.invocation.c_str());
    reportf("\nReason:\n");
    reportf("\t- Could not find pdd type.\n");
    reportf("\t- Missing '%s' field.\n", "pdd");
    reportf("\nSolution:\n");
    reportf("\t- Re-create the [ %s ] print queue.\n\n", s_.queue.c_str());
    return JOBSHAPER_FAILED;
  }
  if (s_.user_vqd && pdd.find('/') != std::string::npos) {
    // The formatter may run with more rights than the user: a user's own definition
    // names a PDD of the PDD directory, never a file elsewhere.
    std::string text =
        strprintf("\n%s: Virtual Queue Definition File Error!\n", s_.invocation.c_str());
    text += "\nReason:\n";
    text += strprintf("\t- The user's own queue definition names the PDD [ %s ].\n", pdd.c_str());
    text += "\t- A user's queue definition may only name a PDD file without a '/'.\n";
    text += "\nSolution:\n";
    text += strprintf("\t- Correct the 'pdd' field of %s.\n\n", s_.vqd.c_str());
    report(text);
    LIST("%s", text.c_str());
    return JOBSHAPER_FAILED;
  }
  pdd_path_ = paths::pdd_file(pdd);
  LIST("Full path for PDD binary file = %s\n", pdd_path_.c_str());
  pdd_.reset(read_pdd(pdd_path_.c_str()));
  // A PDD is taken only with a top menu that holds items; an empty file is as
  // useless to a queue as a corrupt one.
  if (is_valid_top_menu(pdd_.get()) && static_cast<MenuNode*>(pdd_->node)->items) {
    LIST("Successfully read the PDD compiled database = %s\n\n", pdd_path_.c_str());
    return JOBSHAPER_OK;
  }
  std::string text = "\nReason:\n";
  text += strprintf("\t- File not found: %s.\n", pdd_path_.c_str());
  text += "\t- The above filename is misspelled, missing, or corrupt.\n";
  text += "\nSolution:\n";
  text += strprintf("   - Recompile the %s file.\n", pdd.c_str());
  text += "   - Ensure the virtual queue definition file exists and references\n";
  text += "     the correct PDD file..\n\n";
  report(text);
  LIST("%s", text.c_str());
  LIST("cleaning up and exiting with error\n");
  return JOBSHAPER_FAILED;
}

void JobShaper::report_write_codes_failure(const char* field) {
  reportf("%s: write_codes failed\n", s_.invocation.c_str());
  LIST("The write_codes function failed for %s.\n", field);
  LIST("Cleaning up and exiting.\n");
}

int JobShaper::write_prologue() {
  const NodePtr* top = pdd_.get();
  const char* ds = s_.data_stream.c_str();
  std::string ds_init =
      get_code_string(ds, nullptr, top, CODE_DS_INIT_STRING, nullptr, nullptr, nullptr);
  std::string sequence =
      get_code_string(ds, nullptr, top, s_.banner ? CODE_BANNER_INIT_SEQUENCE : CODE_INIT_SEQUENCE,
                      nullptr, nullptr, nullptr);
  std::string ds_end =
      get_code_string(ds, nullptr, top, CODE_DS_END_STRING, nullptr, nullptr, nullptr);
  const char* which = s_.banner ? "\nThe banner init sequence field" : "The init sequence field";
  if (!sequence.empty()) {
    LIST("%s: \n\t%s\n", which, sequence.c_str());
  } else {
    LIST("%s was BLANK.\n", which);
  }

  if (!ds_init.empty()) {
    if (write_codes(remove_string_separator(ds_init, ',')) != 0) {
      report_write_codes_failure("ds_init_string");
      return JOBSHAPER_FAILED;
    }
    LIST("Successfully wrote ds_init_string.\n");
  }
  std::string init_string;
  if (!sequence.empty()) {
    if (s_.banner) {
      init_string = get_converted_strings(sequence, top, ',', nullptr, nullptr, nullptr);
    } else {
      std::string user = s_.have_user ? "\"" + s_.user + "\"" : "\"unknown\"";
      std::string host = s_.have_host ? "\"" + s_.host + "\"" : "\"unknown\"";
      init_string = get_converted_strings(sequence, top, ',', s_.quoted_title.c_str(), user.c_str(),
                                          host.c_str());
    }
  }
  if (!init_string.empty()) {
    if (write_codes(init_string) != 0) {
      report_write_codes_failure("init_string");
      return JOBSHAPER_FAILED;
    }
    LIST("Successfully wrote init_string.\n");
  }
  if (!ds_end.empty()) {
    if (write_codes(ds_end) != 0) {
      report_write_codes_failure("ds_end_string");
      return JOBSHAPER_FAILED;
    }
    LIST("Successfully wrote ds_end_string.\n");
  }
  return JOBSHAPER_OK;
}

void JobShaper::copy_input(int fd) {
  int error = 0;
  CopyResult result = copy_to_stdout(fd, &error);
  if (result != CopyResult::DONE) {
    report_copy_failure(result, error, s_.invocation, "the print job");
    io_error_ = true;
  }
}

int JobShaper::copy_job() {
  LIST("No -b option, treating as a regular file.\n");
  LIST("Reading input file and Writing to stdout\n");
  // Bytes that sniffing took from an input that cannot seek go out first.
  if (s_.sniff_position == -1 && !s_.sniffed.empty()) {
    if (!write_all(1, s_.sniffed)) {
      report_copy_failure(CopyResult::WRITE_FAILED, errno, s_.invocation, "the print job");
      io_error_ = true;
      return JOBSHAPER_OK;
    }
  }
  copy_input(s_.input_fd());
  return JOBSHAPER_OK;
}

int JobShaper::write_end_of_job() {
  const NodePtr* top = pdd_.get();
  const char* ds = s_.data_stream.c_str();
  std::string end;
  if (!s_.banner) end = get_code_string(ds, nullptr, top, CODE_STRING2, nullptr, nullptr, nullptr);
  if (end.empty()) end = get_code_string(ds, nullptr, top, CODE_STRING1, nullptr, nullptr, nullptr);
  LIST("End of Job string = %s\n", end.c_str());
  if (!end.empty() && write_codes(end) != 0) {
    reportf("%s: write_codes failed\n", s_.invocation.c_str());
    LIST("write_codes failed for ds_end_of_file\n");
    LIST("cleaning up and exiting with error\n");
    return JOBSHAPER_FAILED;
  }
  return JOBSHAPER_OK;
}

int JobShaper::finish(int result) {
  s_.input_file.reset();
  pdd_.reset();
  if (io_error_) {
    result = JOBSHAPER_FAILED;
    LIST("formatter exit code             = %d\n", result);
  } else if (result == 0) {
    LIST("formatter exit code             = 0\n");
  } else {
    LIST("return code from banner program = %d\n", result);
    LIST("formatter exit code             = %d\n", result);
  }
  return result;
}

int JobShaper::run(int argc, char** argv) {
  s_.invocation = argc > 0 ? argv[0] : kProgram;
  // Standard output carries the job: the PDD library's messages go to standard error,
  // and a reader that goes away is reported rather than killing the formatter.
  pdd_library().output_fd = 2;
  signal(SIGPIPE, SIG_IGN);

  if (int status = parse_options(argc, argv); status != JOBSHAPER_OK) return status;
  s_.vqd = s_.system_vqd;

  LIST("\n--------------------------- DEBUGGING OUTPUT ------------------------------\n\n");
  LIST("Program                          : %s\n", s_.invocation.c_str());
  LIST("Printer Queue name               : %s\n", s_.queue.c_str());
  LIST("System Virtual Queue Definition  : %s\n\n", s_.system_vqd.c_str());

  if (s_.have_user && s_.have_queue && !s_.queue.empty()) {
    if (std::optional<std::string> user_vqd = find_user_vqd(s_.user, s_.queue)) {
      s_.vqd = *user_vqd;
      s_.user_vqd = true;
    }
    LIST("\nUsing Virtual Queue Definition   : %s\n", s_.vqd.c_str());
    LIST("\n%s\n\n", kDashes75);
  }

  if (!s_.have_queue || s_.queue.empty()) {
    LIST("\n%s: Missing Virtual Queue Definition File.\n", s_.invocation.c_str());
    frame_.usage();
    return JOBSHAPER_FAILED;
  }
  if (int status = load_vqd(); status != JOBSHAPER_OK) return status;

  if (s_.data_stream == "passthrough") {
    if (s_.banner) return JOBSHAPER_OK;
    copy_input(s_.input_fd());
    return finish(JOBSHAPER_OK);
  }
  if (int status = choose_data_stream(); status != JOBSHAPER_OK) return status;
  if (int status = load_pdd(); status != JOBSHAPER_OK) return status;
  if (s_.have_options) apply_overrides(s_.options, s_.data_stream, pdd_.get());
  if (int status = check_banner(s_, &banner_source_); status != JOBSHAPER_OK) return status;
  if (int status = write_prologue(); status != JOBSHAPER_OK) return status;

  int result = JOBSHAPER_OK;
  if (s_.banner) {
    LIST("BANNER is requested using the -b option.\n");
    result = print_banner(s_, banner_source_);
    if (result == BANNER_FAILED) return JOBSHAPER_FAILED;
    if (result == BANNER_INCOMPLETE) {
      // Like a job that could not be read in full: end the page, then fail.
      io_error_ = true;
      result = JOBSHAPER_OK;
    } else {
      LIST("\tThe banner file has been successfully printed.\n");
    }
  } else {
    copy_job();
  }
  if (int status = write_end_of_job(); status != JOBSHAPER_OK) return status;
  return finish(result);
}

}  // namespace

int run_jobshaper(int argc, char** argv) {
  JobShaper shaper;
  return shaper.run(argc, argv);
}
