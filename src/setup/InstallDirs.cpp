// STUB: placeholder until the module lands.
#include "setup/setup.h"

void createInstallationDirectories(const char*) {}
int createPrintingSubsystemFile(const char*) { return 0; }
