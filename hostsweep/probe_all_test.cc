// The probe engine: the connection limit, launch steps with failed starts, and the
// final loop that waits for every started probe.
#include "hostsweep/probe_all.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <string>
#include <vector>

namespace {

// Probes that end one at a time, whenever the row's short timer expires.
class FakeProbes : public Identifier, public SelectRow {
 public:
  FakeProbes() : SelectRow("FAKE") {}
  ProbeEngine* engine = nullptr;
  int refuse_next = 0;          // starts to refuse before accepting again
  bool end_in_prepare = false;  // prepare ends every open probe, as a due time-out does
  std::vector<std::string> started;
  std::deque<std::string> open;
  size_t most_open = 0;

  int identify_address(const std::string& address) override {
    if (refuse_next > 0) {
      --refuse_next;
      return -1;
    }
    started.push_back(address);
    open.push_back(address);
    most_open = std::max(most_open, open.size());
    return 0;
  }
  void prepare(int&, fd_set&, timeval& timeout, bool& block) override {
    while (end_in_prepare && !open.empty()) {
      open.pop_front();
      engine->probe_done();
    }
    if (open.empty()) return;
    block = false;
    timeout = timeval{0, 1000};
  }
  void expire() override {
    if (open.empty()) return;
    open.pop_front();
    engine->probe_done();
  }
  void read(const fd_set&) override {}
};

TEST(ProbeEngine, EveryAddressIsStartedOnceAndEveryProbeEnds) {
  const struct {
    int max_connections;
    int refuse;
    int limit;
  } cases[] = {{11, 0, 7}, {11, 3, 7}, {5, 0, 1}};
  for (const auto& c : cases) {
    SearchList list;
    ASSERT_EQ(list.add_range(*parse_dotted("10.9.0.1"), *parse_dotted("10.9.0.20")), 0);
    FakeProbes probes;
    probes.refuse_next = c.refuse;
    ProbeEngine engine(list, probes, {&probes}, c.max_connections, {}, real_clock());
    probes.engine = &engine;
    engine.run_probes();
    EXPECT_EQ(engine.connection_limit(), c.limit);
    EXPECT_EQ(engine.outstanding(), 0);
    EXPECT_TRUE(probes.open.empty());  // the last probe was waited for
    ASSERT_EQ(probes.started.size(), 20u);
    EXPECT_EQ(probes.started.front(), "10.9.0.1");  // a refused start tries it again
    EXPECT_EQ(probes.started.back(), "10.9.0.20");
    EXPECT_EQ(probes.most_open, static_cast<size_t>(c.limit));
  }
}

TEST(ProbeEngine, TheLastProbesEndingWhileTheRowsArePreparedEndTheSearch) {
  // A wait with nothing in flight and no timer would never end: the alarm fails the
  // test instead of letting it hang.
  SearchList list;
  ASSERT_EQ(list.add_range(*parse_dotted("10.9.1.1"), *parse_dotted("10.9.1.20")), 0);
  FakeProbes probes;
  probes.end_in_prepare = true;
  ProbeEngine engine(list, probes, {&probes}, 11, {}, real_clock());
  probes.engine = &engine;
  alarm(10);
  engine.run_probes();
  alarm(0);
  EXPECT_EQ(engine.outstanding(), 0);
  EXPECT_EQ(probes.started.size(), 20u);
}

TEST(ProbeEngine, DescriptorsStayBelowTheSelectBound) {
  ProbeEngine::FreeDescriptors few = ProbeEngine::count_free_descriptors(11);
  EXPECT_EQ(few.count, 11);
  EXPECT_FALSE(few.capped);
  ProbeEngine::FreeDescriptors many = ProbeEngine::count_free_descriptors(100000);
  EXPECT_LT(many.count, FD_SETSIZE);
}

}  // namespace
