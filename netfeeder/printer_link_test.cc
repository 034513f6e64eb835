// The connection object: detecting a multi-port print server, the port header on its
// data connection, and waiting between rounds that find no address.
#include "netfeeder/printer_link.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "netfeeder/port_header.h"
#include "netfeeder/scripted_dialer.h"
#include "tests/support/peers.h"

namespace {

TEST(PrinterLink, DetectsTheMultiPortServerOnlyOnTheFirstOpen) {
  UniqueFd raw = listen_on("127.0.6.2", RAW_PORT);
  Settings s;
  s.host = "127.0.6.2";
  ScriptedDialer dialer({ECONNREFUSED, 0, 0});  // 9400 refused, then 9100 twice
  Trace trace;
  PrinterLink link(s, dialer, trace);
  UniqueFd first = link.open_printer();
  UniqueFd tarragon = listen_on("127.0.6.2", TARRAGON_PORT);
  UniqueFd second = link.open_printer();
  EXPECT_TRUE(first.valid() && second.valid());
  EXPECT_FALSE(link.tarragon());
  ASSERT_EQ(dialer.addresses.size(), 3u);
  EXPECT_EQ(ntohs(reinterpret_cast<const sockaddr_in*>(dialer.addresses[2].data())->sin_port),
            RAW_PORT);

  Settings detected;
  detected.host = "127.0.6.2";
  detected.user = "bob";
  ScriptedDialer pass({0});
  PrinterLink tarragon_link(detected, pass, trace);
  UniqueFd data = tarragon_link.open_printer();
  EXPECT_TRUE(tarragon_link.tarragon());
  EXPECT_EQ(tarragon_link.server_port(), 1);
  UniqueFd accepted(accept(tarragon.get(), nullptr, nullptr));
  EXPECT_EQ(read_available(accepted.get(), 25),
            build_port_header(detected, tarragon_link.server_port()));
  EXPECT_NE(fcntl(data.get(), F_GETFL) & O_NONBLOCK, 0);
}

TEST(PrinterLink, WaitsBetweenRoundsThatFindNoAddressAtAll) {
  UniqueFd raw = listen_on("127.0.6.3", RAW_PORT);
  Settings s;
  s.host = "127.0.6.3";
  // 9400 and 9100 fail outright, a wait, then the probe is refused and 9100 connects.
  ScriptedDialer dialer({EINVAL, EADDRNOTAVAIL, ECONNREFUSED, 0});
  Trace trace;
  PrinterLink link(s, dialer, trace);
  EXPECT_TRUE(link.open_printer().valid());
  EXPECT_EQ(dialer.sleeps, std::vector<unsigned>{RETRY_WAIT_SECONDS});
  EXPECT_EQ(dialer.addresses.size(), 4u);
}

}  // namespace
