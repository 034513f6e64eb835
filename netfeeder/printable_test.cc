// Printable forms of printer bytes: response texts and the hex dump.
#include "netfeeder/printable.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(ResponseText, ControlBytesBecomeCaretPairs) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x1b\x45\x0d\x0a", "^[E^M\n"},
      {std::string("\x00\x1f", 2), "^@^_"},
      {"READY \x7f\xc8", "READY \x7f\xc8"},
      {"", ""},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(response_text(bytes.data(), bytes.size()), text);
  }
}

TEST(HexDump, RowsOfSixteenWithPaddedLastRow) {
  std::string bytes = "ABCDEFGHIJKLMNOP\x01\xff";
  EXPECT_EQ(hex_dump(bytes),
            "| 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 \tABCDEFGHIJKLMNOP\n"
            "| 01 ff " +
                std::string(42, ' ') + "\t..\n");
}

}  // namespace
