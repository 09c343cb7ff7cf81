// The tracked memory manager: a chain of blocks, each a header (node table
// and map) and a data region, both taken from the zero device or, when it
// cannot be opened, from the heap.
#include "MemMgr/MemMgr.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

MemBlock* pMemB = nullptr;

// Where the first-fit walk may start: every block before it in the chain has
// no free node, so no allocation could be placed there and skipping them
// gives the same placement as a walk from the head. Any change that frees
// nodes or removes a block starts the walk at the head again. Without it a
// program holding many full blocks pays a walk over all of them for each
// allocation.
static MemBlock* pFullBefore = nullptr;
static void NodesFreed() { pFullBefore = nullptr; }
int MemId = -1;
const char OutOfMem[] = "Unable to allocate memory";

const char* pMemZeroDevice = "/dev/zero";
bool flMemFailMap = false;
bool flMemNaiveSearch = false;

// iSize is a signed 32-bit field, so no data region may be longer than the
// largest multiple of the block size it can hold.
static constexpr int64_t kMaxRegion = INT32_MAX / MEM_BLOCK_SIZE * int64_t(MEM_BLOCK_SIZE);

static bool IsDedicated(const MemBlock* b) {
    return b->iSize > MEM_BLOCK_SIZE;
}

// Bytes an allocation of n bytes takes: n plus at least one spare byte,
// rounded up to whole nodes.
static int64_t RoundLen(int n) {
    return (int64_t(n) + 1 + MEM_NODE_SIZE - 1) / MEM_NODE_SIZE * MEM_NODE_SIZE;
}

static void ReportOutOfMem() {
    fprintf(stderr, "ERROR: %s\n", OutOfMem);
}

void* MapBlock(size_t len, size_t* pMapLen, bool* pFromHeap) {
    static const size_t page = size_t(sysconf(_SC_PAGESIZE));
    // Always more than asked: a whole page more when len is page-aligned.
    size_t mapLen = page * (len / page + 1);
    *pMapLen = mapLen;
    *pFromHeap = false;
    if (flMemFailMap) return nullptr;
    if (MemId == -1) MemId = open(pMemZeroDevice, O_RDWR | O_CLOEXEC);
    if (MemId == -1) {
        // No device: the heap serves, zero-filled like a fresh mapping. The
        // open is tried again at the next call.
        *pFromHeap = true;
        return calloc(1, mapLen);
    }
    void* p = mmap(nullptr, mapLen, PROT_READ | PROT_WRITE, MAP_PRIVATE, MemId, 0);
    return p == MAP_FAILED ? nullptr : p;
}

// Gives one region back the way MapBlock produced it.
static void UnmapRegion(void* p, size_t mapLen, bool fromHeap) {
    if (!p) return;
    if (fromHeap)
        free(p);
    else
        munmap(p, mapLen);
}

// The last block of the chain as PushBlock and PopBlock left it; checked
// before use, so a chain changed behind their backs is walked instead.
static MemBlock* pMemTail = nullptr;

void PushBlock(MemBlock* block) {
    block->pNext = nullptr;
    if (!pMemB) {
        block->pPrev = nullptr;
        pMemB = pMemTail = block;
        return;
    }
    MemBlock* tail = pMemTail && !pMemTail->pNext ? pMemTail : pMemB;
    while (tail->pNext)
        tail = tail->pNext;
    tail->pNext = block;
    block->pPrev = tail;
    pMemTail = block;
}

void PopBlock(MemBlock* block) {
    NodesFreed();
    if (block == pMemTail) pMemTail = block->pPrev;
    if (block == pMemB) {
        pMemB = block->pNext;
        if (pMemB) pMemB->pPrev = nullptr;
    } else {
        if (block->pPrev) block->pPrev->pNext = block->pNext;
        if (block->pNext) block->pNext->pPrev = block->pPrev;
    }
    block->pNext = nullptr;
    block->pPrev = nullptr;
}

MemBlock* GetNewBlock(int len) {
    size_t dataLen = len < MEM_BLOCK_SIZE ? size_t(MEM_BLOCK_SIZE) : size_t(len);
    size_t headerMapLen = 0, dataMapLen = 0;
    bool headerFromHeap = false, dataFromHeap = false;
    void* header = MapBlock(sizeof(MemBlock), &headerMapLen, &headerFromHeap);
    void* data = header ? MapBlock(dataLen, &dataMapLen, &dataFromHeap) : nullptr;
    if (!header || !data) {
        UnmapRegion(header, headerMapLen, headerFromHeap);
        ReportOutOfMem();
        return nullptr;
    }
    MemBlock* b = static_cast<MemBlock*>(header);
    memset(b, 0, sizeof *b);
    memset(b->MAT, ' ', MEM_BLOCK_NODES);
    b->MAT[MEM_BLOCK_NODES] = '\0';
    b->iSize = int32_t(dataLen);
    b->pData = static_cast<char*>(data);
    b->iFreeNodes = MEM_BLOCK_NODES;
    b->iHeaderMapLen = headerMapLen;
    b->iDataMapLen = dataMapLen;
    b->flHeaderFromHeap = headerFromHeap;
    b->flDataFromHeap = dataFromHeap;
    PushBlock(b);
    return b;
}

MemBlock* FindBlock(const void* p) {
    if (!p) return nullptr;
    uintptr_t a = reinterpret_cast<uintptr_t>(p);
    for (MemBlock* b = pMemB; b; b = b->pNext) {
        uintptr_t d = reinterpret_cast<uintptr_t>(b->pData);
        if (a >= d && a - d <= uintptr_t(b->iSize)) return b;
    }
    return nullptr;
}

void FreeBlock(MemBlock* block) {
    PopBlock(block);
    // The header holds the record of both regions: read it before it goes.
    void* data = block->pData;
    size_t dataMapLen = block->iDataMapLen, headerMapLen = block->iHeaderMapLen;
    bool dataFromHeap = block->flDataFromHeap, headerFromHeap = block->flHeaderFromHeap;
    UnmapRegion(data, dataMapLen, dataFromHeap);
    UnmapRegion(block, headerMapLen, headerFromHeap);
}

int TestMAT(const MemBlock* block, int pos, char ch, int count) {
    if (count == 0) return 1;
    if (pos < 0 || count < 0 || pos > MEM_BLOCK_NODES - count) return 0;
    for (const char *m = block->MAT + pos, *end = m + count; m < end; ++m)
        if (*m != ch) return 0;
    return 1;
}

int FindFreeRunNaive(const MemBlock* block, int k) {
    for (int i = 0; i <= MEM_BLOCK_NODES - k; ++i)
        if (TestMAT(block, i, ' ', k)) return i;
    return -1;
}

// The map is read eight characters at a time: bit 0x40 is set in "U" and
// clear in a blank, so one mask finds the used nodes of a word.
static_assert(('U' & 0x40) && !(' ' & 0x40));
static constexpr uint64_t kUsedBits = 0x4040404040404040u;

static uint64_t Load8(const char* p) {
    uint64_t w;
    memcpy(&w, p, 8);
    return w;
}
// Offsets of the lowest- and highest-addressed marked character of a word.
static int FirstMarked(uint64_t m) {
    if constexpr (std::endian::native == std::endian::little) return std::countr_zero(m) / 8;
    return std::countl_zero(m) / 8;
}
static int LastMarked(uint64_t m) {
    if constexpr (std::endian::native == std::endian::little) return 7 - std::countl_zero(m) / 8;
    return 7 - std::countr_zero(m) / 8;
}

// Jumps instead of stepping. Used nodes are skipped a word at a time; at a
// candidate start the window of k nodes is searched from its far end for its
// last used node, which rules out every start up to and including it, since
// such a run would contain it. The blanks already seen behind that node are
// remembered, so no map position is read twice.
static int FindFreeRunFrom(const MemBlock* block, int k, int start) {
    if (k < 1 || k > MEM_BLOCK_NODES) return -1;
    const char* map = block->MAT;
    const int lastStart = MEM_BLOCK_NODES - k;
    int known = -1; // map[start..known] are known blank
    while (start <= lastStart) {
        if (known < start) {
            // Short runs of used nodes are stepped over, long ones jumped.
            for (int step = 0; step < 4 && start <= lastStart && map[start] == 'U'; ++step)
                ++start;
            while (start <= lastStart && map[start] == 'U') {
                if (start + 8 > MEM_BLOCK_NODES) {
                    ++start;
                    continue;
                }
                uint64_t blanks = ~Load8(map + start) & kUsedBits;
                if (blanks) {
                    start += FirstMarked(blanks);
                    break;
                }
                start += 8;
            }
            if (start > lastStart) return -1;
            known = start;
        }
        const int end = start + k - 1;
        int used = -1;
        for (int j = end; j > known;) {
            if (j - 7 > known) {
                uint64_t m = Load8(map + j - 7) & kUsedBits;
                if (m) {
                    used = j - 7 + LastMarked(m);
                    break;
                }
                j -= 8;
            } else if (map[j] == 'U') {
                used = j;
                break;
            } else {
                --j;
            }
        }
        if (used < 0) return start;
        known = end; // map[used + 1..end] are blank
        start = used + 1;
    }
    return -1;
}

int FindFreeRun(const MemBlock* block, int k) { return FindFreeRunFrom(block, k, 0); }

// Nodes from map position i on became free.
static void LowFree(MemBlock* b, int i) {
    if (i < b->iLowFree) b->iLowFree = i;
    NodesFreed();
}

// Hands out k nodes at map position i of a shared block.
static void* TakeNodes(MemBlock* b, int i, int k) {
    char* addr = b->pData + size_t(i) * MEM_NODE_SIZE;
    memset(b->MAT + i, 'U', size_t(k));
    if (i == b->iLowFree) b->iLowFree = i + k;
    b->aNode[i].nNodes = uint16_t(k);
    b->aNode[i].pAddr = addr;
    memset(addr, 0, size_t(k) * MEM_NODE_SIZE);
    b->iFreeNodes -= k;
    return addr;
}

static void* GetDedicated(int64_t len) {
    int64_t region = (len + MEM_BLOCK_SIZE - 1) / MEM_BLOCK_SIZE * MEM_BLOCK_SIZE;
    if (region > kMaxRegion) {
        ReportOutOfMem();
        return nullptr;
    }
    MemBlock* b = GetNewBlock(int(region));
    if (!b) return nullptr;
    // The region is fresh from MapBlock and therefore already all zero.
    memset(b->MAT, 'U', MEM_BLOCK_NODES);
    b->iFreeNodes = 0;
    b->iUsed = int32_t(len);
    return b->pData;
}

void* GetMem(int n) {
    if (n <= 0) return nullptr;
    int64_t len = RoundLen(n);
    if (len > MEM_BLOCK_SIZE) return GetDedicated(len);
    int k = int(len / MEM_NODE_SIZE);
    if (!pMemB && !GetNewBlock(MEM_BLOCK_SIZE)) return nullptr;
    MemBlock* start = pFullBefore ? pFullBefore : pMemB;
    while (start->iFreeNodes == 0 && start->pNext) start = start->pNext;
    pFullBefore = start;
    for (MemBlock* b = start; b; b = b->pNext) {
        if (b->iFreeNodes >= k) {
            int i = flMemNaiveSearch ? FindFreeRunNaive(b, k) : FindFreeRunFrom(b, k, b->iLowFree);
            if (i >= 0) return TakeNodes(b, i, k);
        }
        // After the last block a new one is appended, and the walk goes on
        // into it.
        if (!b->pNext && !GetNewBlock(MEM_BLOCK_SIZE)) return nullptr;
    }
    return nullptr;
}

// The block and node index of a live allocation that starts at p. Anything
// else (an inner pointer, the end of a region, a released node) is not owned.
static MemBlock* LocateAlloc(const void* p, int* pIndex) {
    MemBlock* b = FindBlock(p);
    if (!b) return nullptr;
    if (IsDedicated(b)) {
        *pIndex = 0;
        return p == b->pData ? b : nullptr;
    }
    size_t off = size_t(static_cast<const char*>(p) - b->pData);
    size_t i = off / MEM_NODE_SIZE;
    if (i >= size_t(MEM_BLOCK_NODES)) return nullptr;
    const MemNode& e = b->aNode[i];
    if (e.nNodes == 0 || e.pAddr != p) return nullptr;
    *pIndex = int(i);
    return b;
}

void PutMem(void* p) {
    int i;
    MemBlock* b = LocateAlloc(p, &i);
    if (!b) return;
    if (IsDedicated(b)) {
        FreeBlock(b);
        return;
    }
    MemNode& e = b->aNode[i];
    b->iFreeNodes += e.nNodes;
    LowFree(b, i);
    memset(b->MAT + i, ' ', e.nNodes);
    e.nNodes = 0;
    e.pAddr = nullptr;
    if (b->iFreeNodes == MEM_BLOCK_NODES) FreeBlock(b);
}

// Moves an allocation to a fresh one of n bytes; none, with the old one kept,
// when the new one cannot be had.
static void* MoveAlloc(void* p, int n, size_t copyLen) {
    void* q = GetMem(n);
    if (!q) return nullptr;
    memcpy(q, p, copyLen);
    PutMem(p);
    return q;
}

void* AdjustMem(void* p, int n) {
    if (n == 0) {
        PutMem(p);
        return nullptr;
    }
    if (n < 0) return nullptr;
    int i;
    MemBlock* b = LocateAlloc(p, &i);
    if (!b) return GetMem(n);
    int64_t len = RoundLen(n);

    if (len > MEM_BLOCK_SIZE || IsDedicated(b)) {
        if (b->iSize < len) {
            size_t copyLen =
                IsDedicated(b) ? size_t(b->iSize) : size_t(b->aNode[i].nNodes) * MEM_NODE_SIZE;
            return MoveAlloc(p, n, copyLen);
        }
        // The allocation stays in its region. Growing zeroes the added bytes;
        // shrinking zeroes everything past the new length, so that a later
        // growth reads zero there too.
        int32_t newUsed = int32_t(len);
        if (newUsed > b->iUsed)
            memset(b->pData + b->iUsed, 0, size_t(newUsed - b->iUsed));
        else
            memset(b->pData + n, 0, size_t(b->iUsed - n));
        b->iUsed = newUsed;
        return p;
    }

    int nw = int(len / MEM_NODE_SIZE);
    int old = b->aNode[i].nNodes;
    if (nw <= old) {
        // Everything past the new length is zeroed: the released nodes, and
        // the tail of the kept ones, which a later growth hands out again.
        memset(static_cast<char*>(p) + n, 0, size_t(old) * MEM_NODE_SIZE - size_t(n));
        if (nw == old) return p;
        memset(b->MAT + i + nw, ' ', size_t(old - nw));
        b->aNode[i].nNodes = uint16_t(nw);
        b->iFreeNodes += old - nw;
        LowFree(b, i + nw);
        return p;
    }
    int d = nw - old;
    if (TestMAT(b, i + old, ' ', d)) {
        memset(b->MAT + i + old, 'U', size_t(d));
        memset(b->pData + size_t(i + old) * MEM_NODE_SIZE, 0, size_t(d) * MEM_NODE_SIZE);
        b->aNode[i].nNodes = uint16_t(nw);
        b->iFreeNodes -= d;
        return p;
    }
    if (i >= d && TestMAT(b, i - d, ' ', d)) {
        char* addr = b->pData + size_t(i - d) * MEM_NODE_SIZE;
        memset(b->MAT + i - d, 'U', size_t(d));
        memmove(addr, p, size_t(old) * MEM_NODE_SIZE);
        memset(addr + size_t(old) * MEM_NODE_SIZE, 0, size_t(d) * MEM_NODE_SIZE);
        b->aNode[i - d].nNodes = uint16_t(nw);
        b->aNode[i - d].pAddr = addr;
        b->aNode[i].nNodes = 0;
        b->aNode[i].pAddr = nullptr;
        b->iFreeNodes -= d;
        return addr;
    }
    return MoveAlloc(p, n, size_t(old) * MEM_NODE_SIZE);
}

static long AsLong(const void* p) {
    return static_cast<long>(reinterpret_cast<intptr_t>(p));
}

void DumpMem() {
    for (const MemBlock* b = pMemB; b; b = b->pNext) {
        if (IsDedicated(b)) {
            printf(
                "\n============ Dedicated Block(%li) size(%li) FreeNodeCount(%i) <==(%li) (%li)==>",
                AsLong(b->pData), long(b->iSize), b->iFreeNodes, AsLong(b->pPrev),
                AsLong(b->pNext));
            continue;
        }
        int blanks = 0, inUse = 0;
        for (int i = 0; i < MEM_BLOCK_NODES; ++i) {
            if (b->MAT[i] == ' ') ++blanks;
            inUse += b->aNode[i].nNodes;
        }
        printf(
            "\n============ Block(%li) size(%li) Free(%i) Used(%i) FreeNodeCount(%i) SizeCnt(%i) "
            "<==(%li) (%li)==>\n\tBlock MAT:",
            AsLong(b), long(b->iSize), blanks, MEM_BLOCK_NODES - blanks, b->iFreeNodes,
            MEM_BLOCK_NODES - inUse, AsLong(b->pPrev), AsLong(b->pNext));
        for (int i = 0; i < MEM_BLOCK_NODES; ++i) {
            if (i % 64 == 0) fputs("\n\t", stdout);
            putchar(b->MAT[i] == ' ' ? '_' : b->MAT[i]);
        }
        fputs("\n\n\tAllocated Nodes:\n", stdout);
        for (int i = 0; i < MEM_BLOCK_NODES; ++i) {
            const MemNode& e = b->aNode[i];
            if (e.nNodes == 0 || !e.pAddr) continue;
            // An allocation may be filled to its last byte: print no further.
            int size = e.nNodes * MEM_NODE_SIZE;
            printf("\tMAT index(%6i) Memory Addr(%6li) nodes(%5i) size(%5i) Memory(%.*s)\n", i,
                   AsLong(e.pAddr), int(e.nNodes), size, size, static_cast<const char*>(e.pAddr));
        }
        putchar('\n');
    }
    fflush(stdout);
}
