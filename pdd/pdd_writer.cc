// Encoder of compiled PDD files.
#include "pdd/pdd_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include "common/io.h"
#include "pdd/read_nodes.h"

namespace pddfile {

namespace {

void append_int(std::string& out, int32_t value) {
  auto word = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((word >> shift) & 0xff));
  }
}

}  // namespace

std::string string_block(const std::vector<std::string>& strings) {
  std::string data;
  for (const std::string& s : strings) {
    data += s;
    data += "$$$";
  }
  std::string block;
  append_int(block, static_cast<int32_t>(data.size()));
  append_int(block, static_cast<int32_t>(strings.size()));
  return block + data;
}

PddWriter& PddWriter::add(const StringRecord& r) {
  raw_int(PDD_FILE_STRING);
  raw_string_block({r.title, r.tag, r.description, r.help, r.next_ptr, r.default_string,
                    r.exclude_set, r.include_set, r.validation_function, r.p_code});
  raw_int(r.valid_type);
  return raw_int(r.max_length);
}

PddWriter& PddWriter::add(const SclistRecord& r) {
  raw_int(PDD_FILE_SCLIST);
  raw_string_block({r.label, r.tag, r.description, r.help});
  raw_int(r.default_item);
  raw_int(static_cast<int32_t>(r.items.size()));
  for (const SclistItemRecord& item : r.items) {
    raw_int(PDD_FILE_SCLIST_ITEM);
    raw_string_block({item.label, item.description, item.value, item.printer_code, item.next_ptr});
  }
  return *this;
}

PddWriter& PddWriter::add(const NumberRecord& r) {
  raw_int(PDD_FILE_NUMBER);
  raw_string_block(
      {r.title, r.tag, r.description, r.help, r.next_ptr, r.printer_code, r.validation_function});
  for (int32_t value :
       {r.default_number, r.decimal_places, r.min_range, r.max_range, r.number_type}) {
    raw_int(value);
  }
  return *this;
}

PddWriter& PddWriter::add(const MenuRecord& r) {
  raw_int(PDD_FILE_MENU);
  raw_string_block({r.label, r.tag, r.prompt, r.help, r.next_ptr});
  raw_int(static_cast<int32_t>(r.items.size()));
  return raw_string_block(r.items);
}

PddWriter& PddWriter::add(const PddRecord& r) {
  raw_int(PDD_FILE_PDD);
  raw_string_block({r.tag, r.init_sequence, r.banner_init_sequence, r.ds_init_string,
                    r.ds_end_string, r.string1, r.string2, r.string3});
  raw_int(r.special_char1);
  raw_int(r.special_char2);
  return raw_int(r.special_char3);
}

PddWriter& PddWriter::add(const DddRecord& r) {
  raw_int(PDD_FILE_DDD);
  return raw_string_block({r.tag, r.transport});
}

PddWriter& PddWriter::raw_int(int32_t value) {
  append_int(bytes_, value);
  return *this;
}

PddWriter& PddWriter::raw_string_block(const std::vector<std::string>& strings) {
  bytes_ += string_block(strings);
  return *this;
}

PddWriter& PddWriter::raw_bytes(std::string_view bytes) {
  bytes_.append(bytes);
  return *this;
}

bool PddWriter::save(const std::string& path) const {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool written = write_all(fd, bytes_);
  bool closed = close(fd) == 0;
  return written && closed;
}

}  // namespace pddfile
