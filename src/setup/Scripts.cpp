// STUB: placeholder until the module lands.
#include "setup/setup.h"

const char* const ScriptShShell = "#!/bin/sh";
const char* const ScriptCopyRight = "";
const char* const OrvikPrintqpxxScript = "";
const char* const pv4DriverScript = "";
const char* const OrvikQSFScript = "";
const char* const SimpleScript = "";
const char* const DemonScript = "";
const char* const SimpleHPOrvikDemonScript = "";
const char* const SimpleQePrScript = "";
const char* const ScriptTail = "";
void createQueueScripts(const char*) {}
int generateOrvikPrintqpxxScript(const char*, const char*, const char*) { return 0; }
int generatev4DriverScript(const char*, const char*, const char*) { return 0; }
int generateOrvikQSFScript(const char*, const char*, const char*, const char*) { return 0; }
void GenSimpleScript(const char*, const char*, const char*, const char*, const char*, const char*) {}
