// The queue option listing: reads a queue's VQD (or takes a PDD file name), reads
// the PDD and prints the queue's job and banner options on standard output.
#pragma once

// Exit statuses.
inline constexpr int SETTINGSVIEW_OK = 0;
inline constexpr int SETTINGSVIEW_FAILED = 255;  // every error; also after usage and help

// Runs the listing with a command line; gives the exit status.
int run_settingsview(int argc, char** argv);
