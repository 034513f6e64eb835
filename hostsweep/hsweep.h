// The discovery program: reads the command line, then either reads a printer list
// back (printer-file mode) or searches the addresses of the search list and writes
// what it finds, as found and finally sorted, to standard output and the output file.
#pragma once

// Runs hostsweep; gives the exit status (0, 1, 2, 101 to 103, or 255).
int run_hostsweep(int argc, char** argv);
