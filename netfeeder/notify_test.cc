// Message texts, the log records, the response collection and every delivery path,
// against a temporary tree standing in for the system (QUINTARO_ROOT).
#include "netfeeder/notify.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <utmp.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/program.h"
#include "tests/support/recorders.h"

namespace {

namespace fs = std::filesystem;

// Always the same moment, whose time text the tests show as "T".
class FixedClock : public Clock {
 public:
  time_t now() override { return 1000000000; }
};

class NotifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "netfeeder-notify-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    fs::create_directories(root + "/usr/lib");
    fs::create_directories(root + "/dev");
    fs::create_directories(root + "/var/run");
    setenv("QUINTARO_ROOT", root.c_str(), 1);
    for (const char* name : {"printer", "user", "title", "request_id"}) unsetenv(name);
    settings.host = "laser1";
  }
  void TearDown() override {
    unsetenv("QUINTARO_ROOT");
    fs::remove_all(root);
  }
  void install_mail_program() { install_mail_recorder(root); }
  void write_login_records(const std::vector<std::pair<std::string, std::string>>& records) {
    std::ofstream(root + "/var/run/utmp", std::ios::binary) << login_records(records);
  }
  // The file's text, with each time text of the clock as "T".
  std::string file(const std::string& relative) {
    std::string text = read_file(root + "/" + relative);
    const std::string time = time_text(clock);
    for (size_t at = 0; !time.empty() && (at = text.find(time, at)) != std::string::npos; ++at) {
      text.replace(at, time.size(), "T");
    }
    return text;
  }

  std::string root;
  Settings settings;
  Trace trace;
  Identity identity;
  FixedClock clock;
  Notifier notifier{settings, trace, identity, clock};
};

TEST_F(NotifyTest, LogRecordsAndCollectedResponsesMailedAtTheEnd) {
  install_mail_program();
  setenv("title", "Report", 1);
  setenv("request_id", "q1-7", 1);
  settings.log_path = root + "/log";
  settings.printer_name = "q1";
  settings.user = "alice";
  settings.mail_flags = DELIVER_RESPONSE_USER;
  notifier.open_log_and_collection();
  notifier.dispatch_message(IR_MESSAGE, notifier.condition_notification("Paper Jam"));
  LineList response;
  response.add("^[E\n");
  notifier.dispatch_message(RESPONSE_MESSAGE, response);
  notifier.finish_responses();
  notifier.dispatch_message(RESPONSE_MESSAGE, response);  // neither logged nor collected
  notifier.finish_responses();

  const std::string header = "Message from queue: q1 [ T ] ...\n";
  EXPECT_EQ(file("log"),
            "--- T ---\ntitle      :Report\nrequest_id :q1-7\n"
            "Printer responses:\n" +
                header +
                "Printer intervention required: laser1\n"
                "Printer condition:             Paper Jam\n\n"
                "Printer responses:\n^[E\n\n"
                "--- T ---\n");
  EXPECT_EQ(file("usr/lib/mail.args"), "alice\n--\n");
  EXPECT_EQ(file("usr/lib/mail.input"), "subject: Message from queue: q1 [ T ] ...\nfrom: q1\n\n" +
                                            header + "Printer response: \n^[E\n\n.\n");
}

TEST_F(NotifyTest, CollectionKeepsTheFirst64KiBOfResponsesAndTheLogAll) {
  install_mail_program();
  settings.log_path = root + "/log";
  settings.user = "alice";
  settings.mail_flags = DELIVER_RESPONSE_USER;
  notifier.open_log_and_collection();
  std::string all, logged;
  for (char c : std::string("abcdefg")) {  // 7 lines of 10,000 bytes
    LineList response;
    response.add(std::string(9999, c) + "\n");
    notifier.dispatch_message(RESPONSE_MESSAGE, response);
    all += response.text();
    logged += "Printer responses:\n" + response.text() + "\n";
  }
  notifier.finish_responses();
  EXPECT_EQ(file("log"), "--- T ---\n" + logged + "--- T ---\n");
  const std::string header = "Message from printer [ T ] ...\n";
  EXPECT_EQ(file("usr/lib/mail.input"),
            "subject: Message from printer [ T ] ...\n\n" + header + "Printer response: \n" +
                all.substr(0, RESPONSE_TEXT_LIMIT) +
                "\n[4464 more bytes of printer responses left out]\n\n.\n");
}

TEST_F(NotifyTest, NoResponsesNoCollectionMail) {
  install_mail_program();
  settings.user = "alice";
  settings.mail_flags = DELIVER_RESPONSE_USER | DELIVER_IR_USER;
  notifier.open_log_and_collection();
  notifier.finish_responses();
  EXPECT_FALSE(fs::exists(root + "/usr/lib/mail.args"));
  // Without a printer name: the other header form and no "from:".
  notifier.dispatch_message(IR_MESSAGE, notifier.lost_connection_notification());
  EXPECT_EQ(file("usr/lib/mail.input"),
            "subject: Message from printer [ T ] ...\n\n"
            "Message from printer [ T ] ...\nPrinter intervention required: laser1\n"
            "Printer condition:             Connection to printer was lost.\n\n.\n");
}

TEST_F(NotifyTest, MailRecipientsMailHostAndMissingProgram) {
  settings.log_path = root + "/log";
  settings.mail_host = "mailhub";
  notifier.open_log_and_collection();
  LineList lines;
  lines.add("x\n");
  notifier.deliver_mail("bob", lines);  // no mail program yet
  install_mail_program();
  notifier.deliver_mail("bob", lines);
  notifier.deliver_mail("carol@elsewhere", lines);
  notifier.deliver_mail("-oQ/tmp", lines);
  notifier.deliver_mail("$(touch x); `id`", lines);
  EXPECT_EQ(file("usr/lib/mail.args"),
            "bob@mailhub\n--\ncarol@elsewhere\n--\n"
            "$(touch x); `id`@mailhub\n--\n");
  EXPECT_EQ(file("log"), "--- T ---\nSend mail not found : " + root + "/usr/lib/sendmail\n" +
                             "Mail recipient refused : -oQ/tmp@mailhub\n");
}

TEST_F(NotifyTest, ConsoleForEmptyRecipientsAndMailForOtherHosts) {
  install_mail_program();
  std::ofstream(root + "/dev/console") << "";
  LineList lines;
  lines.add("one\n");
  lines.add("two");
  notifier.deliver_write("", lines);
  notifier.deliver_mail("", lines);
  EXPECT_EQ(file("dev/console"), "\n\aone\ntwo\n\n\aone\ntwo\n");
  notifier.deliver_write("alice@no-such-node.example", lines);
  EXPECT_EQ(file("usr/lib/mail.args"), "alice@no-such-node.example\n--\n");
}

TEST_F(NotifyTest, LoginRecordsChooseTheTerminalLine) {
  using Records = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    Records records;
    std::string device;
  };
  const Case cases[] = {
      {{}, ""},
      {{{"bob", "pts/1"}}, ""},
      {{{"bob", "pts/1"}, {"alice", "pts/4"}, {"alice", "pts/5"}}, "/dev/pts/4"},
      {{{"alice", "console"}, {"alice", "pts/2"}}, "/dev/console"},
      {{{"alice", "console"}, {"alice", ":0"}, {"alice", "console"}}, "/dev/:0"},
      {{{"alice", "console"}, {"alice", "tty1"}, {"alice", "console"}, {"alice", ":1"}},
       "/dev/console"},
      {{{"alice", ""}, {"alice", "/etc/passwd"}, {"alice", "pts/../../etc/x"}, {"alice", "tty2"}},
       "/dev/tty2"},
      {{{"alicex", "tty3"}, {"alic", "tty4"}}, ""},
  };
  for (const Case& c : cases) {
    write_login_records(c.records);
    EXPECT_EQ(notifier.find_user_tty("alice"), c.device) << c.records.size();
  }
}

TEST_F(NotifyTest, OnlyCharacterDevicesBelowDevAreWritten) {
  install_mail_program();
  LineList lines;
  lines.add("Paper Jam\n");
  write_login_records({{"alice", "null"}});
  EXPECT_TRUE(notifier.write_user_tty("alice", lines));  // /dev/null is a character device
  // A regular file reached through ".." is not written; the user is mailed instead.
  std::ofstream(root + "/dev-file") << "";
  write_login_records({{"alice", "../" + root.substr(1) + "/dev-file"}});
  notifier.deliver_write("alice", lines);
  EXPECT_EQ(file("dev-file"), "");
  EXPECT_EQ(file("usr/lib/mail.args"), "alice\n--\n");
  EXPECT_EQ(notifier.unreachable_notification().text(), "laser1 is unreachable.\n");
}

}  // namespace
