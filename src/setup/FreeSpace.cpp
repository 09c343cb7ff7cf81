// STUB: placeholder until the module lands.
#include "setup/setup.h"

void FreeSpaceForInstall(const char*, const char*, const char*) {}
