// spoolrunner: starts the suite's quintspool script.
#include "launchers/script_launchers.h"

int main(int argc, char** argv) { return spoolrunner_main(argc, argv); }
