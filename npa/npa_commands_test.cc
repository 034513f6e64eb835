// Tests of the NPA vocabulary's debug rendering: header lines, flag and command
// names, the extension data, INA headers and hex dumps.
#include "npa/npa_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/capture.h"

namespace {

// What `write` puts on a stream.
template <typename Write>
std::string written(Write write) {
  FILE* file = std::tmpfile();
  write(file);
  std::fflush(file);
  std::string text = read_all(fileno(file));
  std::fclose(file);
  return text;
}

std::vector<uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(NpaTrace, HeadersFlagsAndNames) {
  const std::string pad13(13 * 3, ' ');
  const struct {
    std::string npa;
    NpaPart part;
    std::string trace;
  } cases[] = {
      {std::string("\xA5\x00\x06\x50\xE0\xD7\x00\x06\x15", 9), NpaPart::REQUEST,
       "| NPA Header:  Len(6)  Flag(01010000)  Command(e0)  Subcommand(d7)\n"
       "| NPAP\n| COMPLETE\n| REPLY\n"
       "| Corvane Extension, Tarragon Internal Var Manager\n| Read Variable(s)\n"
       "| NPA Data:\n| 00 06 15 " +
           pad13 + "\t...\n"},
      {std::string("\xA5\x00\x03\xAF\x06\x05", 6), NpaPart::REQUEST,
       "| NPA Header:  Len(3)  Flag(10101111)  Command(06)  Subcommand(05)\n"
       "| NOP\n| LU\n| CONTINUE\n| NOREPLY\n| RESERVE BITS SET!!!\n"
       "| Request Logical Unit Characteristics, UNKNOWN SUBCOMMAND\n| NPA Data:\n"},
      {std::string("\xA5\x00\x04\xD4\xE0\xD0\x12\x34\x03", 9), NpaPart::REPLY,
       "| NPA Header:  Len(4)  Flag(11010100)  Command(e0)  Subcommand(d0)\n"
       "| DATA ERROR\n| NPAP\n| COMPLETE\n| REQUIRED RESPONSE\n"
       "| Corvane Extension, Push Tarragon Internal Panel Button\n| lock(1234)  Button(3)\n"
       "| NPA Data:\n| 12 34 03 " +
           pad13 + "\t.4.\n"},
      {std::string("\xA5\x00\x05\x22\xE0\xE1\x05\x01", 8), NpaPart::REPLY,
       "| NPA Header:  Len(5)  Flag(00100010)  Command(e0)  Subcommand(e1)\n"
       "| LU\n| CONTINUE\n| UNSOLICITED RESPONSE\n| IR\n"
       "| Corvane Extension, Front Panel Control/Monitor\n"
       "| Arm Front Panel Change Alert with NO Attribute data\n"
       "| NPA Data:\n| 05 01 " +
           std::string(14 * 3, ' ') + "\t..\n"},
      {std::string("\xA5\x00\x03\x8C\x04\x0C\x41", 7), NpaPart::CONTINUATION,
       "| NPA Header:  Len(3)  Flag(10001100)  Command(04)  Subcommand(--)\n"
       "| ADV ERROR\n| LU\n| COMPLETE\n| UNSOLICITED RESPONSE\n| Request Device Status\n"
       "| NPA Data:\n| 0c 41 " +
           std::string(14 * 3, ' ') + "\t.A\n"},
      {std::string("\x5A\x00\x03", 3), NpaPart::REPLY,
       "| NPA Start Packet = 5a.  This is not a valid NPA packet!\n"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> npa = bytes(c.npa);
    EXPECT_EQ(written([&](FILE* f) { npa_trace_header(f, npa, c.part); }), c.trace);
  }
}

TEST(NpaTrace, InaHeadersAndHexDumps) {
  EXPECT_EQ(written([](FILE* f) { npa_trace_ina_header(f, 5, 0x29); }),
            "| INA Header:  len 5  port (')',0x29)\n");
  EXPECT_EQ(written([](FILE* f) { npa_trace_ina_receive_header(f, 9, 8, 1, 0x29); }),
            "| INA Receive Header:  Len(9)  ACK(8)  Seq(1)  port(')',0x29)\n");
  std::vector<uint8_t> dump = bytes("0123456789abcdef\x1fZ");
  EXPECT_EQ(written([&](FILE* f) { npa_hex_dump(f, dump); }),
            "| 30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66 \t0123456789abcdef\n"
            "| 1f 5a " +
                std::string(14 * 3, ' ') + "\t.Z\n");
}

}  // namespace
