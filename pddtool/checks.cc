// The compiler's own checks of a record.
#include "pddtool/checks.h"

#include "common/format.h"
#include "pdd/read_nodes.h"
#include "pddtool/fields.h"

namespace pddtool {

namespace {

constexpr std::string_view kTerminator = "$$$";

class Checker {
 public:
  std::vector<Problem> problems;

  void text(const std::string& value, const std::string& field, int item = -1,
            const std::string& item_field = "") {
    std::string name = item < 0             ? field
                       : item_field.empty() ? strprintf("item %d", item + 1)
                                            : item_field;
    std::string message;
    if (value.find('\0') != std::string::npos) {
      message = name + " holds a zero byte";
    } else if (value.find(kTerminator) != std::string::npos) {
      message = name + " holds \"$$$\", which ends a string in the compiled file";
    } else if (!value.empty() && value.back() == '$') {
      message = name + " ends with \"$\", which the reader would take for the terminator \"$$$\"";
    }
    if (!message.empty()) problems.push_back({message, field, item, item_field});
  }

  void tag(const std::string& value, bool option) {
    if (value.empty()) {
      problems.push_back({"a tag must not be empty", "tag"});
      return;
    }
    for (char c : value) {
      auto byte = static_cast<unsigned char>(c);
      if (byte <= ' ' || byte == 0x7f || c == '=' || c == ',') {
        problems.push_back(
            {"the tag '" + value + "' holds a blank, a control character, '=' or ','", "tag"});
        return;
      }
    }
    text(value, "tag");
    if (option && value.size() > OPTION_TAG_LIMIT) {
      problems.push_back({strprintf("the tag '%s' is longer than %zu characters, the longest key "
                                    "a queue definition holds",
                                    value.c_str(), OPTION_TAG_LIMIT),
                          "tag"});
    }
  }

  template <typename R, size_t N>
  void fields(const R& record, const Field<R> (&table)[N]) {
    for (const Field<R>& field : table) {
      if (field.text) text(record.*field.text, field.key);
    }
  }

  // A block whose count announces `count - needed` further strings must hold them
  // in its tail, each with its terminator, or the reader refuses the record.
  void block(const BlockExtra& extra, size_t needed, const std::string& count_key,
             const std::string& tail_key, int item = -1) {
    if (!extra.count) return;
    auto put = [&](const std::string& message, const std::string& key) {
      if (item < 0) {
        problems.push_back({message, key});
      } else {
        problems.push_back({message, "items", item, key});
      }
    };
    int32_t count = *extra.count;
    if (count < static_cast<int64_t>(needed)) {
      put(strprintf("%s %d is less than the %zu strings of the record", count_key.c_str(), count,
                    needed),
          count_key);
      return;
    }
    if (count > PDD_BLOCK_STRING_LIMIT) {
      put(strprintf("%s %d is above %d, the most strings the reader takes from a block",
                    count_key.c_str(), count, PDD_BLOCK_STRING_LIMIT),
          count_key);
      return;
    }
    size_t further = static_cast<size_t>(count) - needed;
    size_t found = 0;
    for (size_t from = 0; found < further; ++found) {
      size_t end = extra.tail.find(kTerminator, from);
      if (end == std::string::npos) break;
      from = end + kTerminator.size();
    }
    if (found < further) {
      put(strprintf("%s holds %zu strings ending in \"$$$\"; %s %d needs %zu", tail_key.c_str(),
                    found, count_key.c_str(), count, further),
          tail_key);
    }
  }

  void main_block(const BlockExtra& extra, size_t needed) {
    block(extra, needed, BLOCK_COUNT_KEY, BLOCK_TAIL_KEY);
  }
};

struct RecordChecker {
  Checker& c;

  void operator()(const StringEntry& e) {
    c.tag(e.r.tag, true);
    c.fields(e.r, kStringFields);
    c.main_block(e.block, STRING_BLOCK_STRINGS);
  }
  void operator()(const SclistEntry& e) {
    c.tag(e.r.tag, true);
    c.fields(e.r, kSclistFields);
    for (size_t i = 0; i < e.r.items.size(); ++i) {
      for (const Field<SclistItemRecord>& field : kItemFields) {
        c.text(e.r.items[i].*field.text, "items", static_cast<int>(i), field.key);
      }
    }
    if (std::string problem = default_item_problem(e.r); !problem.empty()) {
      c.problems.push_back({problem, e.r.items.empty() ? "items" : "default_item"});
    }
    c.main_block(e.block, SCLIST_BLOCK_STRINGS);
    for (size_t i = 0; i < e.item_blocks.size(); ++i) {
      c.block(e.item_blocks[i], ITEM_BLOCK_STRINGS, BLOCK_COUNT_KEY, BLOCK_TAIL_KEY,
              static_cast<int>(i));
    }
  }
  void operator()(const NumberEntry& e) {
    c.tag(e.r.tag, true);
    c.fields(e.r, kNumberFields);
    c.main_block(e.block, NUMBER_BLOCK_STRINGS);
  }
  void operator()(const MenuEntry& e) {
    c.tag(e.r.tag, false);
    c.fields(e.r, kMenuFields);
    for (size_t i = 0; i < e.r.items.size(); ++i) {
      c.text(e.r.items[i], "items", static_cast<int>(i));
    }
    if (e.r.items.size() > PDD_BLOCK_STRING_LIMIT) {
      c.problems.push_back(
          {strprintf("a menu holds at most %d items", PDD_BLOCK_STRING_LIMIT), "items"});
    }
    c.main_block(e.block, MENU_BLOCK_STRINGS);
  }
  void operator()(const PddEntry& e) {
    c.tag(e.r.tag, false);
    c.fields(e.r, kPddFields);
    c.main_block(e.block, PDD_BLOCK_STRINGS);
  }
  void operator()(const DddEntry& e) {
    c.tag(e.r.tag, false);
    c.fields(e.r, kDddFields);
    c.main_block(e.block, DDD_BLOCK_STRINGS);
  }
  void operator()(const SkipEntry& e) {
    switch (e.code) {
      case PDD_FILE_STRING:
      case PDD_FILE_SCLIST:
      case PDD_FILE_NUMBER:
      case PDD_FILE_MENU:
      case PDD_FILE_DDD:
      case PDD_FILE_PDD:
        c.problems.push_back(
            {strprintf("skip %d: the reader reads a record after this type code", e.code), "skip"});
        break;
      default:
        break;
    }
  }
  void operator()(const RawEntry&) {}
};

}  // namespace

std::string default_item_problem(const pddfile::SclistRecord& list) {
  if (list.items.empty()) return "a list needs at least one item";
  if (list.default_item >= 0 && static_cast<size_t>(list.default_item) < list.items.size()) {
    return "";
  }
  return strprintf("default_item %d is out of range: the items are numbered 0 to %zu",
                   list.default_item, list.items.size() - 1);
}

std::vector<Problem> check_record(const Record& record) {
  Checker checker;
  std::visit(RecordChecker{checker}, record);
  return checker.problems;
}

}  // namespace pddtool
