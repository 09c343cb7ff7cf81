// STUB: placeholder until the module lands.
#include "utils/utils.h"

#include <cstdlib>
bool flUseLog = false;
const char* pLogPath = "/tmp";
FILE* pLog = nullptr;
const char* my_name = "setup";
void PutLogMsg(const char*, ...) {}
void SysError(const char*, ...) { exit(1); }
void ErrorMsg(int, int, const char*, ...) {}
void errormsg(const char*, ...) {}
void exit_app(int status) { exit(status); }
