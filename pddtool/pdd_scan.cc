// A reading of a compiled PDD that follows read_pdd step by step (pdd/read_nodes.cc):
// the same reads, the same limits in the same order, the same creation checks.
#include "pddtool/pdd_scan.h"

#include <cstring>

#include "common/format.h"
#include "pdd/createmem.h"
#include "pdd/read_nodes.h"
#include "pddtool/library_capture.h"

namespace pddtool {

namespace {

constexpr int64_t kBlockHeaderBytes = 8;
constexpr int64_t kMinStringBytes = 3;
constexpr int64_t kMinItemRecordBytes = 12;
constexpr std::string_view kTerminator = "$$$";

// A text as the library holds it: up to its first zero byte.
std::string c_text(const std::string& text) { return text.substr(0, text.find('\0')); }

// The last line of what a creation function printed, without "Error: ".
std::string creation_message(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  size_t line = text.rfind('\n');
  if (line != std::string::npos) text.erase(0, line + 1);
  constexpr std::string_view kError = "Error: ";
  if (text.compare(0, kError.size(), kError) == 0) text.erase(0, kError.size());
  return text.empty() ? "the PDD library could not create the node" : text;
}

class Scanner {
 public:
  explicit Scanner(std::string_view file) : file_(file) {}

  std::vector<ScannedRecord> run();

 private:
  int64_t remaining() const { return static_cast<int64_t>(file_.size()) - position_; }
  // Reads an integer; at the end of the file, fails the record without moving.
  bool read_int(int32_t* value);
  bool read_block(size_t needed, std::optional<int32_t> count, std::vector<std::string>* strings,
                  BlockExtra* extra);
  bool fail(const std::string& message, const std::string& field = "", int item = -1) {
    record_.problem = {message, field, item, ""};
    return false;
  }
  bool keep(NodeKind kind, const std::string& tag);

  void read_string_node();
  void read_list_node();
  void read_number_node();
  void read_menu_node();
  void read_pdd_node();
  void read_ddd_node();

  std::string_view file_;
  int64_t position_ = 0;
  std::vector<std::string> table_;  // the tags of the nodes kept, as the library holds them
  ScannedRecord record_;            // the record being read
};

bool Scanner::read_int(int32_t* value) {
  if (remaining() < 4) return fail("the file ends inside the record");
  auto byte = [&](int i) { return uint32_t{static_cast<unsigned char>(file_[position_ + i])}; };
  *value = static_cast<int32_t>(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
  position_ += 4;
  return true;
}

bool Scanner::read_block(size_t needed, std::optional<int32_t> count,
                         std::vector<std::string>* strings, BlockExtra* extra) {
  int32_t total = 0;
  int32_t declared = 0;
  if (!read_int(&total) || !read_int(&declared)) return false;
  int64_t wanted = count ? *count : declared;
  if (total < 0 || total > remaining()) {
    return fail(strprintf("a block of %d bytes does not fit in the rest of the file", total));
  }
  if (wanted < 0 || wanted * kMinStringBytes > remaining()) {
    return fail(strprintf("a block of %lld strings does not fit in the rest of the file",
                          static_cast<long long>(wanted)));
  }
  std::string_view data = file_.substr(static_cast<size_t>(position_), static_cast<size_t>(total));
  position_ += total;
  if (wanted < static_cast<int64_t>(needed)) {
    return fail(strprintf("a block holds %lld strings where the record has %zu",
                          static_cast<long long>(wanted), needed));
  }
  if (wanted > PDD_BLOCK_STRING_LIMIT) {
    return fail(strprintf("a block holds %lld strings, more than the %d the reader takes",
                          static_cast<long long>(wanted), PDD_BLOCK_STRING_LIMIT));
  }
  size_t offset = 0;
  size_t tail = 0;
  strings->clear();
  for (int64_t i = 0; i < wanted; ++i) {
    size_t end = data.find(kTerminator, offset);
    if (end == std::string_view::npos) return fail("a string of a block has no terminator \"$$$\"");
    if (i < static_cast<int64_t>(needed)) strings->emplace_back(data.substr(offset, end - offset));
    offset = end + kTerminator.size();
    if (i + 1 == static_cast<int64_t>(needed)) tail = offset;
  }
  extra->tail = std::string(data.substr(tail));
  int32_t own = count ? *count : static_cast<int32_t>(needed);
  extra->count = declared != own ? std::optional<int32_t>(declared) : std::nullopt;
  return true;
}

bool Scanner::keep(NodeKind kind, const std::string& tag) {
  record_.kind = kind;
  record_.tag = tag;
  if (table_.size() >= static_cast<size_t>(PDD_NODE_TABLE_SIZE)) {
    return fail(
        strprintf("the reader keeps the first %d nodes and drops the others", PDD_NODE_TABLE_SIZE));
  }
  table_.push_back(c_text(tag));
  record_.kept = true;
  return true;
}

void Scanner::read_string_node() {
  std::vector<std::string> b;
  StringEntry e;
  if (!read_block(STRING_BLOCK_STRINGS, {}, &b, &e.block)) return;
  if (!read_int(&e.r.valid_type) || !read_int(&e.r.max_length)) return;
  e.r.title = b[0];
  e.r.tag = b[1];
  e.r.description = b[2];
  e.r.help = b[3];
  e.r.next_ptr = b[4];
  e.r.default_string = b[5];
  e.r.exclude_set = b[6];
  e.r.include_set = b[7];
  e.r.validation_function = b[8];
  e.r.p_code = b[9];
  record_.record = e;
  record_.kind = NodeKind::STRING;
  record_.tag = e.r.tag;
  if (e.r.max_length > PDD_MAX_STRING_LENGTH) {
    fail(strprintf("max_length %d is above %d, the longest the reader takes", e.r.max_length,
                   PDD_MAX_STRING_LENGTH),
         "max_length");
    return;
  }
  LibraryMessages messages;
  StringNode* node = create_string_node(b[0].c_str(), b[2].c_str(), b[1].c_str(), b[3].c_str(),
                                        b[4].c_str(), b[5].c_str(), e.r.valid_type, b[6].c_str(),
                                        b[7].c_str(), e.r.max_length, b[8].c_str(), b[9].c_str());
  std::string printed = messages.text();
  if (!node) {
    size_t length = std::strlen(b[5].c_str());
    bool too_long = e.r.max_length < 0 || length > static_cast<uint32_t>(e.r.max_length);
    fail(creation_message(printed), too_long ? "max_length" : "include_char_set");
    return;
  }
  free_string_node(node);
  keep(NodeKind::STRING, e.r.tag);
}

void Scanner::read_list_node() {
  std::vector<std::string> b;
  SclistEntry e;
  if (!read_block(SCLIST_BLOCK_STRINGS, {}, &b, &e.block)) return;
  int32_t count = 0;
  if (!read_int(&e.r.default_item) || !read_int(&count)) return;
  if (count < 0 || count * kMinItemRecordBytes > remaining()) {
    fail(strprintf("a list of %d items does not fit in the rest of the file", count));
    return;
  }
  e.r.label = b[0];
  e.r.tag = b[1];
  e.r.description = b[2];
  e.r.help = b[3];
  for (int32_t i = 0; i < count; ++i) {
    int32_t code = 0;
    if (!read_int(&code)) return;
    if (code != PDD_FILE_SCLIST_ITEM) {
      fail(strprintf("list item %d has the type code %d instead of %d", i + 1, code,
                     PDD_FILE_SCLIST_ITEM));
      return;
    }
    std::vector<std::string> s;
    BlockExtra extra;
    if (!read_block(ITEM_BLOCK_STRINGS, {}, &s, &extra)) return;
    e.r.items.push_back({s[0], s[1], s[2], s[3], s[4]});
    e.item_blocks.push_back(extra);
  }
  record_.record = e;
  keep(NodeKind::SCLIST, e.r.tag);
}

void Scanner::read_number_node() {
  std::vector<std::string> b;
  NumberEntry e;
  if (!read_block(NUMBER_BLOCK_STRINGS, {}, &b, &e.block)) return;
  pddfile::NumberRecord& r = e.r;
  for (int32_t* value :
       {&r.default_number, &r.decimal_places, &r.min_range, &r.max_range, &r.number_type}) {
    if (!read_int(value)) return;
  }
  r.title = b[0];
  r.tag = b[1];
  r.description = b[2];
  r.help = b[3];
  r.next_ptr = b[4];
  r.printer_code = b[5];
  r.validation_function = b[6];
  record_.record = e;
  record_.kind = NodeKind::NUMBER;
  record_.tag = r.tag;
  LibraryMessages messages;
  NumberNode* node = create_number_node(
      b[0].c_str(), b[2].c_str(), b[1].c_str(), b[3].c_str(), b[4].c_str(), r.default_number,
      r.decimal_places, r.min_range, r.max_range, b[6].c_str(), b[5].c_str(), r.number_type);
  std::string printed = messages.text();
  if (!node) {
    fail(creation_message(printed), r.min_range > r.max_range ? "min_range" : "default_number");
    return;
  }
  free_number_node(node);
  keep(NodeKind::NUMBER, r.tag);
}

void Scanner::read_menu_node() {
  std::vector<std::string> b;
  MenuEntry e;
  if (!read_block(MENU_BLOCK_STRINGS, {}, &b, &e.block)) return;
  int32_t count = 0;
  if (!read_int(&count)) return;
  if (count < 0 || kBlockHeaderBytes + count * kMinStringBytes > remaining()) {
    fail(strprintf("a menu of %d items does not fit in the rest of the file", count));
    return;
  }
  if (!read_block(static_cast<size_t>(count), count, &e.r.items, &e.items_block)) return;
  e.r.label = b[0];
  e.r.tag = b[1];
  e.r.prompt = b[2];
  e.r.help = b[3];
  e.r.next_ptr = b[4];
  record_.record = e;
  record_.kind = NodeKind::MENU;
  record_.tag = e.r.tag;
  for (size_t i = 0; i < e.r.items.size(); ++i) {
    std::string item = c_text(e.r.items[i]);
    bool found = false;
    for (const std::string& tag : table_) found = found || tag == item;
    if (!found) {
      fail("menu item '" + item + "' is not a node earlier in the file", "items",
           static_cast<int>(i));
      return;
    }
  }
  keep(NodeKind::MENU, e.r.tag);
}

void Scanner::read_pdd_node() {
  std::vector<std::string> b;
  PddEntry e;
  if (!read_block(PDD_BLOCK_STRINGS, {}, &b, &e.block)) return;
  pddfile::PddRecord& r = e.r;
  for (int32_t* value : {&r.special_char1, &r.special_char2, &r.special_char3}) {
    if (!read_int(value)) return;
  }
  r.tag = b[0];
  r.init_sequence = b[1];
  r.banner_init_sequence = b[2];
  r.ds_init_string = b[3];
  r.ds_end_string = b[4];
  r.string1 = b[5];
  r.string2 = b[6];
  r.string3 = b[7];
  record_.record = e;
  keep(NodeKind::PDD, r.tag);
}

void Scanner::read_ddd_node() {
  std::vector<std::string> b;
  DddEntry e;
  if (!read_block(DDD_BLOCK_STRINGS, {}, &b, &e.block)) return;
  e.r.tag = b[0];
  e.r.transport = b[1];
  record_.record = e;
  keep(NodeKind::DDD, e.r.tag);
}

std::vector<ScannedRecord> Scanner::run() {
  std::vector<ScannedRecord> records;
  while (remaining() > 0) {
    record_ = ScannedRecord{};
    record_.start = static_cast<size_t>(position_);
    int32_t code = 0;
    if (!read_int(&code)) {
      // Fewer than 4 bytes where a type code belongs: the reader stops here.
      record_.problem.message = "fewer than 4 bytes are left, where a type code belongs";
      position_ = static_cast<int64_t>(file_.size());
    } else {
      switch (code) {
        case PDD_FILE_STRING:
          read_string_node();
          break;
        case PDD_FILE_SCLIST:
          read_list_node();
          break;
        case PDD_FILE_NUMBER:
          read_number_node();
          break;
        case PDD_FILE_MENU:
          read_menu_node();
          break;
        case PDD_FILE_DDD:
          read_ddd_node();
          break;
        case PDD_FILE_PDD:
          read_pdd_node();
          break;
        default:
          record_.record = SkipEntry{code};
          break;
      }
    }
    record_.end = static_cast<size_t>(position_);
    records.push_back(std::move(record_));
  }
  return records;
}

}  // namespace

std::vector<ScannedRecord> scan_pdd(std::string_view bytes) { return Scanner(bytes).run(); }

}  // namespace pddtool
