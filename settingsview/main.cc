// settingsview: lists the job and banner options of a printer queue.
#include "settingsview/settingsview.h"

int main(int argc, char** argv) { return run_settingsview(argc, argv); }
