// What the backend settles before anything runs: the suite's queue behind the device
// URI (its definition, data stream and PDD), the job's options that name options of the
// queue (checked as the formatter checks -p, whose refusals it only lists in its debug
// file), how often the job is formatted, whether a banner page goes first, and the
// limits of the queue's device.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cups/job_options.h"

// Device keys the backend reads from the queue's device definition (VDD), in seconds.
inline constexpr const char* STALL_TIMEOUT_KEY = "stall_timeout";
inline constexpr const char* END_TIMEOUT_KEY = "end_timeout";
inline constexpr int DEFAULT_STALL_TIMEOUT = 120;
inline constexpr int DEFAULT_END_TIMEOUT = 300;
inline constexpr int LONGEST_TIMEOUT = 86400;

struct JobRequest {
  std::string queue;
  std::string user;  // whose own queue definition, when there is one, is used
  std::vector<JobOption> options;
  int copies = 1;     // as CUPS asks for them
  int input_fd = -1;  // the job, seekable; read (and put back) for an automatic queue
};

struct QueuePlan {
  std::string overrides;  // the formatter's -p text ("tag=value ..."), empty for none
  int runs = 1;           // how many times the job is formatted (once per copy)
  bool banner = false;    // a banner page goes first (the formatter's -b)
  std::chrono::seconds stall{DEFAULT_STALL_TIMEOUT};
  std::chrono::seconds end{DEFAULT_END_TIMEOUT};
};

struct PlanResult {
  int status = 0;     // CUPS_BACKEND_OK, or the status to end with
  std::string error;  // why, for the ERROR: line
  QueuePlan plan;
};

// Faults of the system's definitions stop the CUPS queue (CUPS_BACKEND_STOP); faults
// of a user's own queue definition and refused options cancel the job only
// (CUPS_BACKEND_CANCEL), so that no user can stop a queue for everyone.
PlanResult plan_job(const JobRequest& request);

// A whole number of seconds from 1 to LONGEST_TIMEOUT; false otherwise.
bool parse_timeout(const std::string& text, int* seconds);
