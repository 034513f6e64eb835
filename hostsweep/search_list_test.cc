// The search list: address validation, network expansion, ordering and overlap, and
// the iterator with its carry rule and put-back.
#include "hostsweep/search_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

Address at(const char* text) { return *parse_dotted(text); }

std::vector<std::string> all(SearchList& list) {
  std::vector<std::string> addresses;
  for (std::string a; list.next_address(&a) == 0;) addresses.push_back(a);
  return addresses;
}

TEST(SearchList, ValidationAndNetworkExpansion) {
  for (const char* bad : {"192.168.1", "255.255.255.255", "1.2.3.x", "", "1.2.3.4.5"}) {
    EXPECT_FALSE(parse_dotted(bad)) << bad;
  }
  const struct {
    const char* network;
    const char* start;
    const char* end;
  } cases[] = {{"192.168.1.0", "192.168.1.1", "192.168.1.254"},
               {"10.0.0.0", "10.1.1.1", "10.254.254.254"},
               {"10.0.3.7", "10.0.3.7", "10.0.3.7"}};
  for (const auto& c : cases) {
    auto [start, end] = expand_network(at(c.network));
    EXPECT_EQ(dotted(start), c.start);
    EXPECT_EQ(dotted(end), c.end);
  }
}

TEST(SearchList, EntriesStayOrderedWithoutOverlap) {
  SearchList list;
  EXPECT_EQ(list.add_range(at("10.0.2.1"), at("10.0.2.3")), 0);
  EXPECT_EQ(list.add_host(at("10.0.0.5")), 0);
  EXPECT_EQ(list.add_network(at("10.0.2.0")), -1);  // 10.0.2.1 to 10.0.2.254
  EXPECT_EQ(list.add_host(at("10.0.2.2")), -1);     // inside the range
  EXPECT_EQ(list.add_host(at("10.0.0.5")), -1);     // the same host
  EXPECT_EQ(list.add_range(at("10.0.1.250"), at("10.0.2.1")), -1);
  EXPECT_EQ(list.add_host(at("10.0.9.9")), 0);
  EXPECT_EQ(list.add_range(at("10.0.1.1"), at("10.0.1.1")), 0);  // one address
  EXPECT_EQ(all(list), (std::vector<std::string>{"10.0.0.5", "10.0.1.1", "10.0.2.1", "10.0.2.2",
                                                 "10.0.2.3", "10.0.9.9"}));
  std::string again;
  EXPECT_EQ(list.next_address(&again), -1);  // stays at its end
}

TEST(SearchList, CountingSkipsZeroAnd255AndPutBackRepeats) {
  SearchList list;
  ASSERT_EQ(list.add_range(at("192.168.1.253"), at("192.168.2.255")), 0);
  std::vector<std::string> seen;
  for (std::string a; list.next_address(&a) == 0 && seen.size() < 4;) seen.push_back(a);
  EXPECT_EQ(seen, (std::vector<std::string>{"192.168.1.253", "192.168.1.254", "192.168.2.1",
                                            "192.168.2.2"}));
  list.put_back();
  std::string repeated;
  ASSERT_EQ(list.next_address(&repeated), 0);
  EXPECT_EQ(repeated, "192.168.2.3");  // the one taken when the loop stopped
  std::vector<std::string> rest = all(list);
  EXPECT_EQ(rest.size(), 251u);
  EXPECT_EQ(rest.back(), "192.168.2.254");

  SearchList top;  // the carry stops at the first byte
  ASSERT_EQ(top.add_range(at("254.254.254.254"), at("255.255.255.254")), 0);
  EXPECT_EQ(all(top), std::vector<std::string>{"254.254.254.254"});
}

// The count without iterating agrees with iterating, for random lists whose bytes
// favour 0, 1, 254 and 255, at every kind of limit.
TEST(SearchList, CountingAgreesWithIterating) {
  std::mt19937 random(7);
  auto byte = [&] {
    static constexpr uint8_t kEdges[] = {0, 1, 2, 253, 254, 255};
    return random() % 2 ? kEdges[random() % 6] : static_cast<uint8_t>(random() % 256);
  };
  for (int round = 0; round < 150; ++round) {
    SearchList list;
    for (int e = 0; e < 3; ++e) {
      Address first = {10, 20, byte(), byte()}, last = first;
      for (int i = random() % 16 ? 3 : 2; i < 4; ++i) last[i] = byte();
      if (last < first) std::swap(first, last);
      if (random() % 4) {
        list.add_range(first, last);
      } else {
        list.add_network({10, 20, byte(), 0});
      }
    }
    size_t iterated = 0;
    for (Address a; list.next_address(&a) == 0;) ++iterated;
    for (size_t limit : {size_t{0}, size_t{1}, iterated / 2, iterated, iterated + 1}) {
      EXPECT_EQ(count_addresses_up_to(list, limit), std::min(iterated, limit));
    }
  }
}

}  // namespace
