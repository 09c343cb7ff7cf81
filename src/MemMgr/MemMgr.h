// MemMgr: the tracked memory manager. Every dynamic byte of the program comes
// from here: small allocations are carved out of 64 KiB shared blocks in
// 32-byte nodes tracked by a character map, big ones get a dedicated block.
// All memory handed out is zero-filled.
#pragma once

#include <cstdint>

constexpr int MEM_NODE_SIZE = 32;      // bytes per node
constexpr int MEM_BLOCK_NODES = 2048;  // nodes of a shared block
constexpr int MEM_BLOCK_SIZE = MEM_NODE_SIZE * MEM_BLOCK_NODES;  // 65536

// One allocation inside a shared block, indexed by its first node.
struct MemNode {
    uint16_t nNodes;  // length in nodes; 0 = no allocation starts here
    void* pAddr;      // pData + 32 * index, none when unused
};

// The header of one block of the chain.
struct MemBlock {
    MemBlock* pNext;
    MemBlock* pPrev;
    int32_t iSize;       // data length: 65536 shared, more when dedicated
    int32_t iUsed;       // dedicated: rounded length of its allocation
    int32_t iFreeNodes;  // shared: number of blanks in MAT
    char* pData;
    MemNode aNode[MEM_BLOCK_NODES];
    char MAT[MEM_BLOCK_NODES + 1];  // ' ' free, 'U' in use
    // Where the two regions came from, so each goes back the way it came.
    int32_t iHeaderMapLen;  // mapping length of the header region
    int32_t iDataMapLen;    // mapping length of the data region
    bool flHeaderFromHeap;
    bool flDataFromHeap;
};

extern MemBlock* pMemB;      // head of the block chain
extern int MemId;            // descriptor of /dev/zero, -1 until opened
extern const char OutOfMem[];  // "Unable to allocate memory"

// n usable bytes, all zero; none for n == 0 or when memory cannot be had.
void* GetMem(int n);
// Gives an allocation back; pointers the manager does not own are ignored.
void PutMem(void* p);
// Resizes like realloc: contents kept, new bytes zero, may move. n == 0
// releases. When the new allocation cannot be had it returns none and the
// old allocation stays untouched.
void* AdjustMem(void* p, int n);
// Prints the state of every block on standard output.
void DumpMem();

// Inner operations, visible for the tests.
MemBlock* GetNewBlock(int len);
MemBlock* FindBlock(const void* p);
void FreeBlock(MemBlock* block);
int TestMAT(const MemBlock* block, int pos, char ch, int count);

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
