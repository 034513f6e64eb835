// Discovery's own MIB tree: loading and writing the compiled MIB file, and the
// conversion between object names and numeric object identifiers.
#include "hostsweep/mib_tree.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <new>

#include "common/format.h"
#include "common/io.h"
#include "common/paths.h"
#include "common/unique_fd.h"

namespace {

constexpr size_t kFixedRecordSize = 3 + MIB_LABEL_FIELD_SIZE + 4 + 2 + 2;  // up to the text
constexpr size_t kMaxLabelLength = MIB_LABEL_FIELD_SIZE - 1;
constexpr size_t kMaxTextLength = 0xffff;
constexpr uint64_t kMaxSubid = 0xffffffffu;

bool known_syntax(uint16_t value) {
  return value >= static_cast<uint16_t>(MibSyntax::OBJECT_IDENTIFIER) &&
         value <= static_cast<uint16_t>(MibSyntax::UINTEGER32);
}

std::string load_failure_text(MibLoadStatus status, const std::string& path) {
  switch (status) {
    case MibLoadStatus::LOADED:
      return "";
    case MibLoadStatus::NOT_FOUND:
      return strprintf("Couldn't find %s file\n", path.c_str());
    case MibLoadStatus::CORRUPT:
    case MibLoadStatus::NO_MEMORY:
      return "Malloc1 Failed\n";
    case MibLoadStatus::NO_MEMORY_DESCRIPTION:
      return "malloc Failed here\n";
  }
  return "";
}

// Reads records from memory; every read is checked against the bytes left.
class RecordReader {
 public:
  explicit RecordReader(std::string_view data) : data_(data) {}

  // Reads the record at the current position and its siblings, with their
  // subtrees, as children of `parent`, which lies `depth` levels deep.
  MibLoadStatus read_siblings(MibNode* parent, int depth) {
    if (depth >= MIB_MAX_DEPTH) return MibLoadStatus::CORRUPT;
    for (;;) {
      uint8_t has_child = 0, has_sibling = 0;
      MibNode* node = nullptr;
      MibLoadStatus status = read_record(parent, &node, &has_child, &has_sibling);
      if (status != MibLoadStatus::LOADED) return status;
      if (has_child) {
        status = read_siblings(node, depth + 1);
        if (status != MibLoadStatus::LOADED) return status;
      }
      if (!has_sibling) return MibLoadStatus::LOADED;
    }
  }

  bool at_end() const { return pos_ == data_.size(); }

 private:
  MibLoadStatus read_record(MibNode* parent, MibNode** node, uint8_t* has_child,
                            uint8_t* has_sibling) {
    if (left() < kFixedRecordSize) return MibLoadStatus::CORRUPT;
    *has_child = byte();
    *has_sibling = byte();
    byte();  // reserved
    std::string_view label_field = take(MIB_LABEL_FIELD_SIZE);
    size_t label_length = label_field.find('\0');
    if (label_length == std::string_view::npos) return MibLoadStatus::CORRUPT;
    uint32_t subid = u32();
    uint16_t syntax = u16();
    uint16_t description_length = u16();
    if (left() < size_t{description_length} + 1) return MibLoadStatus::CORRUPT;
    try {
      *node = &parent->children.emplace_back();
      (*node)->label.assign(label_field.substr(0, label_length));
    } catch (const std::bad_alloc&) {
      return MibLoadStatus::NO_MEMORY;
    }
    (*node)->subid = subid;
    (*node)->syntax = known_syntax(syntax) ? static_cast<MibSyntax>(syntax) : MibSyntax::NONE;
    try {
      (*node)->description.assign(take(description_length));
    } catch (const std::bad_alloc&) {
      return MibLoadStatus::NO_MEMORY_DESCRIPTION;
    }
    if (byte() != 1) return MibLoadStatus::LOADED;
    return read_enums(*node);
  }

  MibLoadStatus read_enums(MibNode* node) {
    for (;;) {
      if (left() < 5) return MibLoadStatus::CORRUPT;
      uint8_t more = byte();
      auto value = static_cast<int16_t>(u16());
      uint16_t label_length = u16();
      if (left() < label_length) return MibLoadStatus::CORRUPT;
      try {
        node->enums.push_back(MibEnum{value, std::string(take(label_length))});
      } catch (const std::bad_alloc&) {
        return MibLoadStatus::NO_MEMORY;
      }
      if (more != 1) return MibLoadStatus::LOADED;
    }
  }

  size_t left() const { return data_.size() - pos_; }
  // The callers have checked that the bytes are there.
  std::string_view take(size_t n) {
    std::string_view bytes = data_.substr(pos_, n);
    pos_ += n;
    return bytes;
  }
  uint8_t byte() { return static_cast<uint8_t>(data_[pos_++]); }
  uint16_t u16() {
    uint16_t high = byte();
    return static_cast<uint16_t>(high << 8 | byte());
  }
  uint32_t u32() {
    uint32_t high = u16();
    return high << 16 | u16();
  }

  std::string_view data_;
  size_t pos_ = 0;
};

// Reads the whole regular file behind `fd`, at most MIB_MAX_FILE_SIZE bytes.
MibLoadStatus read_whole_file(int fd, std::string* file) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return MibLoadStatus::NOT_FOUND;
  if (st.st_size > MIB_MAX_FILE_SIZE) return MibLoadStatus::CORRUPT;
  // One byte more than the size, so that a file that grew since fstat shows up.
  file->resize(static_cast<size_t>(st.st_size) + 1);
  size_t done = 0;
  while (done < file->size()) {
    ssize_t n = read_retry(fd, file->data() + done, file->size() - done);
    if (n < 0) return MibLoadStatus::NOT_FOUND;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  if (done > static_cast<size_t>(MIB_MAX_FILE_SIZE)) return MibLoadStatus::CORRUPT;
  file->resize(done);
  return MibLoadStatus::LOADED;
}

bool all_digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void put_u16(std::string* out, uint16_t value) {
  out->push_back(static_cast<char>(value >> 8));
  out->push_back(static_cast<char>(value & 0xff));
}

void put_u32(std::string* out, uint32_t value) {
  put_u16(out, static_cast<uint16_t>(value >> 16));
  put_u16(out, static_cast<uint16_t>(value & 0xffff));
}

void put_text(std::string* out, std::string_view text) {
  text = text.substr(0, kMaxTextLength);
  put_u16(out, static_cast<uint16_t>(text.size()));
  out->append(text);
}

// Writes `nodes` as a chain of siblings, each followed by its subtree.
void encode_siblings(const std::vector<MibNode>& nodes, std::string* out) {
  for (size_t i = 0; i < nodes.size(); ++i) {
    const MibNode& node = nodes[i];
    out->push_back(node.children.empty() ? 0 : 1);
    out->push_back(i + 1 < nodes.size() ? 1 : 0);
    out->push_back(0);
    std::string label = node.label.substr(0, kMaxLabelLength);
    label.resize(MIB_LABEL_FIELD_SIZE, '\0');
    out->append(label);
    put_u32(out, node.subid);
    put_u16(out, static_cast<uint16_t>(node.syntax));
    put_text(out, node.description);
    out->push_back(node.enums.empty() ? 0 : 1);
    for (size_t e = 0; e < node.enums.size(); ++e) {
      out->push_back(e + 1 < node.enums.size() ? 1 : 0);
      put_u16(out, static_cast<uint16_t>(node.enums[e].value));
      put_text(out, node.enums[e].label);
    }
    encode_siblings(node.children, out);
  }
}

}  // namespace

const MibNode* MibNode::child(uint32_t number) const {
  for (const MibNode& c : children) {
    if (c.subid == number) return &c;
  }
  return nullptr;
}

const MibNode* MibNode::child(std::string_view name) const {
  for (const MibNode& c : children) {
    if (c.label == name) return &c;
  }
  return nullptr;
}

MibLoadStatus MibTree::load_file(const std::string& path, std::string* err) {
  // Without O_NONBLOCK a FIFO without a writer would hold the open for ever.
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  std::string file;
  MibLoadStatus status = fd.valid() ? read_whole_file(fd.get(), &file) : MibLoadStatus::NOT_FOUND;
  fd.reset();
  if (status == MibLoadStatus::LOADED) return load_bytes(file, err);
  *err = load_failure_text(status, path);
  return status;
}

MibLoadStatus MibTree::load_bytes(std::string_view bytes, std::string* err) {
  MibNode root;
  RecordReader reader(bytes);
  MibLoadStatus status = reader.read_siblings(&root, 0);
  if (status == MibLoadStatus::LOADED && !reader.at_end()) status = MibLoadStatus::CORRUPT;
  if (status != MibLoadStatus::LOADED) {
    *err = load_failure_text(status, "");
    return status;
  }
  root_ = std::move(root);
  loaded_ = true;
  return status;
}

bool MibTree::name_to_oid(std::string_view name, std::string_view prefix, std::vector<oid>* out,
                          std::string* err) const {
  if (!loaded_) {
    *err = "Mib not initialized.  Exiting.\n";
    return false;
  }
  std::string full;
  if (name.empty() || name.front() != '.') {
    full.assign(prefix);
    full.append(name);
    name = full;
  }
  if (!name.empty() && name.front() == '.') name.remove_prefix(1);
  std::vector<oid> result;
  const MibNode* node = &root_;  // nullptr once the name has left the tree
  for (;;) {
    size_t dot = name.find('.');
    std::string_view part = name.substr(0, dot);
    const MibNode* next = nullptr;
    uint64_t number = 0;
    if (all_digits(part)) {
      auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), number);
      if (ec != std::errc() || number > kMaxSubid) {
        *err = strprintf("sub-identifier too large: %.*s\n", static_cast<int>(part.size()),
                         part.data());
        return false;
      }
      if (node) next = node->child(static_cast<uint32_t>(number));
    } else {
      next = node ? node->child(part) : nullptr;
      if (!next) {
        *err = strprintf("sub-identifier not found: %.*s\n", static_cast<int>(part.size()),
                         part.data());
        return false;
      }
      number = next->subid;
    }
    if (result.size() == MIB_MAX_OID_LENGTH) {
      *err = "object identifier too long\n";
      return false;
    }
    result.push_back(static_cast<oid>(number));
    node = next;
    if (dot == std::string_view::npos) break;
    name.remove_prefix(dot + 1);
  }
  *out = std::move(result);
  return true;
}

const MibNode* MibTree::deepest_node(std::span<const oid> name) const {
  const MibNode* node = nullptr;
  const MibNode* at = &root_;
  for (oid number : name) {
    if (number > kMaxSubid) break;
    at = at->child(static_cast<uint32_t>(number));
    if (!at) break;
    node = at;
  }
  return node;
}

MibSyntax MibTree::syntax_of(std::span<const oid> name) const {
  const MibNode* node = deepest_node(name);
  return node ? node->syntax : MibSyntax::NONE;
}

std::string MibTree::oid_to_name(std::span<const oid> name) const {
  std::string text;
  const MibNode* at = &root_;
  for (oid number : name) {
    at = at && number <= kMaxSubid ? at->child(static_cast<uint32_t>(number)) : nullptr;
    text += '.';
    text += at && !at->label.empty() ? at->label : std::to_string(number);
  }
  return text;
}

MibLoadStatus load_mib(MibTree* tree, std::string* err) {
  return tree->load_file(paths::compiled_mib(), err);
}

std::string name_prefix(const char* value) {
  if (!value) return MIB_DEFAULT_PREFIX;
  std::string prefix = value;
  if (prefix.empty() || prefix.back() != '.') prefix += '.';
  return prefix;
}

std::string name_prefix_from_environment() { return name_prefix(std::getenv("PREFIX")); }

std::string encode_mib(const MibNode& root) {
  std::string out;
  encode_siblings(root.children, &out);
  return out;
}
