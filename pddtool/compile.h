// The compiler and the decompiler: a PDD source into the bytes of a compiled PDD,
// and a compiled PDD back into a source that compiles to the same bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pddtool/source_reader.h"

namespace pddtool {

// Compiles the source `text`. Typed records are written as PddWriter::add writes
// them (with their block extras), skip and raw records as given. Then the output is
// read back as read_pdd reads it (pdd_scan.h), and the source is refused unless
// the reader takes every typed record whole and keeps its node, and takes every raw
// record as whole records of its own. The faults, in source order: everything
// parse_source reports; a creation check of the PDD library (its message); a menu
// item that is not a node earlier in the file; a tag taken by an earlier node; a
// node beyond the reader's table; raw bytes whose last record runs on past them;
// an output larger than PDD_MAX_FILE_SIZE. Gives false with `errors` filled.
bool compile_source(std::string_view text, std::string* bytes, std::vector<Diagnostic>* errors);

// The source of a compiled PDD: a typed record for every node the reader keeps and
// the compiler accepts, a skip record for every type code without a body, and raw
// bytes (with a comment that says why) for everything else: records the reader
// leaves out, nodes the compiler refuses (a repeated tag, a zero byte in a text,
// a list default out of range ...) and a last piece too short for a type code.
// `header` becomes the source's first comment. Gives false with *err when `bytes`
// is larger than PDD_MAX_FILE_SIZE, which the reader does not read at all.
bool decompile_pdd(std::string_view bytes, const std::string& header, std::string* source,
                   std::string* err);

}  // namespace pddtool
