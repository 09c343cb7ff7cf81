// STUB: placeholder until the module lands.
#include "setup/setup.h"

bool readyForInstallation() { return false; }
