// Broken sources: each fault reported on its own line with the file, line and
// column, and nothing written.
#include <gtest/gtest.h>

#include "pddtool/command_line.h"
#include "tests/support/program.h"

namespace pddtool {
namespace {

TEST(CompileTest, EachFaultIsOneLineWithItsPlace) {
  const struct {
    const char* name;
    std::string source;
    std::vector<std::string> errors;  // "LINE:COLUMN: what"
  } cases[] = {
      {"string default longer than its maximum",
       "- string: pcl_form\n  default_string: abc\n  max_length: 2\n",
       {"3:15: Maximum length of this field is less than the length of the default string."}},
      {"overlapping character sets",
       "- string: s\n  max_length: 4\n  include_char_set: ab\n  exclude_char_set: b\n",
       {"3:21: Overlapping include and exclude characters"}},
      {"string maximum beyond the reader's limit",
       "- string: s\n  max_length: 65537\n",
       {"2:15: max_length 65537 is above 65536, the longest the reader takes"}},
      {"number default out of range",
       "- number: n\n  default_number: 0\n  min_range: 1\n  max_range: 9\n",
       {"2:19: Default value is out of range."}},
      {"number minimum above maximum",
       "- number: n\n  default_number: 5\n  min_range: 10\n  max_range: 9\n",
       {"3:14: Minimum Range is greater than maximum range."}},
      {"list default item out of range",
       "- sclist: l\n  default_item: 2\n  items:\n    - value: a4\n",
       {"2:17: default_item 2 is out of range: the items are numbered 0 to 0"}},
      {"list default naming no item",
       "- sclist: l\n  default: letter\n  items: [{value: a4}]\n",
       {"2:12: default: no item has the value 'letter'"}},
      {"list without items", "- sclist: l\n", {"1:3: a list needs at least one item"}},
      {"menu naming a later node",
       "- menu: m\n  items: [d1]\n- ddd: d1\n",
       {"2:11: menu item 'd1' is not a node earlier in the file"}},
      {"repeated tag",
       "- ddd: d1\n- pdd: d1\n",
       {"2:8: the tag 'd1' is taken by the node at line 1"}},
      {"tag with a blank",
       "- ddd: 'd 1'\n",
       {"1:8: the tag 'd 1' holds a blank, a control character, '=' or ','"}},
      {"texts the compiled file cannot hold",
       "- ddd: d1\n  transport: \"a\\0b\"\n- ddd: d2\n  transport: a$$$b\n- ddd: d3\n"
       "  transport: a$\n",
       {"2:14: transport holds a zero byte",
        "4:14: transport holds \"$$$\", which ends a string in the compiled file",
        "6:14: transport ends with \"$\", which the reader would take for the terminator \"$$$\""}},
      {"unknown keys and wrong types",
       "- ddd: d1\n  transprot: network\n- string: s\n  max_length: ten\n- sclist: l\n"
       "  items: a4\n- skip: 4294967296\n",
       {"2:3: unknown key 'transprot' in a ddd record",
        "4:15: max_length: 'ten' is not a whole number", "6:10: items: expected a list",
        "7:9: skip: 4294967296 does not fit in 32 bits"}},
      {"key given twice",
       "- ddd: d1\n  transport: a\n  transport: b\n",
       {"3:3: the key 'transport' is given twice"}},
      {"record of no kind or two",
       "- transport: x\n- ddd: d1\n  pdd: d1\n",
       {"1:3: a record needs one of the keys string, sclist, number, menu, pdd, ddd, skip or raw",
        "3:3: a record is of one kind, not both 'ddd' and 'pdd'"}},
      {"missing numbers",
       "- number: n\n  min_range: 1\n",
       {"1:3: a number record needs default_number", "1:3: a number record needs max_range"}},
      {"YAML syntax", "- ddd: [d1\n", {"2:1: end of sequence flow not found"}},
      {"not UTF-8",
       "- ddd: d1\n  transport: caf\xe9\n",
       {"2:17: the source is not UTF-8 (byte 0xE9); write other bytes in a !bytes text, such "
        "as !bytes \"caf\\xE9\""}},
      {"raw bytes running into the next record",
       "- raw: 06000000\n- ddd: d1\n",
       {"1:3: the reader takes these raw bytes together with the 8 bytes after them as one "
        "record, starting 0 bytes into them"}},
      {"skip code of a record",
       "- skip: 3\n",
       {"1:9: skip 3: the reader reads a record after this type code"}},
      {"block count without its strings",
       "- ddd: d1\n  block_count: 3\n  block_tail: 7a7a\n",
       {"3:15: block_tail holds 0 strings ending in \"$$$\"; block_count 3 needs 1"}},
  };
  TempTree tree;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string source = tree.write("bad.yaml", c.source);
    std::string output = tree.path("bad.b");
    CommandResult r = run_pddtool({"compile", source});
    std::string expected;
    for (const std::string& error : c.errors) expected += "pddtool: " + source + ":" + error + "\n";
    EXPECT_EQ(r.err, expected);
    EXPECT_EQ(r.status, EXIT_BAD_INPUT);
    EXPECT_FALSE(tree.exists("bad.b"));
    EXPECT_EQ(run_pddtool({"check", source}).err, expected);
  }
}

}  // namespace
}  // namespace pddtool
