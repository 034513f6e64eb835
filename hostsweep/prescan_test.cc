// The prescan's pacer and its reading of request ids. (The sweep itself is tested at
// the program's edge, against the responder farm.)
#include "hostsweep/prescan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

TEST(SendPacer, NoSecondHoldsMoreThanTheRateAndLateSendsCatchUp) {
  const struct {
    int rate;
    int sends;
    microseconds cost;   // how long each send takes
    int stall_every;     // a stall after every this many sends
    milliseconds stall;  // of this length
  } cases[] = {
      {100, 1000, microseconds(200), 37, milliseconds(50)},
      {2000, 10000, microseconds(100), 10, milliseconds(3)},
      {3, 20, microseconds(10), 2, milliseconds(900)},
      {1000, 5, microseconds(0), 1, milliseconds(0)},  // fewer sends than the rate
  };
  for (const auto& c : cases) {
    SendPacer pacer(c.rate, c.sends);
    Clock::TimePoint now{};
    std::vector<Clock::TimePoint> starts;
    for (int k = 0; k < c.sends; ++k) {
      Clock::TimePoint due = pacer.next(now);
      now = std::max(now, due);
      starts.push_back(now);
      now += c.cost;
      pacer.sent(due, now);
      if ((k + 1) % c.stall_every == 0) now += c.stall;
    }
    size_t most = 0;
    for (size_t first = 0, end = 0; first < starts.size(); ++first) {
      while (end < starts.size() && starts[end] < starts[first] + std::chrono::seconds(1)) ++end;
      most = std::max(most, end - first);
    }
    EXPECT_LE(most, static_cast<size_t>(c.rate)) << c.rate;
    // Short stalls are made up for: the sends take about as long as the rate says.
    if (c.stall < SendPacer::kCatchUp) {
      double seconds = std::chrono::duration<double>(starts.back() - starts.front()).count();
      EXPECT_LT(seconds, 1.02 * c.sends / c.rate) << c.rate;
    }
  }
}

TEST(SendPacer, AnIdleCallerGetsNoBurst) {
  SendPacer pacer(1000, 100);
  Clock::TimePoint now{};
  pacer.sent(pacer.next(now), now);
  now += std::chrono::seconds(5);
  Clock::TimePoint due = pacer.next(now);
  EXPECT_EQ(due, now - SendPacer::kCatchUp);  // at most 20 ms of sends to catch up
  for (int k = 0; k < 30; ++k) {
    pacer.sent(due, now);
    due = pacer.next(now);
  }
  EXPECT_EQ(due, now + milliseconds(10));
}

TEST(PrescanAnswers, RequestIdOfAnSnmpMessage) {
  // An SNMPv1 GET for one variable with request id 5.
  const std::string get(
      "\x30\x2a\x02\x01\x00\x04\x06tessel\xa0\x1d\x02\x01\x05\x02\x01\x00\x02\x01\x00\x30\x12"
      "\x30\x10\x06\x0c\x2b\x06\x01\x04\x01\x82\xbd\x17\x01\x01\x01\x00\x05\x00",
      44);
  auto id = [](const std::string& bytes) {
    return snmp_message_request_id({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  };
  EXPECT_EQ(id(get), 5);
  // The request id lies in the first 18 bytes: every shorter cut is no message.
  for (size_t length = 0; length < 18; ++length) {
    EXPECT_EQ(id(get.substr(0, length)), std::nullopt) << length;
  }
  const struct {
    std::string bytes;
    std::optional<long> id;
  } cases[] = {
      // A response with a 4-byte id and long-form lengths.
      {std::string("\x30\x81\x16\x02\x01\x00\x04\x01x\xa2\x82\x00\x0c\x02\x04\x7f\x00\x00\x01"
                   "\x02\x01\x02\x02\x01\x00",
                   25),
       0x7f000001},
      {std::string("\x30\x0e\x02\x01\x00\x04\x01x\xa2\x06\x02\x04\xff\xff\xff\xfe", 16), -2},
      // A trap-like tag outside 0xA0 to 0xA8, a 5-byte id, a length past the end.
      {std::string("\x30\x0b\x02\x01\x00\x04\x01x\xa9\x03\x02\x01\x05", 13), std::nullopt},
      {std::string("\x30\x0f\x02\x01\x00\x04\x01x\xa2\x07\x02\x05\x00\x80\x00\x00\x01", 17),
       std::nullopt},
      {std::string("\x30\x0b\x02\x01\x00\x04\x09x\xa2\x03\x02\x01\x05", 13), std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(id(c.bytes), c.id) << c.bytes.size();
}

}  // namespace
