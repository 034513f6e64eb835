// Per-job overrides of a queue's settings: "tag=value" pairs separated by single
// blanks, each checked against the PDD before it changes the definition table.
#include "jobshaper/overrides.h"

#include <cstring>
#include <string_view>

#include "common/debug_trace.h"
#include "pdd/definitions.h"
#include "pdd/isvalid.h"

namespace {

#define LIST(...) debug_trace().print(DEBUG_LISTING, __VA_ARGS__)

constexpr const char* kDashes77 =
    "-----------------------------------------------------------------------------";

// Resolution names users may give, and the values queues store in their place.
std::string_view map_resolution(std::string_view value) {
  struct Mapping {
    std::string_view given;
    std::string_view stored;
  };
  static constexpr Mapping kResolutions[] = {
      {"2400x2400dpi", "2400_IQ"},
      {"4800x4800dpi", "4800_CQ"},
      {"600x600dpi", "600"},
      {"1200x1200dpi", "1200"},
  };
  for (const Mapping& mapping : kResolutions) {
    if (mapping.given == value) return mapping.stored;
  }
  return value;
}

}  // namespace

void apply_overrides(const std::string& options, const std::string& data_stream,
                     const NodePtr* top_menu) {
  LIST("\nCommand line options have been specified as follows:\n\n");
  LIST("OPTIONS STRING: %s\n\n", options.c_str());
  LIST("%s\n", kDashes77);
  LIST("Tag        DS + Tag            Old value      New Value      Staus of Command\n");
  LIST("%s\n", kDashes77);

  const std::string_view text = options;
  size_t position = 0;
  while (position < text.size()) {
    std::string_view rest = text.substr(position);
    size_t equals = rest.find('=');
    if (equals == std::string_view::npos) break;
    std::string tag(rest.substr(0, equals));
    std::string_view after = rest.substr(equals + 1);
    std::string value(after.substr(0, after.find(' ')));
    std::string key = data_stream;
    key += "_";
    key += tag;

    if (value.empty()) {
      // "tag=" alone names no value: the pair is skipped, up to the next blank.
      LIST("%-20s %-20s %-13s -- IGNORED --  Invalid Value\n", tag.c_str(), key.c_str(), "");
      size_t blank = after.find(' ');
      position += equals + 1 + (blank == std::string_view::npos ? after.size() : blank + 1);
      continue;
    }

    std::string old_value = key == "forms_style_name" ? "" : get_definition(key);
    bool tag_known = key == "forms_style_name" || !old_value.empty();
    if (!tag_known) {
      LIST("%-20s %-20s %-13s -- IGNORED --  Invalid Tag\n", tag.c_str(), key.c_str(),
           value.c_str());
    } else {
      std::string mapped(map_resolution(value));
      if (check_option_value(key.c_str(), mapped.c_str(), top_menu) == 0) {
        put_definition(key, mapped);
        LIST("%-20s %-20s %-13s %-13s  Value changed.\n", tag.c_str(), key.c_str(),
             old_value.c_str(), mapped.c_str());
      } else {
        LIST("%-20s %-20s %-13s -- IGNORED --  Invalid Value\n", tag.c_str(), key.c_str(),
             mapped.c_str());
      }
    }
    position += tag.size() + value.size() + 2;
  }

  LIST("\n-------------------------------------------");
  LIST("--------------------------------------------\n\n");
}
