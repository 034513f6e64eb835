// The queue option listing's run: command line, the queue's VQD, the PDD, and
// the listing.
#include "settingsview/settingsview.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/format.h"
#include "common/help_text.h"
#include "common/io.h"
#include "common/paths.h"
#include "common/program_frame.h"
#include "pdd/definitions.h"
#include "pdd/read_nodes.h"
#include "settingsview/option_listing.h"

namespace {

constexpr const char* kProgram = "settingsview";

std::string usage_lines() {
  return strprintf("    %s -q name [-b] [-c] [-j] [-l] [-w number]\n", kProgram) +
         strprintf("    %s -f name [-b] [-c] [-j] [-l] [-w number]\n", kProgram) +
         strprintf("    %s -h\n", kProgram);
}

std::string help_text(const ProgramFrame& frame) {
  std::string text = strprintf("\n%s", kProgram);
  text += "\n    Lists the printer queue settings defined in the printer definition";
  text += "\n    database (PDD) files. You can specify whether to display only banner";
  text += "\n    page related settings, only job related settings, or both.";
  text += "\n    Only job related settings are displayed by default.";
  text += "\n    Results can be displayed in the default horizontal format or in";
  text += "\n    long format.\n";
  text += frame.usage_section();
  text += help_options({
      {"-b", "Display only banner related options.\n"},
      {"-c", "Display in colon separated format.\n"},
      {"-f name", "Specify the PDD filename.\n"},
      {"-h", "Display this help and exit.\n"},
      {"-j", "Display only job related options.\n"},
      {"-l", "Display in long format.\n"},
      {"-q name", "Specify the name of the printer queue.\n"},
      {"-w number",
       "Specify the number of columns to be shown.  Specifying 100 shows\n"
       "100 columns of text. The default width value is 79.\n"},
  });
  text += "\nEXAMPLES:\n\n";
  text += strprintf("    $ %s -q test_q\n", kProgram);
  text += "       Displays the job related options of the printer queue test_q.\n\n";
  text += strprintf("    $ %s -q test_q -b\n", kProgram);
  text += "       Displays the banner related options of the printer queue test_q.\n\n";
  text += strprintf("    $ %s -q test_q -b -j -l\n", kProgram);
  text += "       Displays the job and banner related options of the printer queue\n";
  text += "       test_q in long format.\n\n";
  return text;
}

class SettingsView {
 public:
  int run(int argc, char** argv);

 private:
  ProgramFrame frame_{kProgram, usage_lines(), 'h', SETTINGSVIEW_FAILED};
  int parse_options(int argc, char** argv);
  int read_queue();
  void not_found(const std::string& path) const;

  std::string queue_;  // -q, -d or -P: the last one given
  bool have_queue_ = false;
  std::string pdd_name_;  // -f
  bool have_pdd_name_ = false;
  bool show_missing_ = false;  // -x
  ListingOptions listing_;
  bool job_ = false;
  bool banner_ = false;

  std::string pdd_;           // the VQD's pdd value, or the -f name
  std::string printer_type_;  // from the VQD
  std::string data_streams_;  // the VQD's ds_list
  std::string pdd_path_;
};

int SettingsView::parse_options(int argc, char** argv) {
  auto flag = [](bool& target) {
    return [&target](const char*) {
      target = true;
      return -1;
    };
  };
  auto queue = [this](const char* name) {
    queue_ = name;
    have_queue_ = true;
    return -1;
  };
  const std::vector<ProgramOption> options = {
      {'h', false,
       [&](const char*) {
         report(help_text(frame_));
         return SETTINGSVIEW_FAILED;
       }},
      {'c', false, flag(listing_.colon_format)},
      {'d', true, queue},
      {'q', true, queue},
      {'f', true,
       [&](const char* name) {
         pdd_name_ = name;
         have_pdd_name_ = true;
         return -1;
       }},
      {'P', true, queue},
      {'w', true,
       [&](const char* width) {
         listing_.width = std::atoi(width);
         return -1;
       }},
      {'j', false, flag(job_)},
      {'b', false, flag(banner_)},
      {'l', false, flag(listing_.long_format)},
      // -r is known but not used: like any unknown option it ends with the usage text.
      {'r', false,
       [&](const char*) {
         frame_.usage();
         return SETTINGSVIEW_FAILED;
       }},
      {'x', false, flag(show_missing_)},
  };
  if (int status = frame_.parse(argc, argv, options); status != -1) return status;
  if (have_queue_ && have_pdd_name_) {
    frame_.usage();
    report("Options [ -d|-f ] are mutually exclusive, use one option only.\n\n");
    return SETTINGSVIEW_FAILED;
  }
  if (!have_queue_ && !have_pdd_name_) {
    frame_.usage();
    return SETTINGSVIEW_FAILED;
  }
  // Without -j and -b the job options are listed.
  listing_.job = job_ || !banner_;
  listing_.banner = banner_;
  return SETTINGSVIEW_OK;
}

void SettingsView::not_found(const std::string& path) const {
  if (show_missing_) report(strprintf("%s: '%s' File not found\n\n", kProgram, path.c_str()));
}

int SettingsView::read_queue() {
  const std::string vqd = paths::system_vqd(queue_);
  FILE* file = open_definition_file(vqd);
  if (!file) {
    frame_.usage();
    report(strprintf("ERROR: Queue Name [ %s ] does not exist.\n\n", queue_.c_str()));
    not_found(vqd);
    return SETTINGSVIEW_FAILED;
  }
  load_definitions(file);
  pdd_ = get_definition("pdd");
  printer_type_ = get_definition("printer_type");
  data_streams_ = get_definition("ds_list");
  clear_definitions();
  if (pdd_.empty()) {
    report(strprintf("\n\n%s:  ERROR\n", kProgram) +
           strprintf("\tMissing '%s' field in %s\n\n", "pdd", vqd.c_str()));
    return SETTINGSVIEW_FAILED;
  }
  pdd_path_ = paths::pdd_file(pdd_);
  listing_.data_streams = &data_streams_;
  return SETTINGSVIEW_OK;
}

int SettingsView::run(int argc, char** argv) {
  if (int status = parse_options(argc, argv); status != SETTINGSVIEW_OK) return status;

  if (have_queue_) {
    if (int status = read_queue(); status != SETTINGSVIEW_OK) return status;
  } else {
    pdd_ = pdd_name_;
    pdd_path_ = paths::pdd_file(pdd_name_ + ".b");
  }

  struct stat st;
  if (lstat(pdd_path_.c_str(), &st) != 0) {
    frame_.usage();
    report(strprintf("ERROR: PDD File [ %s ] does not exist.\n\n", pdd_.c_str()));
    not_found(pdd_path_);
    return SETTINGSVIEW_FAILED;
  }

  PddHandle pdd(read_pdd(pdd_path_.c_str()));
  if (!is_valid_top_menu(pdd.get())) {
    report(strprintf("\n\n%s:  ERROR\n", kProgram) + "\nPossible reasons:\n" +
           strprintf("\t- File not found: %s.\n", pdd_path_.c_str()) +
           "\t- The above file name is misspelled in the virtual queue file.\n"
           "\t- The above file may be corrupt.\n");
    return SETTINGSVIEW_FAILED;
  }

  std::string out;
  if (have_queue_) out += strprintf("\nPrinter Model : %s \n\n", printer_type_.c_str());
  list_options(*static_cast<const MenuNode*>(pdd->node), listing_, out);
  return write_all(1, out) ? SETTINGSVIEW_OK : SETTINGSVIEW_FAILED;
}

}  // namespace

int run_settingsview(int argc, char** argv) {
  SettingsView view;
  return view.run(argc, argv);
}
