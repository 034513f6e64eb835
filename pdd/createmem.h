// Creation, checking and freeing of PDD nodes, and the library's allocation policy.
// Every creation copies its text arguments (absent stays absent) and gives the new
// record, or nullptr when a check or an allocation fails.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pdd/node.h"

// Allocates `size` bytes cleared to zero. A request for 0 bytes gives nullptr. When
// memory is short, prints "WARNING: unable to allocate memory; trying again." and
// retries after 5, 6, ... 15 seconds (11 retries); then reports the allocation site
// (`unit`, `line`) and gives nullptr.
void* allocate_cleared(size_t size, const char* unit, int line);

char* copy_text(const char* text);
// length+1 characters holding at most `length` characters of `source`.
char* create_text_buffer(size_t length, const char* source);

NodePtr* create_node_ptr(NodeKind kind, void* node, const char* name);

// With `items` (an array of `count` references), takes the items over: their names
// move into the menu and the references themselves are freed (not their nodes).
// When the creation fails the references stay the caller's.
MenuNode* create_menu_node(const char* label, const char* tag, const char* prompt, const char* help,
                           const char* next_ptr, int32_t count, NodePtr** items);
void set_menu_item(MenuNode* menu, int32_t index, const char* name, NodeKind kind, void* node);

SclistNode* create_sclist_node(const char* label, const char* description, const char* tag,
                               const char* help, int32_t default_item, int32_t count);
void set_sclist_item(SclistNode* list, int32_t index, const char* label, const char* description,
                     const char* value, const char* printer_code, const char* next_ptr);

StringNode* create_string_node(const char* title, const char* description, const char* tag,
                               const char* help, const char* next_ptr, const char* default_string,
                               int32_t valid_type, const char* exclude_char_set,
                               const char* include_char_set, int32_t max_length,
                               const char* validation_function, const char* p_code);

NumberNode* create_number_node(const char* title, const char* description, const char* tag,
                               const char* help, const char* next_ptr, int32_t default_number,
                               int32_t decimal_places, int32_t min_range, int32_t max_range,
                               const char* validation_function, const char* printer_code,
                               int32_t number_type);

// Takes over the eight texts (they must come from allocate_cleared or copy_text):
// they become the node's, or are freed when the creation fails.
PddNode* create_pdd_node(char* tag, char* init_sequence, char* banner_init_sequence,
                         char* ds_init_string, char* ds_end_string, char* string1, char* string2,
                         char* string3, int32_t special_char1, int32_t special_char2,
                         int32_t special_char3);

DddNode* create_ddd_node(const char* tag, const char* transport);

// Freeing. Each accepts nullptr.
void free_menu_node(MenuNode* menu);  // the menu's texts, item names and item array only
void free_sclist_node(SclistNode* list);
void free_string_node(StringNode* node);
void free_number_node(NumberNode* node);
void free_pdd_node(PddNode* node);
void free_ddd_node(DddNode* node);
// Frees `node` with the operation of `kind` (a menu without the nodes it refers to).
void free_node(NodeKind kind, void* node);
// Frees the node by its kind, then the name and the reference. A menu node is
// freed without the nodes its items refer to.
void free_node_ptr(NodePtr* ref);
// Releases a whole PDD as the reader built it: every node exactly once.
void free_pdd(NodePtr* top_menu);
