// Reader of compiled PDD files (format in read_nodes.h).
#include "pdd/read_nodes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/debug_trace.h"
#include "common/format.h"
#include "common/io.h"
#include "common/unique_fd.h"
#include "pdd/library.h"
#include "pdd/print_nodes.h"

namespace {

constexpr int64_t kBlockHeaderBytes = 8;
constexpr int64_t kMinStringBytes = 3;       // an empty string: the terminator alone
constexpr int64_t kMinItemRecordBytes = 12;  // item code and block header

constexpr char kTerminator[] = "$$$";
constexpr size_t kTerminatorLength = 3;

void error_message(const char* format, ...) __attribute__((format(printf, 1, 2)));
void error_message(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vstrprintf(format, args);
  va_end(args);
  write_all(2, text);
}

// The strings of one block. They point into the reader's copy of the file, where
// the first character of each terminator has been replaced by a zero byte.
struct StringBlock {
  std::array<const char*, PDD_BLOCK_STRING_LIMIT> strings;  // the first ones filled

  // cppcheck takes the array's element for an integer here; it is a pointer.
  // cppcheck-suppress CastIntegerToAddressAtReturn
  const char* operator[](size_t i) const { return strings[i]; }
};

// The first terminator that starts in [from, end) and ends before `end`, or nullptr.
char* find_terminator(char* from, char* end) {
  while (end - from >= static_cast<ptrdiff_t>(kTerminatorLength)) {
    auto* dollar = static_cast<char*>(
        std::memchr(from, kTerminator[0], static_cast<size_t>(end - from) - kTerminatorLength + 1));
    if (!dollar) return nullptr;
    if (std::memcmp(dollar, kTerminator, kTerminatorLength) == 0) return dollar;
    from = dollar + 1;
  }
  return nullptr;
}

class NodeReader {
 public:
  // Parses the file's bytes; the strings of each block are cut out in place.
  explicit NodeReader(std::string file) : file_(std::move(file)) {}
  ~NodeReader() {
    for (int i = 0; i < count_; ++i) free_node_ptr(table_[i]);
  }
  NodeReader(const NodeReader&) = delete;
  NodeReader& operator=(const NodeReader&) = delete;

  // Reads one node record. False at the end of the file.
  bool read_node_ptr();
  // Hands every node read over to a new top menu. nullptr (with every node freed)
  // when the menu cannot be built.
  NodePtr* build_top_menu();

 private:
  bool read_exact(void* buffer, size_t size);
  bool read_raw_int(int32_t* value);
  bool read_int(int32_t* value);
  int64_t remaining() const;
  // Reads a block and splits `count` strings from it into `block` (the block's own
  // count when not given); fails when that is fewer than `needed`.
  bool read_block(StringBlock& block, size_t needed, std::optional<int32_t> count = {});

  bool read_string_node();
  bool read_list_node();
  bool read_list_struct(SclistNode* list, int32_t index);
  bool read_number_node();
  bool read_menu_node();
  bool read_pdd_node();
  bool read_ddd_node();

  // Appends a reference to `node` named `tag`. On failure `node` is freed.
  bool append(NodeKind kind, void* node, const char* tag);
  const NodePtr* find(const char* tag) const;

  std::string file_;
  int64_t position_ = 0;
  NodePtr* table_[PDD_NODE_TABLE_SIZE] = {};
  int count_ = 0;
};

bool NodeReader::read_exact(void* buffer, size_t size) {
  if (size > static_cast<uint64_t>(remaining())) return false;
  std::memcpy(buffer, file_.data() + position_, size);
  position_ += static_cast<int64_t>(size);
  return true;
}

bool NodeReader::read_raw_int(int32_t* value) {
  unsigned char bytes[4];
  if (!read_exact(bytes, sizeof bytes)) return false;
  uint32_t word = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                  uint32_t{bytes[3]} << 24;
  *value = static_cast<int32_t>(word);
  return true;
}

bool NodeReader::read_int(int32_t* value) {
  int64_t offset = position_;
  if (read_raw_int(value)) return true;
  error_message("manage_binary: read_int(): \nread failed on:  %d", static_cast<int>(offset));
  return false;
}

int64_t NodeReader::remaining() const { return static_cast<int64_t>(file_.size()) - position_; }

bool NodeReader::read_block(StringBlock& block, size_t needed, std::optional<int32_t> count) {
  debug_trace().print(DEBUG_LIBRARY, "current seek pointer = %d\n", static_cast<int>(position_));
  int32_t total = 0;
  int32_t declared = 0;
  if (!read_int(&total) || !read_int(&declared)) return false;
  debug_trace().print(DEBUG_LIBRARY, "no_of_strings = %d\n", declared);
  debug_trace().print(DEBUG_LIBRARY, "total_strings_len = %d\n", total);
  int64_t wanted = count ? *count : declared;
  // Judge the counts before anything else, so that a corrupt count never sends the
  // reader past the end of the file.
  if (total < 0 || total > remaining()) return false;
  if (wanted < 0 || wanted * kMinStringBytes > remaining()) return false;
  // A block the file can hold is taken whole before its strings are judged, so that
  // the next record is found where it starts even when this one fails: too few
  // strings for its record, more than the string table holds, or a string without
  // its terminator.
  char* data = file_.data() + position_;
  char* data_end = data + total;
  position_ += total;
  if (wanted < static_cast<int64_t>(needed) || wanted > PDD_BLOCK_STRING_LIMIT) {
    return false;
  }
  for (int64_t i = 0; i < wanted; ++i) {
    char* end = find_terminator(data, data_end);
    if (!end) return false;
    *end = '\0';
    block.strings[static_cast<size_t>(i)] = data;
    data = end + kTerminatorLength;
  }
  return true;
}

bool NodeReader::read_node_ptr() {
  debug_trace().print(DEBUG_LIBRARY, "read_nodes.c: read_node_ptr()\n");
  int32_t code = 0;
  if (!read_raw_int(&code)) return false;
  // The result of a body is not examined: a failed node is simply missing.
  switch (code) {
    case PDD_FILE_STRING:
      debug_trace().print(DEBUG_LIBRARY, "\tNode type = STRING\n");
      read_string_node();
      break;
    case PDD_FILE_SCLIST:
      debug_trace().print(DEBUG_LIBRARY, "\tNode type = SCLIST\n");
      read_list_node();
      break;
    case PDD_FILE_NUMBER:
      debug_trace().print(DEBUG_LIBRARY, "\tNode type = NUMBER\n");
      read_number_node();
      break;
    case PDD_FILE_MENU:
      debug_trace().print(DEBUG_LIBRARY, "\tNode type = MENU\n");
      read_menu_node();
      break;
    case PDD_FILE_DDD:
      debug_trace().print(DEBUG_LIBRARY, "\tNode type = DDD\n");
      read_ddd_node();
      break;
    case PDD_FILE_PDD:
      debug_trace().print(DEBUG_LIBRARY, "\tNode type = PDD\n");
      read_pdd_node();
      break;
    default:
      break;  // no body: the code alone is skipped
  }
  return true;
}

bool NodeReader::read_string_node() {
  debug_trace().print(DEBUG_LIBRARY, "read_nodes.c: read_string_node()\n");
  StringBlock b;
  if (!read_block(b, 10)) return false;
  int32_t valid_type = 0;
  int32_t max_length = 0;
  if (!read_int(&valid_type) || !read_int(&max_length)) return false;
  // The value buffers are max_length+1 bytes each, cleared: a corrupt length must
  // not make us clear gigabytes.
  if (max_length > PDD_MAX_STRING_LENGTH) return false;
  StringNode* node = create_string_node(b[0], b[2], b[1], b[3], b[4], b[5], valid_type, b[6], b[7],
                                        max_length, b[8], b[9]);
  if (!node) return false;
  return append(NodeKind::STRING, node, b[1]);
}

bool NodeReader::read_list_node() {
  debug_trace().print(DEBUG_LIBRARY, "read_nodes.c: read_list_node()\n");
  StringBlock b;
  if (!read_block(b, 4)) return false;
  int32_t default_item = 0;
  int32_t no_of_items = 0;
  if (!read_int(&default_item) || !read_int(&no_of_items)) return false;
  if (no_of_items < 0 || no_of_items * kMinItemRecordBytes > remaining()) return false;
  SclistNode* list = create_sclist_node(b[0], b[2], b[1], b[3], default_item, no_of_items);
  if (!list) return false;
  for (int32_t i = 0; i < no_of_items; ++i) {
    if (!read_list_struct(list, i)) {
      free_sclist_node(list);
      return false;
    }
  }
  return append(NodeKind::SCLIST, list, b[1]);
}

bool NodeReader::read_list_struct(SclistNode* list, int32_t index) {
  debug_trace().print(DEBUG_LIBRARY, "read_nodes.c: read_list_struct()\n");
  int32_t code = 0;
  if (!read_int(&code) || code != PDD_FILE_SCLIST_ITEM) return false;
  StringBlock b;
  if (!read_block(b, 5)) return false;
  set_sclist_item(list, index, b[0], b[1], b[2], b[3], b[4]);
  // Every text was given, so an absent one means its copy could not be made.
  const SclistItem& item = list->items[index];
  return item.label && item.description && item.value && item.printer_code && item.next_ptr;
}

bool NodeReader::read_number_node() {
  debug_trace().print(DEBUG_LIBRARY, "read_nodes.c: read_number_node()\n");
  StringBlock b;
  if (!read_block(b, 7)) return false;
  int32_t values[5] = {};  // default, decimal places, minimum, maximum, number type
  for (int32_t& value : values) {
    if (!read_int(&value)) return false;
  }
  NumberNode* node = create_number_node(b[0], b[2], b[1], b[3], b[4], values[0], values[1],
                                        values[2], values[3], b[6], b[5], values[4]);
  if (!node) return false;
  return append(NodeKind::NUMBER, node, b[1]);
}

bool NodeReader::read_menu_node() {
  debug_trace().print(DEBUG_LIBRARY, "read_nodes.c: read_menu_node()\n");
  StringBlock b;
  if (!read_block(b, 5)) return false;
  int32_t no_of_items = 0;
  if (!read_int(&no_of_items)) return false;
  // The item tags are read into one block, which must fit in the rest of the file;
  // more tags than a block may hold fail the menu once that block has been read.
  if (no_of_items < 0 || kBlockHeaderBytes + no_of_items * kMinStringBytes > remaining()) {
    return false;
  }
  MenuNode* menu = create_menu_node(b[0], b[1], b[2], b[3], b[4], no_of_items, nullptr);
  if (!menu) return false;
  StringBlock tags;
  if (!read_block(tags, static_cast<size_t>(no_of_items), no_of_items)) {
    free_menu_node(menu);
    return false;
  }
  for (int32_t i = 0; i < no_of_items; ++i) {
    const NodePtr* ref = find(tags[static_cast<size_t>(i)]);
    if (ref) set_menu_item(menu, i, ref->name, ref->kind, ref->node);
    if (!ref || !menu->items[i].name) {
      free_menu_node(menu);
      return false;
    }
  }
  if (!append(NodeKind::MENU, menu, b[1])) return false;
  if (debug_trace().enabled(DEBUG_LIBRARY)) print_node_ptr(table_[count_ - 1]);
  return true;
}

bool NodeReader::read_pdd_node() {
  debug_trace().print(DEBUG_LIBRARY, "read_nodes.c: read_pdd_node()\n");
  StringBlock b;
  if (!read_block(b, 8)) return false;
  int32_t special[3] = {};
  for (int32_t& value : special) {
    if (!read_int(&value)) return false;
  }
  // create_pdd_node takes its texts over, so they are handed copies.
  char* texts[8] = {};
  bool copied = true;
  for (size_t i = 0; i < 8; ++i) {
    texts[i] = copy_text(b[i]);
    copied = copied && texts[i] != nullptr;
  }
  if (!copied) {
    for (char* text : texts) std::free(text);
    return false;
  }
  PddNode* node = create_pdd_node(texts[0], texts[1], texts[2], texts[3], texts[4], texts[5],
                                  texts[6], texts[7], special[0], special[1], special[2]);
  if (!node) return false;
  return append(NodeKind::PDD, node, b[0]);
}

bool NodeReader::read_ddd_node() {
  debug_trace().print(DEBUG_LIBRARY, "read_nodes.c: read_ddd_node()\n");
  StringBlock b;
  if (!read_block(b, 2)) return false;
  DddNode* node = create_ddd_node(b[0], b[1]);
  if (!node) return false;
  return append(NodeKind::DDD, node, b[0]);
}

bool NodeReader::append(NodeKind kind, void* node, const char* tag) {
  // A file with more records than the table holds lies outside the format; the
  // extra nodes are dropped.
  NodePtr* ref = count_ < PDD_NODE_TABLE_SIZE ? create_node_ptr(kind, node, tag) : nullptr;
  if (!ref) {
    free_node(kind, node);
    return false;
  }
  table_[count_++] = ref;
  return true;
}

const NodePtr* NodeReader::find(const char* tag) const {
  for (int i = 0; i < count_; ++i) {
    const NodePtr* ref = table_[i];
    debug_trace().print(DEBUG_LIBRARY, "node_list[%d] = %s\n", i, ref->name);
    if (std::strcmp(ref->name, tag) == 0) {
      debug_trace().print(DEBUG_LIBRARY, "Found a match\n");
      return ref;
    }
  }
  return nullptr;
}

NodePtr* NodeReader::build_top_menu() {
  // On success the menu takes the references over and clears their table slots.
  MenuNode* menu = create_menu_node("wow", "we", "did", "it!", "Really?", count_, table_);
  if (!menu) return nullptr;
  count_ = 0;
  NodePtr* top = create_node_ptr(NodeKind::MENU, menu, TOP_MENU_NAME);
  if (!top) {
    for (int32_t i = 0; i < menu->no_of_items; ++i) {
      free_node(menu->items[i].kind, menu->items[i].node);
    }
    free_menu_node(menu);
  }
  return top;
}

// Reads the first `size` bytes of `fd` into `file`, in one read when the system
// allows. A file that shrank meanwhile gives what it still holds; false when a
// read fails.
bool read_whole_file(int fd, int64_t size, std::string* file) {
  file->resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < file->size()) {
    ssize_t n = read_retry(fd, file->data() + done, file->size() - done);
    if (n < 0) return false;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  file->resize(done);
  return true;
}

}  // namespace

NodePtr* read_pdd(const char* path) {
  // Without O_NONBLOCK a FIFO without a writer would hold the open for ever.
  UniqueFd fd(path ? open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK) : -1);
  struct stat st;
  if (fd.valid() && (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) {
    // A FIFO, a device or a directory has no size to read up to; it is no PDD.
    fd.reset();
  }
  if (!fd.valid()) {
    const char* shown = path ? path : "(null)";
    error_message("ERROR !! \n");
    error_message("An error has occurred while trying to read : %s\n", shown);
    error_message("Can't open [ %s ] for reading.\n", shown);
    return nullptr;
  }
  std::string file;
  bool whole = st.st_size <= PDD_MAX_FILE_SIZE && read_whole_file(fd.get(), st.st_size, &file);
  fd.reset();
  if (!whole) return nullptr;
  NodeReader reader(std::move(file));
  while (reader.read_node_ptr()) {
  }
  return reader.build_top_menu();
}

bool is_valid_top_menu(const NodePtr* ref) {
  return ref && ref->kind == NodeKind::MENU && ref->name &&
         std::strcmp(ref->name, TOP_MENU_NAME) == 0 && ref->node;
}
