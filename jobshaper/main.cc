// jobshaper: formats a print job for its queue on standard output.
#include "jobshaper/jobshaper.h"

int main(int argc, char** argv) { return run_jobshaper(argc, argv); }
