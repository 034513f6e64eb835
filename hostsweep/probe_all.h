// The probe engine: takes addresses from the search list, starts the identification
// of each while keeping the probes in flight under a connection limit, and drives all
// network input and timers through one select loop over the select table, whose rows
// (SNMP, then NPA) bring their own descriptors and timers.
#pragma once

#include <sys/select.h>
#include <sys/time.h>
#include <time.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/clock.h"
#include "hostsweep/progress.h"
#include "hostsweep/search_list.h"

// One row of the select table.
class SelectRow {
 public:
  explicit SelectRow(const char* name) : name_(name) {}
  virtual ~SelectRow() = default;

  // Processes the row's due timers, adds its descriptors to `read` (raising `nfds`)
  // and, when a timer is pending, clears `block` and sets `timeout` to the time until
  // it. `block` comes in true and `timeout` zero.
  virtual void prepare(int& nfds, fd_set& read, timeval& timeout, bool& block) = 0;
  // A wait ended without input: process due timers.
  virtual void expire() = 0;
  // Input is available: read what is ready of the row's descriptors in `ready`.
  virtual void read(const fd_set& ready) = 0;

  const char* name() const { return name_; }

 private:
  friend class ProbeEngine;
  const char* name_;
  time_t stamp_ = 0;      // seconds clock when last prepared
  bool blocking_ = true;  // no timer pending
  long seconds_ = 0, microseconds_ = 0;
};

// Starts the identification of one address; it calls ProbeEngine::probe_done exactly
// once when the address is finished. 0 when under way, -1 when it could not start
// (nothing else then happens for the address).
class Identifier {
 public:
  virtual ~Identifier() = default;
  virtual int identify_address(const std::string& address) = 0;
};

struct EngineDebug {
  int level = 0;        // the -d bit mask
  FILE* out = nullptr;  // the debug stream
};

class ProbeEngine {
 public:
  // The connection limit starts at `max_connections` and is measured again at start.
  ProbeEngine(SearchList& list, Identifier& identifier, std::vector<SelectRow*> rows,
              int max_connections, EngineDebug debug, Clock& clock);

  // The whole search: the staged start, then rounds of the select loop until every
  // address was started and every started probe has ended.
  void run_probes();
  // One address finished: one probe fewer in flight, then one launch step.
  void probe_done();
  // One pass of the select loop, waiting at most (seconds, microseconds) unless both
  // are 0.
  void wait_events(long seconds, long microseconds);

  // Where the progress of the search is shown, if anywhere.
  void set_progress(ProgressLine* progress) { progress_ = progress; }

  int connection_limit() const { return limit_; }
  int outstanding() const { return outstanding_; }

  // The descriptors this process can still open, counted by duplicating standard
  // output up to `limit`, each below FD_SETSIZE: select takes no other. `capped` tells
  // that the count stopped at FD_SETSIZE rather than at the limit or the process's
  // open-file limit.
  struct FreeDescriptors {
    int count = 0;
    bool capped = false;
  };
  static FreeDescriptors count_free_descriptors(int limit);

 private:
  void raise_open_file_limit();
  // 1 when nothing is to be started, 0 when the list ended, else the probes started.
  int launch_step();
  void probe_wait(int seconds);
  void trace(int bit, const char* format, ...) __attribute__((format(printf, 3, 4)));

  SearchList& list_;
  Identifier& identifier_;
  std::vector<SelectRow*> rows_;
  EngineDebug debug_;
  Clock& clock_;
  int limit_;
  int outstanding_ = 0;
  bool more_addresses_ = true;
  int carried_failures_ = 0;
  ProgressLine* progress_ = nullptr;
};
