// Encoder of compiled PDD files, the inverse of read_pdd (format in read_nodes.h).
// Builds files for tests and for the sample tree, including broken ones: the typed
// add() calls write well-formed records, the raw_* calls write any bytes at all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pddfile {

// Strings are written as given; one holding "$$$" or a zero byte makes a file the
// reader splits differently.
struct StringRecord {
  std::string title, tag, description, help, next_ptr, default_string, exclude_set, include_set,
      validation_function, p_code;
  int32_t valid_type = 0;
  int32_t max_length = 0;
};
struct SclistItemRecord {
  std::string label, description, value, printer_code, next_ptr;
};
struct SclistRecord {
  std::string label, tag, description, help;
  int32_t default_item = 0;
  std::vector<SclistItemRecord> items;
};
struct NumberRecord {
  std::string title, tag, description, help, next_ptr, printer_code, validation_function;
  int32_t default_number = 0, decimal_places = 0, min_range = 0, max_range = 0, number_type = 0;
};
struct MenuRecord {
  std::string label, tag, prompt, help, next_ptr;
  std::vector<std::string> items;  // tags of earlier nodes
};
struct PddRecord {
  std::string tag, init_sequence, banner_init_sequence, ds_init_string, ds_end_string, string1,
      string2, string3;
  int32_t special_char1 = 0, special_char2 = 0, special_char3 = 0;
};
struct DddRecord {
  std::string tag, transport;
};

class PddWriter {
 public:
  PddWriter& add(const StringRecord& record);
  PddWriter& add(const SclistRecord& record);
  PddWriter& add(const NumberRecord& record);
  PddWriter& add(const MenuRecord& record);
  PddWriter& add(const PddRecord& record);
  PddWriter& add(const DddRecord& record);

  // Low-level pieces for broken files.
  PddWriter& raw_int(int32_t value);                                     // 4 bytes, little-endian
  PddWriter& raw_string_block(const std::vector<std::string>& strings);  // correct lengths
  PddWriter& raw_bytes(std::string_view bytes);

  const std::string& bytes() const { return bytes_; }
  // Writes the bytes to `path` (created or truncated, mode 0644). False on any I/O
  // error.
  bool save(const std::string& path) const;

 private:
  std::string bytes_;
};

// A string block holding `strings`: its two counts, then each string followed by
// "$$$".
std::string string_block(const std::vector<std::string>& strings);

}  // namespace pddfile
