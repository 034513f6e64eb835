// Tests of the NPA dialogue's pieces: the adapter code from C1's reply, the port
// types from C2's, C3 built from them, the adapter index, and C3's two reply forms.
#include "hostsweep/probe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

std::vector<uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(NpaDialogue, AdapterCodeFromTheFirstReply) {
  const struct {
    std::string reply;
    uint8_t status;
    uint16_t code;
  } cases[] = {
      {"\x00\x06\x15\x01\x00\x00"s, 0, 7},
      {"\x00\x06\x15\x01\x00\x01"s, 0, 16},
      {"\x00\x06\x15\x01\x00\x02"s, 0, 15},
      {"\x00\x06\x15\x01\x00\x81"s, 0, 9},
      {"\x00\x06\x15\x01\x00\x82"s, 0, 2},
      {"\x00\x06\x15\x01\x00\x83"s, 0, 1},
      {"\x00\x06\x15\x01\x00\x86"s, 0, 30},
      {"\x00\x06\x15\x01\x00\x87"s, 0, 31},
      {"\x00\x06\x15\x01\x01\x00"s, 0, 21},
      {"\x00\x06\x15\x01\x01\x7F"s, 0, 22},
      {"\x00\x06\x15\x01\x01\x80"s, 0, 0},
      {"\x00\x06\x15\x04\x00\x82"s, 0x84, 0xFFFF},
      {"\x00\x06\x15\x04\x00\x82"s, 0, 2},
      {"\x00\x06\x15\x04"s, 0, 0xFFFF},
      {"\x00\x06\x15\x01\x00"s, 0, 0xFFFF},  // too short for the code
      {""s, 0, 0xFFFF},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(adapter_code_from_reply(bytes(c.reply), c.status), c.code)
        << testing::PrintToString(c.reply);
  }
}

TEST(NpaDialogue, PortRequestFromThePortTypes) {
  const std::string none = "\xFF"s;
  const struct {
    const char* what;
    std::string types;  // C2's reply from byte 4 on: type, filler, type, ...
    uint16_t adapter_code;
    bool sent;
    uint8_t subcommand;
    std::string data;
    int type1;
  } cases[] = {
      {"no ports", "\xFF\x00\xFF\x00\xFF\x00\xFF\x00\xFF\x00\xFF\x00\xFF\x00\xFF"s, 7, true, 0xD7,
       "\x00"s, 0},
      {"reply cut short: missing types are no port", ""s, 7, true, 0xD7, "\x00"s, 0},
      {"two type-0, then type-2", "\x00\x00\x00\x00\x02"s, 7, true, 0xD7,
       "\x00\x91\x02\x91\x01\x10\x03\x10\x02\x06\x22"s, 0},
      {"three type-1", "\x01\x00\x01\x00\x01"s, 1, true, 0xD7,
       "\x00\x81\x02\x81\x01\x82\x02\x82\x01"s, 3},
      {"type-1 on adapter code 30", "\x01\x00\x01"s, 30, true, 0xD7,
       "\x00\x80\x03\x80\x01\x80\x03\x80\x01"s, 0},
      {"two type-5", "\x05\x00\x05"s, 7, true, 0xD9, "\x00\x06\x4C\xFF\x06\x4B\xFF"s, 0},
      {"an unknown type", "\x01\x00\x03"s, 1, false, 0, "", 1},
  };
  for (const auto& c : cases) {
    NpaProbe probe;
    probe.adapter_code = c.adapter_code;
    std::vector<uint8_t> reply = bytes("\x00\x06\x0C\x00"s + c.types);
    std::optional<NpaRequest> request = port_request(probe, port_types_from_reply(reply));
    ASSERT_EQ(request.has_value(), c.sent) << c.what;
    if (c.sent) {
      EXPECT_EQ(request->subcommand, c.subcommand) << c.what;
      EXPECT_EQ(request->data, bytes(c.data)) << c.what;
    }
    EXPECT_EQ(probe.type1, c.type1) << c.what;
  }
}

TEST(NpaDialogue, AdapterIndexFromCodePortsAndTypeOnePorts) {
  const struct {
    uint16_t code;
    int ports, type1, index;
  } cases[] = {
      {0xFFFF, 1, 0, 3}, {0xFFFF, 2, 0, 3}, {0xFFFF, 3, 0, 4}, {0xFFFF, 4, 0, 0}, {7, 2, 0, 9},
      {2, 3, 0, 20},     {9, 3, 0, 10},     {1, 3, 0, 18},     {7, 3, 0, 0},      {0, 4, 0, 31},
      {22, 1, 0, 22},    {30, 1, 0, 30},    {1, 1, 0, 0},      {1, 1, 1, 17},     {2, 1, 2, 19},
      {9, 1, 1, 8},      {30, 1, 1, 30},    {7, 1, 1, 0},      {7, 5, 0, 0},
  };
  for (const auto& c : cases) {
    NpaProbe probe;
    probe.adapter_code = c.code;
    probe.ports = c.ports;
    probe.type1 = c.type1;
    EXPECT_EQ(npa_adapter_index(probe), c.index) << c.code << " " << c.ports << " " << c.type1;
  }
}

TEST(NpaDialogue, PrintersFromThePlainReply) {
  // Entry: V, a byte, count, status and more, two bytes, length, value.
  auto entry = [](uint8_t v, uint8_t status, const std::string& value) {
    return std::string{static_cast<char>(v),           '\x02', '\x01',
                       static_cast<char>(status),      '\0',   '\0',
                       static_cast<char>(value.size())} +
           value;
  };
  const std::string name = "L\0a\0s\0e\0r\0 \0E\0t\0h\0e\0r\0n\0e\0t\0"s;  // 28 bytes
  const struct {
    const char* what;
    std::string reply;
    bool ignore;
    std::vector<FoundPort> found;
  } cases[] = {
      {"ports 1 and 2, 0x91 skipped",
       "\x00"s + entry(0x91, 0, "x") + entry(0x81, 0, "Laser A") + entry(0x82, 0, "Laser B"),
       false,
       {{1, "Laser A"}, {2, "Laser B"}}},
      {"status 1 skips",
       "\x00"s + entry(0x80, 1, "Off") + entry(0x11, 0, "On"),
       false,
       {{1, "On"}}},
      {"-i ignores the status but for 0x11",
       "\x00"s + entry(0x80, 1, "Off") + entry(0x11, 1, "Eleven"),
       true,
       {{1, "Off"}}},
      {"an unknown variable ends the parse",
       "\x00"s + entry(0x42, 0, "x") + entry(0x10, 0, "y"),
       false,
       {}},
      {"a name after an empty value, cut before Ethernet",
       "\x00"s + entry(0x10, 0, "") + "\x06\x22\x1C"s + name + entry(0x82, 0, "Two"),
       false,
       {{1, "Laser"}, {2, "Two"}}},
      {"a name count past the data",
       "\x00"s + entry(0x10, 0, "") + "\x06\x22\xF0L\0a\0s"s,
       false,
       {{1, "Las"}}},
      {"a value longer than the data",
       "\x00"s + entry(0x10, 0, "abc").substr(0, 8),
       false,
       {{1, ""}}},
      {"an entry cut in its header",
       "\x00"s + entry(0x10, 0, "abc") + "\x81\x02\x05\x00"s,
       false,
       {{1, "abc"}}},
      {"a value up to its zero byte", "\x00"s + entry(0x80, 0, "Ink\0jet"s), false, {{1, "Ink"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parse_plain_reply(bytes(c.reply), c.ignore), c.found) << c.what;
  }
}

TEST(NpaDialogue, PrintersFromTheIndexedReply) {
  auto entry = [](uint8_t group, uint8_t id, uint8_t index, const std::string& value) {
    return std::string{static_cast<char>(group), static_cast<char>(id), static_cast<char>(index),
                       '\0', static_cast<char>(value.size())} +
           value;
  };
  const std::string reply = "\x00"s + entry(0x06, 0x4C, 1, "\x02") + entry(0x06, 0x4B, 1, "Jet 5") +
                            entry(0x06, 0x4B, 2, "") + entry(0x06, 0x4B, 3, "x");
  const struct {
    std::string reply;
    bool ignore;
    std::vector<FoundPort> found;
  } cases[] = {
      {reply, false, {{1, "Jet 5"}}},
      {reply, true, {{1, "Jet 5"}, {2, ""}, {3, ""}}},
      {reply.substr(0, 15), false, {}},  // the model runs past the data
      {"\x00\x06\x4B\x01\x01\x2C"s + std::string(300, 'M'),
       false,
       {{1, std::string(MODEL_TEXT_LIMIT, 'M')}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parse_indexed_reply(bytes(c.reply), c.ignore), c.found);
  }
}

}  // namespace
