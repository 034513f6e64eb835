// Reader of compiled PDD files: turns the node records of a file into the node
// graph of pdd/node.h under a synthesized top menu that owns every node.
//
// File format
// -----------
// No header, no count, no trailer: the file is a plain sequence of node records.
// Integers are 32-bit two's complement, little-endian. Texts are 8-bit characters,
// never converted.
//
// String block (inside every record):
//
//   offset  size                field
//   0       4                   total_strings_len: number of data bytes that follow
//   4       4                   no_of_strings: number of strings in the data
//   8       total_strings_len   the strings, each followed by the terminator "$$$"
//
// An empty string is the terminator alone; a string holds neither "$$$" nor a zero
// byte. Bytes after the last terminator, up to total_strings_len, are ignored. So
// no_of_strings 2 with the seven data bytes "a$$$$$$" holds "a" and "".
//
// Node record: a type code (int) and a body that depends on it. These file codes
// (PddFileCode below) differ from the in-memory NodeKind values.
//
//   code  node    body, in order
//   1     STRING  block of 10 strings: title, tag, description, help, next_ptr,
//                 default, exclude set, include set, validation function, p_code;
//                 then valid_type (int), max_length (int)
//   2     SCLIST  block of 4 strings: label, tag, description, help; then
//                 default_item (int), no_of_items (int); then no_of_items item
//                 records, each the code 5 (int) and a block of 5 strings: label,
//                 description, value, printer code, next_ptr
//   3     NUMBER  block of 7 strings: title, tag, description, help, next_ptr,
//                 printer code, validation function; then five ints: default,
//                 decimal places, minimum, maximum, number type
//   4     MENU    block of 5 strings: label, tag, prompt, help, next_ptr; then
//                 no_of_items (int); then a second block whose first no_of_items
//                 strings are the tags of the menu's items (its own no_of_strings is
//                 not used). Every item is a node that appears earlier in the file.
//   6     DDD     block of 2 strings: tag, transport
//   7     PDD     block of 8 strings: tag, init_sequence, banner_init_sequence,
//                 ds_init_string, ds_end_string, string1, string2, string3; then
//                 special_char1, special_char2, special_char3 (ints)
//   other         no body: the code alone is skipped (5 included)
//
// A node is known by the tag string of a STRING, SCLIST, NUMBER or MENU record and
// by the first string of a PDD or DDD record.
//
// Example: a DDD record with tag d1 and transport network is
//   06 00 00 00  0F 00 00 00  02 00 00 00  "d1$$$network$$$"
//
// Reading
// -------
// The file must be a regular file; it is opened without blocking (so that a FIFO
// cannot hold the reader) and read whole, up to the size it has when opened, in one
// read, then parsed from memory. Fewer than 4 bytes where a type code belongs is
// the normal end of the file. Inside a record, any of the following fails that node: a short read;
// a creation check of pdd/createmem.h; an SCLIST item code other than 5; a MENU item tag not found
// among the nodes read so far. A failed node is left out and reading goes on at the current file
// position. A short read of any integer inside a record (block headers and SCLIST item codes
// included) prints "manage_binary: read_int(): \nread failed on:  %d" on standard error with the
// file offset at which the integer was expected.
//
// Limits (files beyond them lie outside the format; none of them is ever written
// past):
// - a file larger than PDD_MAX_FILE_SIZE is not read at all: no PDD;
// - a count or length that cannot fit in the rest of the file fails its node at
//   once, before anything is allocated for it: a negative or oversized
//   total_strings_len, a negative no_of_strings or one whose strings (at least 3
//   bytes each) cannot fit in the rest of the file, an SCLIST no_of_items whose
//   item records (at least 12 bytes each) do not fit, a MENU no_of_items whose
//   second block cannot fit. Reading goes on right after the count, so the data
//   behind it is taken for further records;
// - a block that the file can hold is read whole first; then a block holding
//   fewer strings than its record needs, more than PDD_BLOCK_STRING_LIMIT strings
//   (which also bounds a MENU's no_of_items), or a string without its terminator
//   fails its node, and reading goes on with the next record;
// - a STRING max_length above PDD_MAX_STRING_LENGTH fails its node, so that a
//   corrupt length never makes the library clear gigabytes for the value buffers;
// - at most PDD_NODE_TABLE_SIZE nodes are kept: further records are still read
//   (to stay in step with the file) and then dropped.
#pragma once

#include <cstdint>
#include <memory>

#include "pdd/createmem.h"
#include "pdd/node.h"

// Type codes of the node records in a compiled file.
enum PddFileCode : int32_t {
  PDD_FILE_STRING = 1,
  PDD_FILE_SCLIST = 2,
  PDD_FILE_NUMBER = 3,
  PDD_FILE_MENU = 4,
  PDD_FILE_SCLIST_ITEM = 5,
  PDD_FILE_DDD = 6,
  PDD_FILE_PDD = 7,
};

inline constexpr int PDD_NODE_TABLE_SIZE = 200;
inline constexpr int PDD_BLOCK_STRING_LIMIT = 100;
inline constexpr int32_t PDD_MAX_STRING_LENGTH = 65536;
inline constexpr int64_t PDD_MAX_FILE_SIZE = int64_t{64} << 20;

// Reads the compiled PDD at `path`. Gives the top menu: a reference named
// TOP_MENU_NAME of kind MENU whose items are the nodes read, in file order, and
// which owns them all (release it with free_pdd). Gives nullptr when the file cannot
// be opened or is not a regular file (after "ERROR !! \n", "An error has occurred
// while trying to read : %s\n" and "Can't open [ %s ] for reading.\n" on standard
// error), when it is larger than PDD_MAX_FILE_SIZE or a read fails (without a
// message, as the callers report a corrupt file), or when the top menu cannot be
// built (after freeing every node read). With debug level 4 the
// reading is traced to the debug file and every menu read is dumped.
NodePtr* read_pdd(const char* path);

// Owns a PDD as read_pdd returns it.
struct PddDeleter {
  void operator()(NodePtr* p) const { free_pdd(p); }
};
using PddHandle = std::unique_ptr<NodePtr, PddDeleter>;

// The callers' acceptance test of a read_pdd result: present, of kind MENU, named
// exactly TOP_MENU_NAME and with a menu node.
bool is_valid_top_menu(const NodePtr* ref);
