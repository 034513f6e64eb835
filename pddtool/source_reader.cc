// Reading PDD sources with yaml-cpp.
#include "pddtool/source_reader.h"

#include <yaml-cpp/yaml.h>

#include <charconv>
#include <set>

#include "common/format.h"
#include "pddtool/fields.h"
#include "pddtool/yaml_text.h"

namespace pddtool {

namespace {

constexpr const char* kKindKeys[] = {"string", "sclist", "number", "menu",
                                     "pdd",    "ddd",    "skip",   "raw"};
constexpr std::string_view kStrTag = "tag:yaml.org,2002:str";
constexpr std::string_view kIntTag = "tag:yaml.org,2002:int";

using Marks = std::map<std::string, SourceMark>;

SourceMark mark_of(const YAML::Mark& mark) {
  if (mark.is_null()) return {};
  return {mark.line + 1, mark.column + 1};
}

bool is_kind_key(const std::string& key) {
  for (const char* kind : kKindKeys) {
    if (key == kind) return true;
  }
  return false;
}

// One key of a mapping with its value.
struct Entry {
  std::string key;
  YAML::Node key_node;
  YAML::Node value;
};
using Given = std::map<std::string, const Entry*>;

class SourceParser {
 public:
  explicit SourceParser(std::vector<Diagnostic>* errors) : errors_(errors) {}

  void parse(const YAML::Node& root, std::vector<SourceRecord>* records);

 private:
  void error(const SourceMark& at, const std::string& message) {
    errors_->push_back({at, message});
  }
  // Where a value is; an empty value has no place of its own (yaml-cpp puts it at
  // the next token), so its key's is taken.
  SourceMark place(const Entry& e) const {
    return mark_of(e.value.IsNull() ? e.key_node.Mark() : e.value.Mark());
  }

  std::vector<Entry> entries(const YAML::Node& map);
  Given given_keys(const std::vector<Entry>& list, const std::set<std::string>& allowed,
                   const std::string& what);

  bool text(const Entry& e, std::string* out);
  bool number(const Entry& e, int32_t* out);
  bool hex(const Entry& e, std::string* out);
  void valid_type(const Entry& e, int32_t* out);
  void extras(const Given& given, BlockExtra* extra, Marks* marks, const char* count_key,
              const char* tail_key);

  template <typename R, size_t N>
  void fields(const Given& given, const Field<R> (&table)[N], R* record, Marks* marks,
              const SourceMark& at, const std::string& what);
  template <typename R, size_t N>
  static std::set<std::string> keys_of(const Field<R> (&table)[N],
                                       std::initializer_list<const char*> more);

  bool record(const YAML::Node& node, SourceRecord* out);
  void sclist_items(const Entry& items, SclistEntry* e, SourceRecord* out);
  void sclist_default(const Given& given, SclistEntry* e, SourceRecord* out);
  void menu_items(const Entry& items, MenuEntry* e, SourceRecord* out);

  std::vector<Diagnostic>* errors_;
};

std::vector<Entry> SourceParser::entries(const YAML::Node& map) {
  std::vector<Entry> list;
  std::set<std::string> seen;
  for (const auto& pair : map) {
    const YAML::Node key = pair.first;
    if (!key.IsScalar()) {
      error(mark_of(key.Mark()), "a key must be a plain word");
      continue;
    }
    if (!seen.insert(key.Scalar()).second) {
      error(mark_of(key.Mark()), "the key '" + key.Scalar() + "' is given twice");
      continue;
    }
    list.push_back({key.Scalar(), key, pair.second});
  }
  return list;
}

Given SourceParser::given_keys(const std::vector<Entry>& list, const std::set<std::string>& allowed,
                               const std::string& what) {
  Given given;
  for (const Entry& e : list) {
    if (allowed.count(e.key)) {
      given[e.key] = &e;
    } else {
      error(mark_of(e.key_node.Mark()), "unknown key '" + e.key + "' in " + what);
    }
  }
  return given;
}

bool SourceParser::text(const Entry& e, std::string* out) {
  const YAML::Node& v = e.value;
  if (v.IsNull()) {
    out->clear();
    return true;
  }
  if (!v.IsScalar()) {
    error(place(e), e.key + ": expected a text");
    return false;
  }
  const std::string& tag = v.Tag();
  if (tag == BYTES_TAG) {
    if (bytes_from_text(v.Scalar(), out)) return true;
    error(place(e), e.key + ": a !bytes text holds characters from \\x00 to \\xFF only");
    return false;
  }
  if (tag == "?" || tag == "!" || tag == kStrTag) {
    *out = v.Scalar();
    return true;
  }
  error(place(e),
        e.key + ": unknown tag '" + tag + "'; a text has no tag or " + std::string(BYTES_TAG));
  return false;
}

bool SourceParser::number(const Entry& e, int32_t* out) {
  const YAML::Node& v = e.value;
  if (!v.IsScalar() || (v.Tag() != "?" && v.Tag() != "!" && v.Tag() != kIntTag)) {
    error(place(e), e.key + ": expected a whole number");
    return false;
  }
  std::string_view s = v.Scalar();
  std::string_view digits = s;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  bool whole = !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
  if (!whole) {
    error(place(e), e.key + ": '" + v.Scalar() + "' is not a whole number");
    return false;
  }
  int64_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (s.front() == '-') value = -value;
  if (ec != std::errc() || value < INT32_MIN || value > INT32_MAX) {
    error(place(e), e.key + ": " + v.Scalar() + " does not fit in 32 bits");
    return false;
  }
  *out = static_cast<int32_t>(value);
  return true;
}

bool SourceParser::hex(const Entry& e, std::string* out) {
  std::string text_value;
  if (!text(e, &text_value)) return false;
  if (from_hex(text_value, out)) return true;
  error(place(e), e.key + ": expected bytes in hexadecimal, such as 0a000000");
  return false;
}

void SourceParser::valid_type(const Entry& e, int32_t* out) {
  if (!e.value.IsSequence()) {
    number(e, out);
    return;
  }
  int32_t bits = 0;
  for (const YAML::Node& name : e.value) {
    int32_t bit = 0;
    for (size_t i = 0; i < std::size(VALID_CLASS_NAMES); ++i) {
      if (name.IsScalar() && name.Scalar() == VALID_CLASS_NAMES[i]) bit = 1 << i;
    }
    if (bit == 0) {
      error(mark_of(name.Mark()),
            "valid_type: unknown class '" + (name.IsScalar() ? name.Scalar() : std::string()) +
                "'; the classes are digits, letters, space, punctuation and control");
    }
    bits |= bit;
  }
  *out = bits;
}

void SourceParser::extras(const Given& given, BlockExtra* extra, Marks* marks,
                          const char* count_key, const char* tail_key) {
  if (auto it = given.find(count_key); it != given.end()) {
    (*marks)[count_key] = place(*it->second);
    int32_t count = 0;
    if (number(*it->second, &count)) extra->count = count;
  }
  if (auto it = given.find(tail_key); it != given.end()) {
    (*marks)[tail_key] = place(*it->second);
    hex(*it->second, &extra->tail);
  }
}

template <typename R, size_t N>
void SourceParser::fields(const Given& given, const Field<R> (&table)[N], R* record, Marks* marks,
                          const SourceMark& at, const std::string& what) {
  for (const Field<R>& field : table) {
    auto it = given.find(field.key);
    if (it == given.end()) {
      if (field.required) error(at, what + " needs " + field.key);
      continue;
    }
    const Entry& e = *it->second;
    (*marks)[field.key] = place(e);
    if (field.text) {
      text(e, &(record->*field.text));
    } else if (std::string_view(field.key) == "valid_type") {
      valid_type(e, &(record->*field.number));
    } else {
      number(e, &(record->*field.number));
    }
  }
}

template <typename R, size_t N>
std::set<std::string> SourceParser::keys_of(const Field<R> (&table)[N],
                                            std::initializer_list<const char*> more) {
  std::set<std::string> keys(more.begin(), more.end());
  for (const Field<R>& field : table) keys.insert(field.key);
  return keys;
}

void SourceParser::sclist_items(const Entry& items, SclistEntry* e, SourceRecord* out) {
  if (items.value.IsNull()) return;
  if (!items.value.IsSequence()) {
    error(place(items), "items: expected a list");
    return;
  }
  static const std::set<std::string> kAllowed =
      keys_of(kItemFields, {BLOCK_COUNT_KEY, BLOCK_TAIL_KEY});
  for (const YAML::Node& node : items.value) {
    SourceMark at = mark_of(node.Mark());
    out->items.push_back(at);
    out->item_keys.emplace_back();
    e->r.items.emplace_back();
    e->item_blocks.emplace_back();
    if (!node.IsMap()) {
      error(at, "an item is a mapping such as 'value: a4'");
      continue;
    }
    std::vector<Entry> list = entries(node);
    Given given = given_keys(list, kAllowed, "a list item");
    fields(given, kItemFields, &e->r.items.back(), &out->item_keys.back(), at, "an item");
    extras(given, &e->item_blocks.back(), &out->item_keys.back(), BLOCK_COUNT_KEY, BLOCK_TAIL_KEY);
  }
}

void SourceParser::sclist_default(const Given& given, SclistEntry* e, SourceRecord* out) {
  auto by_value = given.find("default");
  auto by_index = given.find("default_item");
  if (by_value != given.end() && by_index != given.end()) {
    error(mark_of(by_index->second->key_node.Mark()), "give default or default_item, not both");
    return;
  }
  if (by_index != given.end()) {
    out->keys["default_item"] = place(*by_index->second);
    number(*by_index->second, &e->r.default_item);
    return;
  }
  if (by_value == given.end()) return;
  out->keys["default"] = place(*by_value->second);
  std::string value;
  if (!text(*by_value->second, &value)) return;
  for (size_t i = 0; i < e->r.items.size(); ++i) {
    if (e->r.items[i].value == value) {
      e->r.default_item = static_cast<int32_t>(i);
      return;
    }
  }
  error(place(*by_value->second), "default: no item has the value '" + value + "'");
}

void SourceParser::menu_items(const Entry& items, MenuEntry* e, SourceRecord* out) {
  if (items.value.IsNull()) return;
  if (!items.value.IsSequence()) {
    error(place(items), "items: expected a list of tags");
    return;
  }
  for (const YAML::Node& node : items.value) {
    out->items.push_back(mark_of(node.Mark()));
    e->r.items.emplace_back();
    text(Entry{"item", node, node}, &e->r.items.back());
  }
}

bool SourceParser::record(const YAML::Node& node, SourceRecord* out) {
  const size_t errors_before = errors_->size();
  out->at = mark_of(node.Mark());
  if (!node.IsMap()) {
    error(out->at,
          "a record is a mapping that starts with its kind and tag, such as "
          "'- string: pcl_title'");
    return false;
  }
  std::vector<Entry> list = entries(node);
  const Entry* kind = nullptr;
  for (const Entry& e : list) {
    if (!is_kind_key(e.key)) continue;
    if (kind) {
      error(mark_of(e.key_node.Mark()),
            "a record is of one kind, not both '" + kind->key + "' and '" + e.key + "'");
    } else {
      kind = &e;
    }
  }
  if (!kind) {
    error(out->at,
          "a record needs one of the keys string, sclist, number, menu, pdd, ddd, skip or raw");
  }
  if (errors_->size() != errors_before) return false;
  const std::string& k = kind->key;
  const std::string what = "a " + k + " record";
  out->keys["tag"] = place(*kind);
  out->keys[k] = place(*kind);
  auto tag_and_block = [&](const Given& given, std::string* tag, BlockExtra* block) {
    text(*kind, tag);
    extras(given, block, &out->keys, BLOCK_COUNT_KEY, BLOCK_TAIL_KEY);
  };
  if (k == "string") {
    static const std::set<std::string> kAllowed =
        keys_of(kStringFields, {"string", BLOCK_COUNT_KEY, BLOCK_TAIL_KEY});
    Given given = given_keys(list, kAllowed, what);
    StringEntry e;
    tag_and_block(given, &e.r.tag, &e.block);
    fields(given, kStringFields, &e.r, &out->keys, out->at, what);
    out->record = e;
  } else if (k == "sclist") {
    static const std::set<std::string> kAllowed =
        keys_of(kSclistFields,
                {"sclist", "items", "default", "default_item", BLOCK_COUNT_KEY, BLOCK_TAIL_KEY});
    Given given = given_keys(list, kAllowed, what);
    SclistEntry e;
    tag_and_block(given, &e.r.tag, &e.block);
    fields(given, kSclistFields, &e.r, &out->keys, out->at, what);
    if (auto it = given.find("items"); it != given.end()) {
      out->keys["items"] = place(*it->second);
      sclist_items(*it->second, &e, out);
    }
    sclist_default(given, &e, out);
    out->record = e;
  } else if (k == "number") {
    static const std::set<std::string> kAllowed =
        keys_of(kNumberFields, {"number", BLOCK_COUNT_KEY, BLOCK_TAIL_KEY});
    Given given = given_keys(list, kAllowed, what);
    NumberEntry e;
    tag_and_block(given, &e.r.tag, &e.block);
    fields(given, kNumberFields, &e.r, &out->keys, out->at, what);
    out->record = e;
  } else if (k == "menu") {
    static const std::set<std::string> kAllowed = keys_of(
        kMenuFields,
        {"menu", "items", BLOCK_COUNT_KEY, BLOCK_TAIL_KEY, ITEMS_COUNT_KEY, ITEMS_TAIL_KEY});
    Given given = given_keys(list, kAllowed, what);
    MenuEntry e;
    tag_and_block(given, &e.r.tag, &e.block);
    fields(given, kMenuFields, &e.r, &out->keys, out->at, what);
    if (auto it = given.find("items"); it != given.end()) {
      out->keys["items"] = place(*it->second);
      menu_items(*it->second, &e, out);
    }
    extras(given, &e.items_block, &out->keys, ITEMS_COUNT_KEY, ITEMS_TAIL_KEY);
    out->record = e;
  } else if (k == "pdd") {
    static const std::set<std::string> kAllowed =
        keys_of(kPddFields, {"pdd", BLOCK_COUNT_KEY, BLOCK_TAIL_KEY});
    Given given = given_keys(list, kAllowed, what);
    PddEntry e;
    tag_and_block(given, &e.r.tag, &e.block);
    fields(given, kPddFields, &e.r, &out->keys, out->at, what);
    out->record = e;
  } else if (k == "ddd") {
    static const std::set<std::string> kAllowed =
        keys_of(kDddFields, {"ddd", BLOCK_COUNT_KEY, BLOCK_TAIL_KEY});
    Given given = given_keys(list, kAllowed, what);
    DddEntry e;
    tag_and_block(given, &e.r.tag, &e.block);
    fields(given, kDddFields, &e.r, &out->keys, out->at, what);
    out->record = e;
  } else if (k == "skip") {
    given_keys(list, {"skip"}, what);
    SkipEntry e;
    number(*kind, &e.code);
    out->record = e;
  } else {
    given_keys(list, {"raw"}, what);
    RawEntry e;
    hex(*kind, &e.bytes);
    out->record = e;
  }
  if (errors_->size() != errors_before) return false;
  for (const Problem& problem : check_record(out->record)) {
    error(locate(*out, problem), problem.message);
  }
  return errors_->size() == errors_before;
}

void SourceParser::parse(const YAML::Node& root, std::vector<SourceRecord>* records) {
  if (!root.IsSequence()) {
    error(mark_of(root.Mark()), "a source is a list of records, each starting with '- '");
    return;
  }
  for (const YAML::Node& node : root) {
    SourceRecord record;
    if (this->record(node, &record)) records->push_back(std::move(record));
  }
}

SourceMark position_of(std::string_view text, size_t offset) {
  SourceMark at;
  for (size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++at.line;
      at.column = 1;
    } else {
      ++at.column;
    }
  }
  return at;
}

}  // namespace

SourceMark locate(const SourceRecord& record, const Problem& problem) {
  if (problem.field.empty()) return record.at;
  if (problem.field == "items" && problem.item >= 0 &&
      static_cast<size_t>(problem.item) < record.items.size()) {
    const auto& keys = record.item_keys;
    if (!problem.item_field.empty() && static_cast<size_t>(problem.item) < keys.size()) {
      auto it = keys[static_cast<size_t>(problem.item)].find(problem.item_field);
      if (it != keys[static_cast<size_t>(problem.item)].end()) return it->second;
    }
    return record.items[static_cast<size_t>(problem.item)];
  }
  for (const char* key :
       {problem.field.c_str(), problem.field == "default_item" ? "default" : ""}) {
    auto it = record.keys.find(key);
    if (it != record.keys.end()) return it->second;
  }
  return record.at;
}

bool parse_source(std::string_view text, std::vector<SourceRecord>* records,
                  std::vector<Diagnostic>* errors) {
  records->clear();
  errors->clear();
  if (size_t bad = first_invalid_utf8(text); bad != std::string_view::npos) {
    errors->push_back({position_of(text, bad),
                       strprintf("the source is not UTF-8 (byte 0x%02X); write other bytes in a "
                                 "!bytes text, such as !bytes \"caf\\xE9\"",
                                 static_cast<unsigned char>(text[bad]))});
    return false;
  }
  SourceParser parser(errors);
  try {
    std::vector<YAML::Node> documents = YAML::LoadAll(std::string(text));
    if (documents.size() > 1) {
      errors->push_back({mark_of(documents[1].Mark()), "a source holds one YAML document"});
      return false;
    }
    if (!documents.empty() && !documents[0].IsNull()) parser.parse(documents[0], records);
  } catch (const YAML::Exception& e) {
    errors->push_back({mark_of(e.mark), e.msg});
  }
  return errors->empty();
}

}  // namespace pddtool
