// hostsweep: discovers printers on the network.
#include "hostsweep/hsweep.h"

int main(int argc, char** argv) { return run_hostsweep(argc, argv); }
