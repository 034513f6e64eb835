// Tests of the node dumps: exact texts, absent texts, and the debug-file lines.
#include "pdd/print_nodes.h"

#include <gtest/gtest.h>

#include <string>

#include "pdd/createmem.h"
#include "pdd/test_support.h"

namespace {

class PrintNodesTest : public pddtest::PddTest {};

template <typename T>
std::string dump_of(void (*print)(const T*), const T* node) {
  pddtest::LibraryOutput output;
  print(node);
  return output.text();
}

TEST_F(PrintNodesTest, StringNodeWithAndWithoutNextPointer) {
  StringNode* node = create_string_node("Title", "Desc", "s_tag", "Help", "nxt", "ab", 3, "x", "y",
                                        8, "valid_ip()", "&s;");
  ASSERT_NE(node, nullptr);
  const std::string body_start =
      "Printing -------  STRING NODE ---------------\n"
      "title\t\t\t:Title \n"
      "description\t\t:Desc \n"
      "prompt\t\t\t:Desc \n"
      "tag\t\t\t:s_tag \n"
      "help\t\t\t:Help \n";
  const std::string body_end =
      "default string\t\t:ab \n"
      "valid Type\t\t:3 \n"
      "includeCharSet\t\t:y \n"
      "excludeCharSet\t\t:x \n"
      "Maximum Length\t\t:8 \n"
      "validation Function\t:valid_ip() \n"
      "p_code\t\t\t:&s; \n";
  EXPECT_EQ(dump_of(print_string_node, node), body_start + "Next Node Ptr\t\t:nxt \n" + body_end);
  std::free(node->next_ptr);
  node->next_ptr = nullptr;
  EXPECT_EQ(dump_of(print_string_node, node), body_start + body_end);
  free_string_node(node);
}

TEST_F(PrintNodesTest, NumberNodeWithAndWithoutNextPointer) {
  NumberNode* node =
      create_number_node("T", "D", "n_tag", "H", "nxt", 5, 1, -2, 250, "V()", "&n;", 1);
  ASSERT_NE(node, nullptr);
  const std::string head =
      "Printing -------  NUMBER NODE ---------------\n"
      "title\t\t\t:T \n"
      "description\t\t:D \n";
  const std::string tail =
      "tag\t\t\t:n_tag \n"
      "help\t\t\t:H \n"
      "Default Number\t\t:5 \n"
      "decimal Place\t\t:1 \n"
      "Mim Range\t\t:-2 \n"
      "Max Range\t\t:250 \n"
      "Validation Function\t:V() \n"
      "Printer Code\t\t:&n; \n"
      "Number Type\t\t:1 \n";
  EXPECT_EQ(dump_of(print_number_node, node), head + "Next Ptr\t\t:nxt \n" + tail);
  std::free(node->next_ptr);
  node->next_ptr = nullptr;
  EXPECT_EQ(dump_of(print_number_node, node), head + tail);
  free_number_node(node);
}

TEST_F(PrintNodesTest, SclistNodeWithIndentedItems) {
  SclistNode* list = create_sclist_node("Paper", "Paper size", "paper", "Pick one", 1, 2);
  ASSERT_NE(list, nullptr);
  set_sclist_item(list, 0, "A4", "ISO", "a4", "\\E&l26A", "n0");
  set_sclist_item(list, 1, "Letter", "US", "letter", "\\E&l2A", "n1");
  EXPECT_EQ(dump_of(print_sclist_node, list),
            "Printing -------  SCLIST NODE ---------------\n"
            "label\t\t\t:Paper \n"
            "description\t\t:Paper size \n"
            "tag\t\t\t:paper \n"
            "help\t\t\t:Pick one \n"
            "defaultItem\t\t:1 \n"
            "no_of_items\t\t:2 \n"
            "\tPrinting -------  SCLIST STRUCTURE ---------------\n"
            "\tlabel\t\t\t:A4 \n"
            "\tdescription\t\t:ISO \n"
            "\tvalue\t\t\t:a4 \n"
            "\tprinter_code\t\t:\\E&l26A \n"
            "\tnext_ptr\t\t:n0 \n"
            "\tPrinting -------  SCLIST STRUCTURE ---------------\n"
            "\tlabel\t\t\t:Letter \n"
            "\tdescription\t\t:US \n"
            "\tvalue\t\t\t:letter \n"
            "\tprinter_code\t\t:\\E&l2A \n"
            "\tnext_ptr\t\t:n1 \n");
  free_sclist_node(list);
}

TEST_F(PrintNodesTest, PddNodeShowsSpecialCharactersTwice) {
  PddNode* node = create_pdd_node(copy_text("pcl"), copy_text("a,b"), copy_text("c"),
                                  copy_text("\\E"), copy_text("end"), copy_text("s1"),
                                  copy_text("s2"), copy_text("s3"), 'A', 66, 0);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(dump_of(print_pdd_node, node),
            std::string("Printing -------  PDD NODE ---------------\n"
                        "tag\t\t\t:pcl \n"
                        "Initializaiton Sequence\t:a,b \n"
                        "banner_init_sequence\t:c \n"
                        "Initializaiton Mode\t:\\E \n"
                        "End String\t\t:end \n"
                        "special char1   :A     special char1 (int) 65\n"
                        "special char2   :B     special char2 (int) 66\n"
                        "special char3   :") +
                std::string(1, '\0') +
                "     special char3 (int) 0\n"
                "string1\t\t\t:s1 \n"
                "string2\t\t\t:s2 \n"
                "string3\t\t\t:s3 \n");
  free_pdd_node(node);
}

TEST_F(PrintNodesTest, DddNode) {
  DddNode* node = create_ddd_node("d1", "network");
  EXPECT_EQ(dump_of(print_ddd_node, node),
            "Printing -------  DDD NODE ---------------\n"
            "tag\t\t\t:d1 \n"
            "Transport \t\t:network \n");
  free_ddd_node(node);
}

TEST_F(PrintNodesTest, AbsentTextsPrintAsNull) {
  DddNode ddd = {nullptr, nullptr};
  EXPECT_EQ(dump_of(print_ddd_node, &ddd),
            "Printing -------  DDD NODE ---------------\n"
            "tag\t\t\t:(null) \n"
            "Transport \t\t:(null) \n");
  SclistItem item = {};
  EXPECT_EQ(dump_of(print_sclist_struct, &item),
            "\tPrinting -------  SCLIST STRUCTURE ---------------\n"
            "\tlabel\t\t\t:(null) \n"
            "\tdescription\t\t:(null) \n"
            "\tvalue\t\t\t:(null) \n"
            "\tprinter_code\t\t:(null) \n"
            "\tnext_ptr\t\t:(null) \n");
  EXPECT_EQ(dump_of(print_ddd_node, static_cast<const DddNode*>(nullptr)), "");
  EXPECT_EQ(dump_of(print_node_ptr, static_cast<const NodePtr*>(nullptr)), "");
}

// A menu of a DDD node and another menu; the inner menu holds a STRING node, a PDD
// node and an unknown kind.
class MenuDumpTest : public PrintNodesTest {
 protected:
  void SetUp() override {
    PrintNodesTest::SetUp();
    ddd_ = create_ddd_node("d1", "network");
    inner_ = create_menu_node("In", "m1", "P", "H", nullptr, 3, nullptr);
    set_menu_item(inner_, 0, "s1", NodeKind::STRING, nullptr);
    set_menu_item(inner_, 1, "pcl", NodeKind::PDD, nullptr);
    set_menu_item(inner_, 2, "odd", static_cast<NodeKind>(2), nullptr);
    outer_ = create_menu_node("Out", "m2", "Prompt", "Help", "next", 2, nullptr);
    set_menu_item(outer_, 0, "d1", NodeKind::DDD, ddd_);
    set_menu_item(outer_, 1, "m1", NodeKind::MENU, inner_);
    ref_ = create_node_ptr(NodeKind::MENU, outer_, "m2");
  }
  void TearDown() override {
    free_menu_node(inner_);
    free_ddd_node(ddd_);
    free_node_ptr(ref_);  // with outer_
    PrintNodesTest::TearDown();
  }

  static constexpr const char* kInnerHead =
      "Printing -------  MENU NODE ---------------\n"
      "label\t\t\t:In \n"
      "prompt\t\t\t:P \n"
      "help\t\t\t:H \n"
      "Next Ptr\t\t:(null) \n"
      "no_of_items\t\t:3 \n"
      "tag\t\t\t:m1 \n";
  static constexpr const char* kInnerShortItems =
      "value is = 5\n"
      "\tSTRING\ts1\n"
      "value is = 8\n"
      "\tUnknown\tpcl\n"
      "value is = 2\n"
      "\tUnknown\todd\n";

  DddNode* ddd_ = nullptr;
  MenuNode* inner_ = nullptr;
  MenuNode* outer_ = nullptr;
  NodePtr* ref_ = nullptr;
};

TEST_F(MenuDumpTest, ShortFormListsKindsAndNames) {
  pddtest::LibraryOutput output;
  print_menu_node(inner_, true);
  EXPECT_EQ(output.text(), std::string(kInnerHead) + kInnerShortItems);
}

TEST_F(MenuDumpTest, FullFormDumpsItemsButNotMenusOfMenus) {
  DebugCapture debug(DEBUG_LIBRARY);
  pddtest::LibraryOutput output;
  print_node_ptr(ref_);
  EXPECT_EQ(output.text(), std::string("Printing -------  NODE PTR ---------------\n"
                                       "name\t\t\t:m2 \n"
                                       "kind\t\t\t:MENU \n"
                                       "Printing -------  MENU NODE ---------------\n"
                                       "label\t\t\t:Out \n"
                                       "prompt\t\t\t:Prompt \n"
                                       "help\t\t\t:Help \n"
                                       "Next Ptr\t\t:next \n"
                                       "no_of_items\t\t:2 \n"
                                       "tag\t\t\t:m2 \n"
                                       "Printing -------  NODE PTR ---------------\n"
                                       "name\t\t\t:d1 \n"
                                       "kind\t\t\t:DDD \n"
                                       "Printing -------  DDD NODE ---------------\n"
                                       "tag\t\t\t:d1 \n"
                                       "Transport \t\t:network \n"
                                       "Printing -------  NODE PTR ---------------\n"
                                       "name\t\t\t:m1 \n"
                                       "kind\t\t\t:MENU \n") +
                               kInnerHead + kInnerShortItems);
  EXPECT_EQ(debug.text(),
            "print_nodes.c: print_node_ptr()\n"
            "print_nodes.c: print_menu_node()\n"
            "print_nodes.c: print_node_ptr()\n"
            "print_nodes.c: print_ddd_node()\n"
            "print_nodes.c: print_node_ptr()\n"
            "print_nodes.c: print_menu_node()\n");
}

TEST_F(PrintNodesTest, NodePtrNamesEveryKind) {
  struct Case {
    NodeKind kind;
    const char* shown;
  };
  const Case cases[] = {{NodeKind::MENU, "MENU"},
                        {NodeKind::SCLIST, "SCLIST"},
                        {NodeKind::STRING, "STRING"},
                        {NodeKind::NUMBER, "NUMBER"},
                        {NodeKind::PDD, "PDDNODE"},
                        {NodeKind::DDD, "DDD"},
                        {static_cast<NodeKind>(7), "Unknown"}};
  for (const Case& c : cases) {
    NodePtr ref = {const_cast<char*>("x"), c.kind, nullptr};
    EXPECT_EQ(dump_of(print_node_ptr, static_cast<const NodePtr*>(&ref)),
              std::string("Printing -------  NODE PTR ---------------\n"
                          "name\t\t\t:x \n"
                          "kind\t\t\t:") +
                  c.shown + " \n");
  }
}

TEST_F(PrintNodesTest, EachDumpNamesItsRoutineOnlyAtLevelFour) {
  DddNode ddd = {nullptr, nullptr};
  PddNode pdd = {};
  NumberNode number = {};
  StringNode string_node = {};
  SclistNode list = {};
  SclistItem item = {};
  MenuNode menu = {};
  auto print_all = [&] {
    print_ddd_node(&ddd);
    print_pdd_node(&pdd);
    print_number_node(&number);
    print_string_node(&string_node);
    print_sclist_node(&list);
    print_sclist_struct(&item);
    print_menu_node(&menu, true);
  };
  pddtest::LibraryOutput quiet;
  for (int level : {2, 4, 6}) {
    SCOPED_TRACE(level);
    DebugCapture debug(level);
    print_all();
    EXPECT_EQ(debug.text(), (level & 4) == 0 ? ""
                                             : "print_nodes.c: print_ddd_node()\n"
                                               "print_nodes.c: print_pdd_node()\n"
                                               "print_nodes.c: print_number_node()\n"
                                               "print_nodes.c: print_string_node()\n"
                                               "print_nodes.c: print_sclist_node()\n"
                                               "print_nodes.c: print_sclist_struct()\n"
                                               "print_nodes.c: print_menu_node()\n");
  }
}

}  // namespace
