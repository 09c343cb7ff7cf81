// STUB: placeholder until the module lands.
#include "setup/setup.h"

void relocatePreviousInstallation() {}
void OrvikClean(const char*) {}
