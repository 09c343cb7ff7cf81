// STUB: placeholder until the module lands.
#include "utils/utils.h"

const char common_109[] = "Unable to allocate memory";
char* SaveStr(const char*, ...) { return nullptr; }
char* SaveStr__(const char*, ...) { return nullptr; }
char* SaveStr_(const char*) { return nullptr; }
char* StripPath(const char*) { return nullptr; }
char* StripFn(const char*) { return nullptr; }
char* StripExt(const char*) { return nullptr; }
char* StripPathExt(const char*) { return nullptr; }
char* StripPathName(const char*) { return nullptr; }
char* GenName(const char*) { return nullptr; }
int StrLen(const char*) { return 0; }
char* StrChr(const char*, int) { return nullptr; }
char* StrNChr(const char*, int, int) { return nullptr; }
char* StrStr(const char*, const char*) { return nullptr; }
char* StrCaseStr(const char*, const char*) { return nullptr; }
char* StrNStr(const char*, const char*, int) { return nullptr; }
char* SkipSpace(char* t) { return t; }
char* StripAllBackslashes(char* t) { return t; }
char* StripNonPrint(char* t, bool) { return t; }
void SetVarContent(void*, const void*, int, bool) {}
float CvtFloatFormat(float v, int, int) { return v; }
double MaxD(double a, double b) { return a > b ? a : b; }
char* GetEnv(const char*) { return nullptr; }
char* GetHostname() { return nullptr; }
char* GetUserName() { return nullptr; }
char* GetToolPath(const char*) { return nullptr; }
