// Debug dumps of PDD nodes. Every field line puts its colon at column 24 (tab
// stops every 8 columns), so the values of one dump line up.
#include "pdd/print_nodes.h"

#include "common/debug_trace.h"
#include "pdd/library.h"

namespace {

// printf must never see a null text.
const char* text(const char* value) { return value ? value : "(null)"; }

const char* kind_name(NodeKind kind) {
  switch (kind) {
    case NodeKind::MENU:
      return "MENU";
    case NodeKind::SCLIST:
      return "SCLIST";
    case NodeKind::STRING:
      return "STRING";
    case NodeKind::NUMBER:
      return "NUMBER";
    case NodeKind::PDD:
      return "PDDNODE";
    case NodeKind::DDD:
      return "DDD";
  }
  return "Unknown";
}

// The kind column of the short menu form, which names only these four kinds.
const char* short_kind_name(NodeKind kind) {
  switch (kind) {
    case NodeKind::MENU:
      return "\tMENU";
    case NodeKind::SCLIST:
      return "\tSCLIST";
    case NodeKind::STRING:
      return "\tSTRING";
    case NodeKind::NUMBER:
      return "\tNUMBER";
    default:
      return "\tUnknown";
  }
}

void dump_ref(const NodePtr* ref, bool menu_short_form) {
  debug_trace().print(DEBUG_LIBRARY, "print_nodes.c: print_node_ptr()\n");
  if (!ref) return;
  pdd_message("Printing -------  NODE PTR ---------------\n");
  pdd_message("name\t\t\t:%s \n", text(ref->name));
  pdd_message("kind\t\t\t:%s \n", kind_name(ref->kind));
  switch (ref->kind) {
    case NodeKind::MENU:
      print_menu_node(static_cast<const MenuNode*>(ref->node), menu_short_form);
      break;
    case NodeKind::SCLIST:
      print_sclist_node(static_cast<const SclistNode*>(ref->node));
      break;
    case NodeKind::STRING:
      print_string_node(static_cast<const StringNode*>(ref->node));
      break;
    case NodeKind::NUMBER:
      print_number_node(static_cast<const NumberNode*>(ref->node));
      break;
    case NodeKind::PDD:
      print_pdd_node(static_cast<const PddNode*>(ref->node));
      break;
    case NodeKind::DDD:
      print_ddd_node(static_cast<const DddNode*>(ref->node));
      break;
  }
}

}  // namespace

void print_node_ptr(const NodePtr* ref) { dump_ref(ref, false); }

void print_menu_node(const MenuNode* menu, bool short_form) {
  debug_trace().print(DEBUG_LIBRARY, "print_nodes.c: print_menu_node()\n");
  if (!menu) return;
  pdd_message("Printing -------  MENU NODE ---------------\n");
  pdd_message("label\t\t\t:%s \n", text(menu->label));
  pdd_message("prompt\t\t\t:%s \n", text(menu->prompt));
  pdd_message("help\t\t\t:%s \n", text(menu->help));
  pdd_message("Next Ptr\t\t:%s \n", text(menu->next_ptr));
  pdd_message("no_of_items\t\t:%d \n", menu->no_of_items);
  pdd_message("tag\t\t\t:%s \n", text(menu->tag));
  if (!menu->items) return;
  for (int32_t i = 0; i < menu->no_of_items; ++i) {
    const NodePtr& item = menu->items[i];
    if (short_form) {
      pdd_message("value is = %d\n", static_cast<int>(item.kind));
      pdd_message("%s\t%s\n", short_kind_name(item.kind), text(item.name));
    } else {
      dump_ref(&item, true);
    }
  }
}

void print_sclist_node(const SclistNode* list) {
  debug_trace().print(DEBUG_LIBRARY, "print_nodes.c: print_sclist_node()\n");
  if (!list) return;
  pdd_message("Printing -------  SCLIST NODE ---------------\n");
  pdd_message("label\t\t\t:%s \n", text(list->label));
  pdd_message("description\t\t:%s \n", text(list->description));
  pdd_message("tag\t\t\t:%s \n", text(list->tag));
  pdd_message("help\t\t\t:%s \n", text(list->help));
  pdd_message("defaultItem\t\t:%d \n", list->default_item);
  pdd_message("no_of_items\t\t:%d \n", list->no_of_items);
  if (!list->items) return;
  for (int32_t i = 0; i < list->no_of_items; ++i) print_sclist_struct(&list->items[i]);
}

void print_sclist_struct(const SclistItem* item) {
  debug_trace().print(DEBUG_LIBRARY, "print_nodes.c: print_sclist_struct()\n");
  if (!item) return;
  pdd_message("\tPrinting -------  SCLIST STRUCTURE ---------------\n");
  pdd_message("\tlabel\t\t\t:%s \n", text(item->label));
  pdd_message("\tdescription\t\t:%s \n", text(item->description));
  pdd_message("\tvalue\t\t\t:%s \n", text(item->value));
  pdd_message("\tprinter_code\t\t:%s \n", text(item->printer_code));
  pdd_message("\tnext_ptr\t\t:%s \n", text(item->next_ptr));
}

void print_string_node(const StringNode* node) {
  debug_trace().print(DEBUG_LIBRARY, "print_nodes.c: print_string_node()\n");
  if (!node) return;
  pdd_message("Printing -------  STRING NODE ---------------\n");
  pdd_message("title\t\t\t:%s \n", text(node->title));
  pdd_message("description\t\t:%s \n", text(node->description));
  pdd_message("prompt\t\t\t:%s \n", text(node->description));
  pdd_message("tag\t\t\t:%s \n", text(node->tag));
  pdd_message("help\t\t\t:%s \n", text(node->help));
  if (node->next_ptr) pdd_message("Next Node Ptr\t\t:%s \n", node->next_ptr);
  pdd_message("default string\t\t:%s \n", text(node->default_string));
  pdd_message("valid Type\t\t:%d \n", node->valid_type);
  pdd_message("includeCharSet\t\t:%s \n", text(node->include_char_set));
  pdd_message("excludeCharSet\t\t:%s \n", text(node->exclude_char_set));
  pdd_message("Maximum Length\t\t:%d \n", node->max_length);
  pdd_message("validation Function\t:%s \n", text(node->validation_function));
  pdd_message("p_code\t\t\t:%s \n", text(node->p_code));
}

void print_number_node(const NumberNode* node) {
  debug_trace().print(DEBUG_LIBRARY, "print_nodes.c: print_number_node()\n");
  if (!node) return;
  pdd_message("Printing -------  NUMBER NODE ---------------\n");
  pdd_message("title\t\t\t:%s \n", text(node->title));
  pdd_message("description\t\t:%s \n", text(node->description));
  if (node->next_ptr) pdd_message("Next Ptr\t\t:%s \n", node->next_ptr);
  pdd_message("tag\t\t\t:%s \n", text(node->tag));
  pdd_message("help\t\t\t:%s \n", text(node->help));
  pdd_message("Default Number\t\t:%d \n", node->default_number);
  pdd_message("decimal Place\t\t:%d \n", node->decimal_places);
  pdd_message("Mim Range\t\t:%d \n", node->min_range);
  pdd_message("Max Range\t\t:%d \n", node->max_range);
  pdd_message("Validation Function\t:%s \n", text(node->validation_function));
  pdd_message("Printer Code\t\t:%s \n", text(node->printer_code));
  pdd_message("Number Type\t\t:%d \n", node->number_type);
}

void print_pdd_node(const PddNode* node) {
  debug_trace().print(DEBUG_LIBRARY, "print_nodes.c: print_pdd_node()\n");
  if (!node) return;
  pdd_message("Printing -------  PDD NODE ---------------\n");
  pdd_message("tag\t\t\t:%s \n", text(node->tag));
  pdd_message("Initializaiton Sequence\t:%s \n", text(node->init_sequence));
  pdd_message("banner_init_sequence\t:%s \n", text(node->banner_init_sequence));
  pdd_message("Initializaiton Mode\t:%s \n", text(node->ds_init_string));
  pdd_message("End String\t\t:%s \n", text(node->ds_end_string));
  pdd_message("special char1   :%c     special char1 (int) %d\n", node->special_char1,
              node->special_char1);
  pdd_message("special char2   :%c     special char2 (int) %d\n", node->special_char2,
              node->special_char2);
  pdd_message("special char3   :%c     special char3 (int) %d\n", node->special_char3,
              node->special_char3);
  pdd_message("string1\t\t\t:%s \n", text(node->string1));
  pdd_message("string2\t\t\t:%s \n", text(node->string2));
  pdd_message("string3\t\t\t:%s \n", text(node->string3));
}

void print_ddd_node(const DddNode* node) {
  debug_trace().print(DEBUG_LIBRARY, "print_nodes.c: print_ddd_node()\n");
  if (!node) return;
  pdd_message("Printing -------  DDD NODE ---------------\n");
  pdd_message("tag\t\t\t:%s \n", text(node->tag));
  pdd_message("Transport \t\t:%s \n", text(node->transport));
}
