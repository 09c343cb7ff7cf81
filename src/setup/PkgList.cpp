// STUB: placeholder until the module lands.
#include "setup/setup.h"

int ProcessPkgList(const char*) { return 0; }
