// Round trips: every PDD the project's tests and samples build, every odd file the
// reader accepts, and the sample cut or changed at every byte decompile into a
// source that compiles to the same bytes; the reading both rely on keeps the same
// nodes as read_pdd.
#include <gtest/gtest.h>

#include "pdd/pdd_writer.h"
#include "pdd/read_nodes.h"
#include "pddtool/compile.h"
#include "pddtool/library_capture.h"
#include "pddtool/pdd_scan.h"
#include "tests/support/program.h"

namespace pddtool {
namespace {

using namespace pddfile;

std::string ints(std::initializer_list<int32_t> values) {
  PddWriter w;
  for (int32_t v : values) w.raw_int(v);
  return w.bytes();
}
std::string ddd(const std::string& tag, const std::string& transport = "network") {
  return PddWriter().add(DddRecord{tag, transport}).bytes();
}
std::string menu(const std::string& tag, const std::vector<std::string>& items) {
  return PddWriter().add(MenuRecord{"", tag, "", "", "", items}).bytes();
}
std::string string_record(const std::string& def, int32_t max, const std::string& include = "",
                          const std::string& exclude = "") {
  return PddWriter()
      .add(StringRecord{"", "s1", "", "", "", def, exclude, include, "", "", 0, max})
      .bytes();
}
std::string number_record(int32_t def, int32_t min, int32_t max) {
  return PddWriter().add(NumberRecord{"", "n1", "", "", "", "", "", def, 0, min, max, 0}).bytes();
}

SclistRecord on_off(const std::string& tag, const std::string& label, const std::string& code) {
  return SclistRecord{label, tag, label,
                      "",    0,   {{"On", "", "on", code, ""}, {"Off", "", "off", "none", ""}}};
}

void add_pjl_options(PddWriter& pdd, const std::string& ds) {
  pdd.add(on_off(ds + "_jobname", "Job Name", "@PJL SET JOBNAME = "));
  pdd.add(on_off(ds + "_userinfo", "User Information", "@PJL SET USERNAME AND LJOBINFO"));
  pdd.add(
      SclistRecord{"Orientation",
                   ds + "_orientation",
                   "Page orientation",
                   "",
                   0,
                   {{"Portrait", "", "portrait", "@PJL SET ORIENTATION = PORTRAIT${10}", ""},
                    {"Landscape", "", "landscape", "@PJL SET ORIENTATION = LANDSCAPE${10}", ""}}});
  pdd.add(NumberRecord{"Copies", ds + "_copies", "Number of copies", "", "",
                       "@PJL SET COPIES = $${" + ds + "_copies}${10}", "", 1, 0, 1, 999, 0});
  pdd.add(SclistRecord{"Paper Size",
                       ds + "_paper_size",
                       "Paper size",
                       "",
                       0,
                       {{"Letter", "", "letter", "@PJL SET PAPER = LETTER${10}", ""},
                        {"Legal", "", "legal", "@PJL SET PAPER = LEGAL${10}", ""},
                        {"A4", "", "a4", "@PJL SET PAPER = A4${10}", ""}}});
  pdd.add(SclistRecord{"Resolution",
                       ds + "_resolution",
                       "Print resolution",
                       "",
                       1,
                       {{"300 dpi", "", "300", "@PJL SET RESOLUTION = 300${10}", ""},
                        {"600 dpi", "", "600", "@PJL SET RESOLUTION = 600${10}", ""},
                        {"1200 dpi", "", "1200", "@PJL SET RESOLUTION = 1200${10}", ""},
                        {"2400 dpi", "", "2400_IQ", "@PJL SET RESOLUTION = 2400${10}", ""}}});
}

// The sample printer as sample/sample_tree.cc built it with PddWriter before its
// source became sample/generic_pcl.yaml.
std::string sample_reference() {
  PddWriter pdd;
  add_pjl_options(pdd, "pcl");
  pdd.add(NumberRecord{"Pitch", "pcl_pitch", "Characters per inch", "", "",
                       "@PJL SET PITCH = $${pcl_pitch}${10}", "", 1000, 2, 44, 9999, 0});
  pdd.add(MenuRecord{
      "PCL Job Options",
      "pcl_menu",
      "Choose a PCL option",
      "",
      "",
      {"pcl_orientation", "pcl_copies", "pcl_paper_size", "pcl_resolution", "pcl_pitch"}});
  add_pjl_options(pdd, "ps");
  pdd.add(PddRecord{"pcl",
                    "pcl_jobname,pcl_userinfo,pcl_orientation,pcl_copies,pcl_paper_size,"
                    "pcl_resolution,pcl_pitch",
                    "pcl_orientation,pcl_paper_size", "${27}%-12345X,@PJL${10}",
                    "@PJL ENTER LANGUAGE = PCL${10}${27}E", "${27}E${27}%-12345X",
                    "${27}E${27}%-12345X@PJL EOJ${10}${27}%-12345X", "", 0, 0, 0});
  pdd.add(PddRecord{"ps",
                    "ps_jobname,ps_userinfo,ps_orientation,ps_copies,ps_paper_size,"
                    "ps_resolution",
                    "ps_orientation,ps_paper_size", "${27}%-12345X,@PJL${10}",
                    "@PJL ENTER LANGUAGE = POSTSCRIPT${10}", "${4}${27}%-12345X",
                    "${4}${27}%-12345X@PJL EOJ${10}${27}%-12345X", "", 0, 0, 0});
  return pdd.bytes();
}

// One record of every kind (the reader's own tests build it).
std::string every_kind() {
  PddWriter w;
  w.add(StringRecord{"Title", "s1", "Desc", "Help", "nx", "abc", "x", "y", "valid_ip()", "&s;", 3,
                     8});
  w.add(SclistRecord{
      "Paper",
      "paper",
      "Size",
      "Pick",
      1,
      {{"A4", "ISO", "a4", "\\E&l26A", ""}, {"Letter", "US", "letter", "\\E&l2A", "n"}}});
  w.add(NumberRecord{"Copies", "copies", "How many", "1-99", "", "&c;", "vf", 1, 1, -1, 990, 1});
  w.add(PddRecord{"pcl", "paper,copies", "paper", "\\E%-12345X", "\\EE", "\\E", "", "x", 'A', 'B',
                  -3});
  w.add(DddRecord{"d1", "network"});
  w.add(MenuRecord{"Menu", "m1", "Prompt", "Help", "", {"s1", "paper", "copies", "pcl", "d1"}});
  w.add(MenuRecord{"Top", "m2", "", "", "", {"m1", "d1"}});
  return w.bytes();
}

SclistItemRecord choice(const std::string& value) { return {value + " label", "", value, "", ""}; }

struct TestPdd {
  std::string name;
  std::string bytes;
};

// The PDDs that the project's tests, samples and benchmarks build with PddWriter.
std::vector<TestPdd> project_pdds() {
  std::vector<TestPdd> pdds = {{"sample", sample_reference()}, {"every kind", every_kind()}};
  PddWriter one;
  one.add(SclistRecord{
      "Paper",
      "pcl_paper",
      "",
      "",
      2,
      {choice("letter"), choice("legal"), choice("a4"), choice("executive"), choice("envelope")}});
  one.add(StringRecord{"Title", "pcl_title", "", "", "", "x", "", "", "", "", 0, 10});
  one.add(NumberRecord{"Copies", "pcl_copies", "", "", "", "", "", 1, 0, 1, 999, 0});
  one.add(SclistRecord{"Banner", "pcl_banner_page", "", "", 0, {choice("yes"), choice("no")}});
  one.add(
      PddRecord{"pcl", "pcl_paper,pcl_title,pcl_copies", "pcl_paper", "", "", "", "", "", 0, 0, 0});
  pdds.push_back({"settingsview one", one.bytes()});
  PddWriter streams;
  for (const char* ds : {"pcl", "gl", "zt", "other", "ps", "forms", "ppds"}) {
    streams.add(PddRecord{ds, "none", "", "", "", "", "", "", 0, 0, 0});
  }
  pdds.push_back({"settingsview streams", streams.bytes()});
  PddWriter shapes;
  shapes.add(SclistRecord{"", "plain", "", "", 0, {choice("a"), choice("b")}});
  shapes.add(SclistRecord{"", "zt_two_parts", "", "", 5, {choice("a")}});
  shapes.add(SclistRecord{"", "zt_empty", "", "", 0, {}});
  shapes.add(MenuRecord{"", "zt_menu", "", "", "", {"plain"}});
  shapes.add(
      StringRecord{"", "zt_a_very_long_option_name_indeed", "", "", "", "x", "", "", "", "", 0, 5});
  shapes.add(PddRecord{"zt",
                       ",plain,,zt_two_parts,zt_empty,zt_menu,zt_missing,"
                       "zt_a_very_long_option_name_indeed",
                       "", "", "", "", "", "", 0, 0, 0});
  pdds.push_back({"settingsview shapes", shapes.bytes()});
  PddWriter js_streams;
  for (const char* ds : {"pcl", "ps", "zt", "other"}) {
    js_streams.add(PddRecord{ds, "", "", std::string("<") + ds + ">", "", "",
                             "</" + std::string(ds) + ">", "", 0, 0, 0});
  }
  pdds.push_back({"jobshaper streams", js_streams.bytes()});
  PddWriter small;
  small.add(NumberRecord{"Copies", "pcl_copies", "", "", "", "C$${pcl_copies}", "", 1, 0, 1, 9, 0});
  small.add(PddRecord{"pcl", "pcl_copies", "", "<a,b>", "<end>", "<s1>", "", "", 0, 0, 0});
  pdds.push_back({"jobshaper small", small.bytes()});
  PddWriter fit;
  fit.add(StringRecord{"Form", "pcl_form", "", "", "", "abc", "", "", "", "F:", 2, 4});
  fit.add(NumberRecord{"Copies", "pcl_copies", "", "", "", "C$${pcl_copies}", "", 1, 0, 1, 99, 0});
  fit.add(PddRecord{"pcl", "pcl_form,pcl_copies", "", "", "", "", "", "", 0, 0, 0});
  pdds.push_back({"jobshaper fit", fit.bytes()});
  PddWriter bench;
  std::string sequence;
  for (int i = 0; i < 40; ++i) {
    std::string tag = "pcl_option" + std::to_string(i);
    SclistRecord option{"Option " + std::to_string(i), tag, "A setting", "", 0, {}};
    for (int c = 0; c < 8; ++c) {
      std::string value = "v" + std::to_string(c);
      option.items.push_back({"Choice " + std::to_string(c), "", value,
                              "@PJL SET OPTION" + std::to_string(i) + " = " + value + "${10}", ""});
    }
    bench.add(option);
    sequence += (i ? "," : "") + tag;
  }
  bench.add(PddRecord{"pcl", sequence, "", "${27}%-12345X@PJL${10}", "", "", "", "", 0, 0, 0});
  pdds.push_back({"bench forty options", bench.bytes()});
  std::string expressions;
  for (int i = 0; i < 2000; ++i) expressions += "$${" + std::to_string(i) + "}";
  pdds.push_back(
      {"bench expressions",
       PddWriter().add(PddRecord{"pcl", "", "", expressions, "", "", "", "", 0, 0, 0}).bytes()});
  PddWriter table;
  for (int i = 0; i < PDD_NODE_TABLE_SIZE + 5; ++i)
    table.add(DddRecord{"d" + std::to_string(i), "n"});
  table.add(MenuRecord{"", "m1", "", "", "", {"d0"}});
  pdds.push_back({"beyond the node table", table.bytes()});
  return pdds;
}

// Files the reader accepts although no typed record says them: broken records,
// odd blocks, repeated tags, texts of any bytes.
std::vector<TestPdd> odd_pdds() {
  const std::string d1 = ddd("d1");
  const std::string list_head = ints({PDD_FILE_SCLIST}) + string_block({"L", "l1", "D", "H"});
  const std::string menu_head = ints({PDD_FILE_MENU}) + string_block({"L", "m1", "P", "H", ""});
  std::vector<std::string> strings_101(101, "");
  strings_101[0] = "d9";
  std::string every_byte;
  for (int c = 1; c < 256; ++c) every_byte += static_cast<char>(c);
  std::vector<TestPdd> pdds = {
      {"empty", ""},
      {"skipped codes", ints({5, 0, 8, 99, -1}) + d1},
      {"short type code", d1 + "\x06"},
      {"short block header", d1 + ints({PDD_FILE_DDD}) + std::string("\x0f\x00", 2)},
      {"default longer than maximum", string_record("abc", 2) + d1},
      {"negative maximum", string_record("", -1) + d1},
      {"maximum beyond the limit", string_record("", PDD_MAX_STRING_LENGTH + 1) + d1},
      {"overlapping sets", string_record("", 4, "ab", "b") + d1},
      {"number range reversed", number_record(7, 10, 5) + d1},
      {"number default out of range", number_record(11, 1, 10) + d1},
      {"item code 4", list_head + ints({0, 1, 4}) + string_block({"a", "b", "c", "d", "e"}) + d1},
      {"items missing", list_head + ints({0, 2, 5}) + string_block({"", "", "", "", ""})},
      {"item count negative", list_head + ints({0, -1}) + d1},
      {"item count beyond the file", list_head + ints({0, 0x10000000}) + d1},
      {"menu of an unknown tag", d1 + menu("m1", {"nope"}) + ddd("d2")},
      {"menu of a later node", menu("m1", {"d1"}) + d1},
      {"menu of a menu", d1 + menu("m1", {"d1"}) + menu("m2", {"m1", "d1"})},
      {"menu block count not used", d1 + menu_head + ints({1, 5, 0}) + "d1$$$"},
      {"menu tail", d1 + menu_head + ints({1, 7, 1}) + "d1$$$zz"},
      {"menu item count negative", menu_head + ints({-1}) + string_block({}) + d1},
      {"menu of 101 items", d1 + menu("m1", std::vector<std::string>(101, "d1"))},
      {"menu tag without terminator", d1 + menu_head + ints({2, 8, 2}) + "d1$$$zzz"},
      {"block length negative", ints({PDD_FILE_DDD, -5, 2}) + d1},
      {"block length beyond the file", ints({PDD_FILE_DDD, 0x7fffffff, 2}) + "d9$$$$$$" + d1},
      {"string count negative", ints({PDD_FILE_DDD, 8, -1}) + "d9$$$$$$" + d1},
      {"more strings than the data", ints({PDD_FILE_DDD, 7, 3}) + "a$$$$$$" + d1},
      {"block of 101 strings", ints({PDD_FILE_DDD}) + string_block(strings_101) + d1},
      {"fewer strings than needed", ints({PDD_FILE_DDD}) + string_block({"d9"}) + d1},
      {"bytes after the strings", ints({PDD_FILE_DDD, 10, 2}) + "a$$$b$$$zz"},
      {"further strings", ints({PDD_FILE_DDD, 19, 4}) + "a$$$b$$$c$$$$$$zzzz"},
      {"zero byte in a string", ints({PDD_FILE_DDD, 11, 2}) + std::string("d9\0x$$$n$$$", 11)},
      {"repeated tag", d1 + ddd("d1", "serial") + menu("m1", {"d1"})},
      {"odd tags", ddd("") + ddd("a b") + ddd("a=b") + ddd(std::string(60, 'x'))},
      {"every byte in a text", ddd("d1", every_byte)},
      {"texts YAML reads otherwise",
       PddWriter()
           .add(SclistRecord{"null",
                             "t",
                             "~",
                             " lead",
                             0,
                             {{"- a", "a: b", "#x", "a #b", "trail "},
                              {"'q'", "\"d\"", "\\", "@x", "%x"},
                              {"!x", "&x", "*x", "|", ">"},
                              {"\t", "a\nb", "\r", "caf\xc3\xa9", "\xc2\x85"},
                              {"\xe2\x80\xa8", "\xef\xbb\xbf", "\xed\xa0\x80", "\xc0\xaf", "$a"},
                              {"a$b", "[a]", "{a}", "a,b", "---"},
                              {"...", "<<", "? x", ":", "1e3"}}})
           .bytes()},
  };
  return pdds;
}

std::string c_text(const std::string& text) { return text.c_str(); }

// The tags of the nodes that read_pdd keeps from `bytes`.
std::vector<std::string> reader_tags(const TempTree& tree, const std::string& bytes) {
  PddHandle pdd = read_pdd_quietly(tree.write("file.b", bytes));
  std::vector<std::string> tags;
  if (!pdd) return {"(no PDD)"};
  const auto* top = static_cast<const MenuNode*>(pdd->node);
  for (int32_t i = 0; i < top->no_of_items; ++i) tags.push_back(top->items[i].name);
  return tags;
}

std::vector<std::string> scanned_tags(const std::string& bytes) {
  std::vector<std::string> tags;
  for (const ScannedRecord& record : scan_pdd(bytes)) {
    if (record.kept) tags.push_back(c_text(record.tag));
  }
  return tags;
}

void expect_round_trip(const TempTree& tree, const std::string& bytes) {
  std::string source;
  std::string err;
  ASSERT_TRUE(decompile_pdd(bytes, "test", &source, &err)) << err;
  std::string compiled;
  std::vector<Diagnostic> errors;
  bool ok = compile_source(source, &compiled, &errors);
  for (const Diagnostic& d : errors) ADD_FAILURE() << d.at.line << ":" << d.message;
  ASSERT_TRUE(ok) << source;
  EXPECT_EQ(compiled, bytes) << source;
  EXPECT_EQ(scanned_tags(bytes), reader_tags(tree, bytes));
}

TEST(RoundTripTest, EveryPddOfTheProjectAndEveryOddFile) {
  TempTree tree;
  for (const std::vector<TestPdd>& pdds : {project_pdds(), odd_pdds()}) {
    for (const TestPdd& pdd : pdds) {
      SCOPED_TRACE(pdd.name);
      expect_round_trip(tree, pdd.bytes);
    }
  }
}

TEST(RoundTripTest, SampleCutAtEveryLength) {
  TempTree tree;
  const std::string sample = sample_reference();
  for (size_t length = 0; length <= sample.size(); ++length) {
    SCOPED_TRACE(length);
    expect_round_trip(tree, sample.substr(0, length));
  }
}

TEST(RoundTripTest, EveryKindChangedAtEveryByte) {
  TempTree tree;
  // Each byte in turn becomes a zero, an item code, a dollar or 0xff: counts turn
  // huge or negative, codes change, terminators appear and vanish.
  const std::string kinds = every_kind();
  const char kBytes[] = {'\0', '\x05', '$', '\xff'};
  for (size_t at = 0; at < kinds.size(); ++at) {
    std::string changed = kinds;
    changed[at] = kBytes[at % std::size(kBytes)];
    SCOPED_TRACE(testing::Message() << "byte " << at);
    expect_round_trip(tree, changed);
  }
}

TEST(RoundTripTest, SampleSourceCompilesToTheBytesPddWriterMade) {
  std::string text = read_file(SAMPLE_SOURCE);
  ASSERT_FALSE(text.empty());
  std::string compiled;
  std::vector<Diagnostic> errors;
  ASSERT_TRUE(compile_source(text, &compiled, &errors));
  EXPECT_EQ(compiled, sample_reference());
}

// What the decompiler writes for what no plain node says, exactly.
TEST(RoundTripTest, DecompiledSourcesSayEverythingTheFileHolds) {
  const struct {
    std::string bytes;
    std::string source;
  } cases[] = {
      {"", "# h\n[]\n"},
      {ints({99}) + ints({PDD_FILE_DDD, 13, 3}) + "d$$$n$$$zz$$$",
       "# h\n\n- skip: 99\n\n- ddd: d\n  transport: n\n  block_count: 3\n"
       "  block_tail: 7a7a2424 24\n"},
      {ddd("d1") + ddd("d1", "caf\xe9"),
       "# h\n\n- ddd: d1\n  transport: network\n\n"
       "# The reader keeps the node 'd1' of these bytes, which compile only as raw bytes: its "
       "tag is taken by an earlier node.\n"
       "- raw: 06000000 0c000000 02000000 64312424 24636166 e9242424\n"},
      {ddd("d2", "caf\xe9") + number_record(11, 1, 10) + "\x01",
       "# h\n\n- ddd: d2\n  transport: !bytes \"caf\\xE9\"\n\n"
       "# The reader leaves these bytes out: Default value is out of range.\n"
       "- raw: |\n"
       "    03000000 17000000 07000000 2424246e 31242424 24242424 24242424 24242424\n"
       "    2424240b 00000000 00000001 0000000a 00000000 000000\n\n"
       "# The reader leaves these bytes out: fewer than 4 bytes are left, where a type code "
       "belongs.\n"
       "- raw: 01\n"},
  };
  for (const auto& c : cases) {
    std::string source;
    std::string err;
    ASSERT_TRUE(decompile_pdd(c.bytes, "h", &source, &err));
    EXPECT_EQ(source, c.source);
  }
}

}  // namespace
}  // namespace pddtool
