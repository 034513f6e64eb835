// Tests of the definition table: line syntax as loaded, lookups and changes.
#include "pdd/definitions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "pdd/test_support.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

class DefinitionsTest : public pddtest::PddTest {};

void load_text(const std::string& text) {
  FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), stream), text.size());
  std::rewind(stream);
  EXPECT_EQ(load_definitions(stream), 0);  // closes the stream
}

// The table in lookup order (the last line of the file first).
Entries table_entries() {
  Entries result;
  for (const Definition* entry : definition_table().entries()) {
    result.emplace_back(entry->name, entry->value);
  }
  return result;
}

TEST_F(DefinitionsTest, LinesBecomeEntriesExactlyAsWritten) {
  const std::string long_key(60, 'k');
  const std::string long_value(300, 'v');
  const std::string piece_value(1021, 'x');  // "k=" + 1021 characters fill one piece
  struct Case {
    const char* name;
    std::string file;
    Entries entries;
  };
  const Case cases[] = {
      {"key and value", "a=1\n", {{"a", "1"}}},
      {"reverse file order", "a=1\nb=2\n", {{"b", "2"}, {"a", "1"}}},
      {"spaces kept", "name = x\n", {{"name ", " x"}}},
      {"carriage return kept", "k=v\r\n", {{"k", "v\r"}}},
      {"first = splits", "k=a=b\n", {{"k", "a=b"}}},
      {"key and = alone", "k=\n", {{"k", ""}}},
      {"no =", "plain line\n", {{"plain line\n", ""}}},
      {"starts with =", "=value\n", {{"", ""}}},
      {"= alone", "=\n", {{"", ""}}},
      {"empty line", "\n", {{"\n", ""}}},
      {"# is ordinary", "#k=v\n", {{"#k", "v"}}},
      {"last line without newline", "a=1\nb=2", {{"b", "2"}, {"a", "1"}}},
      {"text after a zero byte ignored", std::string("a=1\0junk\n", 9), {{"a", "1"}}},
      {"key cut at 55", long_key + "=v\n", {{std::string(55, 'k'), "v"}}},
      {"value cut at 255", "k=" + long_value + "\n", {{"k", std::string(255, 'v')}}},
      {"1023 characters then the newline alone",
       "k=" + piece_value + "\n",
       {{"\n", ""}, {"k", std::string(255, 'x')}}},
      {"long line read in pieces",
       "k=" + piece_value + "tail=end\n",
       {{"tail", "end"}, {"k", std::string(255, 'x')}}},
      {"empty file", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    load_text(c.file);
    EXPECT_EQ(table_entries(), c.entries);
  }
}

TEST_F(DefinitionsTest, LookupsFindTheLastLineWithAKey) {
  load_text("a=1\nname = x\nempty=\na=2\n");
  struct Case {
    const char* key;
    const char* value;
    bool found;
  };
  const Case cases[] = {
      {"a", "2", true},    {"name ", " x", true},  {"name", "", false},
      {"empty", "", true}, {"missing", "", false}, {"A", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(get_definition(c.key), c.value);
    EXPECT_EQ(find_definition(c.key) != nullptr, c.found);
  }
}

TEST_F(DefinitionsTest, LoadingASecondFileLeavesNothingOfTheFirst) {
  load_text("a=1\nb=2\n");
  load_text("c=3\n");
  EXPECT_EQ(table_entries(), (Entries{{"c", "3"}}));
  EXPECT_EQ(get_definition("a"), "");
}

TEST_F(DefinitionsTest, PutReplacesTheFoundEntryOrAddsOneInFront) {
  load_text("k=old\nother=1\nk=newer\n");
  EXPECT_EQ(put_definition("k", "v"), 1);
  EXPECT_EQ(table_entries(), (Entries{{"k", "v"}, {"other", "1"}, {"k", "old"}}));
  EXPECT_EQ(put_definition("fresh", "x"), 1);
  EXPECT_EQ(table_entries(), (Entries{{"fresh", "x"}, {"k", "v"}, {"other", "1"}, {"k", "old"}}));
  EXPECT_EQ(get_definition("fresh"), "x");
}

TEST_F(DefinitionsTest, AddPutsTheEntryInFrontAndClearEmpties) {
  load_text("k=1\n");
  EXPECT_EQ(add_definition("k", "2"), 1);
  EXPECT_EQ(get_definition("k"), "2");
  clear_definitions();
  EXPECT_TRUE(table_entries().empty());
  EXPECT_EQ(get_definition("k"), "");
}

}  // namespace
