// STUB: placeholder until the module lands.
#include "setup/setup.h"

bool QuitForRunningProcesses(const char*) { return false; }
