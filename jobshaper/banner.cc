// Banner pages from banner files or banner programs.
#include "jobshaper/banner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "common/debug_trace.h"
#include "common/format.h"
#include "common/paths.h"
#include "common/process.h"
#include "common/program_frame.h"
#include "common/unique_fd.h"
#include "jobshaper/copy.h"
#include "jobshaper/encode.h"
#include "pdd/definitions.h"

namespace {

#define LIST(...) debug_trace().print(DEBUG_LISTING, __VA_ARGS__)

std::string ds_key(const std::string& data_stream, const char* name) {
  return strprintf("%s_%s", data_stream.c_str(), name);
}

// Whether `path` itself exists (a final symbolic link is not followed).
bool exists(const std::string& path, struct stat* st) { return lstat(path.c_str(), st) == 0; }
// Whether the file that `path` names exists: the banner file or program that would
// be read or run, whose permissions are those of the link's target.
bool target_exists(const std::string& path, struct stat* st) { return stat(path.c_str(), st) == 0; }

// The quoted text without its surrounding double quotes.
std::string unquoted(const std::string& quoted) {
  if (quoted.size() >= 2 && quoted.front() == '"' && quoted.back() == '"') {
    return quoted.substr(1, quoted.size() - 2);
  }
  return quoted;
}

int fail_with_listing(const char* line) {
  LIST("%s", line);
  return BANNER_FAILED;
}

// The formatter may run with more rights than the user: a user's own definition
// gets banner files of the banner directory, never a file elsewhere or a program.
int check_user_banner(const JobSettings& s, const std::string& program) {
  const char* error = nullptr;
  const char* reason = nullptr;
  if (!program.empty() && program[0] == '/') {
    error = "Banner File name Error!";
    reason =
        "A user's own queue definition may only name a banner file of the banner "
        "directory.\n";
  } else if (get_definition(ds_key(s.data_stream, "execute_banner")) == "yes") {
    error = "Banner Program Error!";
    reason = "A user's own queue definition may not run a banner program.\n";
  }
  if (!reason) return JOBSHAPER_OK;
  std::string text = strprintf("\n%s: %s\n\n", s.invocation.c_str(), error);
  text += strprintf("Banner Program : %s\n\n", program.c_str());
  text += reason;
  text += "Sorry banner Page will NOT be printed.\n\n";
  report(text);
  LIST("%s", text.c_str());
  return JOBSHAPER_FAILED;
}

}  // namespace

int check_banner(JobSettings& s, std::string* source) {
  std::string key = ds_key(s.data_stream, "banner_page");
  std::string banner_page = get_definition(key);
  if (s.banner && banner_page != "yes") {
    s.input_file.reset();
    LIST("\nWARNING:\n\n");
    LIST("There is a conflict between the \"%s\" tag and the command line.\n", "banner_page");
    LIST("The Command line specifies -b flag and");
    LIST(" %s = %s.\n\n", "banner_page", banner_page.c_str());
    LIST("To print the banner page the following conditions should be met:\n\n");
    LIST(" %s=%s \n       and\n", key.c_str(), "yes");
    LIST(" -b command line option\n\n");
    LIST(" Therefore, the banner page will NOT PRINTED.\n\n");
    return JOBSHAPER_FAILED;
  }
  LIST("banner_page_tag = %s\n", banner_page.c_str());
  bool default_source =
      s.banner && get_definition(ds_key(s.data_stream, "banner_print_default")) != "no";
  const char* choice = default_source ? "banner_file" : "banner_other_file";
  LIST("Which Banner to use = %s\n", choice);
  if (!s.banner) return JOBSHAPER_OK;

  const std::string& banner_type = get_definition("banner_type");
  if (!banner_type.empty()) s.data_stream = banner_type;

  std::string field = ds_key(s.data_stream, choice);
  LIST("banner_program_field = %s\n", field.c_str());
  std::string program = get_definition(field);
  if (program == " ") {
    LIST("%s is \" \", trying default.\n", field.c_str());
    program = get_definition(ds_key(s.data_stream, "banner_file"));
  }
  LIST("banner_prog = %s\n", program.c_str());
  if (s.user_vqd) {
    if (int status = check_user_banner(s, program); status != JOBSHAPER_OK) return status;
  }

  if (program.empty() || program[0] != '/') {
    bool no_source = program.empty();
    if (program.find('/') != std::string::npos) {
      std::string text = strprintf("\n%s: Banner File name Error!\n\n", s.invocation.c_str());
      text += strprintf("Banner Program : %s\n\n", program.c_str());
      text += "The banner program is not a fully qualified path and has a '/' in it.\n";
      text += "Sorry banner Page will NOT be printed.\n\n";
      report(text);
      LIST("%s", text.c_str());
      return JOBSHAPER_FAILED;
    }
    program = paths::banner_file(program);
    LIST("It is the default banner, look in: %s\n", program.c_str());
    // An empty source would name the banner directory itself: that is no banner.
    struct stat st;
    if (no_source || !exists(program, &st)) {
      reportf("\n%s: '%s' 1. File not found\n\n", s.invocation.c_str(), program.c_str());
      LIST("\nERROR !!\n\n");
      LIST("File not found: %s\n\n", program.c_str());
      LIST("   The banner program file was not found.\n");
      LIST("   Sorry, the banner Page will NOT be printed.\n");
      LIST("   cleaning up and exiting with error\n");
      return JOBSHAPER_FAILED;
    }
  }
  *source = program;
  return JOBSHAPER_OK;
}

int print_banner(const JobSettings& s, const std::string& source) {
  const std::string& ds = s.data_stream;
  std::string execute = get_definition(ds_key(ds, "execute_banner"));
  LIST("\tGot the execute_banner flag\n");
  struct stat st;

  if (execute != "yes") {
    if (!target_exists(source, &st)) {
      reportf(
          "\n%s : Banner File '%s' not found\nNo Banner page to print. Bye.\n\n"
          "Sorry there is no banner Page to print.\n\n",
          s.invocation.c_str(), source.c_str());
      LIST("\tBanner File '%s' not found\n", source.c_str());
      LIST("\tNo Banner page to print. Bye.\n\n");
      LIST("\tSorry there is no banner Page to print.\n");
      return fail_with_listing("cleaning up and exiting with error\n");
    }
    UniqueFd file(open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
      reportf("\n%s: Can't Open %s\n\n", s.invocation.c_str(), source.c_str());
      LIST("Can't Open banner file : %s\n", source.c_str());
      return fail_with_listing("cleaning up and exiting with error\n");
    }
    int error = 0;
    CopyResult copied = copy_to_stdout(file.get(), &error);
    if (copied != CopyResult::DONE) {
      report_copy_failure(copied, error, s.invocation, "the banner file");
      return BANNER_INCOMPLETE;
    }
    return JOBSHAPER_OK;
  }

  LIST("        The execute_banner = YES.\n");
  if (!target_exists(source, &st)) {
    reportf("\n%s: '%s' 2. File not found\n\n", s.invocation.c_str(), source.c_str());
    LIST("ERROR !! : '%s' File not found\n\n", source.c_str());
    return fail_with_listing("cleaning up and exiting with error\n");
  }
  LIST("\tThe banner program exists.\n");
  if ((st.st_mode & S_IXUSR) == 0) {
    LIST(
        "\tThe banner program does not have execute permissions\n"
        "\tSorry banner Page will NOT be printed.\n.\n");
    reportf("\n%s : No execute permissions on %s\nSorry banner Page will NOT be printed.\n\n",
            s.invocation.c_str(), source.c_str());
    return fail_with_listing("cleaning up and exiting with error\n");
  }
  LIST("\tYes, the banner file exists and is executable, lets execute it.\n");
  LIST("\tGot the execute_banner flag\n");
  std::string quoted_description = "\"" + get_definition("printer_desc") + "\"";
  Encodeit(quoted_description, s.locale.c_str(), 1, s.codeset_utf8 ? 1 : 0);
  std::string description = unquoted(quoted_description);
  std::string paper_size = get_definition(ds_key(ds, "banner_paper_size"));
  LIST("\tbanner_paper_size = %s\n", paper_size.c_str());

  std::string title = unquoted(s.quoted_title);
  LIST("\tThe banner_title is = %s\n", title.c_str());
  LIST("\tThe quoted_banner_title is = %s\n", s.quoted_title.c_str());
  auto or_dash = [](const std::string& value) { return value.empty() ? std::string("-") : value; };
  std::vector<std::string> argv = {
      source,
      or_dash(title),
      or_dash(s.have_user ? s.user : ""),
      or_dash(s.have_host ? s.host : ""),
      or_dash(s.queue),
      description,
      or_dash(paper_size),
      s.locale.empty() ? std::string("en") : s.locale,
  };
  std::string shown = strprintf("%s \"%s\" %s %s %s \"%s\" %s %s", source.c_str(), argv[1].c_str(),
                                argv[2].c_str(), argv[3].c_str(), argv[4].c_str(), argv[5].c_str(),
                                argv[6].c_str(), argv[7].c_str());
  LIST("\tRun the following command:\n\t\t%s\n", shown.c_str());
  // The program writes to our standard output; every value is one argument of its
  // own, never seen by a shell.
  pid_t pid = spawn_program(source, argv);
  if (pid < 0) {
    reportf("\n%s: Can't run %s\n\n", s.invocation.c_str(), source.c_str());
    return fail_with_listing("cleaning up and exiting with error\n");
  }
  int status = wait_program(pid);
  if (status < 0) {
    reportf("\n%s: Can't wait for %s\n\n", s.invocation.c_str(), source.c_str());
    return BANNER_FAILED;
  }
  return status;
}
