// STUB: placeholder until the module lands.
#include "MemMgr/MemMgr.h"

MemBlock* pMemB = nullptr;
int MemId = -1;
const char OutOfMem[] = "Unable to allocate memory";
void* GetMem(int) { return nullptr; }
void PutMem(void*) {}
void* AdjustMem(void*, int) { return nullptr; }
void DumpMem() {}
MemBlock* GetNewBlock(int) { return nullptr; }
MemBlock* FindBlock(const void*) { return nullptr; }
void FreeBlock(MemBlock*) {}
int TestMAT(const MemBlock*, int, char, int) { return 0; }
