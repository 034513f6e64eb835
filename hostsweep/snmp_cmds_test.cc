// Tests of discovery's SNMP queries: answers of a real agent, the retransmission
// schedule on a fake clock, a closed port on the steady clock, one completion per
// request, and the debug lines.
//
// Each test has addresses of its own (ctest runs tests side by side): agents on
// 127.0.7.1 and 127.0.7.2, peer sockets on 127.0.7.3 and 127.0.7.5, closed ports on
// 127.0.7.7 and 127.0.7.9.
#include "hostsweep/snmp_cmds.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "hostsweep/options.h"
#include "hostsweep/snmp_value.h"
#include "tests/support/capture.h"
#include "tests/support/snmp_agent.h"

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr const char* kSysDescr = ".iso.org.dod.internet.mgmt.mib-2.system.sysDescr.0";
constexpr const char* kNumPorts =
    ".iso.org.dod.internet.private.enterprises.corvane.adapter.corvhdwr.corvhdwrNumPorts.0";
constexpr const char* kCardModel =
    ".iso.org.dod.internet.private.enterprises.corvane.adapter.opsys.opsysCardModel.0";
// Converts (numbers below no node are taken as they are) but cannot be encoded, so
// that its request cannot be sent.
constexpr const char* kUnsendable = ".5.1";

const std::vector<SnmpServedValue> kServed = {
    {".1.3.6.1.2.1.1.1.0", SnmpServedValue::STRING, "Corvane test agent"},
    {".1.3.6.1.4.1.40599.1.1.1.0", SnmpServedValue::INTEGER, "3"},
    {".1.3.6.1.4.1.40599.1.2.15.0", SnmpServedValue::HEX_STRING, std::string("\x00\x41\xff", 3)},
};

const MibTree& suite_mib() {
  static const MibTree tree = [] {
    MibTree t;
    std::string err;
    EXPECT_EQ(t.load_file(HSWEEP_CMIB_PATH, &err), MibLoadStatus::LOADED) << err;
    return t;
  }();
  return tree;
}

class FakeClock : public Clock {
 public:
  TimePoint steady_now() override { return now_; }
  void advance(microseconds by) { now_ += by; }
  long long elapsed_ms() const {
    return std::chrono::duration_cast<milliseconds>(now_.time_since_epoch()).count();
  }

 private:
  TimePoint now_{};
};

// A temporary file standing in for an output stream.
struct TextFile {
  FILE* file = tmpfile();
  ~TextFile() { fclose(file); }
  std::string text() const {
    fflush(file);
    return read_all(fileno(file));
  }
};

struct Completed {
  int status;
  int argument;
  std::vector<std::string> values;  // rendered
  bool operator==(const Completed&) const = default;
};

// A completion that records its call and returns `result`.
SnmpCompletion record(std::vector<Completed>& into, int result = SNMP_CLOSE_SESSION) {
  return [&into, result](int status, SnmpSession&, const netsnmp_variable_list* var, int arg) {
    into.push_back({status, arg, {}});
    for (; var; var = var->next_variable) into.back().values.push_back(render_value(*var));
    return result;
  };
}

SnmpVariableList variables(SnmpQueries& queries, std::vector<const char*> names) {
  SnmpVariableList list;
  for (const char* name : names) queries.add_variable(list, name);
  return list;
}

// A completion that records its call, sends a follow-up for `names` with argument 2
// and completion `next` (by default one that records and returns 2), and returns
// `result`.
SnmpCompletion follow_up(SnmpQueries& queries, std::vector<Completed>& into,
                         std::vector<const char*> names, int result, SnmpCompletion next = {}) {
  if (!next) next = record(into);
  return [&queries, &into, names, result, next](int status, SnmpSession& session,
                                                const netsnmp_variable_list*, int arg) {
    into.push_back({status, arg, {}});
    queries.get_on_session(session, variables(queries, names), next, 2);
    return result;
  };
}

// One pass of the select loop as the probe engine runs it, waiting `limit_us` at most.
void wait_events(SnmpQueries& queries, suseconds_t limit_us = 100000) {
  fd_set read;
  FD_ZERO(&read);
  int nfds = 0;
  timeval timeout{}, limit{0, limit_us};
  bool blocking = true;
  queries.snmp_prepare(nfds, read, timeout, blocking);
  if (blocking || timercmp(&timeout, &limit, >)) timeout = limit;
  if (select(nfds, &read, nullptr, nullptr, &timeout) > 0) {
    queries.snmp_read(read);
  } else {
    queries.snmp_expire();
  }
}

bool descriptor_open(int fd) { return fcntl(fd, F_GETFD) != -1; }

TEST(SnmpQueriesTest, AgentAnswers) {
  SnmpAgent agent("127.0.7.1", kServed, {"tessel", "local"});
  if (!agent.available()) GTEST_SKIP() << agent.unavailable_reason();
  struct Case {
    const char* what;
    std::string community;
    std::vector<const char*> names;
    Completed completed;
    std::string out, err;
  } cases[] = {
      {"values rendered",
       "tessel",
       {"system.sysDescr.0", kNumPorts, kCardModel},
       {0, 1, {"\"Corvane test agent\"", "3", " Hex: 00 41 FF "}}},
      {"another community", "local", {kNumPorts}, {0, 1, {"3"}}},
      {"empty community is the default", "", {kNumPorts}, {0, 1, {"3"}}},
      {"unknown community: no answer", "other", {kNumPorts}, {-1, 1, {}}},
      {"noSuchName", "tessel", {kSysDescr, "system.sysName.0"}, {2, 1, {}}},
      {"unknown name skipped",
       "tessel",
       {"system.sysBogus.0", kNumPorts},
       {0, 1, {"3"}},
       "Invalid object identifier: system.sysBogus.0\n",
       "sub-identifier not found: sysBogus\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TextFile out, err;
    SnmpQueries queries(suite_mib(), {.community = c.community,
                                      .timeout_us = 200000,
                                      .retries = 2,
                                      .standard_output = out.file,
                                      .standard_error = err.file});
    std::vector<Completed> done;
    int fd = -1;
    auto completion = [&](int status, SnmpSession& session, const netsnmp_variable_list* var,
                          int arg) {
      fd = session.descriptor();
      return record(done)(status, session, var, arg);
    };
    ASSERT_EQ(queries.get_new_session("127.0.7.1", variables(queries, c.names), completion, 1), 0);
    for (int i = 0; i < 100 && done.empty(); ++i) wait_events(queries);
    ASSERT_EQ(done, std::vector<Completed>{c.completed});
    EXPECT_EQ(out.text(), c.out);
    EXPECT_EQ(err.text(), c.err);
    // Closed after the completion returned 2.
    EXPECT_EQ(queries.open_sessions(), 0u);
    EXPECT_FALSE(descriptor_open(fd));
  }
}

TEST(SnmpQueriesTest, RetransmissionSchedule) {
  SnmpPeerSocket silent("127.0.7.3");
  if (!silent.available()) GTEST_SKIP() << silent.unavailable_reason();
  struct Case {
    long long timeout_us;
    int retries;
    std::vector<long long> sends_ms;
    long long timed_out_ms;
  } cases[] = {
      {3000000, 4, {0, 3000, 6000, 9000}, 15000},  // the defaults
      {3000000, 1, {0}, 3000},
      {3000000, 0, {0}, 3000},
      {200000, 4, {0, 200, 400, 600}, 1000},
      {10000000, 6, {0, 10000, 20000, 30000, 50000, 80000}, 110000},  // doubling to the cap
      {40000000, 5, {0, 40000, 80000, 120000, 150000}, 180000},       // the cap at once
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.timeout_us << " us, retries " << c.retries);
    FakeClock clock;
    SnmpQueries queries(suite_mib(), {.timeout_us = c.timeout_us, .retries = c.retries}, clock);
    std::vector<Completed> done;
    ASSERT_EQ(
        queries.get_new_session("127.0.7.3", variables(queries, {kSysDescr}), record(done), 1), 0);
    std::vector<long long> sends;
    size_t wakeups = 0;
    while (done.empty() && wakeups < 20) {
      for (size_t n = silent.take(1).size(); n > 0; --n) sends.push_back(clock.elapsed_ms());
      fd_set read;
      FD_ZERO(&read);
      int nfds = 0;
      timeval timeout{};
      bool blocking = true;
      queries.snmp_prepare(nfds, read, timeout, blocking);
      ASSERT_FALSE(blocking);
      clock.advance(std::chrono::seconds(timeout.tv_sec) + microseconds(timeout.tv_usec));
      queries.snmp_expire();
      ++wakeups;
    }
    EXPECT_EQ(sends, c.sends_ms);
    EXPECT_EQ(wakeups, c.sends_ms.size());  // every wake-up was due
    EXPECT_EQ(clock.elapsed_ms(), c.timed_out_ms);
    EXPECT_EQ(done, (std::vector<Completed>{{-1, 1, {}}}));
    EXPECT_EQ(queries.open_sessions(), 0u);
  }
}

// A closed port on the steady clock through select: the unconnected socket takes no
// error from it, so the request times out on schedule (never earlier).
TEST(SnmpQueriesTest, ClosedPortTimesOut) {
  SnmpQueries queries(suite_mib(), {.timeout_us = 200000, .retries = 4});
  std::vector<Completed> done;
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(queries.get_new_session("127.0.7.7", variables(queries, {kSysDescr}), record(done), 1),
            0);
  while (done.empty() && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    wait_events(queries);
  }
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(done, (std::vector<Completed>{{-1, 1, {}}}));
  EXPECT_GE(took, milliseconds(1000));
  EXPECT_LT(took, milliseconds(2500));
}

TEST(SnmpQueriesTest, OneCompletionPerRequest) {
  SnmpPeerSocket peer("127.0.7.5");
  if (!peer.available()) GTEST_SKIP() << peer.unavailable_reason();
  struct Fixture {
    FakeClock clock;
    SnmpQueries queries{suite_mib(), {.timeout_us = 1000000, .retries = 4}, clock};
    std::vector<Completed> done;
    void read() { wait_events(queries, 999999); }  // an answer is on its way
    int start(SnmpCompletion completion, const char* name = kSysDescr,
              const char* address = "127.0.7.5") {
      return queries.get_new_session(address, variables(queries, {name}), std::move(completion), 1);
    }
  };
  struct Case {
    const char* what;
    std::function<void(Fixture&)> run;
    std::vector<std::pair<int, int>> completions;  // status and argument
  } cases[] = {
      {"answers to two transmissions, the late one while a follow-up is outstanding",
       [&](Fixture& f) {
         ASSERT_EQ(f.start(follow_up(f.queries, f.done, {kNumPorts}, SNMP_KEEP_SESSION)), 0);
         f.clock.advance(microseconds(1000000));
         f.queries.snmp_expire();
         auto first = peer.take(2);
         ASSERT_EQ(first.size(), 2u);
         peer.answer(first[0]);
         f.read();
         peer.answer(first[1]);
         f.read();
         auto second = peer.take(1);
         ASSERT_EQ(second.size(), 1u);
         peer.answer(second[0], SNMP_ERR_NOSUCHNAME);
         f.read();
       },
       {{0, 1}, {2, 2}}},
      {"non-response message",
       [&](Fixture& f) {
         ASSERT_EQ(f.start(record(f.done)), 0);
         peer.answer(peer.take(1).at(0), 0, 0xa3);
         f.read();
       },
       {{0, 1}}},
      {"follow-up cannot be sent",
       [&](Fixture& f) {
         ASSERT_EQ(f.start(follow_up(f.queries, f.done, {kUnsendable}, SNMP_KEEP_SESSION)), 0);
         peer.answer(peer.take(1).at(0));
         f.read();
       },
       {{0, 1}, {-1, 2}}},
      {"closed with a follow-up outstanding",
       [&](Fixture& f) {
         ASSERT_EQ(f.start(follow_up(f.queries, f.done, {kNumPorts}, SNMP_CLOSE_SESSION)), 0);
         peer.answer(peer.take(1).at(0));
         f.read();
         EXPECT_EQ(peer.take(1).size(), 1u);  // the follow-up, left unanswered
       },
       {{0, 1}, {-1, 2}}},
      {"new session cannot be sent",
       [&](Fixture& f) { EXPECT_EQ(f.start(record(f.done), kUnsendable), -1); },
       {}},
      {"address not dotted",
       [&](Fixture& f) { EXPECT_EQ(f.start(record(f.done), kSysDescr, "printer.invalid"), -1); },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    StderrCapture err;  // the library's own log lines stay quiet
    c.run(f);
    EXPECT_EQ(err.text(), "");
    std::vector<std::pair<int, int>> completions;
    for (const Completed& done : f.done) completions.emplace_back(done.status, done.argument);
    EXPECT_EQ(completions, c.completions);
    EXPECT_EQ(f.queries.open_sessions(), 0u);  // every session closed
    EXPECT_EQ(peer.take().size(), 0u);
  }
}

TEST(SnmpQueriesTest, DebugLines) {
  SnmpAgent agent("127.0.7.2", kServed);
  if (!agent.available()) GTEST_SKIP() << agent.unavailable_reason();
  const std::string frame = "+" + std::string(50, '-') + "\n";
  const std::string descr = "| .iso.org.dod.internet.mgmt.mib-2.system.sysDescr.0";
  struct Case {
    const char* what;
    std::function<void(SnmpQueries&, FakeClock&, std::vector<Completed>&)> run;
    std::string expected;
  } cases[] = {
      {"answer, error, follow-up not sent",
       [](SnmpQueries& q, FakeClock&, std::vector<Completed>& done) {
         auto last = follow_up(q, done, {kUnsendable}, SNMP_KEEP_SESSION);
         auto first = follow_up(q, done, {"system.sysName.0"}, SNMP_KEEP_SESSION, last);
         q.get_new_session("127.0.7.2", variables(q, {kSysDescr, kNumPorts}), first, 1);
         for (int i = 0; i < 100 && done.size() < 3; ++i) wait_events(q);
       },
       frame + "| Get the following SNMP Variables from 127.0.7.2:\n" + descr + "\n" +
           "| .iso.org.dod.internet.private.enterprises.corvane.adapter.corvhdwr."
           "corvhdwrNumPorts.0\n" +
           frame + "| Got SNMP response from :127.0.7.2\n" + frame +
           "| Got SNMP Variables from: 127.0.7.2\n" + descr + " = \"Corvane test agent\"\n" +
           "| .iso.org.dod.internet.private.enterprises.corvane.adapter.corvhdwr."
           "corvhdwrNumPorts.0 = 3\n" +
           frame + frame + "| Gets the following SNMP Variables from 127.0.7.2:\n" +
           "| .iso.org.dod.internet.mgmt.mib-2.system.sysName.0\n" + frame +
           "| Got SNMP response from :127.0.7.2\n" +
           "| SNMP Error has occured on 127.0.7.2: ERR_NOSUCHNAME\n" + frame +
           "| Gets the following SNMP Variables from 127.0.7.2:\n| .5.1\n" + frame +
           "| SNMP network send error\n"},
      {"time-out",
       [](SnmpQueries& q, FakeClock& clock, std::vector<Completed>& done) {
         q.get_new_session("127.0.7.9", variables(q, {kSysDescr}), record(done), 1);
         clock.advance(microseconds(1000000));
         q.snmp_expire();
       },
       frame + "| Get the following SNMP Variables from 127.0.7.9:\n" + descr + "\n" + frame +
           "| Got SNMP response from :127.0.7.9\n| SNMP Timeout has occured\n"},
      {"new session not sent",
       [](SnmpQueries& q, FakeClock&, std::vector<Completed>& done) {
         q.get_new_session("127.0.7.9", variables(q, {kUnsendable}), record(done), 1);
       },
       frame + "| Get the following SNMP Variables from 127.0.7.9:\n| .5.1\n" + frame +
           "| SNMP network send error\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TextFile debug;
    FakeClock fake;
    SnmpQueries queries(suite_mib(),
                        {.timeout_us = 1000000,
                         .retries = 1,
                         .debug = DEBUG_SNMP | DEBUG_ENGINE,
                         .debug_file = debug.file},
                        fake);
    std::vector<Completed> done;
    c.run(queries, fake, done);
    EXPECT_EQ(debug.text(), c.expected);
  }
}

}  // namespace
