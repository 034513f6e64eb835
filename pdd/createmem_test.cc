// Tests of node creation checks, the allocation retry policy and freeing.
#include "pdd/createmem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pdd/test_support.h"

namespace {

class CreatememTest : public pddtest::PddTest {};

std::string text_of(const char* text) { return text ? text : "<absent>"; }

TEST_F(CreatememTest, StringNodeChecks) {
  const std::string too_long =
      "Error: Maximum length of this field is less than the length of the default string.\n";
  const std::string overlap = "Overlapping include and exclude characters\n";
  struct Case {
    const char* name;
    const char* default_string;
    int32_t max_length;
    const char* include;
    const char* exclude;
    std::string message;  // empty: the node is created
    const char* value;
  };
  const Case cases[] = {
      {"default longer than max", "abc", 2, nullptr, nullptr, too_long, nullptr},
      {"default as long as max", "abc", 3, nullptr, nullptr, "", "abc"},
      {"negative max", "", -1, nullptr, nullptr, too_long, nullptr},
      {"overlapping sets", "", 5, "ab", "b", overlap, nullptr},
      {"disjoint sets", "", 5, "ab", "c", "", ""},
      {"include without exclude", "", 5, "ab", nullptr, "", ""},
      {"single space means empty", " ", 5, nullptr, nullptr, "", ""},
      {"absent default", nullptr, 5, nullptr, nullptr, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pddtest::LibraryOutput output;
    StringNode* node = create_string_node("T", "D", "tag", "H", nullptr, c.default_string, 3,
                                          c.exclude, c.include, c.max_length, "valid_ip()", "P");
    EXPECT_EQ(output.text(), c.message);
    if (!c.message.empty()) {
      EXPECT_EQ(node, nullptr);
      continue;
    }
    ASSERT_NE(node, nullptr);
    EXPECT_STREQ(node->value, c.value);
    EXPECT_STREQ(node->saved_value, c.value);
    EXPECT_EQ(text_of(node->default_string), text_of(c.default_string));
    EXPECT_EQ(node->max_length, c.max_length);
    EXPECT_EQ(node->valid_type, 3);
    EXPECT_STREQ(node->title, "T");
    EXPECT_STREQ(node->tag, "tag");
    EXPECT_EQ(node->next_ptr, nullptr);
    EXPECT_STREQ(node->validation_function, "valid_ip()");
    EXPECT_EQ(node->modified, 0);
    free_string_node(node);
  }
}

TEST_F(CreatememTest, NumberNodeChecksAndWidth) {
  struct Case {
    const char* name;
    int32_t default_number, decimal_places, min_range, max_range;
    std::string message;  // empty: the node is created
    int32_t width;
    const char* value_text;
  };
  const Case cases[] = {
      {"min above max", 7, 0, 10, 5, "Error: Minimum Range is greater than maximum range.\n", 0,
       nullptr},
      {"default above max", 11, 0, 1, 10, "Error: Default value is out of range.\n", 0, nullptr},
      {"default below min", 0, 0, 1, 10, "Error: Default value is out of range.\n", 0, nullptr},
      {"default at max", 10, 0, 1, 10, "", 2, "10"},
      {"one decimal place", 125, 1, 0, 250, "", 4, "125"},
      {"no decimal places", 125, 0, 0, 250, "", 3, "125"},
      // Written unsigned, -1 is 4294967295; the default's text is cut to the width.
      {"negative range", -3, 0, -5, -1, "", 10, "4294967293"},
      {"default wider than max", -1, 0, -1, 9, "", 1, "4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pddtest::LibraryOutput output;
    NumberNode* node = create_number_node("T", "D", "tag", "H", "next", c.default_number,
                                          c.decimal_places, c.min_range, c.max_range, "V", "P", 1);
    EXPECT_EQ(output.text(), c.message);
    if (!c.message.empty()) {
      EXPECT_EQ(node, nullptr);
      continue;
    }
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->width, c.width);
    EXPECT_STREQ(node->value_text, c.value_text);
    EXPECT_EQ(node->value, c.default_number);
    EXPECT_EQ(node->saved_value, c.default_number);
    EXPECT_EQ(node->number_type, 1);
    EXPECT_STREQ(node->next_ptr, "next");
    EXPECT_EQ(node->modified, 0);
    free_number_node(node);
  }
}

TEST_F(CreatememTest, SclistStartsAtTheDefaultAndIgnoresOutOfRangeItems) {
  SclistNode* list = create_sclist_node("L", "D", "tag", "H", 2, 3);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->current_item, 2);
  EXPECT_EQ(list->saved_item, 2);
  EXPECT_EQ(list->default_item, 2);
  EXPECT_EQ(list->items[0].label, nullptr);
  set_sclist_item(list, 1, "l", "d", "v", "p", nullptr);
  EXPECT_STREQ(list->items[1].value, "v");
  EXPECT_EQ(list->items[1].next_ptr, nullptr);
  set_sclist_item(list, 1, "l2", "d2", "v2", "p2", "n2");  // refilling frees the old texts
  EXPECT_STREQ(list->items[1].next_ptr, "n2");

  pddtest::LibraryOutput quiet;
  set_sclist_item(list, 3, "x", "x", "x", "x", "x");
  set_sclist_item(list, -1, "x", "x", "x", "x", "x");
  EXPECT_EQ(quiet.text(), "");
  free_sclist_node(list);
}

TEST_F(CreatememTest, OutOfRangeIndexIsReportedOnlyInDebugMode) {
  MenuNode* menu = create_menu_node("L", "T", "P", "H", nullptr, 1, nullptr);
  ASSERT_NE(menu, nullptr);
  debug_trace().level = 1;
  pddtest::LibraryOutput output;
  set_menu_item(menu, 1, "x", NodeKind::DDD, nullptr);
  EXPECT_EQ(menu->items[0].name, nullptr);
  EXPECT_EQ(output.text().rfind("Malloc failed in file createmem at line ", 0), 0u)
      << output.text();
  free_menu_node(menu);
}

TEST_F(CreatememTest, MenuTakesItsItemsOver) {
  DddNode* ddd = create_ddd_node("d1", "network");
  NodePtr* refs[2] = {create_node_ptr(NodeKind::DDD, ddd, "d1"), nullptr};
  char* name = refs[0]->name;
  MenuNode* menu = create_menu_node("L", "T", "P", "H", "N", 2, refs);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(refs[0], nullptr);
  EXPECT_EQ(menu->items[0].name, name);
  EXPECT_EQ(menu->items[0].kind, NodeKind::DDD);
  EXPECT_EQ(menu->items[0].node, ddd);
  EXPECT_EQ(menu->items[1].name, nullptr);
  free_ddd_node(ddd);
  free_menu_node(menu);
}

// A fake allocator that fails a given number of times, and a sleeper that records.
int g_failures_left = 0;
int g_attempts = 0;
std::vector<unsigned> g_sleeps;

void* failing_allocate(size_t size) {
  ++g_attempts;
  if (g_failures_left != 0) {
    if (g_failures_left > 0) --g_failures_left;
    return nullptr;
  }
  void* block = std::malloc(size);
  std::memset(block, 0xAA, size);  // allocate_cleared must clear it
  return block;
}

class RecordingSleeper : public Sleeper {
 public:
  void sleep_seconds(unsigned seconds) override { g_sleeps.push_back(seconds); }
};
RecordingSleeper g_recording_sleeper;

class AllocationTest : public pddtest::PddTest {
 protected:
  void SetUp() override {
    PddTest::SetUp();
    g_failures_left = 0;
    g_attempts = 0;
    g_sleeps.clear();
    static pddtest::MemoryFunction memory(failing_allocate);
    pdd_library().memory = &memory;
    pdd_library().sleeper = &g_recording_sleeper;
  }
};

const char kWarning[] = "WARNING: unable to allocate memory; trying again.\n";

std::string repeated(const std::string& text, size_t times) {
  std::string result;
  for (size_t i = 0; i < times; ++i) result += text;
  return result;
}

TEST_F(AllocationTest, RetriesWithGrowingDelaysUntilFifteenSeconds) {
  struct Case {
    int failures;  // -1: every attempt fails
    bool granted;
    std::vector<unsigned> sleeps;
  };
  const Case cases[] = {
      {0, true, {}},
      {1, true, {5}},
      {3, true, {5, 6, 7}},
      {11, true, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
      {-1, false, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failures);
    g_failures_left = c.failures;
    g_attempts = 0;
    g_sleeps.clear();
    pddtest::LibraryOutput output;
    auto* block = static_cast<unsigned char*>(allocate_cleared(16, "unit", 42));
    EXPECT_EQ(g_sleeps, c.sleeps);
    EXPECT_EQ(g_attempts, static_cast<int>(c.sleeps.size()) + 1);
    std::string expected = repeated(kWarning, c.sleeps.size());
    if (!c.granted) expected += "INTERNAL ERROR: Memory allocation error in file unit at line 42\n";
    EXPECT_EQ(output.text(), expected);
    ASSERT_EQ(block != nullptr, c.granted);
    if (block) {
      for (size_t i = 0; i < 16; ++i) EXPECT_EQ(block[i], 0) << i;
    }
    std::free(block);
  }
  EXPECT_EQ(allocate_cleared(0, "unit", 1), nullptr);  // no attempt for 0 bytes
  EXPECT_EQ(g_attempts, 12);
}

TEST_F(AllocationTest, FailedCreationIsReportedOnlyInDebugMode) {
  const std::string internal = "INTERNAL ERROR: Memory allocation error in file createmem at line ";
  for (int level : {0, 4}) {
    SCOPED_TRACE(level);
    debug_trace().level = level;
    g_failures_left = -1;
    pddtest::LibraryOutput output;
    EXPECT_EQ(create_ddd_node("d1", "network"), nullptr);
    std::string text = output.text();
    std::string prefix = repeated(kWarning, 11) + internal;
    ASSERT_EQ(text.compare(0, prefix.size(), prefix), 0) << text;
    bool reported = text.find("Malloc failed in file createmem at line ") != std::string::npos;
    EXPECT_EQ(reported, level != 0);
  }
}

// Every allocation of a creation failing in turn: the creation gives nothing and
// leaves nothing allocated (AddressSanitizer checks the latter).
TEST_F(AllocationTest, CreationsReleaseWhatTheyHadWhenAnAllocationFails) {
  auto create_all = [] {
    int created = 0;
    if (StringNode* n =
            create_string_node("T", "D", "t", "H", "N", "d", 1, "x", "y", 4, "V", "P")) {
      free_string_node(n);
      ++created;
    }
    if (NumberNode* n = create_number_node("T", "D", "t", "H", "N", 1, 1, 0, 9, "V", "P", 0)) {
      free_number_node(n);
      ++created;
    }
    if (SclistNode* n = create_sclist_node("L", "D", "t", "H", 0, 2)) {
      free_sclist_node(n);
      ++created;
    }
    if (MenuNode* n = create_menu_node("L", "t", "P", "H", "N", 2, nullptr)) {
      free_menu_node(n);
      ++created;
    }
    if (DddNode* n = create_ddd_node("d", "t")) {
      free_ddd_node(n);
      ++created;
    }
    if (NodePtr* n = create_node_ptr(NodeKind::DDD, nullptr, "name")) {
      free_node_ptr(n);
      ++created;
    }
    return created;
  };
  pddtest::LibraryOutput quiet;
  g_attempts = 0;
  ASSERT_EQ(create_all(), 6);
  const int total = g_attempts;
  for (int fail_at = 0; fail_at < total; ++fail_at) {
    // Let `fail_at` allocations through, then fail exactly one (all its retries).
    int counter = 0;
    static int* s_counter;
    static int s_fail_at;
    s_counter = &counter;
    s_fail_at = fail_at;
    static pddtest::MemoryFunction memory([](size_t size) -> void* {
      int index = (*s_counter)++;
      if (index >= s_fail_at && index <= s_fail_at + 11) return nullptr;
      return std::malloc(size);
    });
    pdd_library().memory = &memory;
    EXPECT_EQ(create_all(), 5) << fail_at;
  }
}

}  // namespace
