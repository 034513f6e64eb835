// netfeeder: carries a print job to a network printer and reports its conditions.
#include "netfeeder/netfeeder.h"

int main(int argc, char** argv) { return run_netfeeder(argc, argv); }
