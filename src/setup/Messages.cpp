// STUB: placeholder until the module lands.
#include "setup/setup.h"

#define ROWS { "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "" }
const char* const NLS_ENGLISH[SETUP_MSG_COUNT] = ROWS;
const char* const NLS_SPANISH[SETUP_MSG_COUNT] = ROWS;
const char* const NLS_ITALIAN[SETUP_MSG_COUNT] = ROWS;
const char* const NLS_FRENCH[SETUP_MSG_COUNT] = ROWS;
const char* const NLS_GERMAN[SETUP_MSG_COUNT] = ROWS;
const char* const NLS_PORTUGUESE[SETUP_MSG_COUNT] = ROWS;
const char* nlsSetupStrCvt(int n) { return NLS_ENGLISH[n]; }
