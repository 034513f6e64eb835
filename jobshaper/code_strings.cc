// Printer code strings: picks the code string of each queue setting, fills in job
// information and computed numbers, and turns byte escapes into bytes.
#include "jobshaper/code_strings.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/debug_trace.h"
#include "common/io.h"
#include "jobshaper/byte_escapes.h"
#include "jobshaper/expand_expressions.h"
#include "pdd/definitions.h"

namespace {

// Printer codes that ask for job information.
constexpr std::string_view PJL_JOBNAME = "@PJL SET JOBNAME = ";
constexpr std::string_view PJL_USERNAME = "@PJL SET USERNAME = ";
constexpr std::string_view PJL_USERNAME_AND_LJOBINFO = "@PJL SET USERNAME AND LJOBINFO";
constexpr std::string_view PJL_LJOBINFO = "@PJL LJOBINFO USERID = ";
constexpr std::string_view PJL_HOSTID = " HOSTID = ";
constexpr std::string_view PJL_LFAX = "@PJL LFAX PHONENUMBER = ";
constexpr std::string_view PJL_STATIONID = " STATIONID = ";
constexpr std::string_view LINE_FEED = "${10}";
// How a "$" of job data is written, so that it starts neither an escape nor an
// expression.
constexpr std::string_view DOLLAR = "${36}";

constexpr std::string_view NO_CODE = "none";

// The largest piece of a code string handed to the generated scanner at once.
constexpr size_t SCANNER_CHUNK = size_t{1} << 30;

bool equals(const char* text, std::string_view other) { return text && other == text; }
bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Job data (title, user, host, fax number) as code string text that writes its
// bytes literally: "$" becomes the escape of byte 36, and the bytes that would
// end or break the printer command line (control bytes, DEL, a double quote
// inside the quotes) become blanks. Bytes from 0x80 up pass unchanged, since
// converted titles use them. With `quoted`, an enclosing pair of double quotes
// is kept as the delimiters it is.
std::string literal_job_text(std::string_view text, bool quoted) {
  std::string_view open, close;
  if (quoted && text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    open = close = text.substr(0, 1);
    text = text.substr(1, text.size() - 2);
  }
  std::string out(open);
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '$') {
      out += DOLLAR;
    } else if (byte < 0x20 || byte == 0x7f || c == '"') {
      out += ' ';
    } else {
      out += c;
    }
  }
  out += close;
  return out;
}

std::string quoted_job_text(const char* text) {
  return text ? literal_job_text(text, true) : std::string();
}

const NodePtr* find_item(const NodePtr* top_menu, const char* name) {
  if (!top_menu || !name || top_menu->kind != NodeKind::MENU || !top_menu->node) return nullptr;
  const auto* menu = static_cast<const MenuNode*>(top_menu->node);
  if (!menu->items) return nullptr;
  for (int32_t i = 0; i < menu->no_of_items; ++i) {
    if (menu->items[i].name && std::strcmp(menu->items[i].name, name) == 0) {
      return &menu->items[i];
    }
  }
  return nullptr;
}

// The printer code of the item whose value is `value`, else of the default item.
const char* chosen_printer_code(const SclistNode& list, const char* value) {
  if (!list.items) return nullptr;
  if (value) {
    for (int32_t i = 0; i < list.no_of_items; ++i) {
      if (equals(list.items[i].value, value)) return list.items[i].printer_code;
    }
  }
  if (list.default_item < 0 || list.default_item >= list.no_of_items) return nullptr;
  return list.items[list.default_item].printer_code;
}

std::string sclist_code(std::string_view name, const SclistNode& list, const char* value,
                        const char* title, const char* user, const char* host, CodeState& state) {
  const char* chosen = chosen_printer_code(list, value);
  std::string code = chosen ? chosen : "";
  if (code == PJL_JOBNAME) {
    code += quoted_job_text(title);
    code += LINE_FEED;
  } else if (code == PJL_USERNAME) {
    code += quoted_job_text(user);
    code += LINE_FEED;
  } else if (code == PJL_USERNAME_AND_LJOBINFO && user && host) {
    std::string quoted_user = quoted_job_text(user);
    code = std::string(PJL_USERNAME) + quoted_user + std::string(LINE_FEED) +
           std::string(PJL_LJOBINFO) + quoted_user + std::string(PJL_HOSTID) +
           quoted_job_text(host) + std::string(LINE_FEED);
  }

  // Fixed dependencies between settings; each flag affects the settings listed
  // after the one that sets it.
  if (name == "ps_fax_page") {
    code.clear();
    if (equals(value, "on")) state.fax_page = true;
  }
  if (contains(name, "_color_correction") && equals(value, "manual")) state.manual_color = true;
  if ((contains(name, "_rgb_image") || contains(name, "_rgb_text") ||
       contains(name, "_rgb_graphics") || contains(name, "_cmyk_options")) &&
      !state.manual_color) {
    code.clear();
  }
  if (contains(name, "_manual_balance") && equals(value, "yes")) state.manual_balance = true;
  if ((contains(name, "_balance_cyan") || contains(name, "_balance_magenta") ||
       contains(name, "_balance_yellow") || contains(name, "_balance_black")) &&
      !state.manual_balance) {
    code.clear();
  }
  if (contains(name, "_gray_correction") && equals(value, "no")) state.gray_correction = false;
  if (contains(name, "_brightness") && !state.gray_correction) code.clear();
  return code;
}

std::string string_code(std::string_view name, const char* value, const char* user,
                        const CodeState& state) {
  if (name == "ps_fax_no") {
    if (!state.fax_page) return "";
    return std::string(PJL_LFAX) + '"' + literal_job_text(value ? value : "", false) + '"' +
           std::string(PJL_STATIONID) + quoted_job_text(user) + std::string(LINE_FEED);
  }
  if (name == "forms_style_name") return value ? value : "";
  return "";
}

const char* pdd_code(const PddNode& node, int code_kind) {
  switch (code_kind) {
    case CODE_DS_INIT_STRING:
      return node.ds_init_string;
    case CODE_INIT_SEQUENCE:
      return node.init_sequence;
    case CODE_BANNER_INIT_SEQUENCE:
      return node.banner_init_sequence;
    case CODE_DS_END_STRING:
      return node.ds_end_string;
    case CODE_STRING1:
      return node.string1;
    case CODE_STRING2:
      return node.string2;
    case CODE_STRING3:
      return node.string3;
    default:
      return nullptr;
  }
}

// The pieces of `list` between separators, empty pieces left out.
std::vector<std::string> split_tags(const std::string& list, char separator) {
  std::vector<std::string> tags;
  size_t from = 0;
  while (from <= list.size()) {
    size_t end = list.find(separator, from);
    if (end == std::string::npos) end = list.size();
    if (end > from) tags.push_back(list.substr(from, end - from));
    from = end + 1;
  }
  return tags;
}

}  // namespace

CodeState& code_state() {
  static CodeState state;
  return state;
}

std::string get_code_string(const char* name, const char* value, const NodePtr* top_menu,
                            int code_kind, const char* title, const char* user, const char* host,
                            CodeState& state) {
  const NodePtr* item = find_item(top_menu, name);
  if (!item || !item->node) return "";
  std::string_view node_name = name;
  std::string code;
  bool number_as_byte = false;
  switch (item->kind) {
    case NodeKind::SCLIST:
      code = sclist_code(node_name, *static_cast<const SclistNode*>(item->node), value, title, user,
                         host, state);
      break;
    case NodeKind::STRING:
      code = string_code(node_name, value, user, state);
      break;
    case NodeKind::NUMBER: {
      const auto* number = static_cast<const NumberNode*>(item->node);
      if (number->printer_code) code = number->printer_code;
      number_as_byte = number->number_type == 1;
      break;
    }
    case NodeKind::PDD: {
      const char* field = pdd_code(*static_cast<const PddNode*>(item->node), code_kind);
      if (field) code = field;
      break;
    }
    case NodeKind::DDD: {
      const auto* device = static_cast<const DddNode*>(item->node);
      if (code_kind == CODE_TRANSPORT && device->transport) code = device->transport;
      break;
    }
    default:
      break;
  }
  if (code == NO_CODE) return "";
  expand_expressions(code, number_as_byte, state.expr);
  return code;
}

std::string get_converted_strings(const std::string& list, const NodePtr* top_menu, char separator,
                                  const char* title, const char* user, const char* host,
                                  CodeState& state) {
  if (list.empty()) return "";
  std::vector<std::string> tags = split_tags(list, separator);
  DebugTrace& trace = debug_trace();
  std::string result;
  for (const std::string& tag : tags) {
    // A copy: expansion reads the table while the value is in use.
    std::string value = get_definition(tag);
    if (!value.empty()) {
      result += get_code_string(tag.c_str(), value.c_str(), top_menu, CODE_INIT_SEQUENCE, title,
                                user, host, state);
    }
    trace.print(DEBUG_LISTING, "%s\t%s\n", tag.c_str(), result.c_str());
  }
  // Reported after the loop, as the listing has always shown it.
  trace.print(DEBUG_LISTING, "get_converted_strings called with: (%s, ntp, %c)\n",
              tags.empty() ? "" : tags.front().c_str(), separator);
  trace.print(DEBUG_LISTING, "\tget_converted_strings is returning: (%s)\n", result.c_str());
  return result;
}

std::string remove_string_separator(const std::string& text, char separator) {
  DebugTrace& trace = debug_trace();
  trace.print(DEBUG_LISTING, "The get_converted_strings (%s, ntp, %c)\n", text.c_str(), separator);
  trace.print(DEBUG_LISTING, "remove_string_separator() called with: (%s,%c)\n", text.c_str(),
              separator);
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (c != separator) result += c;
  }
  trace.print(DEBUG_LISTING, "\tremove_string_separator() is returning: (%s)\n", result.c_str());
  return result;
}

void decode_byte_escapes(std::string_view codes, size_t chunk_limit, std::string& out) {
  // The longest escape, "${255}", has six characters and a "$" only at its start.
  constexpr size_t LONGEST_ESCAPE = 6;
  chunk_limit = std::max(chunk_limit, 2 * LONGEST_ESCAPE);
  while (codes.size() > chunk_limit) {
    size_t cut = chunk_limit;
    // An escape that would straddle the cut starts in its last five characters;
    // cut in front of it instead.
    size_t dollar = codes.find('$', cut - (LONGEST_ESCAPE - 1));
    if (dollar < cut) cut = dollar;
    scan_byte_escapes(codes.substr(0, cut), out);
    codes.remove_prefix(cut);
  }
  scan_byte_escapes(codes, out);
}

std::string decode_codes(std::string_view codes) {
  std::string out;
  out.reserve(codes.size());
  decode_byte_escapes(codes, SCANNER_CHUNK, out);
  return out;
}

int write_codes(std::string_view codes, int fd) {
  std::string bytes = decode_codes(codes);
  return write_all(fd, bytes) ? 0 : -1;
}
