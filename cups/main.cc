// quintaro: the CUPS backend that prints through the suite's queues.
#include "cups/backend.h"

int main(int argc, char** argv) { return run_backend(argc, argv); }
