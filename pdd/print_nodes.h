// Debug dumps of PDD nodes: one "label<tabs>:value \n" line per field under a
// heading, written through pdd_message (the library's output). With debug level 4
// each dump is preceded in the debug file by a line naming the dump routine.
// Absent texts are shown as "(null)"; absent records print only the routine line.
#pragma once

#include "pdd/node.h"

// Dumps the reference's name and kind ("PDDNODE" for a PDD node), then its node.
// A menu is dumped in the full form.
void print_node_ptr(const NodePtr* ref);

// The menu's fields, then its items. The full form dumps each item with
// print_node_ptr, except that an item which is itself a menu is dumped in the short
// form, so that a dump never descends into menus of menus. The short form lists
// each item as "value is = <kind number>\n" followed by a line with the kind and
// the item's name ("\tSCLIST\tpaper_size\n").
void print_menu_node(const MenuNode* menu, bool short_form = false);

void print_sclist_node(const SclistNode* list);
// One item of a list, every line indented by a tab.
void print_sclist_struct(const SclistItem* item);
void print_string_node(const StringNode* node);
void print_number_node(const NumberNode* node);
void print_pdd_node(const PddNode* node);
void print_ddd_node(const DddNode* node);
