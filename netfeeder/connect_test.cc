// Connection policies with a scripted dialer: retries, waits, the failures that end
// the job, and the address forms and ports that reach connect.
#include "netfeeder/connect.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "netfeeder/scripted_dialer.h"
#include "tests/support/peers.h"

namespace {

TEST(ConnectHost, PoliciesRetryWaitAndGiveUpAsScripted) {
  UniqueFd listener = listen_on("127.0.6.1", 9100);
  struct Case {
    const char* name;
    ConnectPolicy policy;
    std::deque<int> script;
    bool connects;
    std::vector<unsigned> sleeps;
    size_t attempts;
  };
  const Case cases[] = {
      {"probe refused", PROBE, {ECONNREFUSED}, false, {}, 1},
      {"persistent refused twice", PERSISTENT, {ECONNREFUSED, ECONNREFUSED, 0}, true, {15, 15}, 3},
      {"single refused", SINGLE, {ECONNREFUSED}, false, {}, 1},
      {"probe timeouts use 3 retries",
       PROBE,
       {ETIMEDOUT, ETIMEDOUT, ETIMEDOUT, ETIMEDOUT},
       false,
       {5, 5, 5},
       4},
      {"persistent unreachable host", PERSISTENT, {EHOSTUNREACH, 0}, true, {5}, 2},
      {"persistent mixes",
       PERSISTENT,
       {ETIMEDOUT, ECONNREFUSED, EHOSTUNREACH, 0},
       true,
       {5, 15, 5},
       4},
      {"single timeout", SINGLE, {ETIMEDOUT}, false, {}, 1},
      {"probe interrupted", PROBE, {EINTR, 0}, true, {}, 2},
      {"single interrupted", SINGLE, {EINTR}, false, {}, 1},
      {"other error", PERSISTENT, {EINVAL}, false, {}, 1},
  };
  for (const Case& c : cases) {
    ScriptedDialer dialer(c.script);
    int fd = connect_host("127.0.6.1", 9100, c.policy, dialer);
    EXPECT_EQ(fd >= 0, c.connects) << c.name;
    if (fd >= 0) close(fd);
    EXPECT_EQ(dialer.sleeps, c.sleeps) << c.name;
    EXPECT_EQ(dialer.addresses.size(), c.attempts) << c.name;
  }
}

TEST(ConnectHost, ResolutionAndUnreachableNetworkEndTheJob) {
  auto failure_of = [](const char* host, std::deque<int> script) {
    ScriptedDialer dialer(std::move(script));
    try {
      connect_host(host, 9100, PERSISTENT, dialer);
    } catch (const HostFailure& failure) {
      EXPECT_EQ(failure.host, host);
      return static_cast<int>(failure.kind);
    }
    return -1;
  };
  EXPECT_EQ(failure_of("127.0.6.1", {ENETUNREACH}), HostFailure::UNREACHABLE);
  // A name the resolver rejects without asking anyone.
  EXPECT_EQ(failure_of("bad host!", {}), HostFailure::UNRESOLVED);
}

TEST(ConnectHost, AddressFormsAndPortsReachConnect) {
  ScriptedDialer dialer({ECONNREFUSED, ECONNREFUSED});
  EXPECT_EQ(connect_host("127.0.6.1", 65536 + 9400, PROBE, dialer), -1);
  EXPECT_EQ(connect_host("fe80::1%lo", 9200, SINGLE, dialer), -1);
  ASSERT_EQ(dialer.addresses.size(), 2u);
  const auto* in = reinterpret_cast<const sockaddr_in*>(dialer.addresses[0].data());
  EXPECT_EQ(in->sin_family, AF_INET);
  EXPECT_EQ(ntohs(in->sin_port), 9400);  // the port as an unsigned 16-bit value
  const auto* in6 = reinterpret_cast<const sockaddr_in6*>(dialer.addresses[1].data());
  EXPECT_EQ(in6->sin6_family, AF_INET6);
  EXPECT_EQ(ntohs(in6->sin6_port), 9200);
  EXPECT_EQ(in6->sin6_scope_id, if_nametoindex("lo"));
}

}  // namespace
