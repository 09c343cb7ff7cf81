// STUB: placeholder until the module lands.
#include "setup/setup.h"

int installFromSite(const char*) { return 0; }
int Install() { return 0; }
