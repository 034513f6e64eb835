// Transport command building: from a queue's VQD or a device's VDD, writes the
// command line of the transport agent for the device as one line on standard
// output. The spooler's interface script runs that line; nothing is run here.
#pragma once

// Exit statuses.
inline constexpr int LINEBUILDER_OK = 0;
inline constexpr int LINEBUILDER_FAILED = 255;  // every error; also after usage and help

// Runs the builder with a command line; gives the exit status.
int run_linebuilder(int argc, char** argv);
