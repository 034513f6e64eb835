// The listing of a queue's options, section by section and option by option.
#include "settingsview/option_listing.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/format.h"

namespace {

// The data streams that have a section, its title, and the data stream lists
// (VQD ds_list values) under which it is listed.
struct StreamSection {
  const char* name;
  const char* title;
  std::vector<std::string_view> listed_for;
};

const StreamSection kSections[] = {
    {"ps", "PostScript options", {"ps", "automatic", "automatic_plus"}},
    {"pcl", "PCL Emulation options", {"pcl", "automatic", "automatic_plus"}},
    {"zt", "Tessaly or PDF options", {"zt", "automatic_plus"}},
    {"forms", "Vexa Forms options", {"forms"}},
    {"ppds", "PPDS options", {"ppds"}},
    {"gl", "GL options", {"gl"}},
};

constexpr const char* kDashes59 = "-----------------------------------------------------------\n";
constexpr const char* kDashes26 = "--------------------------\n";
// Choices that do not fit on the option's first line start below its choices,
// past the 25-column name and its blank.
constexpr int kChoiceIndent = 26;
constexpr std::string_view kDefaultMark = " (default)";

const StreamSection* section_for(const char* name, const ListingOptions& options) {
  if (!name) return nullptr;
  for (const StreamSection& section : kSections) {
    if (std::strcmp(section.name, name) != 0) continue;
    if (!options.data_streams) return &section;
    for (std::string_view listed : section.listed_for) {
      if (listed == *options.data_streams) return &section;
    }
    return nullptr;
  }
  return nullptr;
}

std::string text_of(const char* text) { return text ? text : ""; }

// The tags of an init sequence, in order; empty pieces between commas are left out.
std::vector<std::string> split_tags(const std::string& sequence) {
  std::vector<std::string> tags;
  size_t from = 0;
  while (from <= sequence.size()) {
    size_t end = sequence.find(',', from);
    if (end == std::string::npos) end = sequence.size();
    if (end > from) tags.push_back(sequence.substr(from, end - from));
    from = end + 1;
  }
  return tags;
}

void list_sclist(const SclistNode& node, const std::string& name, const ListingOptions& options,
                 std::string& out) {
  const int32_t count = node.items ? node.no_of_items : 0;
  if (options.colon_format) {
    out += name;
    out += '=';
    for (int32_t i = 0; i < count; ++i) {
      if (i == node.default_item) out += '*';
      out += text_of(node.items[i].value);
      if (i + 1 < count) out += ':';
    }
    return;
  }
  out += strprintf("%-25s ", name.c_str());
  // 64-bit arithmetic: the width comes from atoi unchecked and may be anything.
  const int64_t limit = int64_t{options.width} - kChoiceIndent;
  int64_t column = 0;
  for (int32_t i = 0; i < count; ++i) {
    const std::string value = text_of(node.items[i].value);
    const bool is_default = i == node.default_item;
    const int64_t size =
        static_cast<int64_t>(value.size()) + (is_default ? int64_t{12} : int64_t{2});
    if (column + size >= limit || options.long_format) {
      out += '\n';
      out.append(kChoiceIndent, ' ');
      column = size;
    } else {
      column += size;
    }
    out += value;
    if (is_default) out += kDefaultMark;
    if (i + 1 < count && !options.long_format) out += ", ";
  }
}

void list_number(const NumberNode& node, const std::string& name, const ListingOptions& options,
                 std::string& out) {
  if (options.colon_format) {
    out +=
        strprintf("%s=%d-%d:%d", name.c_str(), node.min_range, node.max_range, node.default_number);
  } else {
    out += strprintf("%-25s ( min = %d,  max = %d, default = %d) ", name.c_str(), node.min_range,
                     node.max_range, node.default_number);
  }
}

void list_sequence(const MenuNode& top, const std::vector<std::string>& tags,
                   const ListingOptions& options, std::string& out) {
  for (const std::string& tag : tags) list_option(top, tag, options, out);
}

void list_stream(const MenuNode& top, const StreamSection& section, const PddNode* stream,
                 const ListingOptions& options, std::string& out) {
  out += kDashes59;
  out += strprintf(" >>>>>>          %s          <<<<<<\n", section.title);
  out += kDashes59;
  const std::string sequence = stream ? text_of(stream->init_sequence) : "";
  const std::vector<std::string> tags = split_tags(sequence);
  if (options.job) {
    if (sequence == "none") {
      out += "\nThere are no JOB options for this emulation.\n\n";
    } else {
      out += "\n";
      out += kDashes26;
      out += "\tJob Options\n";
      out += kDashes26;
      list_sequence(top, tags, options, out);
    }
  }
  if (options.banner) {
    // Like the job section, the banner section follows the data stream's init
    // sequence; its banner init sequence is not consulted.
    if (sequence == "none") {
      out += "\nThere are no BANNER options for this emulation.\n\n";
    } else {
      out += kDashes26;
      out += "\tBanner Options\n";
      out += kDashes26;
      for (const char* suffix : {"banner_page", "banner_file", "execute_banner"}) {
        list_option(top, strprintf("%s_%s", section.name, suffix), options, out);
      }
      list_sequence(top, tags, options, out);
    }
  }
}

}  // namespace

std::string display_name(const std::string& tag) {
  size_t underscore = tag.find('_');
  return underscore == std::string::npos ? tag : tag.substr(underscore + 1);
}

void list_option(const MenuNode& top, const std::string& tag, const ListingOptions& options,
                 std::string& out) {
  const std::string name = display_name(tag);
  const int32_t count = top.items ? top.no_of_items : 0;
  for (int32_t i = 0; i < count; ++i) {
    const NodePtr& item = top.items[i];
    if (!item.name || tag != item.name || !item.node) continue;
    switch (item.kind) {
      case NodeKind::SCLIST:
        list_sclist(*static_cast<const SclistNode*>(item.node), name, options, out);
        break;
      case NodeKind::STRING:
        out += strprintf("%-25s (default)", name.c_str());
        break;
      case NodeKind::NUMBER:
        list_number(*static_cast<const NumberNode*>(item.node), name, options, out);
        break;
      default:
        break;
    }
  }
  out += "\n\n";
}

void list_options(const MenuNode& top, const ListingOptions& options, std::string& out) {
  const int32_t count = top.items ? top.no_of_items : 0;
  for (int32_t i = 0; i < count; ++i) {
    const NodePtr& item = top.items[i];
    if (item.kind != NodeKind::PDD) continue;
    const StreamSection* section = section_for(item.name, options);
    if (!section) continue;
    list_stream(top, *section, static_cast<const PddNode*>(item.node), options, out);
  }
}
