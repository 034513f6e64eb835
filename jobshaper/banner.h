// Banner (separator) pages: whether the queue allows one, where it comes from (a
// banner file copied as it is, or a banner program run with the job's details), and
// in which data stream it is printed.
#pragma once

#include <string>

#include "jobshaper/jobshaper.h"

// The checks made before any output. Without -b only the listing lines are written.
// With -b: refuses (exit status in the result) when the queue does not allow
// banners or the source is not acceptable; otherwise may replace the data stream by
// the queue's banner type and sets `source` to the banner file or program.
int check_banner(JobSettings& settings, std::string* source);

// print_banner's result when the banner could not be printed (after its messages).
inline constexpr int BANNER_FAILED = -1;
// print_banner's result when copying a banner file failed part way (reported on
// standard error): the end-of-job codes still go out, then the run fails.
inline constexpr int BANNER_INCOMPLETE = -2;

// Writes the banner page to standard output (after the prologue). Gives 0 for a
// copied file, the banner program's exit status (128 + signal number when a signal
// ended it), BANNER_INCOMPLETE or BANNER_FAILED.
int print_banner(const JobSettings& settings, const std::string& source);
