// IR and response notifications: composing the message texts, the log file, the
// response collection, and delivery to a user or administrator by terminal, console
// or mail.
//
// An IR notification is delivered at once; printer responses are collected during the
// job and delivered once at its end. Everything dispatched is also recorded in the
// log file. No delivery failure stops the agent: a missing terminal falls back to
// mail, a missing mail program is logged, a console that cannot be opened is skipped.
// The collection keeps only the first RESPONSE_TEXT_LIMIT bytes of responses, so that
// a talkative printer cannot make the agent grow without end; the log keeps them all.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "common/identity.h"
#include "common/unique_fd.h"
#include "netfeeder/options.h"
#include "netfeeder/trace.h"

enum MessageKind { IR_MESSAGE, RESPONSE_MESSAGE };

// Most bytes of response text collected for one delivery (the two opening lines not
// counted). What is left out is counted and reported at the end of the delivery.
inline constexpr size_t RESPONSE_TEXT_LIMIT = 65536;

// An ordered list of owned text lines. A line carries its own line ends, so one entry
// may hold several text lines or none; lists are delivered entry by entry as stored.
class LineList {
 public:
  static constexpr size_t kGrowth = 500;  // capacity of a new list, and each growth

  void add(std::string_view line);
  size_t count() const { return lines_.size(); }
  const std::string& operator[](size_t i) const { return lines_[i]; }
  auto begin() const { return lines_.begin(); }
  auto end() const { return lines_.end(); }
  // All entries one after the other.
  std::string text() const;

 private:
  std::vector<std::string> lines_;
};

// The ctime text of `clock`'s current time without its newline.
std::string time_text(Clock& clock);

// Terminals and the console are opened and written with the recorded privileged
// identity (`identity`); headers and log records carry the time text of `clock`.
class Notifier {
 public:
  Notifier(const Settings& settings, Trace& trace, const Identity& identity, Clock& clock)
      : settings_(settings), trace_(trace), identity_(identity), clock_(clock) {}

  // "Message from queue: %s [ %s ] ...\n" with a printer name, else
  // "Message from printer [ %s ] ...\n".
  std::string header_line() const;
  // The IR notification for a condition name (ends with the name and a newline).
  LineList condition_notification(std::string_view name) const;
  LineList lost_connection_notification() const;
  LineList unresolved_notification() const;
  LineList unreachable_notification() const;

  // At start-up: opens the log (when -l was given) and creates the response
  // collection (when a response bit is set in the mail or write flags).
  void open_log_and_collection();
  void dispatch_message(MessageKind kind, const LineList& lines);
  // Closes the log and delivers the collected responses; later calls do nothing.
  void finish_responses();
  // Drops the response collection without delivering it (the response bits were
  // cleared after it was made), so that it does not grow for the life of a daemon.
  void discard_responses() { start_collection(false); }
  bool log_open() const { return log_.valid(); }

  // Delivery paths. An empty recipient means the system console.
  void deliver_write(const std::string& recipient, const LineList& lines);
  void deliver_mail(const std::string& recipient, const LineList& lines);
  // Writes to the user's terminal; false when there is none or it cannot be opened.
  bool write_user_tty(const std::string& user, const LineList& lines);
  // "/dev/" and the user's terminal line from the login records, or "" for none.
  std::string find_user_tty(const std::string& user);
  void write_console(const LineList& lines);

 private:
  LineList ir_notification(std::initializer_list<std::string_view> condition) const;
  void write_log(std::string_view text);
  void deliver(int bit_user, int bit_admin, const LineList& lines);
  // Makes a new, empty response collection, or none.
  void start_collection(bool wanted);
  void collect_response(const std::string& line);

  const Settings& settings_;
  Trace& trace_;
  const Identity& identity_;
  Clock& clock_;
  UniqueFd log_;
  std::optional<LineList> collection_;
  size_t collected_bytes_ = 0;             // response text kept in the collection
  unsigned long long left_out_bytes_ = 0;  // response text not kept
};
