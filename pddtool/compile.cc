// The compiler and the decompiler of PDD sources.
#include "pddtool/compile.h"

#include <map>
#include <set>

#include "common/format.h"
#include "pdd/read_nodes.h"
#include "pddtool/pdd_scan.h"
#include "pddtool/source_writer.h"

namespace pddtool {

namespace {

// A tag as the reader compares it: up to its first zero byte.
std::string c_text(const std::string& text) { return text.substr(0, text.find('\0')); }

// A message as a sentence of a comment, ending with one period.
std::string sentence(const std::string& message) {
  return !message.empty() && message.back() == '.' ? message : message + ".";
}

}  // namespace

bool compile_source(std::string_view text, std::string* bytes, std::vector<Diagnostic>* errors) {
  std::vector<SourceRecord> records;
  if (!parse_source(text, &records, errors)) return false;
  std::string out;
  std::vector<size_t> starts;
  for (const SourceRecord& record : records) {
    starts.push_back(out.size());
    out += encode_record(record.record);
  }
  starts.push_back(out.size());
  if (out.size() > static_cast<uint64_t>(PDD_MAX_FILE_SIZE)) {
    errors->push_back({{},
                       strprintf("the compiled PDD would hold %zu bytes, more than the %lld "
                                 "the reader reads",
                                 out.size(), static_cast<long long>(PDD_MAX_FILE_SIZE))});
    return false;
  }

  // Read the output back as the reader will, record by record.
  const std::vector<ScannedRecord> scanned = scan_pdd(out);
  std::map<std::string, int> taken;  // the tags of the nodes kept, with their source line
  size_t s = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    const SourceRecord& record = records[i];
    const size_t start = starts[i];
    const size_t end = starts[i + 1];
    if (std::holds_alternative<RawEntry>(record.record)) {
      for (; s < scanned.size() && scanned[s].end <= end; ++s) {
        if (scanned[s].kept) taken.emplace(c_text(scanned[s].tag), record.at.line);
      }
      if (s < scanned.size() && scanned[s].start < end) {
        errors->push_back(
            {record.at, strprintf("the reader takes these raw bytes together with the %zu bytes "
                                  "after them as one record, starting %zu bytes into them",
                                  scanned[s].end - end, scanned[s].start - start)});
        return false;
      }
      continue;
    }
    if (s >= scanned.size() || scanned[s].start != start || scanned[s].end != end) {
      // The checks of parse_source keep every typed record readable on its own.
      errors->push_back({record.at, "the reader would not read this record as written"});
      return false;
    }
    const ScannedRecord& read = scanned[s++];
    if (std::holds_alternative<SkipEntry>(record.record)) continue;
    if (!read.kept) {
      errors->push_back({locate(record, read.problem), read.problem.message});
      continue;
    }
    auto [earlier, first] = taken.emplace(c_text(read.tag), record.at.line);
    if (!first) {
      errors->push_back(
          {locate(record, {"", "tag"}), strprintf("the tag '%s' is taken by the node at line %d",
                                                  read.tag.c_str(), earlier->second)});
    }
  }
  if (!errors->empty()) return false;
  *bytes = std::move(out);
  return true;
}

bool decompile_pdd(std::string_view bytes, const std::string& header, std::string* source,
                   std::string* err) {
  if (bytes.size() > static_cast<uint64_t>(PDD_MAX_FILE_SIZE)) {
    *err = strprintf("%zu bytes, more than the %lld the reader reads", bytes.size(),
                     static_cast<long long>(PDD_MAX_FILE_SIZE));
    return false;
  }
  std::set<std::string> taken;
  std::vector<WrittenRecord> written;
  for (const ScannedRecord& read : scan_pdd(bytes)) {
    RawEntry raw{std::string(bytes.substr(read.start, read.end - read.start))};
    if (read.record && std::holds_alternative<SkipEntry>(*read.record)) {
      written.push_back({*read.record, ""});
      continue;
    }
    if (!read.kept) {
      written.push_back(
          {raw, "The reader leaves these bytes out: " + sentence(read.problem.message)});
      continue;
    }
    bool repeated = !taken.insert(c_text(read.tag)).second;
    std::vector<Problem> problems = check_record(*read.record);
    if (!repeated && problems.empty()) {
      written.push_back({*read.record, ""});
      continue;
    }
    std::string why = repeated ? "its tag is taken by an earlier node" : problems.front().message;
    written.push_back(
        {raw, "The reader keeps the node '" + c_text(read.tag) +
                  "' of these bytes, which compile only as raw bytes: " + sentence(why)});
  }
  *source = write_source(written, header);
  return true;
}

}  // namespace pddtool
