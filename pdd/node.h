// In-memory model of a printer definition database (PDD): typed nodes referred to
// through NodePtr entries. Records are plain structures whose texts are separately
// allocated, zero-terminated and owned by the record; an absent text is nullptr.
#pragma once

#include <cstdint>

// Node kinds as held in memory. The compiled file uses other type codes.
enum class NodeKind : uint32_t {
  MENU = 1,
  SCLIST = 3,
  STRING = 5,
  NUMBER = 6,
  PDD = 8,  // one data stream of the printer
  DDD = 9,  // device description
};

// A reference to a node. The reference owns its name; who owns the node is said
// where references are stored (the top menu owns every node of a PDD).
struct NodePtr {
  char* name;
  NodeKind kind;
  void* node;
};

struct MenuNode {
  char* label;
  char* prompt;
  char* help;
  char* next_ptr;
  int32_t no_of_items;
  char* tag;
  NodePtr* items;  // no_of_items entries; each owns its name but not its node
};

struct SclistItem {
  char* label;
  char* description;
  char* value;         // the value stored in a VQD for this choice
  char* printer_code;  // code string sent for this choice
  char* next_ptr;
};

// Single-choice list.
struct SclistNode {
  char* label;
  char* description;
  char* tag;
  char* help;
  int32_t current_item;
  int32_t saved_item;
  int32_t default_item;
  int32_t no_of_items;
  SclistItem* items;  // no_of_items entries
};

// Character classes of StringNode::valid_type.
inline constexpr int32_t VALID_DIGITS = 1;
inline constexpr int32_t VALID_LETTERS = 2;
inline constexpr int32_t VALID_SPACE = 4;
inline constexpr int32_t VALID_PUNCTUATION = 8;
inline constexpr int32_t VALID_CONTROL = 16;

struct StringNode {
  char* title;
  char* description;
  char* tag;
  char* help;
  char* next_ptr;
  char* value;        // buffer of max_length+1 characters (empty when the default is " ")
  char* saved_value;  // same size as value
  char* default_string;
  int32_t valid_type;
  char* include_char_set;
  char* exclude_char_set;
  int32_t max_length;
  char* validation_function;
  char* p_code;
  unsigned char modified;
};

struct NumberNode {
  char* title;
  char* description;
  char* next_ptr;
  char* tag;
  char* help;
  char* value_text;  // buffer of width+1 characters
  int32_t value;     // scaled by 10 to the power decimal_places
  int32_t saved_value;
  int32_t default_number;
  int32_t decimal_places;
  int32_t min_range;
  int32_t max_range;
  char* validation_function;
  char* printer_code;
  int32_t width;  // digits of max_range written unsigned, +1 with decimal places
  unsigned char modified;
  int32_t number_type;  // 1: code expansion writes the value as one byte
};

// One data stream of the printer; its tag is the data stream name.
struct PddNode {
  char* tag;
  char* init_sequence;         // code kind 2
  char* banner_init_sequence;  // code kind 3
  char* ds_init_string;        // code kind 1
  char* ds_end_string;         // code kind 5
  int32_t special_char1;
  int32_t special_char2;
  int32_t special_char3;
  char* string1;  // code kind 6
  char* string2;  // code kind 7
  char* string3;  // code kind 8
};

struct DddNode {
  char* tag;
  char* transport;  // code kind 4
};

// Name of the reference that the PDD reader returns.
inline constexpr const char* TOP_MENU_NAME = "The Top Menu";
