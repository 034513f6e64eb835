// Keeps the PDD library's own messages (creation checks, allocation warnings, the
// reader's complaints) out of pddtool's output, so that the tool can report them in
// its own one-line form or leave them out.
#pragma once

#include <string>

#include "common/unique_fd.h"
#include "pdd/read_nodes.h"

namespace pddtool {

// While it lives, what the library writes through pdd_message goes into a pipe
// instead of the library's output descriptor; text() ends the capture and gives it.
// The library's messages are a few short lines, far below a pipe's capacity.
class LibraryMessages {
 public:
  LibraryMessages();
  ~LibraryMessages();
  LibraryMessages(const LibraryMessages&) = delete;
  LibraryMessages& operator=(const LibraryMessages&) = delete;

  std::string text();

 private:
  void restore();

  UniqueFd read_end_;
  UniqueFd write_end_;
  int saved_ = -1;
  bool active_ = false;
};

// read_pdd with everything the reader and the library would print (on standard
// output or standard error) discarded: a damaged file is judged by its caller.
PddHandle read_pdd_quietly(const std::string& path);

}  // namespace pddtool
