// The mail recorder and login records of the agent's tests.
#include "tests/support/recorders.h"

#include <sys/stat.h>
#include <utmp.h>

#include <cstring>
#include <filesystem>
#include <fstream>

const char* const kMailRecorderScript =
    "#!/bin/sh\n"
    "dir=$(dirname \"$0\")\n"
    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >>\"$dir/mail.args\"\n"
    "echo -- >>\"$dir/mail.args\"\n"
    "cat >>\"$dir/mail.input\"\n";

void install_mail_recorder(const std::string& root) {
  std::string path = root + "/usr/lib/sendmail";
  std::filesystem::create_directories(root + "/usr/lib");
  std::ofstream(path) << kMailRecorderScript;
  chmod(path.c_str(), 0755);
}

std::string login_records(const std::vector<std::pair<std::string, std::string>>& records) {
  std::string bytes;
  for (const auto& [user, line] : records) {
    struct utmp record;
    std::memset(&record, 0, sizeof record);
    record.ut_type = USER_PROCESS;
    std::strncpy(record.ut_user, user.c_str(), sizeof record.ut_user);
    std::strncpy(record.ut_line, line.c_str(), sizeof record.ut_line);
    bytes.append(reinterpret_cast<const char*>(&record), sizeof record);
  }
  return bytes;
}
