// Checks of option values against their PDD nodes.
#include "pdd/isvalid.h"

#include <gtest/gtest.h>

#include "pdd/createmem.h"
#include "pdd/test_support.h"
#include "pdd/validfunctions.h"

namespace {

using pddtest::PddTest;

// A top menu over the given references, freed with free_pdd.
class Menu {
 public:
  explicit Menu(std::vector<NodePtr*> refs) {
    MenuNode* menu =
        create_menu_node("l", "t", "p", "h", "n", static_cast<int32_t>(refs.size()), refs.data());
    top_ = create_node_ptr(NodeKind::MENU, menu, TOP_MENU_NAME);
  }
  ~Menu() { free_pdd(top_); }
  const NodePtr* top() const { return top_; }
  template <typename T>
  T* node(int index) const {
    return static_cast<T*>(static_cast<MenuNode*>(top_->node)->items[index].node);
  }

 private:
  NodePtr* top_;
};

NodePtr* string_ref(const char* tag, int32_t valid_type, const char* include, const char* exclude,
                    int32_t max_length, const char* default_string = "") {
  return create_node_ptr(NodeKind::STRING,
                         create_string_node("t", "d", tag, "h", nullptr, default_string, valid_type,
                                            exclude, include, max_length, "valid_not_null()", "p"),
                         tag);
}

NodePtr* number_ref(const char* tag, int32_t decimals, int32_t min, int32_t max) {
  return create_node_ptr(
      NodeKind::NUMBER,
      create_number_node("t", "d", tag, "h", nullptr, min, decimals, min, max, "", "c", 0), tag);
}

class ValueCheckTest : public PddTest {};

TEST_F(ValueCheckTest, OptionValuesByNodeKind) {
  SclistNode* list = create_sclist_node("l", "d", "pcl_orientation", "h", 0, 2);
  set_sclist_item(list, 0, "Portrait", "", "portrait", "P", "");
  set_sclist_item(list, 1, "Landscape", "", "landscape", "L", "");
  Menu menu(
      {create_node_ptr(NodeKind::SCLIST, list, "pcl_orientation"),
       string_ref("digits", VALID_DIGITS, "-", nullptr, 8),
       string_ref("letters", VALID_LETTERS, nullptr, "x", 8),
       string_ref("blank", VALID_LETTERS, nullptr, nullptr, 4, " "),
       number_ref("tenths", 1, 10, 100),
       create_node_ptr(NodeKind::DDD, create_ddd_node("dev", "network"), "dev"),
       create_node_ptr(NodeKind::MENU, create_menu_node("m", "submenu", "p", "h", "n", 0, nullptr),
                       "submenu")});
  struct Case {
    const char* key;
    const char* value;
    int result;
  };
  const Case cases[] = {
      {"pcl_orientation", "landscape", 0},
      {"pcl_orientation", "Landscape", -1},  // labels are not values
      {"pcl_orientation", "", -1},
      {"digits", "12-3", 0},
      {"digits", "12a", -1},
      {"digits", "", 0},
      {"digits", "123456789", -1},  // longer than the node's 8 characters
      {"letters", "abc", 0},
      {"letters", "axe", -1},
      {"blank", "abcd", 0},  // a node whose default was " " still takes values
      {"blank", "abcde", -1},
      {"tenths", "5.0", 0},
      {"tenths", "1.25", 0},    // more decimals than the node has: not compared
      {"tenths", "09.99", -1},  // in range, but longer than the node's width of 4
      {"dev", "network", -1},
      {"submenu", "x", -1},
      {"nosuch", "x", -1},
  };
  StderrCapture err;
  for (const Case& c : cases) {
    EXPECT_EQ(check_option_value(c.key, c.value, menu.top()), c.result) << c.key << "=" << c.value;
  }
  EXPECT_STREQ(menu.node<StringNode>(3)->value, "abcd");
  EXPECT_STREQ(menu.node<NumberNode>(4)->value_text, "1.25");
}

TEST_F(ValueCheckTest, NumbersOutOfRangeAreClampedAndReported) {
  Menu menu({number_ref("tenths", 1, 10, 100), number_ref("whole", 0, 1, 999)});
  struct Case {
    const char* key;
    const char* value;
    const char* value_text;
    const char* err;
  };
  const Case cases[] = {
      {"tenths", "5", "1.0",
       "The number is too small.\nUsing the smallest possible value instead: 1.0\n"},
      {"tenths", "10.1", "10.0",
       "The number is too large.\nUsing largest possible value instead: 10.0\n"},
      {"whole", "-3", "1",
       "The number is too small.\nUsing the smallest possible value instead: 1\n"},
      {"whole", "1000", "999",
       "The number is too large.\nUsing largest possible value instead: 999\n"},
  };
  for (int i = 0; const Case& c : cases) {
    StderrCapture err;
    EXPECT_EQ(check_option_value(c.key, c.value, menu.top()), -1) << c.value;
    EXPECT_STREQ(menu.node<NumberNode>(c.key[0] == 't' ? 0 : 1)->value_text, c.value_text);
    EXPECT_EQ(err.text(), c.err) << i++;
  }
}

TEST(FormatScaledNumber, PlacesTheSeparator) {
  EXPECT_EQ(format_scaled_number(105, 2), "1.05");
  EXPECT_EQ(format_scaled_number(5, 2), "0.05");
  EXPECT_EQ(format_scaled_number(0, 1), "0.0");
  EXPECT_EQ(format_scaled_number(125, 0), "125");
  EXPECT_EQ(format_scaled_number(-105, 2), "-1.05");
  EXPECT_EQ(format_scaled_number(-7, 0), "-7");
}

TEST(ValidationRegistry, HoldsThirtyEmptyEntries) {
  for (int i = 0; i < VALIDATION_REGISTRY_SIZE; ++i) {
    EXPECT_EQ(validation_registry()[i].name, nullptr);
  }
  EXPECT_EQ(find_validation_function("valid_ip()"), nullptr);
  EXPECT_EQ(find_validation_function(nullptr), nullptr);
}

}  // namespace
