// The agent's notification lines, and the printer-state-reasons they set and clear.
#include "cups/conditions.h"

#include <gtest/gtest.h>

namespace {

TEST(ConditionsTest, EveryConditionOfTheAgentHasItsKeyword) {
  const std::pair<const char*, const char*> cases[] = {
      {"Paper Jam", "media-jam"},
      {"Change Paper", "media-needed"},
      {"Load Paper", "media-needed"},
      {"Output Full", "output-area-full"},
      {"Toner Low", "toner-low"},
      {"Cover Open", "cover-open"},
      {"Off line", "offline"},
      {"Port Timeout", "timed-out"},
      {"Printer Error", "other"},
      {"Disk Failure", "other"},
      {"Busy", "other"},
      {"Service Printer", "other"},
      {"Job Error", "other"},
      {"Unknown Problem", "other"},
  };
  for (const auto& [name, keyword] : cases) EXPECT_EQ(condition_keyword(name), keyword) << name;
}

TEST(ConditionsTest, ReadsTheAgentsNotificationLines) {
  const struct {
    const char* line;
    AgentReport::Kind kind;
    const char* detail;
  } cases[] = {
      {"Printer condition:             Paper Jam", AgentReport::CONDITION, "Paper Jam"},
      {"Printer condition:             Off line\r", AgentReport::CONDITION, "Off line"},
      {"Printer condition:             Connection to printer was lost.",
       AgentReport::CONNECTION_LOST, ""},
      {"Printer condition:             Could not resolve nohost.example.", AgentReport::UNRESOLVED,
       "nohost.example"},
      {"10.1.2.3 is unreachable.", AgentReport::UNREACHABLE, "10.1.2.3"},
      {"Message from queue: q1 [ Tue Dec  8 10:00:00 2026 ] ...", AgentReport::NOTHING, ""},
      {"Printer intervention required: 127.0.0.9", AgentReport::NOTHING, ""},
      {"Printer condition:", AgentReport::NOTHING, ""},
      {"Flushing print data.  Please correct the problem and submit the job again.",
       AgentReport::NOTHING, ""},
  };
  for (const auto& c : cases) {
    AgentReport report = read_agent_line(c.line);
    EXPECT_EQ(report.kind, c.kind) << c.line;
    EXPECT_EQ(report.detail, c.detail) << c.line;
  }
}

TEST(ConditionsTest, SetsEachReasonOnceAndClearsThemAll) {
  ConditionReasons reasons;
  EXPECT_EQ(reasons.raise("Paper Jam"),
            "STATE: +media-jam\nINFO: Printer condition: Paper Jam (media-jam)\n");
  EXPECT_EQ(reasons.raise("Paper Jam"), "INFO: Printer condition: Paper Jam (media-jam)\n");
  EXPECT_EQ(reasons.raise("Disk Failure"),
            "STATE: +other\nINFO: Printer condition: Disk Failure (other)\n");
  EXPECT_TRUE(reasons.any());
  EXPECT_EQ(reasons.clear_all(), "STATE: -media-jam\nSTATE: -other\n");
  EXPECT_FALSE(reasons.any());
  EXPECT_EQ(reasons.clear_all(), "");
  reasons.raise("Cover Open");
  EXPECT_EQ(reasons.raise("Clear"), "STATE: -cover-open\n");
}

}  // namespace
