// Message texts, the log file, the response collection and dispatching.
#include "netfeeder/notify.h"

#include <fcntl.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>

#include "common/format.h"
#include "common/io.h"

void LineList::add(std::string_view line) {
  if (lines_.size() == lines_.capacity()) lines_.reserve(lines_.capacity() + kGrowth);
  lines_.emplace_back(line);
}

std::string LineList::text() const {
  std::string all;
  for (const std::string& line : lines_) all += line;
  return all;
}

std::string time_text(Clock& clock) {
  time_t now = clock.now();
  char buffer[64];
  if (!ctime_r(&now, buffer)) return "";
  std::string text(buffer);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string Notifier::header_line() const {
  if (!settings_.printer_name.empty()) {
    return strprintf("Message from queue: %s [ %s ] ...\n", settings_.printer_name.c_str(),
                     time_text(clock_).c_str());
  }
  return strprintf("Message from printer [ %s ] ...\n", time_text(clock_).c_str());
}

LineList Notifier::ir_notification(std::initializer_list<std::string_view> condition) const {
  LineList lines;
  lines.add(header_line());
  lines.add("Printer intervention required: ");
  lines.add(settings_.host);
  lines.add("\n");
  lines.add("Printer condition:             ");
  for (std::string_view line : condition) lines.add(line);
  return lines;
}

LineList Notifier::condition_notification(std::string_view name) const {
  return ir_notification({name, "\n"});
}

LineList Notifier::lost_connection_notification() const {
  return ir_notification({"Connection to printer was lost.\n"});
}

LineList Notifier::unresolved_notification() const {
  return ir_notification(
      {"Could not resolve ", settings_.host,
       ".\nFlushing print data.  Please correct the problem and submit the job again.\n"});
}

LineList Notifier::unreachable_notification() const {
  LineList lines;
  lines.add(settings_.host);
  lines.add(" is unreachable.\n");
  return lines;
}

void Notifier::write_log(std::string_view text) {
  if (log_.valid()) write_all(log_.get(), text);
}

void Notifier::open_log_and_collection() {
  if (!settings_.log_path.empty()) {
    log_.reset(open(settings_.log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
    if (log_.valid()) {
      std::string text = strprintf("--- %s ---\n", time_text(clock_).c_str());
      for (const char* name : {"printer", "user", "title", "request_id"}) {
        if (const char* value = std::getenv(name)) text += strprintf("%-11s:%s\n", name, value);
      }
      write_log(text);
      trace_.log_fd = log_.get();
    }
  }
  if ((settings_.mail_flags | settings_.write_flags) & DELIVER_RESPONSES) {
    start_collection(true);
    collection_->add(header_line());
    collection_->add("Printer response: \n");
  }
}

void Notifier::start_collection(bool wanted) {
  collection_.reset();
  if (wanted) collection_.emplace();
  collected_bytes_ = 0;
  left_out_bytes_ = 0;
}

void Notifier::collect_response(const std::string& line) {
  if (collected_bytes_ >= RESPONSE_TEXT_LIMIT) {
    left_out_bytes_ += line.size();
    return;
  }
  size_t kept = std::min(line.size(), RESPONSE_TEXT_LIMIT - collected_bytes_);
  collection_->add(std::string_view(line).substr(0, kept));
  collected_bytes_ += kept;
  left_out_bytes_ += line.size() - kept;
}

void Notifier::deliver(int bit_user, int bit_admin, const LineList& lines) {
  if (settings_.write_flags & bit_user) deliver_write(settings_.user, lines);
  if (settings_.write_flags & bit_admin) deliver_write(settings_.admin, lines);
  if (settings_.mail_flags & bit_user) deliver_mail(settings_.user, lines);
  if (settings_.mail_flags & bit_admin) deliver_mail(settings_.admin, lines);
}

void Notifier::dispatch_message(MessageKind kind, const LineList& lines) {
  if (log_.valid()) write_log("Printer responses:\n" + lines.text() + "\n");
  if (settings_.raw && kind == IR_MESSAGE) write_all(2, lines.text());
  if (kind == RESPONSE_MESSAGE && collection_) {
    for (const std::string& line : lines) collect_response(line);
  }
  if (kind == IR_MESSAGE) deliver(DELIVER_IR_USER, DELIVER_IR_ADMIN, lines);
}

void Notifier::finish_responses() {
  if (log_.valid()) {
    write_log(strprintf("--- %s ---\n", time_text(clock_).c_str()));
    log_.reset();
    trace_.log_fd = -1;
  }
  if (collection_) {
    LineList responses = std::move(*collection_);
    if (left_out_bytes_ > 0) {
      // The cut may fall inside a line; the note starts a line of its own.
      const std::string& last = responses[responses.count() - 1];
      std::string note = last.empty() || last.back() == '\n' ? "" : "\n";
      note += strprintf("[%llu more bytes of printer responses left out]\n", left_out_bytes_);
      responses.add(note);
    }
    start_collection(false);
    // Only the two opening lines: the printer said nothing.
    if (responses.count() > 2) deliver(DELIVER_RESPONSE_USER, DELIVER_RESPONSE_ADMIN, responses);
  }
}
