// Creation, checking and freeing of PDD nodes, and the allocation retry policy.
#include "pdd/createmem.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/debug_trace.h"
#include "common/format.h"
#include "pdd/library.h"

namespace {

constexpr unsigned kFirstDelay = 5;
constexpr unsigned kLastDelay = 15;

#define ALLOCATE(size) allocate_cleared((size), "createmem", __LINE__)

void report_failed_creation(int line) {
  if (debug_trace().level != 0)
    pdd_message("Malloc failed in file %s at line %d\n", "createmem", line);
}

template <typename T>
T* allocate_record(int line) {
  T* record = static_cast<T*>(allocate_cleared(sizeof(T), "createmem", line));
  if (!record) report_failed_creation(line);
  return record;
}

// Copies `text` into `*target`; false when the copy could not be made.
bool copy_into(char** target, const char* text) {
  *target = copy_text(text);
  return text == nullptr || *target != nullptr;
}

}  // namespace

void* MemorySource::allocate(size_t size) { return std::malloc(size); }

namespace {

// allocate_cleared without the clearing, for blocks that are filled at once.
void* allocate_filled_later(size_t size, const char* unit, int line) {
  if (size == 0) return nullptr;
  PddLibrary& library = pdd_library();
  static MemorySource malloc_source;
  MemorySource& memory = library.memory ? *library.memory : malloc_source;
  void* block = memory.allocate(size);
  for (unsigned delay = kFirstDelay; block == nullptr && delay <= kLastDelay; ++delay) {
    pdd_message("WARNING: unable to allocate memory; trying again.\n");
    (library.sleeper ? *library.sleeper : real_sleeper()).sleep_seconds(delay);
    block = memory.allocate(size);
  }
  if (block == nullptr) {
    pdd_message("INTERNAL ERROR: Memory allocation error in file %s at line %d\n", unit, line);
    return nullptr;
  }
  return block;
}

}  // namespace

void* allocate_cleared(size_t size, const char* unit, int line) {
  void* block = allocate_filled_later(size, unit, line);
  if (block) std::memset(block, 0, size);
  return block;
}

char* copy_text(const char* text) {
  if (text == nullptr) return nullptr;
  size_t length = std::strlen(text);
  // Every byte is written: the text and its terminating zero.
  char* copy = static_cast<char*>(allocate_filled_later(length + 1, "createmem", __LINE__));
  if (copy) std::memcpy(copy, text, length + 1);
  return copy;
}

char* create_text_buffer(size_t length, const char* source) {
  char* buffer = static_cast<char*>(ALLOCATE(length + 1));
  if (buffer && source) std::strncpy(buffer, source, length);
  return buffer;
}

NodePtr* create_node_ptr(NodeKind kind, void* node, const char* name) {
  NodePtr* ref = allocate_record<NodePtr>(__LINE__);
  if (!ref) return nullptr;
  ref->kind = kind;
  ref->node = node;
  if (!copy_into(&ref->name, name)) {
    std::free(ref);
    report_failed_creation(__LINE__);
    return nullptr;
  }
  return ref;
}

MenuNode* create_menu_node(const char* label, const char* tag, const char* prompt, const char* help,
                           const char* next_ptr, int32_t count, NodePtr** items) {
  MenuNode* menu = allocate_record<MenuNode>(__LINE__);
  if (!menu) return nullptr;
  bool ok = copy_into(&menu->label, label) && copy_into(&menu->tag, tag) &&
            copy_into(&menu->prompt, prompt) && copy_into(&menu->help, help) &&
            copy_into(&menu->next_ptr, next_ptr);
  if (ok && count > 0) {
    menu->items = static_cast<NodePtr*>(ALLOCATE(sizeof(NodePtr) * static_cast<size_t>(count)));
    ok = menu->items != nullptr;
  }
  if (!ok) {
    free_menu_node(menu);
    report_failed_creation(__LINE__);
    return nullptr;
  }
  menu->no_of_items = count > 0 ? count : 0;
  if (items) {
    for (int32_t i = 0; i < menu->no_of_items; ++i) {
      NodePtr* ref = items[i];
      if (!ref) continue;
      // The name moves into the menu's entry; only the reference itself is freed.
      menu->items[i] = *ref;
      std::free(ref);
      items[i] = nullptr;
    }
  }
  return menu;
}

void set_menu_item(MenuNode* menu, int32_t index, const char* name, NodeKind kind, void* node) {
  if (!menu || index < 0 || index >= menu->no_of_items) {
    report_failed_creation(__LINE__);
    return;
  }
  NodePtr& item = menu->items[index];
  std::free(item.name);
  item.name = copy_text(name);
  item.kind = kind;
  item.node = node;
}

SclistNode* create_sclist_node(const char* label, const char* description, const char* tag,
                               const char* help, int32_t default_item, int32_t count) {
  SclistNode* list = allocate_record<SclistNode>(__LINE__);
  if (!list) return nullptr;
  bool ok = copy_into(&list->label, label) && copy_into(&list->description, description) &&
            copy_into(&list->tag, tag) && copy_into(&list->help, help);
  if (ok && count > 0) {
    list->items =
        static_cast<SclistItem*>(ALLOCATE(sizeof(SclistItem) * static_cast<size_t>(count)));
    ok = list->items != nullptr;
  }
  if (!ok) {
    free_sclist_node(list);
    report_failed_creation(__LINE__);
    return nullptr;
  }
  list->default_item = default_item;
  list->current_item = default_item;
  list->saved_item = default_item;
  list->no_of_items = count > 0 ? count : 0;
  return list;
}

void set_sclist_item(SclistNode* list, int32_t index, const char* label, const char* description,
                     const char* value, const char* printer_code, const char* next_ptr) {
  if (!list || index < 0 || index >= list->no_of_items) {
    report_failed_creation(__LINE__);
    return;
  }
  SclistItem& item = list->items[index];
  const char* texts[] = {label, description, value, printer_code, next_ptr};
  char** fields[] = {&item.label, &item.description, &item.value, &item.printer_code,
                     &item.next_ptr};
  for (size_t i = 0; i < 5; ++i) {
    std::free(*fields[i]);
    *fields[i] = copy_text(texts[i]);
  }
}

StringNode* create_string_node(const char* title, const char* description, const char* tag,
                               const char* help, const char* next_ptr, const char* default_string,
                               int32_t valid_type, const char* exclude_char_set,
                               const char* include_char_set, int32_t max_length,
                               const char* validation_function, const char* p_code) {
  size_t default_length = default_string ? std::strlen(default_string) : 0;
  // A negative maximum would wrap around in the unsigned comparison and ask for a
  // buffer of several gigabytes; it is as wrong as a maximum below the default.
  if (max_length < 0 || default_length > static_cast<uint32_t>(max_length)) {
    pdd_message(
        "Error: Maximum length of this field is less than the length of the default string.\n");
    return nullptr;
  }
  if (include_char_set) {
    for (const char* c = include_char_set; *c; ++c) {
      if (exclude_char_set && std::strchr(exclude_char_set, *c)) {
        pdd_message("Overlapping include and exclude characters\n");
        return nullptr;
      }
    }
  }
  StringNode* node = allocate_record<StringNode>(__LINE__);
  if (!node) return nullptr;
  bool ok = copy_into(&node->default_string, default_string) &&
            copy_into(&node->exclude_char_set, exclude_char_set) &&
            copy_into(&node->include_char_set, include_char_set) &&
            copy_into(&node->validation_function, validation_function) &&
            copy_into(&node->p_code, p_code);
  node->max_length = max_length;
  node->valid_type = valid_type;
  ok = ok && copy_into(&node->title, title) && copy_into(&node->tag, tag) &&
       copy_into(&node->description, description) && copy_into(&node->help, help) &&
       copy_into(&node->next_ptr, next_ptr);
  if (ok) {
    // A default of one blank stands for "empty". The buffers still have room for
    // max_length characters, so that any value the node accepts later fits.
    bool empty = default_string && std::strcmp(default_string, " ") == 0;
    size_t length = static_cast<size_t>(max_length);
    const char* initial = empty ? nullptr : default_string;
    node->value = create_text_buffer(length, initial);
    node->saved_value = create_text_buffer(length, initial);
    ok = node->value && node->saved_value;
  }
  if (!ok) {
    free_string_node(node);
    report_failed_creation(__LINE__);
    return nullptr;
  }
  node->modified = 0;
  return node;
}

NumberNode* create_number_node(const char* title, const char* description, const char* tag,
                               const char* help, const char* next_ptr, int32_t default_number,
                               int32_t decimal_places, int32_t min_range, int32_t max_range,
                               const char* validation_function, const char* printer_code,
                               int32_t number_type) {
  if (min_range > max_range) {
    pdd_message("Error: Minimum Range is greater than maximum range.\n");
    return nullptr;
  }
  if (default_number < min_range || default_number > max_range) {
    pdd_message("Error: Default value is out of range.\n");
    return nullptr;
  }
  NumberNode* node = allocate_record<NumberNode>(__LINE__);
  if (!node) return nullptr;
  node->default_number = default_number;
  node->decimal_places = decimal_places;
  node->min_range = min_range;
  node->max_range = max_range;
  node->number_type = number_type;
  bool ok = copy_into(&node->validation_function, validation_function) &&
            copy_into(&node->printer_code, printer_code) && copy_into(&node->title, title) &&
            copy_into(&node->description, description) && copy_into(&node->help, help) &&
            copy_into(&node->next_ptr, next_ptr) && copy_into(&node->tag, tag);
  if (ok) {
    std::string max_text = strprintf("%u", static_cast<unsigned>(max_range));
    node->width = static_cast<int32_t>(max_text.size()) + (decimal_places != 0 ? 1 : 0);
    std::string default_text = strprintf("%u", static_cast<unsigned>(default_number));
    node->value_text = create_text_buffer(static_cast<size_t>(node->width), default_text.c_str());
    ok = node->value_text != nullptr;
  }
  if (!ok) {
    free_number_node(node);
    report_failed_creation(__LINE__);
    return nullptr;
  }
  node->value = default_number;
  node->saved_value = default_number;
  node->modified = 0;
  return node;
}

PddNode* create_pdd_node(char* tag, char* init_sequence, char* banner_init_sequence,
                         char* ds_init_string, char* ds_end_string, char* string1, char* string2,
                         char* string3, int32_t special_char1, int32_t special_char2,
                         int32_t special_char3) {
  char* texts[] = {
      tag,     init_sequence, banner_init_sequence, ds_init_string, ds_end_string, string1,
      string2, string3};
  PddNode* node = allocate_record<PddNode>(__LINE__);
  if (!node) {
    for (char* text : texts) std::free(text);
    return nullptr;
  }
  // The texts were allocated for this node: it adopts them as they are.
  node->tag = tag;
  node->init_sequence = init_sequence;
  node->banner_init_sequence = banner_init_sequence;
  node->ds_init_string = ds_init_string;
  node->ds_end_string = ds_end_string;
  node->string1 = string1;
  node->string2 = string2;
  node->string3 = string3;
  node->special_char1 = special_char1;
  node->special_char2 = special_char2;
  node->special_char3 = special_char3;
  return node;
}

DddNode* create_ddd_node(const char* tag, const char* transport) {
  DddNode* node = allocate_record<DddNode>(__LINE__);
  if (!node) return nullptr;
  if (!copy_into(&node->tag, tag) || !copy_into(&node->transport, transport)) {
    free_ddd_node(node);
    report_failed_creation(__LINE__);
    return nullptr;
  }
  return node;
}

void free_menu_node(MenuNode* menu) {
  if (!menu) return;
  for (char* text : {menu->label, menu->prompt, menu->help, menu->next_ptr, menu->tag}) {
    std::free(text);
  }
  for (int32_t i = 0; i < menu->no_of_items; ++i) std::free(menu->items[i].name);
  std::free(menu->items);
  std::free(menu);
}

void free_sclist_node(SclistNode* list) {
  if (!list) return;
  for (int32_t i = 0; i < list->no_of_items; ++i) {
    SclistItem& item = list->items[i];
    for (char* text :
         {item.label, item.description, item.value, item.printer_code, item.next_ptr}) {
      std::free(text);
    }
  }
  std::free(list->items);
  for (char* text : {list->label, list->description, list->tag, list->help}) std::free(text);
  std::free(list);
}

void free_string_node(StringNode* node) {
  if (!node) return;
  for (char* text : {node->title, node->description, node->tag, node->help, node->next_ptr,
                     node->value, node->saved_value, node->default_string, node->include_char_set,
                     node->exclude_char_set, node->validation_function, node->p_code}) {
    std::free(text);
  }
  std::free(node);
}

void free_number_node(NumberNode* node) {
  if (!node) return;
  for (char* text : {node->title, node->description, node->next_ptr, node->tag, node->help,
                     node->value_text, node->validation_function, node->printer_code}) {
    std::free(text);
  }
  std::free(node);
}

void free_pdd_node(PddNode* node) {
  if (!node) return;
  for (char* text :
       {node->tag, node->init_sequence, node->banner_init_sequence, node->ds_init_string,
        node->ds_end_string, node->string1, node->string2, node->string3}) {
    std::free(text);
  }
  std::free(node);
}

void free_ddd_node(DddNode* node) {
  if (!node) return;
  std::free(node->tag);
  std::free(node->transport);
  std::free(node);
}

void free_node(NodeKind kind, void* node) {
  switch (kind) {
    case NodeKind::MENU:
      free_menu_node(static_cast<MenuNode*>(node));
      break;
    case NodeKind::SCLIST:
      free_sclist_node(static_cast<SclistNode*>(node));
      break;
    case NodeKind::STRING:
      free_string_node(static_cast<StringNode*>(node));
      break;
    case NodeKind::NUMBER:
      free_number_node(static_cast<NumberNode*>(node));
      break;
    case NodeKind::PDD:
      free_pdd_node(static_cast<PddNode*>(node));
      break;
    case NodeKind::DDD:
      free_ddd_node(static_cast<DddNode*>(node));
      break;
  }
}

void free_node_ptr(NodePtr* ref) {
  if (!ref) return;
  free_node(ref->kind, ref->node);
  std::free(ref->name);
  std::free(ref);
}

void free_pdd(NodePtr* top_menu) {
  if (!top_menu) return;
  auto* menu = static_cast<MenuNode*>(top_menu->node);
  if (menu) {
    // Every node of the file is an item of the top menu exactly once. A menu item
    // only refers to nodes the top menu also holds, so freeing it releases its own
    // record and never the nodes it names.
    for (int32_t i = 0; i < menu->no_of_items; ++i) {
      free_node(menu->items[i].kind, menu->items[i].node);
    }
    free_menu_node(menu);
  }
  std::free(top_menu->name);
  std::free(top_menu);
}
