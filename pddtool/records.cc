// Encoding of pddtool's records into the bytes of a compiled PDD.
#include "pddtool/records.h"

#include "pdd/read_nodes.h"

namespace pddtool {

namespace {

constexpr char kTerminator[] = "$$$";

std::string encode_int(int32_t value) { return pddfile::PddWriter().raw_int(value).bytes(); }

struct Encoder {
  std::string operator()(const StringEntry& e) const {
    const pddfile::StringRecord& r = e.r;
    return encode_int(PDD_FILE_STRING) + encode_block(block_strings(r), e.block) +
           encode_int(r.valid_type) + encode_int(r.max_length);
  }
  std::string operator()(const SclistEntry& e) const {
    const pddfile::SclistRecord& r = e.r;
    std::string bytes = encode_int(PDD_FILE_SCLIST) + encode_block(block_strings(r), e.block) +
                        encode_int(r.default_item) +
                        encode_int(static_cast<int32_t>(r.items.size()));
    for (size_t i = 0; i < r.items.size(); ++i) {
      const BlockExtra none;
      bytes += encode_int(PDD_FILE_SCLIST_ITEM) +
               encode_block(block_strings(r.items[i]),
                            i < e.item_blocks.size() ? e.item_blocks[i] : none);
    }
    return bytes;
  }
  std::string operator()(const NumberEntry& e) const {
    const pddfile::NumberRecord& r = e.r;
    std::string bytes = encode_int(PDD_FILE_NUMBER) + encode_block(block_strings(r), e.block);
    for (int32_t value :
         {r.default_number, r.decimal_places, r.min_range, r.max_range, r.number_type}) {
      bytes += encode_int(value);
    }
    return bytes;
  }
  std::string operator()(const MenuEntry& e) const {
    return encode_int(PDD_FILE_MENU) + encode_block(block_strings(e.r), e.block) +
           encode_int(static_cast<int32_t>(e.r.items.size())) +
           encode_block(e.r.items, e.items_block);
  }
  std::string operator()(const PddEntry& e) const {
    const pddfile::PddRecord& r = e.r;
    return encode_int(PDD_FILE_PDD) + encode_block(block_strings(r), e.block) +
           encode_int(r.special_char1) + encode_int(r.special_char2) + encode_int(r.special_char3);
  }
  std::string operator()(const DddEntry& e) const {
    return encode_int(PDD_FILE_DDD) + encode_block(block_strings(e.r), e.block);
  }
  std::string operator()(const SkipEntry& e) const { return encode_int(e.code); }
  std::string operator()(const RawEntry& e) const { return e.bytes; }
};

struct TagOf {
  std::string operator()(const StringEntry& e) const { return e.r.tag; }
  std::string operator()(const SclistEntry& e) const { return e.r.tag; }
  std::string operator()(const NumberEntry& e) const { return e.r.tag; }
  std::string operator()(const MenuEntry& e) const { return e.r.tag; }
  std::string operator()(const PddEntry& e) const { return e.r.tag; }
  std::string operator()(const DddEntry& e) const { return e.r.tag; }
  std::string operator()(const SkipEntry&) const { return ""; }
  std::string operator()(const RawEntry&) const { return ""; }
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<std::string> block_strings(const pddfile::StringRecord& r) {
  return {
      r.title,       r.tag,         r.description,         r.help,  r.next_ptr, r.default_string,
      r.exclude_set, r.include_set, r.validation_function, r.p_code};
}
std::vector<std::string> block_strings(const pddfile::SclistRecord& r) {
  return {r.label, r.tag, r.description, r.help};
}
std::vector<std::string> block_strings(const pddfile::SclistItemRecord& r) {
  return {r.label, r.description, r.value, r.printer_code, r.next_ptr};
}
std::vector<std::string> block_strings(const pddfile::NumberRecord& r) {
  return {r.title, r.tag, r.description, r.help, r.next_ptr, r.printer_code, r.validation_function};
}
std::vector<std::string> block_strings(const pddfile::MenuRecord& r) {
  return {r.label, r.tag, r.prompt, r.help, r.next_ptr};
}
std::vector<std::string> block_strings(const pddfile::PddRecord& r) {
  return {r.tag,
          r.init_sequence,
          r.banner_init_sequence,
          r.ds_init_string,
          r.ds_end_string,
          r.string1,
          r.string2,
          r.string3};
}
std::vector<std::string> block_strings(const pddfile::DddRecord& r) { return {r.tag, r.transport}; }

std::string encode_block(const std::vector<std::string>& strings, const BlockExtra& extra) {
  std::string data;
  for (const std::string& s : strings) {
    data += s;
    data += kTerminator;
  }
  data += extra.tail;
  return encode_int(static_cast<int32_t>(data.size())) +
         encode_int(extra.count.value_or(static_cast<int32_t>(strings.size()))) + data;
}

std::string encode_record(const Record& record) { return std::visit(Encoder{}, record); }

std::string record_tag(const Record& record) { return std::visit(TagOf{}, record); }

const char* record_kind_name(const Record& record) {
  static const char* const kNames[] = {"string", "sclist", "number", "menu",
                                       "pdd",    "ddd",    "skip",   "raw"};
  return kNames[record.index()];
}

std::string to_hex(std::string_view bytes, size_t groups_per_line) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0 && i % 4 == 0) text += (i / 4) % groups_per_line == 0 ? '\n' : ' ';
    auto byte = static_cast<unsigned char>(bytes[i]);
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xf];
  }
  return text;
}

bool from_hex(std::string_view text, std::string* bytes) {
  bytes->clear();
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    int digit = hex_digit(c);
    if (digit < 0) return false;
    if (high < 0) {
      high = digit;
    } else {
      bytes->push_back(static_cast<char>(high << 4 | digit));
      high = -1;
    }
  }
  return high < 0;
}

}  // namespace pddtool
