// The CUPS backend "quintaro": prints a CUPS job through a queue of the suite (device
// URI quintaro:/QUEUE), and lists the suite's queues when CUPS looks for devices.
#pragma once

// Exit statuses, as CUPS's backend rules define them (backend(7)).
enum BackendStatus : int {
  CUPS_BACKEND_OK = 0,      // the agent delivered the job
  CUPS_BACKEND_FAILED = 1,  // anything else; CUPS applies the queue's error policy
  CUPS_BACKEND_STOP = 4,    // the suite's queue or device is missing or broken
  CUPS_BACKEND_CANCEL = 5,  // the job itself cannot be printed
  CUPS_BACKEND_RETRY = 6,   // the printer could not be reached, or the connection was lost
};

// Runs the backend with CUPS's command line: no arguments lists devices on standard
// output; "job-id user title copies options [file]" prints a job. Messages for CUPS
// (ERROR:, INFO:, STATE:, DEBUG:) go to standard error. Gives the exit status.
int run_backend(int argc, char** argv);
