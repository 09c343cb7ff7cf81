// STUB: placeholder until the module lands.
#include "setup/setup.h"

void parseCommandLineOptions(int, char**) {}
char* locatePreviousInstallation() { return nullptr; }
char* StripToBaseName(char* text) { return text; }
