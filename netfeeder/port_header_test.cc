// The port header's bytes for default, given and longest names.
#include "netfeeder/port_header.h"

#include <gtest/gtest.h>

namespace {

TEST(PortHeader, BytesForDefaultAndLongestSettings) {
  Settings s;
  s.server_port = 1;
  EXPECT_EQ(build_port_header(s, s.server_port), std::string("\x00\x13\x00\x08"
                                                             "1\x00\x01\x00"
                                                             " \x00 \x00 \x00 \x00"
                                                             "\xff\xff\xff\xff\xff\xff\x00",
                                                             23));
  s.server_port = 3;
  s.header_host = "ws1";
  s.job_name = "";
  s.user = "alice";
  s.printer_name = "q1";
  EXPECT_EQ(build_port_header(s, s.server_port), std::string("\x00\x19\x00\x08"
                                                             "3\x00\x01\x00"
                                                             "ws1\x00\x00"
                                                             "alice\x00q1\x00"
                                                             "\xff\xff\xff\xff\xff\xff\x00",
                                                             29));
  s.header_host = s.job_name = s.user = s.printer_name = std::string(NAME_LIMIT, 'x');
  std::string longest = build_port_header(s, s.server_port);
  EXPECT_EQ(longest.size(), 8 + 4 * (NAME_LIMIT + 1) + 7);
  EXPECT_EQ(longest.substr(0, 2), "\x04\x07");  // 1031 bytes after the first four
}

}  // namespace
