// IR messages in pieces and with malformed lengths, their acknowledgements and the
// bounded backlog, and the condition names.
#include "netfeeder/ir_reader.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <vector>

#include "common/descriptors.h"
#include "common/unique_fd.h"
#include "netfeeder/scripted_dialer.h"
#include "tests/support/peers.h"

namespace {

TEST(IrReader, MessagesInPiecesAndMalformedLengths) {
  struct Step {
    std::string bytes;  // written before the read
    IrReader::Status status;
    int code;
    std::string ack;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    bool close_after = false;
  };
  const std::string msg16("\x05\x10\x00\xaa\xbb", 5);
  const Case cases[] = {
      {"whole", {{msg16, IrReader::MESSAGE, 16, std::string("\x05\x10\xff\xaa\xbb", 5)}}},
      {"in pieces",
       {{"\x05", IrReader::PENDING, 0, ""},
        {std::string("\x10\x00", 2), IrReader::PENDING, 0, ""},
        {"\xaa\xbb", IrReader::MESSAGE, 16, std::string("\x05\x10\xff\xaa\xbb", 5)}}},
      {"code 200 is negative",
       {{std::string("\x03\xc8\x07", 3), IrReader::MESSAGE, -56, "\x03\xc8\xff"}}},
      {"length 1", {{"\x01", IrReader::DISCARDED, 0, ""}}},
      {"length 2, its second byte later",
       {{"\x02", IrReader::PENDING, 0, ""},
        {"\x05", IrReader::DISCARDED, 0, ""},
        {std::string("\x03\x10\x00", 3), IrReader::MESSAGE, 16, "\x03\x10\xff"}}},
      {"negative length", {{"\x90", IrReader::DISCARDED, 0, ""}}},
      {"cut short", {{"\x09\x10", IrReader::PENDING, 0, ""}, {"", IrReader::CLOSED, 0, ""}}, true},
      {"end of file", {{"", IrReader::CLOSED, 0, ""}}, true},
  };
  for (const Case& c : cases) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    UniqueFd agent(pair[0]), printer(pair[1]);
    set_nonblocking(agent.get());
    set_nonblocking(printer.get());
    IrReader reader;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      if (c.close_after && i + 1 == c.steps.size()) printer.reset();
      if (!step.bytes.empty()) {
        ASSERT_GT(write(printer.get(), step.bytes.data(), step.bytes.size()), 0);
      }
      IrReader::Result r = reader.read_ir_message(agent.get());
      EXPECT_EQ(r.status, step.status) << c.name << " step " << i;
      if (r.status == IrReader::MESSAGE) {
        EXPECT_EQ(r.code, step.code) << c.name;
      }
      if (printer.valid()) {
        char ack[256];
        ssize_t n = read(printer.get(), ack, sizeof ack);
        EXPECT_EQ(n > 0 ? std::string(ack, static_cast<size_t>(n)) : "", step.ack) << c.name;
      }
    }
  }
}

TEST(IrReader, AcknowledgementsWaitInABoundedBacklogUntilThePeerReads) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  UniqueFd agent(pair[0]), printer(pair[1]);
  set_nonblocking(agent.get());
  set_nonblocking(printer.get());
  size_t filled = 0;  // the way to the printer is full before the first message
  for (size_t chunk : {4096, 1}) {
    std::string junk(chunk, 'j');
    for (ssize_t n; (n = write(agent.get(), junk.data(), chunk)) > 0;) filled += n;
  }
  std::string message(127, '\0'), acks;
  message[0] = 127;
  IrReader reader;
  for (int i = 0; i < 9; ++i) {
    message[3] = static_cast<char>(i);
    ASSERT_EQ(write(printer.get(), message.data(), message.size()), 127);
    IrReader::Result r = reader.read_ir_message(agent.get());
    EXPECT_EQ(r.status, IrReader::MESSAGE) << i;
    EXPECT_EQ(r.ack_dropped, i == 8) << i;  // eight fit in 1024 bytes, the ninth does not
    if (i < 8) acks += message.substr(0, 2) + "\xff" + message.substr(3);
  }
  EXPECT_TRUE(reader.wants_write());
  EXPECT_EQ(read_available(printer.get(), filled).size(), filled);
  reader.flush_acks(agent.get());
  EXPECT_FALSE(reader.wants_write());
  EXPECT_EQ(read_available(printer.get(), acks.size() + 1), acks);
}

TEST(ConditionName, TableBoundaries) {
  const std::pair<int, const char*> cases[] = {
      {0, "Clear"},
      {1, "Service Printer"},
      {14, "Service Printer"},
      {15, "Job Error"},
      {16, "Paper Jam"},
      {17, "Change Paper"},
      {18, "Output Full"},
      {21, "Printer Error"},
      {24, "Service Printer"},
      {32, "Service Printer"},
      {33, "Disk Failure"},
      {36, "Disk Failure"},
      {37, "Job Error"},
      {38, "Printer Error"},
      {42, "Paper Jam"},
      {43, "Load Paper"},
      {44, "Toner Low"},
      {46, "Cover Open"},
      {47, "Off line"},
      {48, "Unknown Problem"},
      {64, "Printer Error"},
      {66, "Unknown Problem"},
      {112, "Busy"},
      {127, "Port Timeout"},
      {-56, "Unknown Problem"},
      {-1, "Unknown Problem"},
  };
  for (const auto& [code, name] : cases) EXPECT_STREQ(condition_name(code), name) << code;
}

}  // namespace
