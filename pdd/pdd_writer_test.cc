// Tests of the compiled PDD encoder's exact bytes and of saving.
#include "pdd/pdd_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "pdd/test_support.h"

namespace {

using pddfile::PddWriter;

TEST(PddWriterTest, StringBlocks) {
  struct Case {
    std::vector<std::string> strings;
    std::string bytes;
  };
  const Case cases[] = {
      {{}, std::string(8, '\0')},
      {{""}, std::string("\x03\0\0\0\x01\0\0\0$$$", 11)},
      {{"a", ""}, std::string("\x07\0\0\0\x02\0\0\0a$$$$$$", 15)},
      {{"d1", "network"}, std::string("\x0f\0\0\0\x02\0\0\0d1$$$network$$$", 23)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pddfile::string_block(c.strings), c.bytes);
    EXPECT_EQ(PddWriter().raw_string_block(c.strings).bytes(), c.bytes);
  }
}

TEST(PddWriterTest, IntegersAreLittleEndian) {
  EXPECT_EQ(PddWriter().raw_int(1).raw_int(-2).raw_int(0x12345678).bytes(),
            std::string("\x01\0\0\0\xfe\xff\xff\xff\x78\x56\x34\x12", 12));
}

TEST(PddWriterTest, RecordLayouts) {
  pddfile::SclistRecord list{"L", "t", "D", "H", 1, {{"a", "b", "c", "d", "e"}}};
  EXPECT_EQ(PddWriter().add(list).bytes(), std::string("\x02\0\0\0", 4) +
                                               pddfile::string_block({"L", "t", "D", "H"}) +
                                               std::string("\x01\0\0\0\x01\0\0\0\x05\0\0\0", 12) +
                                               pddfile::string_block({"a", "b", "c", "d", "e"}));
  pddfile::MenuRecord menu{"L", "m", "P", "H", "N", {"x", "y"}};
  EXPECT_EQ(PddWriter().add(menu).bytes(),
            std::string("\x04\0\0\0", 4) + pddfile::string_block({"L", "m", "P", "H", "N"}) +
                std::string("\x02\0\0\0", 4) + pddfile::string_block({"x", "y"}));
  pddfile::PddRecord pdd{"pcl", "1", "2", "3", "4", "5", "6", "7", 'A', 'B', 'C'};
  EXPECT_EQ(PddWriter().add(pdd).bytes(),
            std::string("\x07\0\0\0", 4) +
                pddfile::string_block({"pcl", "1", "2", "3", "4", "5", "6", "7"}) +
                std::string("A\0\0\0B\0\0\0C\0\0\0", 12));
}

TEST(PddWriterTest, SaveWritesTheBytesOrFails) {
  TempTree dir;
  PddWriter writer;
  writer.add(pddfile::DddRecord{"d1", "network"}).raw_bytes(std::string("\0z", 2));
  std::string path = dir.path("out.b");
  ASSERT_TRUE(writer.save(path));
  std::ifstream in(path, std::ios::binary);
  std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(saved, writer.bytes());
  EXPECT_FALSE(writer.save(dir.path("missing/out.b")));
}

}  // namespace
