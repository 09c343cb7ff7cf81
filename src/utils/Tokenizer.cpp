// STUB: placeholder until the module lands.
#include "utils/utils.h"

char* szIn = nullptr;
char* szTokenIn = nullptr;
char GetTokenBuf[TOKEN_BUF_SIZE] = {};
char chTokenDel = 0;
char* Gets(char*, int) { return nullptr; }
void SetTokenBuf(char*) {}
char* GetTokenBufInput() { return szIn; }
char* GetToken(const char*, const char*) { return nullptr; }
char* GetTokenD(const char*, const char*, char**, char*) { return nullptr; }
char* GetTokenParse(char*, const char*) { return nullptr; }
int ParseStr(char*, const char*, char**, int) { return 0; }
char* GetTokenN(const char*, const char*, int) { return nullptr; }
int GetTokenCount(const char*, const char*) { return 0; }
int FindToken(const char*, const char*) { return 0; }
int FindTokenC(const char*, const char*) { return 0; }
int FindTokenWithDelim(const char*, const char*, char) { return 0; }
void SortTokens(char*, char, bool) {}
