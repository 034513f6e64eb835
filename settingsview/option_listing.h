// The listing of a queue's options: for each data stream of the queue a section
// with its job and banner options, each with its choices, range and default.
#pragma once

#include <string>

#include "pdd/node.h"

struct ListingOptions {
  bool job = true;            // the job section of each data stream
  bool banner = false;        // the banner section, after the job section
  bool long_format = false;   // every choice on a line of its own
  bool colon_format = false;  // name=choice:choice, for scripts
  int width = 79;             // columns; below 26 every choice gets its own line
  // The queue's data stream list (the VQD's ds_list); nullptr lists every data
  // stream that has a section title.
  const std::string* data_streams = nullptr;
};

// Appends to `out` the sections of every listed data stream among the items of
// `top`, in the order of the items.
void list_options(const MenuNode& top, const ListingOptions& options, std::string& out);

// Appends to `out` every item of `top` named `tag` as an option line, then the
// blank line that ends an option (also when no item has that name).
void list_option(const MenuNode& top, const std::string& tag, const ListingOptions& options,
                 std::string& out);

// The name an option is shown by: its tag without the data stream prefix (the
// text after the first "_"); a tag without "_" is shown whole.
std::string display_name(const std::string& tag);
