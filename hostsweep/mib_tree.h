// Discovery's own MIB tree: the compiled MIB file (hsweep.cmib) loaded into memory,
// and the conversion between object names and numeric object identifiers.
//
// Compiled MIB file format
// ------------------------
// No header and no trailer: the file is the record of the root node. Integers are
// unsigned and big-endian. Every record is followed, in this order, by its
// enumeration list (when it has one), its first child's record (when it has
// children) and its next sibling's record (when it has one); so a node's whole
// subtree lies between its record and its next sibling's record.
//
// Node record (76 bytes, then the description):
//
//   offset  size  field
//   0       1     has child: non-zero when a child record follows
//   1       1     has sibling: non-zero when a sibling record follows (after the
//                 whole child subtree)
//   2       1     reserved, ignored
//   3       64    label: the node's name, padded with zero bytes; at least one
//                 zero byte ends it (so a label holds at most 63 characters)
//   67      4     sub-identifier: the node's number under its parent
//   71      2     syntax: a MibSyntax value; any other value means none
//   73      2     description length n
//   75      n     description text, without terminator
//   75+n    1     has enumerations: 1 when an enumeration list follows; any other
//                 value means none
//
// Enumeration entry (an enumeration list is one or more of them):
//
//   0       1     more: 1 when another entry follows; any other value ends the list
//   1       2     value, 16-bit two's complement
//   3       2     label length m
//   5       m     label
//
// The files written by the suite's compiler (hostsweep/mib_compiler.h) have the
// node iso(1) as root record, without siblings. The format allows siblings of the
// root; they are loaded as further top-level nodes.
//
// Example: iso(1) with its one child org(3), neither with syntax, description or
// enumerations, is 152 bytes:
//   01 00 00  "iso" and 61 zero bytes  00 00 00 01  00 00  00 00  00
//   00 00 00  "org" and 61 zero bytes  00 00 00 03  00 00  00 00  00
// An INTEGER node with the enumerations up(1) and down(2) ends its record with
//   ... 00 03  00 00  01   01 00 01 00 02 "up"   00 00 02 00 04 "down"
//
// Loading
// -------
// The file must be a regular file of at most MIB_MAX_FILE_SIZE bytes; it is opened
// without blocking (a FIFO cannot hold the loader) and read whole before parsing.
// Every length is checked against the bytes left before anything is allocated, so
// a truncated or corrupt file is refused without reading past its end. A file is
// refused as corrupt when a record or entry is cut short, a label has no zero byte,
// a record lies deeper than MIB_MAX_DEPTH levels (no object identifier could name
// it), or bytes follow the root record's last sibling. A refused file leaves the
// tree as it was.
#pragma once

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/types.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The syntax of a node, as the file stores it. NONE: the node has none (its values
// are printed by their own type).
enum class MibSyntax : uint16_t {
  NONE = 0,
  OBJECT_IDENTIFIER = 1,
  OCTET_STRING = 2,
  INTEGER = 3,
  NETWORK_ADDRESS = 4,
  IP_ADDRESS = 5,
  COUNTER = 6,
  GAUGE = 7,
  TIME_TICKS = 8,
  OPAQUE = 9,
  NULL_VALUE = 10,
  COUNTER64 = 11,
  BIT_STRING = 12,
  NSAP_ADDRESS = 13,
  UINTEGER32 = 14,
};

struct MibEnum {
  int16_t value = 0;
  std::string label;

  bool operator==(const MibEnum&) const = default;
};

struct MibNode {
  std::string label;
  uint32_t subid = 0;
  MibSyntax syntax = MibSyntax::NONE;
  std::string description;
  std::vector<MibEnum> enums;
  std::vector<MibNode> children;  // in file order

  // The first child with that number or label; nullptr when there is none.
  const MibNode* child(uint32_t number) const;
  const MibNode* child(std::string_view name) const;

  bool operator==(const MibNode&) const = default;
};

inline constexpr int64_t MIB_MAX_FILE_SIZE = int64_t{64} << 20;
inline constexpr int MIB_MAX_DEPTH = 128;
// The most sub-identifiers an object identifier holds.
inline constexpr size_t MIB_MAX_OID_LENGTH = 128;
inline constexpr size_t MIB_LABEL_FIELD_SIZE = 64;
// The prefix of names that do not begin with "." when PREFIX is not set.
inline constexpr const char* MIB_DEFAULT_PREFIX = ".1.3.6.1.2.1.";

// How a load ended. Each failure comes with the exact text the program prints on
// standard error before exiting with the status given here.
enum class MibLoadStatus {
  LOADED,
  NOT_FOUND,              // missing, not a regular file, or unreadable:
                          // "Couldn't find %s file\n" with the path; exit status 2
  CORRUPT,                // truncated or malformed (see above), or larger than
                          // MIB_MAX_FILE_SIZE: "Malloc1 Failed\n"; exit status 1
  NO_MEMORY,              // a record could not be allocated: "Malloc1 Failed\n"; 1
  NO_MEMORY_DESCRIPTION,  // a description could not be allocated:
                          // "malloc Failed here\n"; exit status 1
};

class MibTree {
 public:
  // Loads the compiled MIB file at `path` in place of the tree held so far. On
  // failure gives the message to print in *err and keeps the earlier tree.
  MibLoadStatus load_file(const std::string& path, std::string* err);
  // The same for a file's contents.
  MibLoadStatus load_bytes(std::string_view bytes, std::string* err);

  bool loaded() const { return loaded_; }
  // A synthetic root (label "", number 0) whose children are the file's root
  // record and its siblings. Without children until a file is loaded.
  const MibNode& root() const { return root_; }

  // Converts `name` into its numeric object identifier. The name is a sequence of
  // sub-identifiers, each a label or a decimal number, separated by "."; one that
  // does not begin with "." is taken after `prefix` (see name_prefix). Labels and
  // numbers are looked up among the children of the node reached so far, from the
  // top-level nodes on; a number that names no child is taken as it is, and from
  // there on every sub-identifier must be a number. On failure gives false and in
  // *err the text to print on standard error:
  //   "Mib not initialized.  Exiting.\n"   no file loaded (the program exits 1)
  //   "sub-identifier not found: %s\n"     a label (or an empty sub-identifier) that
  //                                        names no child, with that label
  //   "sub-identifier too large: %s\n"     a number above 4294967295, as written
  //   "object identifier too long\n"       more than MIB_MAX_OID_LENGTH
  //                                        sub-identifiers
  bool name_to_oid(std::string_view name, std::string_view prefix, std::vector<oid>* out,
                   std::string* err) const;

  // The deepest node on the path of `name` (the node itself, or for an instance
  // such as sysDescr.0 the object it belongs to); nullptr when not even the first
  // sub-identifier names a top-level node.
  const MibNode* deepest_node(std::span<const oid> name) const;
  // The syntax of deepest_node(name); NONE when there is none.
  MibSyntax syntax_of(std::span<const oid> name) const;
  // `name` as dotted text for debug dumps: a label for each sub-identifier found in
  // the tree (a node without label gives its number), numbers from the first one
  // not found on. Every sub-identifier is preceded by "."; an empty name gives "".
  // name_to_oid turns the text back into `name`.
  std::string oid_to_name(std::span<const oid> name) const;

 private:
  MibNode root_;
  bool loaded_ = false;
};

// Loads the suite's compiled MIB, paths::compiled_mib(), into `tree`; as
// MibTree::load_file.
MibLoadStatus load_mib(MibTree* tree, std::string* err);

// The prefix of names that do not begin with ".": `value` followed by "." when it
// does not end in one, or MIB_DEFAULT_PREFIX when `value` is null.
std::string name_prefix(const char* value);
// name_prefix of the environment variable PREFIX, read now. The program takes it
// once the MIB is loaded.
std::string name_prefix_from_environment();

// The bytes of a compiled MIB file holding the children of `root` (the first one
// as the file's root record, the others as its siblings) and everything below
// them; "" when `root` has no children. Labels longer than 63 characters are cut
// to 63, descriptions longer than 65535 bytes and enumeration labels longer than
// 65535 bytes are cut to 65535. Used by the compiler, and by tests to build files.
std::string encode_mib(const MibNode& root);
