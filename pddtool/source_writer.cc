// Writing PDD sources.
#include "pddtool/source_writer.h"

#include "common/format.h"
#include "pddtool/fields.h"
#include "pddtool/yaml_text.h"

namespace pddtool {

namespace {

// Hexadecimal of at most this many bytes stays on the key's line.
constexpr size_t kShortHexBytes = 32;

class Writer {
 public:
  std::string out;

  void line(int indent, const std::string& text) {
    out.append(static_cast<size_t>(indent), ' ');
    out += text;
    out += '\n';
  }

  // Comment lines hold printable ASCII only (a comment may quote a tag of any
  // bytes, and the source must stay UTF-8): other bytes are shown as \xNN.
  void comment(const std::string& text) {
    std::string shown = "# ";
    for (char c : text) {
      auto byte = static_cast<unsigned char>(c);
      if (c == '\n') {
        line(0, shown);
        shown = "# ";
      } else if (byte < 0x20 || byte > 0x7e) {
        shown += strprintf("\\x%02X", byte);
      } else {
        shown += c;
      }
    }
    line(0, shown);
  }

  void text(int indent, const char* key, const std::string& value) {
    if (!value.empty()) line(indent, std::string(key) + ": " + yaml_text(value));
  }

  void number(int indent, const char* key, int32_t value, bool required = false) {
    if (required || value != 0) line(indent, std::string(key) + ": " + std::to_string(value));
  }

  void valid_type(int indent, int32_t value) {
    if (value <= 0 || value >= (1 << std::size(VALID_CLASS_NAMES))) {
      number(indent, "valid_type", value);
      return;
    }
    std::string names;
    for (size_t i = 0; i < std::size(VALID_CLASS_NAMES); ++i) {
      if (value & (1 << i))
        names += (names.empty() ? "" : ", ") + std::string(VALID_CLASS_NAMES[i]);
    }
    line(indent, "valid_type: [" + names + "]");
  }

  // `prefix` is the key and colon, or "- raw:".
  void hex(int indent, const std::string& prefix, const std::string& bytes) {
    if (bytes.size() <= kShortHexBytes) {
      line(indent, prefix + " " + to_hex(bytes));
      return;
    }
    line(indent, prefix + " |");
    std::string lines = to_hex(bytes);
    size_t from = 0;
    while (from < lines.size()) {
      size_t end = lines.find('\n', from);
      if (end == std::string::npos) end = lines.size();
      line(indent + 4, lines.substr(from, end - from));
      from = end + 1;
    }
  }

  void block(int indent, const BlockExtra& extra, const char* count_key, const char* tail_key) {
    if (extra.count) number(indent, count_key, *extra.count, true);
    if (!extra.tail.empty()) hex(indent, std::string(tail_key) + ":", extra.tail);
  }

  template <typename R, size_t N>
  void fields(int indent, const R& record, const Field<R> (&table)[N]) {
    for (const Field<R>& field : table) {
      if (field.text) {
        text(indent, field.key, record.*field.text);
      } else if (std::string_view(field.key) == "valid_type") {
        valid_type(indent, record.*field.number);
      } else {
        number(indent, field.key, record.*field.number, field.required);
      }
    }
  }

  void head(const char* kind, const std::string& tag) {
    line(0, "- " + std::string(kind) + ": " + yaml_text(tag));
  }
};

struct RecordWriter {
  Writer& w;

  void operator()(const StringEntry& e) {
    w.head("string", e.r.tag);
    w.fields(2, e.r, kStringFields);
    w.block(2, e.block, BLOCK_COUNT_KEY, BLOCK_TAIL_KEY);
  }
  void operator()(const SclistEntry& e) {
    const pddfile::SclistRecord& r = e.r;
    w.head("sclist", r.tag);
    w.fields(2, r, kSclistFields);
    const auto count = static_cast<int32_t>(r.items.size());
    if (r.default_item >= 0 && r.default_item < count) {
      // Named by its value when that value finds this very item.
      int32_t first = 0;
      while (r.items[static_cast<size_t>(first)].value !=
             r.items[static_cast<size_t>(r.default_item)].value) {
        ++first;
      }
      if (first == r.default_item) {
        w.line(2, "default: " + yaml_text(r.items[static_cast<size_t>(first)].value));
      } else {
        w.number(2, "default_item", r.default_item, true);
      }
    } else {
      w.number(2, "default_item", r.default_item);
    }
    if (!r.items.empty()) w.line(2, "items:");
    for (size_t i = 0; i < r.items.size(); ++i) {
      const pddfile::SclistItemRecord& item = r.items[i];
      w.line(4, "- value: " + yaml_text(item.value));
      for (const Field<SclistItemRecord>& field : kItemFields) {
        if (std::string_view(field.key) != "value") w.text(6, field.key, item.*field.text);
      }
      if (i < e.item_blocks.size()) w.block(6, e.item_blocks[i], BLOCK_COUNT_KEY, BLOCK_TAIL_KEY);
    }
    w.block(2, e.block, BLOCK_COUNT_KEY, BLOCK_TAIL_KEY);
  }
  void operator()(const NumberEntry& e) {
    w.head("number", e.r.tag);
    w.fields(2, e.r, kNumberFields);
    w.block(2, e.block, BLOCK_COUNT_KEY, BLOCK_TAIL_KEY);
  }
  void operator()(const MenuEntry& e) {
    w.head("menu", e.r.tag);
    w.fields(2, e.r, kMenuFields);
    if (!e.r.items.empty()) w.line(2, "items:");
    for (const std::string& item : e.r.items) w.line(4, "- " + yaml_text(item));
    w.block(2, e.items_block, ITEMS_COUNT_KEY, ITEMS_TAIL_KEY);
    w.block(2, e.block, BLOCK_COUNT_KEY, BLOCK_TAIL_KEY);
  }
  void operator()(const PddEntry& e) {
    w.head("pdd", e.r.tag);
    w.fields(2, e.r, kPddFields);
    w.block(2, e.block, BLOCK_COUNT_KEY, BLOCK_TAIL_KEY);
  }
  void operator()(const DddEntry& e) {
    w.head("ddd", e.r.tag);
    w.fields(2, e.r, kDddFields);
    w.block(2, e.block, BLOCK_COUNT_KEY, BLOCK_TAIL_KEY);
  }
  void operator()(const SkipEntry& e) { w.line(0, "- skip: " + std::to_string(e.code)); }
  void operator()(const RawEntry& e) { w.hex(0, "- raw:", e.bytes); }
};

}  // namespace

std::string write_source(const std::vector<WrittenRecord>& records, const std::string& header) {
  Writer w;
  if (!header.empty()) w.comment(header);
  if (records.empty()) w.line(0, "[]");
  for (const WrittenRecord& written : records) {
    w.out += '\n';
    if (!written.comment.empty()) w.comment(written.comment);
    std::visit(RecordWriter{w}, written.record);
  }
  return w.out;
}

}  // namespace pddtool
