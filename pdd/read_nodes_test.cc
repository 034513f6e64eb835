// Tests of the compiled PDD reader: round trips through the encoder, the failure
// table, broken and cut files, allocation failures and the debug trace.
#include "pdd/read_nodes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/format.h"
#include "pdd/pdd_writer.h"
#include "pdd/test_support.h"

namespace {

using pddfile::DddRecord;
using pddfile::MenuRecord;
using pddfile::NumberRecord;
using pddfile::PddRecord;
using pddfile::PddWriter;
using pddfile::SclistItemRecord;
using pddfile::SclistRecord;
using pddfile::StringRecord;

class ReadNodesTest : public pddtest::PddTest {};

size_t g_largest_allocation = 0;

void* recording_allocate(size_t size) {
  g_largest_allocation = std::max(g_largest_allocation, size);
  return std::malloc(size);
}
pddtest::MemoryFunction g_recording_memory(recording_allocate);

class NoSleep : public Sleeper {
 public:
  void sleep_seconds(unsigned) override {}
};
NoSleep g_no_sleep;

struct ReadResult {
  PddHandle pdd;
  std::vector<std::string> names;  // the top menu's items
  std::string err;                 // standard error
  std::string out;                 // the library's output
  size_t largest_allocation = 0;

  const MenuNode* menu() const { return static_cast<const MenuNode*>(pdd->node); }
  const NodePtr& item(size_t i) const { return menu()->items[i]; }
};

// Reads `bytes` as a compiled file, capturing everything it prints.
ReadResult read_bytes(const std::string& bytes) {
  TempTree dir;
  std::string path = dir.path("queue.b");
  EXPECT_TRUE(PddWriter().raw_bytes(bytes).save(path));
  ReadResult result;
  pdd_library().memory = &g_recording_memory;
  g_largest_allocation = 0;
  {
    StderrCapture err;
    pddtest::LibraryOutput out;
    result.pdd.reset(read_pdd(path.c_str()));
    result.err = err.text();
    result.out = out.text();
  }
  result.largest_allocation = g_largest_allocation;
  pdd_library().memory = nullptr;
  if (result.pdd) {
    EXPECT_TRUE(is_valid_top_menu(result.pdd.get()));
    const MenuNode* menu = result.menu();
    for (int32_t i = 0; i < menu->no_of_items; ++i) result.names.push_back(menu->items[i].name);
  }
  return result;
}

std::string ddd(const char* tag, const char* transport = "network") {
  return PddWriter().add(DddRecord{tag, transport}).bytes();
}

std::string string_record(const char* default_string, int32_t max_length, const char* include = "",
                          const char* exclude = "") {
  StringRecord r;
  r.tag = "s1";
  r.default_string = default_string;
  r.include_set = include;
  r.exclude_set = exclude;
  r.max_length = max_length;
  return PddWriter().add(r).bytes();
}

std::string number_record(int32_t default_number, int32_t min_range, int32_t max_range) {
  NumberRecord r;
  r.tag = "n1";
  r.default_number = default_number;
  r.min_range = min_range;
  r.max_range = max_range;
  return PddWriter().add(r).bytes();
}

std::string menu_record(const char* tag, std::vector<std::string> items) {
  MenuRecord r;
  r.tag = tag;
  r.items = std::move(items);
  return PddWriter().add(r).bytes();
}

std::string ints(std::initializer_list<int32_t> values) {
  PddWriter w;
  for (int32_t v : values) w.raw_int(v);
  return w.bytes();
}

std::string block(const std::vector<std::string>& strings) {
  return pddfile::string_block(strings);
}

std::string short_read(int offset) {
  return strprintf("manage_binary: read_int(): \nread failed on:  %d", offset);
}

std::string without_last(const std::string& bytes, size_t count) {
  return bytes.substr(0, bytes.size() - count);
}

const std::string kMaxLengthMessage =
    "Error: Maximum length of this field is less than the length of the default string.\n";

TEST_F(ReadNodesTest, FailureTable) {
  const std::string d1 = ddd("d1");
  const std::string string_cut = without_last(string_record("", 4), 4);
  const std::string list_head = ints({PDD_FILE_SCLIST}) + block({"L", "l1", "D", "H"});
  const std::string menu_head = ints({PDD_FILE_MENU}) + block({"L", "m1", "P", "H", ""});
  std::vector<std::string> hundred_tags(100, "d1");
  std::vector<std::string> strings_100(100, "");
  strings_100[0] = "d9";
  std::vector<std::string> strings_101(101, "");
  strings_101[0] = "d9";  // 305 data bytes, read whole before the block is refused
  struct Case {
    const char* name;
    std::string file;
    std::vector<std::string> items;
    std::string err = "";
    std::string out = "";
  };
  const Case cases[] = {
      {"empty file", "", {}},
      {"one DDD record", d1, {"d1"}},
      {"code 5 alone is skipped", ints({5}) + d1, {"d1"}},
      {"unknown codes are skipped", ints({0, 8, 99, -1}) + d1, {"d1"}},
      {"short type code ends the file", d1 + "\x06", {"d1"}},
      {"short block header",
       d1 + ints({PDD_FILE_DDD}) + std::string("\x0f\x00", 2),
       {"d1"},
       short_read(31)},
      {"short integer after the block", string_cut, {}, short_read(int(string_cut.size()))},
      {"default longer than maximum", string_record("abc", 2) + d1, {"d1"}, "", kMaxLengthMessage},
      {"default as long as maximum", string_record("abc", 3) + d1, {"s1", "d1"}},
      {"negative maximum length", string_record("", -1) + d1, {"d1"}, "", kMaxLengthMessage},
      {"maximum length beyond the limit",
       string_record("", PDD_MAX_STRING_LENGTH + 1) + d1,
       {"d1"}},
      {"overlapping include and exclude",
       string_record("", 4, "ab", "b") + d1,
       {"d1"},
       "",
       "Overlapping include and exclude characters\n"},
      {"number minimum above maximum",
       number_record(7, 10, 5) + d1,
       {"d1"},
       "",
       "Error: Minimum Range is greater than maximum range.\n"},
      {"number default out of range",
       number_record(11, 1, 10) + d1,
       {"d1"},
       "",
       "Error: Default value is out of range.\n"},
      {"number default at maximum", number_record(10, 1, 10), {"n1"}},
      // The item's code is refused; its block is then read as unknown codes.
      {"sclist item code 4",
       list_head + ints({0, 1, 4}) + block({"a", "b", "c", "d", "e"}) + d1,
       {"d1"}},
      {"sclist items missing",
       list_head + ints({0, 2, 5}) + block({"", "", "", "", ""}),
       {},
       short_read(int(list_head.size() + 8 + 4 + 23))},
      {"sclist item count negative", list_head + ints({0, -1}) + d1, {"d1"}},
      {"sclist item count beyond the file", list_head + ints({0, 0x10000000}) + d1, {"d1"}},
      {"menu naming an unknown tag", d1 + menu_record("m1", {"nope"}) + ddd("d2"), {"d1", "d2"}},
      {"menu naming a later node", menu_record("m1", {"d1"}) + d1, {"d1"}},
      {"menu of earlier nodes",
       d1 + ddd("d2") + menu_record("m1", {"d2", "d1"}),
       {"d1", "d2", "m1"}},
      {"menu of a menu",
       d1 + menu_record("m1", {"d1"}) + menu_record("m2", {"m1", "d1"}),
       {"d1", "m1", "m2"}},
      {"menu block count not used", d1 + menu_head + ints({1, 5, 0}) + "d1$$$", {"d1", "m1"}},
      {"menu with no items", menu_head + ints({0}) + block({}), {"m1"}},
      {"menu item count negative", menu_head + ints({-1}) + block({}) + d1, {"d1"}},
      {"menu item count beyond the file", menu_head + ints({0x7fffffff}) + block({}) + d1, {"d1"}},
      {"menu of 100 items", d1 + menu_record("m1", hundred_tags), {"d1", "m1"}},
      {"menu of 101 items", d1 + menu_record("m1", std::vector<std::string>(101, "d1")), {"d1"}},
      {"menu tag without its terminator", d1 + menu_head + ints({2, 8, 2}) + "d1$$$zzz", {"d1"}},
      {"block length negative", ints({PDD_FILE_DDD, -5, 2}) + d1, {"d1"}},
      {"block length beyond the file",
       ints({PDD_FILE_DDD, 0x7fffffff, 2}) + "d9$$$$$$" + d1,
       {"d1"}},
      {"string count negative", ints({PDD_FILE_DDD, 8, -1}) + "d9$$$$$$" + d1, {"d1"}},
      // The block's 7 bytes are read whole, so the next record is found.
      {"more strings than the data holds", ints({PDD_FILE_DDD, 7, 3}) + "a$$$$$$" + d1, {"d1"}},
      {"string count beyond the file", ints({PDD_FILE_DDD, 7, 0x7fffffff}) + "a$$$$$$", {}},
      {"block of 100 strings", ints({PDD_FILE_DDD}) + block(strings_100) + d1, {"d9", "d1"}},
      {"block of 101 strings", ints({PDD_FILE_DDD}) + block(strings_101) + d1, {"d1"}},
      {"fewer strings than the record needs", ints({PDD_FILE_DDD}) + block({"d9"}) + d1, {"d1"}},
      {"string without its terminator", ints({PDD_FILE_DDD, 8, 2}) + "d9$$$net" + d1, {"d1"}},
      {"bytes after the last terminator ignored",
       ints({PDD_FILE_DDD, 10, 2}) + "a$$$b$$$zz",
       {"a"}},
      {"zero byte ends a string",
       ints({PDD_FILE_DDD, 11, 2}) + std::string("d9\0x$$$n$$$", 11),
       {"d9"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadResult r = read_bytes(c.file);
    ASSERT_NE(r.pdd, nullptr);
    EXPECT_EQ(r.names, c.items);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, c.out);
    // Nothing is allocated for a count or length the file cannot back.
    EXPECT_LE(r.largest_allocation, 4096u);
  }
}

TEST_F(ReadNodesTest, MissingFileIsReportedOnStandardError) {
  TempTree dir;
  std::string path = dir.path("absent.b");
  StderrCapture err;
  EXPECT_EQ(read_pdd(path.c_str()), nullptr);
  EXPECT_EQ(err.text(), "ERROR !! \nAn error has occurred while trying to read : " + path +
                            "\nCan't open [ " + path + " ] for reading.\n");
}

TEST_F(ReadNodesTest, EmptyFileGivesTheTopMenuWithItsPlaceholders) {
  ReadResult r = read_bytes("");
  ASSERT_NE(r.pdd, nullptr);
  EXPECT_STREQ(r.pdd->name, "The Top Menu");
  EXPECT_EQ(r.pdd->kind, NodeKind::MENU);
  const MenuNode* menu = r.menu();
  EXPECT_STREQ(menu->label, "wow");
  EXPECT_STREQ(menu->tag, "we");
  EXPECT_STREQ(menu->prompt, "did");
  EXPECT_STREQ(menu->help, "it!");
  EXPECT_STREQ(menu->next_ptr, "Really?");
  EXPECT_EQ(menu->no_of_items, 0);
}

TEST_F(ReadNodesTest, ExampleDddRecord) {
  const std::string bytes("\x06\0\0\0\x0f\0\0\0\x02\0\0\0d1$$$network$$$", 27);
  EXPECT_EQ(ddd("d1"), bytes);
  ReadResult r = read_bytes(bytes);
  ASSERT_EQ(r.names, std::vector<std::string>{"d1"});
  EXPECT_EQ(r.item(0).kind, NodeKind::DDD);
  auto* node = static_cast<const DddNode*>(r.item(0).node);
  EXPECT_STREQ(node->tag, "d1");
  EXPECT_STREQ(node->transport, "network");

  // Two strings in seven bytes: "a" and the empty string.
  ReadResult two = read_bytes(ints({PDD_FILE_DDD, 7, 2}) + "a$$$$$$");
  ASSERT_EQ(two.names, std::vector<std::string>{"a"});
  EXPECT_STREQ(static_cast<const DddNode*>(two.item(0).node)->transport, "");
}

// One record of every kind, with the end offset of each record.
struct Sample {
  PddWriter writer;
  std::vector<size_t> ends;
  std::vector<std::string> names;

  template <typename Record>
  void add(const Record& record, const std::string& name) {
    writer.add(record);
    ends.push_back(writer.bytes().size());
    names.push_back(name);
  }
};

Sample make_sample() {
  Sample s;
  StringRecord str;
  str.title = "Title";
  str.tag = "s1";
  str.description = "Desc";
  str.help = "Help";
  str.next_ptr = "nx";
  str.default_string = "abc";
  str.exclude_set = "x";
  str.include_set = "y";
  str.validation_function = "valid_ip()";
  str.p_code = "&s;";
  str.valid_type = 3;
  str.max_length = 8;
  s.add(str, "s1");
  SclistRecord list;
  list.label = "Paper";
  list.tag = "paper";
  list.description = "Size";
  list.help = "Pick";
  list.default_item = 1;
  list.items = {{"A4", "ISO", "a4", "\\E&l26A", ""}, {"Letter", "US", "letter", "\\E&l2A", "n"}};
  s.add(list, "paper");
  NumberRecord number;
  number.title = "Copies";
  number.tag = "copies";
  number.description = "How many";
  number.help = "1-99";
  number.printer_code = "&c;";
  number.validation_function = "vf";
  number.default_number = 1;
  number.decimal_places = 1;
  number.min_range = -1;
  number.max_range = 990;
  number.number_type = 1;
  s.add(number, "copies");
  s.add(PddRecord{"pcl", "paper,copies", "paper", "\\E%-12345X", "\\EE", "\\E", "", "x", 'A', 'B',
                  -3},
        "pcl");
  s.add(DddRecord{"d1", "network"}, "d1");
  s.add(MenuRecord{"Menu", "m1", "Prompt", "Help", "", {"s1", "paper", "copies", "pcl", "d1"}},
        "m1");
  s.add(MenuRecord{"Top", "m2", "", "", "", {"m1", "d1"}}, "m2");
  return s;
}

// Every field lands where the encoder put it. Freeing the result (menus of menus
// included) runs under AddressSanitizer, which checks that free_pdd releases every
// node exactly once.
TEST_F(ReadNodesTest, RoundTripOfEveryKind) {
  Sample sample = make_sample();
  ReadResult r = read_bytes(sample.writer.bytes());
  ASSERT_EQ(r.names, sample.names);
  EXPECT_EQ(r.err + r.out, "");
  const NodeKind kinds[] = {NodeKind::STRING, NodeKind::SCLIST, NodeKind::NUMBER, NodeKind::PDD,
                            NodeKind::DDD,    NodeKind::MENU,   NodeKind::MENU};
  for (size_t i = 0; i < 7; ++i) ASSERT_EQ(r.item(i).kind, kinds[i]) << i;
  auto* s = static_cast<const StringNode*>(r.item(0).node);
  auto* l = static_cast<const SclistNode*>(r.item(1).node);
  auto* n = static_cast<const NumberNode*>(r.item(2).node);
  auto* p = static_cast<const PddNode*>(r.item(3).node);
  auto* m = static_cast<const MenuNode*>(r.item(5).node);
  ASSERT_EQ(l->no_of_items, 2);
  const std::pair<const char*, const char*> texts[] = {{s->title, "Title"},
                                                       {s->tag, "s1"},
                                                       {s->description, "Desc"},
                                                       {s->help, "Help"},
                                                       {s->next_ptr, "nx"},
                                                       {s->default_string, "abc"},
                                                       {s->value, "abc"},
                                                       {s->exclude_char_set, "x"},
                                                       {s->include_char_set, "y"},
                                                       {s->validation_function, "valid_ip()"},
                                                       {s->p_code, "&s;"},
                                                       {l->label, "Paper"},
                                                       {l->tag, "paper"},
                                                       {l->description, "Size"},
                                                       {l->help, "Pick"},
                                                       {l->items[0].label, "A4"},
                                                       {l->items[0].description, "ISO"},
                                                       {l->items[0].value, "a4"},
                                                       {l->items[0].printer_code, "\\E&l26A"},
                                                       {l->items[0].next_ptr, ""},
                                                       {l->items[1].value, "letter"},
                                                       {l->items[1].next_ptr, "n"},
                                                       {n->title, "Copies"},
                                                       {n->tag, "copies"},
                                                       {n->description, "How many"},
                                                       {n->help, "1-99"},
                                                       {n->next_ptr, ""},
                                                       {n->printer_code, "&c;"},
                                                       {n->validation_function, "vf"},
                                                       {p->tag, "pcl"},
                                                       {p->init_sequence, "paper,copies"},
                                                       {p->banner_init_sequence, "paper"},
                                                       {p->ds_init_string, "\\E%-12345X"},
                                                       {p->ds_end_string, "\\EE"},
                                                       {p->string1, "\\E"},
                                                       {p->string2, ""},
                                                       {p->string3, "x"},
                                                       {m->label, "Menu"},
                                                       {m->tag, "m1"},
                                                       {m->prompt, "Prompt"},
                                                       {m->help, "Help"},
                                                       {m->next_ptr, ""}};
  for (const auto& [actual, expected] : texts) EXPECT_STREQ(actual, expected);
  const std::pair<int32_t, int32_t> numbers[] = {
      {s->valid_type, 3},     {s->max_length, 8},      {l->default_item, 1},
      {l->current_item, 1},   {n->default_number, 1},  {n->decimal_places, 1},
      {n->min_range, -1},     {n->max_range, 990},     {n->number_type, 1},
      {n->width, 4},          {p->special_char1, 'A'}, {p->special_char2, 'B'},
      {p->special_char3, -3}, {m->no_of_items, 5}};
  for (const auto& [actual, expected] : numbers) EXPECT_EQ(actual, expected);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    // Menu items share the nodes of the top menu; their names are their own copies.
    EXPECT_STREQ(m->items[i].name, r.item(size_t(i)).name);
    EXPECT_NE(m->items[i].name, r.item(size_t(i)).name);
    EXPECT_EQ(m->items[i].kind, r.item(size_t(i)).kind);
    EXPECT_EQ(m->items[i].node, r.item(size_t(i)).node);
  }
  auto* outer = static_cast<const MenuNode*>(r.item(6).node);
  ASSERT_EQ(outer->no_of_items, 2);
  EXPECT_EQ(outer->items[0].node, m);
  EXPECT_EQ(outer->items[1].node, r.item(4).node);
}

// A file cut at any length never crashes the reader and still gives every node
// whose record ends before the cut.
TEST_F(ReadNodesTest, FileCutAtEveryLength) {
  Sample sample = make_sample();
  const std::string& bytes = sample.writer.bytes();
  for (size_t length = 0; length <= bytes.size(); ++length) {
    SCOPED_TRACE(length);
    ReadResult r = read_bytes(bytes.substr(0, length));
    ASSERT_NE(r.pdd, nullptr);
    std::vector<std::string> expected;
    for (size_t i = 0; i < sample.ends.size() && sample.ends[i] <= length; ++i) {
      expected.push_back(sample.names[i]);
    }
    EXPECT_EQ(r.names, expected);
    EXPECT_LE(r.largest_allocation, 4096u);
  }
}

// Only a regular file is a PDD: a FIFO without a writer must not hold the reader,
// nor a device or a pipe without end keep it reading. A file beyond the size
// limit is not read at all and left to the caller to report as corrupt.
TEST_F(ReadNodesTest, OnlyRegularFilesOfASaneSizeAreRead) {
  TempTree dir;
  std::string fifo = dir.path("fifo.b");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string bytes = ddd("d1");
  ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
  std::string pipe_path = "/proc/self/fd/" + std::to_string(fds[0]);
  std::string huge = dir.path("huge.b");
  ASSERT_TRUE(PddWriter().raw_bytes(bytes).save(huge));
  ASSERT_EQ(truncate(huge.c_str(), PDD_MAX_FILE_SIZE + 1), 0);
  auto refused = [](const std::string& path) {
    return "ERROR !! \nAn error has occurred while trying to read : " + path + "\nCan't open [ " +
           path + " ] for reading.\n";
  };
  const struct {
    std::string path;
    std::string err;
  } cases[] = {
      {fifo, refused(fifo)},
      {pipe_path, refused(pipe_path)},
      {"/dev/zero", refused("/dev/zero")},
      {dir.path(""), refused(dir.path(""))},
      {huge, ""},
  };
  for (const auto& c : cases) {
    StderrCapture err;
    EXPECT_EQ(read_pdd(c.path.c_str()), nullptr) << c.path;
    EXPECT_EQ(err.text(), c.err) << c.path;
  }
  close(fds[0]);
  close(fds[1]);
}

TEST_F(ReadNodesTest, RecordsBeyondTheNodeTableAreDropped) {
  PddWriter w;
  for (int i = 0; i < PDD_NODE_TABLE_SIZE + 5; ++i) {
    w.add(DddRecord{"d" + std::to_string(i), "network"});
  }
  w.add(MenuRecord{"", "m1", "", "", "", {"d0"}});
  ReadResult r = read_bytes(w.bytes());
  ASSERT_EQ(r.names.size(), size_t(PDD_NODE_TABLE_SIZE));
  EXPECT_EQ(r.names.front(), "d0");
  EXPECT_EQ(r.names.back(), "d199");
}

TEST_F(ReadNodesTest, StringAtTheLengthLimitIsRead) {
  ReadResult r = read_bytes(string_record("", PDD_MAX_STRING_LENGTH));
  ASSERT_EQ(r.names, std::vector<std::string>{"s1"});
  EXPECT_EQ(static_cast<const StringNode*>(r.item(0).node)->max_length, PDD_MAX_STRING_LENGTH);
}

// Allocations failing at every point of a read: never a crash or a leak.
class ReadAllocationTest : public ReadNodesTest {
 protected:
  static int attempts_;
  static int fail_from_;
  static int fail_to_;  // attempts in [fail_from_, fail_to_) fail

  static void* allocate(size_t size) {
    int attempt = attempts_++;
    if (attempt >= fail_from_ && attempt < fail_to_) return nullptr;
    return std::malloc(size);
  }

  // Reads the sample with the given attempts failing; false when no PDD came back.
  bool read_failing(const std::string& path, int from, int to) {
    attempts_ = 0;
    fail_from_ = from;
    fail_to_ = to;
    static pddtest::MemoryFunction memory(allocate);
    pdd_library().memory = &memory;
    pdd_library().sleeper = &g_no_sleep;
    pddtest::LibraryOutput quiet;
    PddHandle pdd(read_pdd(path.c_str()));
    pdd_library().memory = nullptr;
    return pdd != nullptr;
  }
};
int ReadAllocationTest::attempts_ = 0;
int ReadAllocationTest::fail_from_ = 0;
int ReadAllocationTest::fail_to_ = 0;

TEST_F(ReadAllocationTest, EveryAllocationFailingInTurn) {
  TempTree dir;
  std::string path = dir.path("sample.b");
  ASSERT_TRUE(make_sample().writer.save(path));
  ASSERT_TRUE(read_failing(path, 0, 0));
  const int total = attempts_;
  // The top menu and its reference take the last nine allocations.
  const int top_menu_start = total - 9;
  for (int k = 0; k < total; ++k) {
    SCOPED_TRACE(k);
    // One allocation fails with all its retries: only the top menu's is fatal.
    EXPECT_EQ(read_failing(path, k, k + 12), k < top_menu_start);
    // Memory runs out for good.
    EXPECT_FALSE(read_failing(path, k, 1 << 30));
  }
}

TEST_F(ReadNodesTest, ValidTopMenuCheck) {
  MenuNode menu = {};
  struct Case {
    const char* name;
    NodeKind kind;
    void* node;
    bool valid;
  };
  const Case cases[] = {
      {"The Top Menu", NodeKind::MENU, &menu, true},
      {"The Top Menu", NodeKind::DDD, &menu, false},
      {"The Top Menu ", NodeKind::MENU, &menu, false},
      {"the top menu", NodeKind::MENU, &menu, false},
      {nullptr, NodeKind::MENU, &menu, false},
      {"The Top Menu", NodeKind::MENU, nullptr, false},
  };
  for (const Case& c : cases) {
    NodePtr ref = {const_cast<char*>(c.name), c.kind, c.node};
    EXPECT_EQ(is_valid_top_menu(&ref), c.valid) << (c.name ? c.name : "null");
  }
  EXPECT_FALSE(is_valid_top_menu(nullptr));
}

TEST_F(ReadNodesTest, TraceAtLevelFour) {
  const std::string bytes = ddd("d1") + menu_record("m1", {"d1"});
  DebugCapture debug(DEBUG_LIBRARY);
  ReadResult r = read_bytes(bytes);
  EXPECT_EQ(r.names, (std::vector<std::string>{"d1", "m1"}));
  EXPECT_EQ(debug.text(),
            "read_nodes.c: read_node_ptr()\n"
            "\tNode type = DDD\n"
            "read_nodes.c: read_ddd_node()\n"
            "current seek pointer = 4\n"
            "no_of_strings = 2\n"
            "total_strings_len = 15\n"
            "read_nodes.c: read_node_ptr()\n"
            "\tNode type = MENU\n"
            "read_nodes.c: read_menu_node()\n"
            "current seek pointer = 31\n"
            "no_of_strings = 5\n"
            "total_strings_len = 17\n"
            "current seek pointer = 60\n"
            "no_of_strings = 1\n"
            "total_strings_len = 5\n"
            "node_list[0] = d1\n"
            "Found a match\n"
            "print_nodes.c: print_node_ptr()\n"
            "print_nodes.c: print_menu_node()\n"
            "print_nodes.c: print_node_ptr()\n"
            "print_nodes.c: print_ddd_node()\n"
            "read_nodes.c: read_node_ptr()\n");
  EXPECT_EQ(r.out,
            "Printing -------  NODE PTR ---------------\n"
            "name\t\t\t:m1 \n"
            "kind\t\t\t:MENU \n"
            "Printing -------  MENU NODE ---------------\n"
            "label\t\t\t: \n"
            "prompt\t\t\t: \n"
            "help\t\t\t: \n"
            "Next Ptr\t\t: \n"
            "no_of_items\t\t:1 \n"
            "tag\t\t\t:m1 \n"
            "Printing -------  NODE PTR ---------------\n"
            "name\t\t\t:d1 \n"
            "kind\t\t\t:DDD \n"
            "Printing -------  DDD NODE ---------------\n"
            "tag\t\t\t:d1 \n"
            "Transport \t\t:network \n");
}

TEST_F(ReadNodesTest, TraceNamesEveryKindAndEveryComparison) {
  Sample sample = make_sample();
  const std::string bytes = sample.writer.bytes() + menu_record("m3", {"nope"});
  DebugCapture debug(DEBUG_LIBRARY | 2);
  ReadResult r = read_bytes(bytes);
  std::string text = debug.text();
  for (const char* line :
       {"\tNode type = STRING\nread_nodes.c: read_string_node()\n",
        "\tNode type = SCLIST\nread_nodes.c: read_list_node()\n",
        "read_nodes.c: read_list_struct()\ncurrent seek pointer = ",
        "\tNode type = NUMBER\nread_nodes.c: read_number_node()\n",
        "\tNode type = PDD\nread_nodes.c: read_pdd_node()\n",
        "node_list[0] = s1\nnode_list[1] = paper\nnode_list[2] = copies\n"
        "node_list[3] = pcl\nnode_list[4] = d1\nnode_list[5] = m1\nnode_list[6] = m2\n"
        "read_nodes.c: read_node_ptr()\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(r.names, sample.names);
}

TEST_F(ReadNodesTest, NothingIsTracedBelowLevelFour) {
  DebugCapture debug(2);
  ReadResult r = read_bytes(make_sample().writer.bytes());
  EXPECT_EQ(debug.text(), "");
  EXPECT_EQ(r.out, "");
}

}  // namespace
