// How the strings of a compiled PDD, which may hold any byte, are written in a YAML
// source and read back: UTF-8 text as it is (quoted when YAML needs it, control
// characters escaped), and any other bytes as a !bytes text, where "\xE9" stands
// for the byte E9.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pddtool {

// The tag of a text whose characters are bytes.
inline constexpr std::string_view BYTES_TAG = "!bytes";

// The YAML scalar for `bytes`: plain when that reads back unchanged, else
// single-quoted when every character is printable, else double-quoted with
// escapes; bytes that are not well-formed UTF-8 give a double-quoted !bytes text.
std::string yaml_text(std::string_view bytes);

// A !bytes text as the YAML parser gives it (UTF-8): each character, which must
// be below U+0100, is one byte. False on any other character.
bool bytes_from_text(std::string_view utf8, std::string* bytes);

// The offset of the first byte of `text` that is not part of well-formed UTF-8
// (overlong forms and surrogates included), or npos.
size_t first_invalid_utf8(std::string_view text);

}  // namespace pddtool
