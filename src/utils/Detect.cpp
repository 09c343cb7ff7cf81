// STUB: placeholder until the module lands.
#include "utils/utils.h"

bool SniffLprng() { return false; }
bool SniffCUPS() { return false; }
