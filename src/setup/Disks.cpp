// STUB: placeholder until the module lands.
#include "setup/setup.h"

void GetDisksData(const char*) {}
void genZFile() {}
