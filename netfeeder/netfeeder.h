// The network transport agent: carries one job (or, in device mode, an endless stream
// of jobs written to a device path) from its input to a network printer, and reports
// IR conditions and printer responses. Statuses: NETFEEDER_OK, NETFEEDER_NO_INPUT_FILE,
// NETFEEDER_FAILED (netfeeder/options.h).
#pragma once

// Runs the agent with a command line; gives the exit status.
int run_netfeeder(int argc, char** argv);
