// runwarden: starts an administrative application's script under the name it is invoked by.
#include "launchers/runwarden.h"

int main(int argc, char** argv) { return runwarden_main(argc, argv); }
