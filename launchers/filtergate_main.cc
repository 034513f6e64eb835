// filtergate: becomes the superuser and starts the suite's filter script.
#include "launchers/script_launchers.h"

int main(int argc, char** argv) { return filtergate_main(argc, argv); }
