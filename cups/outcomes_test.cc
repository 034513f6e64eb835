// How the ends of the formatter and the agent become CUPS's exit statuses.
#include "cups/outcomes.h"

#include <gtest/gtest.h>

#include "cups/backend.h"
#include "cups/job_processes.h"

namespace {

TEST(OutcomesTest, TheAgentDeliveredOnlyWhenItTookEveryByteAndEndedWell) {
  AgentFindings none, lost, unresolved, unreachable, said;
  lost.connection_lost = true;
  unresolved.unresolved = "nohost";
  unreachable.unreachable = "10.9.9.9";
  said.messages =
      "\nUSAGE:\n    netfeeder [-u user]\nTry 'netfeeder -H' for more information\n"
      "You must specify the printer hostname or IP address\n";
  const struct {
    int status;
    bool all_taken;
    const AgentFindings* findings;
    std::string output;
    int expected;
    std::string reason;
  } cases[] = {
      {0, true, &none, "", CUPS_BACKEND_OK, ""},
      // netfeeder ends with 0 after it discarded a job for an unknown host or network.
      {0, true, &unresolved, "", CUPS_BACKEND_RETRY,
       "The printer's host name nohost cannot be resolved"},
      {0, true, &unreachable, "", CUPS_BACKEND_RETRY, "The printer 10.9.9.9 cannot be reached"},
      {255, false, &lost, "", CUPS_BACKEND_RETRY, "The connection to the printer was lost"},
      {0, false, &none, "", CUPS_BACKEND_FAILED,
       "The transport agent ended before it took the whole job"},
      {SIGNALLED + 15, false, &none, "", CUPS_BACKEND_FAILED,
       "The transport agent was ended by signal 15"},
      {127, false, &none, "", CUPS_BACKEND_STOP, "The transport agent /a/nf could not be started"},
      {255, false, &said, "", CUPS_BACKEND_FAILED,
       "The transport agent failed (status 255): You must specify the printer hostname or IP "
       "address"},
      {255, false, &none, "Unknown Message type :x\nUse i or l.\n", CUPS_BACKEND_FAILED,
       "The transport agent failed (status 255): Unknown Message type :x Use i or l."},
  };
  for (const auto& c : cases) {
    Verdict verdict = agent_verdict(c.status, c.all_taken, *c.findings, c.output, "/a/nf");
    EXPECT_EQ(verdict.status, c.expected) << c.reason;
    EXPECT_EQ(verdict.reason, c.reason);
  }
}

TEST(OutcomesTest, TheFormattersRefusalsNameTheirFault) {
  const struct {
    int status;
    std::string errors;
    bool banner;
    int expected;
    std::string reason;
  } cases[] = {
      {255, "\nERROR: Queue Name [ q9 ] does not exist.\n", false, CUPS_BACKEND_STOP,
       "The queue's definition is missing: Queue Name [ q9 ] does not exist."},
      {255, "File not found: /usr/quintaro/etc/printers/bin/x.b\n", false, CUPS_BACKEND_STOP,
       "The queue's PDD is missing or broken: File not found: /usr/quintaro/etc/printers/bin/x.b"},
      {255, "Error reading the job\n", false, CUPS_BACKEND_CANCEL,
       "The job cannot be read: Error reading the job"},
      {255, "Reason:\n  no banner program\n", true, CUPS_BACKEND_CANCEL,
       "The banner page cannot be printed: no banner program"},
      {127, "", false, CUPS_BACKEND_STOP, "The job formatter /a/js could not be started"},
      {SIGNALLED + 9, "", false, CUPS_BACKEND_FAILED, "The job formatter was ended by signal 9"},
      {3, "odd\n", false, CUPS_BACKEND_FAILED, "The job formatter failed (status 3): odd"},
  };
  for (const auto& c : cases) {
    Verdict verdict = formatter_verdict(c.status, c.errors, c.banner, "/a/js");
    EXPECT_EQ(verdict.status, c.expected) << c.reason;
    EXPECT_EQ(verdict.reason, c.reason);
  }
}

TEST(OutcomesTest, MessagesForCupsStayOnOneLine) {
  EXPECT_EQ(cups_message("ERROR: ", "a\nb\tc\x7f"), "ERROR: a b c \n");
}

}  // namespace
