// STUB: placeholder until the module lands.
#include "utils/utils.h"

const char common_113[] = "ERROR: can't open file, %s";
const char common_114[] = "ERROR: can't open file, %s\n";
const char common_115[] = "can't open file, %s";
FILE* pIn = nullptr;
char InputFileName[INPUT_NAME_SIZE] = {};
int FileStatus = 0;
char LineBuf[LINEBUF_SIZE] = {};
int LineLen = 0;
char Line[LINE_SIZE] = {};
char* pLine = Line;
int LineCnt = 0;
long InPos = 0;
bool flInputFilterState = true;
int SavedFileSize = 0;
FILE* OpenFile(FILE*, const char*, const char*, int) { return nullptr; }
FILE* OpenFileF(FILE*, const char*, int, const char*, ...) { return nullptr; }
int OpenRawFile(const char*, int) { return -1; }
bool OpenInputFile(const char*, int) { return false; }
bool OpenInputFileF(int, const char*, ...) { return false; }
void CloseInputFile() {}
bool GetFileLine() { return false; }
bool GetFileTextLine(const char*) { return false; }
int GetLine() { return 0; }
int GetLineN(int) { return 0; }
int GetLinePos(long) { return 0; }
char* fgetsp(char*, int, FILE*, long) { return nullptr; }
bool GetFileContent(const char*, const char*) { return false; }
bool GetFileContentR(const char*, const char*, char*, int) { return false; }
char* GetSavedFileContent(const char*, const char*) { return nullptr; }
char* FileSearch(const char*, const char*, int) { return nullptr; }
long GetFileSize(const char*) { return 0; }
long GetFileTime(const char*) { return 0; }
int GetFileType(const char*) { return 0; }
bool FindFile(const char*, const char*) { return false; }
bool FindFile_(const char*, const char*) { return false; }
char* FindExistingPath(const char*, int*) { return nullptr; }
