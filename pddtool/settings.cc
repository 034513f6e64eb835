// The queue definition lines of a compiled PDD.
#include "pddtool/settings.h"

#include <algorithm>
#include <cstring>

#include "common/format.h"
#include "pdd/isvalid.h"

namespace pddtool {

namespace {

struct Option {
  const NodePtr* item;
  std::string value;
};

std::string text_of(const char* text) { return text ? text : ""; }

std::string join(const std::vector<std::string>& parts, const std::string& separator,
                 const std::string& last_separator) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += i + 1 == parts.size() ? last_separator : separator;
    text += parts[i];
  }
  return text;
}

bool is_option(const NodePtr& item) {
  return item.name && item.node &&
         (item.kind == NodeKind::SCLIST || item.kind == NodeKind::STRING ||
          item.kind == NodeKind::NUMBER);
}

// The default as a queue definition holds it.
std::string default_value(const NodePtr& item) {
  switch (item.kind) {
    case NodeKind::SCLIST: {
      const auto* list = static_cast<const SclistNode*>(item.node);
      int32_t index = list->default_item;
      if (!list->items || index < 0 || index >= list->no_of_items) return "";
      return text_of(list->items[index].value);
    }
    case NodeKind::STRING:
      return text_of(static_cast<const StringNode*>(item.node)->default_string);
    default: {
      const auto* number = static_cast<const NumberNode*>(item.node);
      return format_scaled_number(number->default_number, number->decimal_places);
    }
  }
}

std::string choices(const SclistNode& list) {
  std::vector<std::string> values;
  for (int32_t i = 0; list.items && i < list.no_of_items; ++i) {
    values.push_back(text_of(list.items[i].value));
  }
  return values.empty() ? "the list has no choices" : "choices are " + join(values, ", ", ", ");
}

std::string range(const NumberNode& node) {
  return "range " + format_scaled_number(node.min_range, node.decimal_places) + " to " +
         format_scaled_number(node.max_range, node.decimal_places);
}

std::string allowed(const StringNode& node) {
  static const char* const kClasses[] = {"digits", "letters", "white space", "punctuation",
                                         "control characters"};
  std::vector<std::string> parts;
  for (size_t i = 0; i < std::size(kClasses); ++i) {
    if (node.valid_type & (1 << i)) parts.push_back(kClasses[i]);
  }
  std::string include = text_of(node.include_char_set);
  std::string exclude = text_of(node.exclude_char_set);
  if (!include.empty()) parts.push_back("the characters \"" + include + "\"");
  std::string text =
      parts.empty() ? "no characters are allowed" : "allowed are " + join(parts, ", ", " and ");
  if (!exclude.empty()) text += " except \"" + exclude + "\"";
  return text + strprintf(", at most %d characters", node.max_length);
}

// Why `value` cannot be the option's value, or "".
std::string refusal(const NodePtr& item, const std::string& value, const NodePtr* top_menu) {
  const std::string name = item.name;
  if (value.find('\n') != std::string::npos) {
    return "invalid value for " + name + ": a queue definition holds no line breaks";
  }
  if (value.size() > VQD_VALUE_LIMIT) {
    return strprintf("invalid value for %s: a queue definition holds at most %zu characters",
                     name.c_str(), VQD_VALUE_LIMIT);
  }
  const std::string invalid = "invalid value '" + value + "' for " + name + ": ";
  switch (item.kind) {
    case NodeKind::SCLIST:
      if (check_option_value(item.name, value.c_str(), top_menu) == 0) return "";
      return invalid + choices(*static_cast<const SclistNode*>(item.node));
    case NodeKind::NUMBER: {
      const auto& node = *static_cast<const NumberNode*>(item.node);
      // Out of range, check_option_value would clamp and print its notes; the
      // range check alone decides that case.
      if (check_number_range(value.c_str(), node) != 0) return invalid + range(node);
      if (check_option_value(item.name, value.c_str(), top_menu) == 0) return "";
      return invalid + range(node) + strprintf(", in at most %d characters", node.width);
    }
    default: {
      const auto& node = *static_cast<const StringNode*>(item.node);
      bool fits = node.max_length >= 0 && value.size() <= static_cast<size_t>(node.max_length);
      for (char c : value) {
        fits =
            fits && char_allowed(c, node.valid_type, node.include_char_set, node.exclude_char_set);
      }
      if (check_option_value(item.name, value.c_str(), top_menu) == 0) return "";
      if (fits) return invalid + "refused by " + text_of(node.validation_function);
      return invalid + allowed(node);
    }
  }
}

}  // namespace

bool queue_settings(const NodePtr* top_menu, const SettingsRequest& request, std::string* out,
                    std::string* err) {
  out->clear();
  const auto* top = static_cast<const MenuNode*>(top_menu->node);
  const int32_t count = top->items ? top->no_of_items : 0;

  std::vector<std::string> streams;
  for (int32_t i = 0; i < count; ++i) {
    const NodePtr& item = top->items[i];
    if (item.kind != NodeKind::PDD || !item.name) continue;
    if (std::find(streams.begin(), streams.end(), item.name) == streams.end()) {
      streams.push_back(item.name);
    }
  }
  std::string ds_list = request.stream;
  std::vector<std::string> chosen;
  if (std::find(streams.begin(), streams.end(), request.stream) != streams.end()) {
    chosen = {request.stream};
  } else if (request.stream.empty() && streams.size() == 1) {
    chosen = streams;
    ds_list = streams.front();
  } else if (request.stream.empty() || request.stream == AUTOMATIC_STREAM) {
    chosen = streams;
    ds_list = AUTOMATIC_STREAM;
  }
  if (chosen.empty()) {
    *err = streams.empty() || request.stream.empty()
               ? std::string("the PDD has no data stream")
               : "the PDD has no data stream '" + request.stream + "'; its data streams are " +
                     join(streams, ", ", ", ");
    return false;
  }

  std::vector<Option> options;
  for (int32_t i = 0; i < count; ++i) {
    const NodePtr& item = top->items[i];
    if (!is_option(item)) continue;
    std::string_view name = item.name;
    bool in_stream = false;
    for (const std::string& stream : chosen) {
      in_stream = in_stream || name.starts_with(stream + "_");
    }
    bool seen = false;
    for (const Option& option : options) seen = seen || name == option.item->name;
    if (in_stream && !seen) options.push_back({&item, default_value(item)});
  }

  auto named = [&options](const std::string& name, std::vector<Option*>* found) {
    for (Option& option : options) {
      if (name == option.item->name) found->push_back(&option);
    }
  };
  for (const auto& [tag, value] : request.values) {
    std::vector<Option*> targets;
    named(tag, &targets);
    // A tag without its stream's prefix names the option in every stream chosen.
    if (targets.empty()) {
      for (const std::string& stream : chosen) {
        std::string prefixed = stream;
        prefixed += "_";
        prefixed += tag;
        named(prefixed, &targets);
      }
    }
    if (targets.empty()) {
      *err = "unknown option '";
      *err += tag;
      *err += "' for data stream ";
      *err += ds_list;
      return false;
    }
    for (Option* target : targets) {
      std::string why = refusal(*target->item, value, top_menu);
      if (!why.empty()) {
        *err = why;
        return false;
      }
      target->value = value;
    }
  }

  std::string text = "ds_list=" + ds_list + "\n";
  for (const Option& option : options)
    text += std::string(option.item->name) + "=" + option.value + "\n";
  *out = text;
  return true;
}

}  // namespace pddtool
