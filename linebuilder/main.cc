// linebuilder: writes the transport agent's command line for a queue's device.
#include "linebuilder/linebuilder.h"

int main(int argc, char** argv) { return run_linebuilder(argc, argv); }
