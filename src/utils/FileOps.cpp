// STUB: placeholder until the module lands.
#include "utils/utils.h"

void CreateFile(const char*, const char*, const char*, const char*, const char*) {}
bool CreateTextFile(const char*, const char*, int, const char*, ...) { return false; }
void DeleteFile(const char*, const char*) {}
void DeleteFile_(const char*, const char*) {}
void RenameFile(const char*, const char*, const char*) {}
