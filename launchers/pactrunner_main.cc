// pactrunner: starts the suite's notice script.
#include "launchers/script_launchers.h"

int main(int argc, char** argv) { return pactrunner_main(argc, argv); }
