// MemMgr: the tracked memory manager. Every dynamic byte of the program comes
// from here: small allocations are carved out of 64 KiB shared blocks in
// 32-byte nodes tracked by a character map, big ones get a dedicated block.
// All memory handed out is zero-filled.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int MEM_NODE_SIZE = 32;                               // bytes per node
constexpr int MEM_BLOCK_NODES = 2048;                           // nodes of a shared block
constexpr int MEM_BLOCK_SIZE = MEM_NODE_SIZE * MEM_BLOCK_NODES; // 65536

// One allocation inside a shared block, indexed by its first node.
struct MemNode {
    uint16_t nNodes; // length in nodes; 0 = no allocation starts here
    void* pAddr;     // pData + 32 * index, none when unused
};

// The header of one block of the chain.
struct MemBlock {
    MemBlock* pNext;
    MemBlock* pPrev;
    int32_t iSize;      // data length: 65536 shared, more when dedicated
    int32_t iUsed;      // dedicated: rounded length of its allocation
    int32_t iFreeNodes; // shared: number of blanks in MAT
    char* pData;
    MemNode aNode[MEM_BLOCK_NODES];
    char MAT[MEM_BLOCK_NODES + 1]; // ' ' free, 'U' in use
    // Where the two regions came from, so each goes back the way it came:
    // a mapped region is unmapped with its whole mapping length, a heap
    // region is freed.
    size_t iHeaderMapLen; // length of the header region
    size_t iDataMapLen;   // length of the data region
    bool flHeaderFromHeap;
    bool flDataFromHeap;
    // Shared: every map position below it is "U", so the search for a run
    // may start there and still find the lowest one.
    int32_t iLowFree;
};

extern MemBlock* pMemB;       // head of the block chain
extern int MemId;             // descriptor of /dev/zero, -1 until opened
extern const char OutOfMem[]; // "Unable to allocate memory"

// n usable bytes, all zero; none for n <= 0 or when memory cannot be had.
void* GetMem(int n);
// Gives an allocation back; pointers the manager does not own (none, or not
// the start of a live allocation) are ignored.
void PutMem(void* p);
// Resizes like realloc: contents kept, new bytes zero, may move. n == 0
// releases. When the new allocation cannot be had it returns none and the
// old allocation stays untouched.
void* AdjustMem(void* p, int n);
// Prints the state of every block on standard output.
void DumpMem();

// Inner operations, visible for the tests and the benchmark.

// A new block, appended at the tail, with a data region of at least 65536
// bytes; none (with a message on standard error) when memory cannot be had.
MemBlock* GetNewBlock(int len);
// One zero-filled region of more than len bytes from the zero device, or from
// the heap when the device cannot be opened. *pMapLen receives the region's
// whole length and *pFromHeap where it came from. None when it cannot be had.
void* MapBlock(size_t len, size_t* pMapLen, bool* pFromHeap);
// Appends a block at the tail of the chain.
void PushBlock(MemBlock* block);
// Unlinks a block from the chain.
void PopBlock(MemBlock* block);
// The block whose data region holds p (both ends included); none otherwise.
MemBlock* FindBlock(const void* p);
// Unlinks a block and gives both its regions back.
void FreeBlock(MemBlock* block);
// 1 when count map characters from pos all equal ch (1 for count 0); 0 when
// they do not or the range leaves the map.
int TestMAT(const MemBlock* block, int pos, char ch, int count);
// Lowest map position of a run of k free nodes, -1 when there is none. The
// naive form tests every position; both give the same answer.
int FindFreeRun(const MemBlock* block, int k);
int FindFreeRunNaive(const MemBlock* block, int k);

// Test hooks. pMemZeroDevice names the device the blocks are mapped from
// (a path that cannot be opened forces the heap fallback; reset MemId to -1
// first when it is already open). flMemFailMap makes every MapBlock fail.
// flMemNaiveSearch makes GetMem use the naive run search.
extern const char* pMemZeroDevice;
extern bool flMemFailMap;
extern bool flMemNaiveSearch;

// Owns one allocation of the memory manager for the length of a scope.
template <class T = char> class MemHold {
  public:
    explicit MemHold(T* p = nullptr) : p_(p) {}
    ~MemHold() { PutMem(p_); }
    MemHold(const MemHold&) = delete;
    MemHold& operator=(const MemHold&) = delete;
    T* get() const { return p_; }
    operator T*() const { return p_; }
    T* release() {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    void reset(T* p = nullptr) {
        PutMem(p_);
        p_ = p;
    }

  private:
    T* p_;
};
