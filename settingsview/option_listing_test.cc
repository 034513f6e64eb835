// Option lines for node shapes that no compiled file produces: an absent choice
// value, and two nodes under one tag.
#include "settingsview/option_listing.h"

#include <gtest/gtest.h>

#include "pdd/createmem.h"

namespace {

TEST(ListOptionTest, AbsentValuesAreEmptyAndEveryNodeOfATagIsListed) {
  SclistNode* list = create_sclist_node("", "", "gl_pens", "", 1, 2);
  set_sclist_item(list, 0, "", "", nullptr, "", "");
  set_sclist_item(list, 1, "", "", "thick", "", "");
  MenuNode* top = create_menu_node("", "", "", "", "", 3, nullptr);
  set_menu_item(top, 0, "gl_pens", NodeKind::SCLIST, list);
  for (int32_t i : {1, 2}) {
    set_menu_item(top, i, "gl_n", NodeKind::NUMBER,
                  create_number_node("", "", "gl_n", "", "", -i, 0, -10, 10, "", "", 0));
  }
  std::string out;
  list_option(*top, "gl_pens", {}, out);
  list_option(*top, "gl_n", {.colon_format = true}, out);
  EXPECT_EQ(out, "pens                      , thick (default)\n\nn=-10-10:-1n=-10-10:-2\n\n");
  for (int32_t i = 0; i < top->no_of_items; ++i) free_node(top->items[i].kind, top->items[i].node);
  free_menu_node(top);
}

}  // namespace
