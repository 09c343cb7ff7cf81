// STUB: placeholder until the module lands. Heap-backed stand-in with a size
// header so that the rest of the program can run meanwhile.
#include "MemMgr/MemMgr.h"

#include <cstdlib>
#include <cstring>

MemBlock* pMemB = nullptr;
int MemId = -1;
const char OutOfMem[] = "Unable to allocate memory";

static constexpr size_t kHead = 16;
static constexpr uint32_t kMagic = 0x4f72764bu;

void* GetMem(int n) {
    if (n <= 0) return nullptr;
    char* p = static_cast<char*>(calloc(1, kHead + size_t(n) + 1));
    if (!p) return nullptr;
    memcpy(p, &kMagic, 4);
    memcpy(p + 8, &n, sizeof n);
    return p + kHead;
}
static bool Owned(void* p) {
    if (!p) return false;
    uint32_t m;
    memcpy(&m, static_cast<char*>(p) - kHead, 4);
    return m == kMagic;
}
void PutMem(void* p) {
    if (!Owned(p)) return;
    memset(static_cast<char*>(p) - kHead, 0, 4);
    free(static_cast<char*>(p) - kHead);
}
void* AdjustMem(void* p, int n) {
    if (n == 0) {
        PutMem(p);
        return nullptr;
    }
    if (!Owned(p)) return GetMem(n);
    int old;
    memcpy(&old, static_cast<char*>(p) - kHead + 8, sizeof old);
    void* q = GetMem(n);
    if (!q) return nullptr;
    memcpy(q, p, size_t(old < n ? old : n));
    PutMem(p);
    return q;
}
void DumpMem() {}
MemBlock* GetNewBlock(int) { return nullptr; }
MemBlock* FindBlock(const void*) { return nullptr; }
void FreeBlock(MemBlock*) {}
int TestMAT(const MemBlock*, int, char, int) { return 0; }
