#include "MemMgr/MemMgr.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The manager's state is global: every test gives back all it takes.
class MemMgr : public testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(pMemB, nullptr) << "a test left blocks in the chain"; }
};

int Index(const void* p) {
    return int((static_cast<const char*>(p) - FindBlock(p)->pData) / 32);
}
int Nodes(const void* p) {
    return FindBlock(p)->aNode[Index(p)].nNodes;
}
bool AllZero(const void* p, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (static_cast<const unsigned char*>(p)[i]) return false;
    return true;
}
std::string Dump() {
    testing::internal::CaptureStdout();
    DumpMem();
    return testing::internal::GetCapturedStdout();
}
// While it lives, the zero device cannot be opened and the heap serves.
struct HeapOnly {
    int saved = MemId;
    HeapOnly() {
        MemId = -1;
        pMemZeroDevice = "/nonexistent/zero";
    }
    ~HeapOnly() {
        pMemZeroDevice = "/dev/zero";
        if (saved != -1 && saved != MemId) close(saved);
    }
};

// Every shared block of the dump: Free == FreeNodeCount == SizeCnt, and the
// map agrees with the node table.
void CheckChain() {
    std::string out = Dump();
    for (size_t at = out.find("\n============ Block("); at != std::string::npos;
         at = out.find("\n============ Block(", at + 1)) {
        int free, used, freeNodes, sizeCnt;
        ASSERT_EQ(sscanf(out.c_str() + at,
                         "\n============ Block(%*d) size(65536) Free(%d) Used(%d) "
                         "FreeNodeCount(%d) SizeCnt(%d)",
                         &free, &used, &freeNodes, &sizeCnt),
                  4);
        ASSERT_EQ(free + used, 2048);
        ASSERT_EQ(free, freeNodes);
        ASSERT_EQ(free, sizeCnt);
    }
    for (MemBlock* b = pMemB; b; b = b->pNext) {
        ASSERT_TRUE(b->pNext == nullptr || b->pNext->pPrev == b);
        if (b->iSize > 65536) continue;
        std::string map(2048, ' ');
        for (int i = 0; i < 2048; ++i)
            if (b->aNode[i].nNodes) {
                ASSERT_EQ(b->aNode[i].pAddr, b->pData + 32 * i);
                for (int j = 0; j < b->aNode[i].nNodes; ++j)
                    map[i + j] = 'U';
            }
        ASSERT_EQ(map, std::string(b->MAT));
    }
}

TEST_F(MemMgr, RequestsRoundToNodesWithASpareByte) {
    EXPECT_EQ(GetMem(0), nullptr);
    EXPECT_EQ(GetMem(-5), nullptr);
    void* a = GetMem(1);
    void* b = GetMem(31);
    void* c = GetMem(32);
    EXPECT_EQ(Nodes(a), 1);
    EXPECT_EQ(Nodes(b), 1);
    EXPECT_EQ(Nodes(c), 2);
    EXPECT_EQ(FindBlock(a)->iFreeNodes, 2048 - 4);
    // A whole shared block fits only an empty one.
    void* full = GetMem(65535);
    EXPECT_EQ(Nodes(full), 2048);
    EXPECT_NE(FindBlock(full), FindBlock(a));
    EXPECT_EQ(FindBlock(full)->iFreeNodes, 0);
    void* big = GetMem(65536);
    MemBlock* d = FindBlock(big);
    EXPECT_EQ(big, d->pData);
    EXPECT_EQ(d->iSize, 131072);
    EXPECT_EQ(d->iUsed, 65568);
    EXPECT_EQ(d->iFreeNodes, 0);
    EXPECT_EQ(std::string(d->MAT), std::string(2048, 'U'));
    EXPECT_TRUE(AllZero(big, 0, 131072));
    CheckChain();
    for (void* p : {a, b, c, full, big})
        PutMem(p);
}

TEST_F(MemMgr, EmptiedBlocksGoBackAtOnce) {
    char* a = static_cast<char*>(GetMem(10));
    char* b = static_cast<char*>(GetMem(10));
    EXPECT_EQ(b - a, 32);
    MemBlock* first = pMemB;
    PutMem(a);
    EXPECT_EQ(pMemB, first);
    PutMem(b);
    EXPECT_EQ(pMemB, nullptr); // also when it was the only block
    // A block in the middle of the chain leaves its neighbours linked.
    void* x = GetMem(65535);
    void* y = GetMem(65535);
    void* z = GetMem(65535);
    PutMem(y);
    EXPECT_EQ(pMemB->pNext, FindBlock(z));
    EXPECT_EQ(FindBlock(z)->pPrev, pMemB);
    PutMem(x);
    EXPECT_EQ(pMemB, FindBlock(z));
    EXPECT_EQ(pMemB->pPrev, nullptr);
    PutMem(z);
}

TEST_F(MemMgr, ForeignAndInnerPointersAreIgnored) {
    char* a = static_cast<char*>(GetMem(40));
    char* big = static_cast<char*>(GetMem(100000));
    int local = 0;
    PutMem(nullptr);
    PutMem(&local);
    PutMem(a + 16);
    PutMem(a + 32);                      // inside, at a node boundary
    PutMem(FindBlock(a)->pData + 65536); // one past the region's end
    PutMem(big + 64);
    EXPECT_EQ(Nodes(a), 2);
    EXPECT_EQ(FindBlock(big)->pData, big);
    // Not owned means a fresh allocation, nothing copied, nothing released.
    char* fresh = static_cast<char*>(AdjustMem(a + 16, 10));
    EXPECT_NE(fresh, a + 16);
    EXPECT_EQ(Nodes(a), 2);
    EXPECT_EQ(AdjustMem(&local, 0), nullptr);
    EXPECT_EQ(local, 0);
    for (void* p : {a, big, fresh})
        PutMem(p);
}

TEST_F(MemMgr, GrowthInPlaceForwardThenBackward) {
    // Forward: the nodes after the allocation are free but dirty.
    char* p = static_cast<char*>(GetMem(10));
    char* junk = static_cast<char*>(GetMem(100));
    memset(p, 'p', 31);
    memset(junk, 'j', 100);
    PutMem(junk);
    EXPECT_EQ(AdjustMem(p, 100), p);
    EXPECT_EQ(Nodes(p), 4);
    EXPECT_EQ(std::string(p, 31), std::string(31, 'p'));
    EXPECT_TRUE(AllZero(p, 31, 128));
    PutMem(p);

    // Backward: nodes 0-1 and 6-7 in use, 2-4 free, the allocation at 5.
    void* a = GetMem(63);
    char* b = static_cast<char*>(GetMem(95));
    char* q = static_cast<char*>(GetMem(10));
    void* c = GetMem(63);
    ASSERT_EQ(Index(q), 5);
    memset(b, 'b', 96);
    memset(q, 'q', 32);
    PutMem(b);
    char* moved = static_cast<char*>(AdjustMem(q, 100));
    EXPECT_EQ(moved, b);
    EXPECT_EQ(Index(moved), 2);
    EXPECT_EQ(Nodes(moved), 4);
    EXPECT_EQ(FindBlock(moved)->aNode[5].nNodes, 0);
    EXPECT_EQ(std::string(moved, 32), std::string(32, 'q'));
    EXPECT_TRUE(AllZero(moved, 32, 128));
    CheckChain();

    // Neither way: the allocation moves and keeps its contents.
    char* m = static_cast<char*>(AdjustMem(moved, 500));
    EXPECT_NE(m, moved);
    EXPECT_EQ(std::string(m, 32), std::string(32, 'q'));
    EXPECT_TRUE(AllZero(m, 32, 500));
    EXPECT_EQ(Nodes(m), 16); // 501 bytes, no more

    // Shrinking frees and zeroes the tail.
    memset(m, 'm', 500);
    EXPECT_EQ(AdjustMem(m, 40), m);
    EXPECT_EQ(Nodes(m), 2);
    EXPECT_EQ(std::string(m, 40), std::string(40, 'm'));
    EXPECT_TRUE(AllZero(m, 40, 512)); // the kept node's tail too
    EXPECT_EQ(AdjustMem(m, 50), m);   // same node count: the grown part is zero
    EXPECT_TRUE(AllZero(m, 40, 64));
    CheckChain();
    EXPECT_EQ(AdjustMem(m, 0), nullptr);
    for (void* x : {a, c})
        PutMem(x);
}

TEST_F(MemMgr, AdjustOfNoneIsGetMem) {
    char* p = static_cast<char*>(AdjustMem(nullptr, 10));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p, pMemB->pData);
    EXPECT_EQ(Nodes(p), 1);
    EXPECT_EQ(AdjustMem(p, -1), nullptr); // bad length: nothing changes
    EXPECT_EQ(Nodes(p), 1);
    EXPECT_EQ(AdjustMem(p, 0), nullptr);
    EXPECT_EQ(pMemB, nullptr);
    EXPECT_EQ(AdjustMem(nullptr, 0), nullptr);
}

TEST_F(MemMgr, DedicatedBlocksResizeWithinTheirRegion) {
    char* p = static_cast<char*>(GetMem(100000));
    MemBlock* d = FindBlock(p);
    EXPECT_EQ(d->iSize, 131072);
    memset(p, 'd', 100000);
    // Growing to the region's exact length, then shrinking, keeps contents.
    EXPECT_EQ(AdjustMem(p, 131071), p);
    EXPECT_TRUE(AllZero(p, 100000, 131072));
    memset(p, 'e', 131072);
    EXPECT_EQ(AdjustMem(p, 120000), p);
    EXPECT_EQ(std::string(p, 120000), std::string(120000, 'e'));
    EXPECT_TRUE(AllZero(p, 120032, 131072));
    // Past the region it moves, whole.
    char* q = static_cast<char*>(AdjustMem(p, 200000));
    EXPECT_NE(q, p);
    EXPECT_EQ(FindBlock(q)->iSize, 262144);
    EXPECT_EQ(std::string(q, 120000), std::string(120000, 'e'));
    EXPECT_TRUE(AllZero(q, 120032, 262144));
    // A shared allocation growing past 65536 moves to a dedicated block, and
    // one growing to 65535 bytes to a full shared block.
    char* s = static_cast<char*>(GetMem(50));
    memset(s, 's', 50);
    char* t = static_cast<char*>(AdjustMem(s, 70000));
    EXPECT_EQ(FindBlock(t)->iSize, 131072);
    EXPECT_EQ(std::string(t, 50), std::string(50, 's'));
    char* u = static_cast<char*>(GetMem(50));
    memset(u, 'u', 50);
    char* v = static_cast<char*>(AdjustMem(u, 65535));
    EXPECT_EQ(FindBlock(v)->iSize, 65536);
    EXPECT_EQ(Nodes(v), 2048);
    EXPECT_EQ(std::string(v, 50), std::string(50, 'u'));
    for (void* x : {q, t, v})
        PutMem(x);
}

TEST_F(MemMgr, FailedAllocationKeepsTheOldOne) {
    // 2045 + 1 nodes in use: two free nodes at the end, none elsewhere.
    char* p = static_cast<char*>(GetMem(65535 - 96));
    char* q = static_cast<char*>(GetMem(10));
    ASSERT_EQ(Nodes(p), 2045);
    memset(p, 'k', 65440);
    memset(q, 'q', 32);
    flMemFailMap = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetMem(100), nullptr);
    EXPECT_EQ(GetMem(100000), nullptr);
    EXPECT_EQ(AdjustMem(p, 65535 - 64), nullptr);
    EXPECT_EQ(AdjustMem(q, 100), nullptr);
    EXPECT_EQ(AdjustMem(p, 80000), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    flMemFailMap = false;
    std::string once = "ERROR: Unable to allocate memory\n";
    EXPECT_EQ(err, once + once + once + once + once);
    EXPECT_EQ(Nodes(p), 2045);
    EXPECT_EQ(Nodes(q), 1);
    EXPECT_EQ(std::string(p, 65440), std::string(65440, 'k'));
    EXPECT_EQ(std::string(q, 32), std::string(32, 'q'));
    EXPECT_EQ(pMemB->pNext, nullptr);
    CheckChain();
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetMem(INT_MAX), nullptr); // beyond any block's size field
    EXPECT_EQ(testing::internal::GetCapturedStderr(), once);
    PutMem(p);
    PutMem(q);
}

TEST_F(MemMgr, HeapServesWhenTheDeviceIsMissing) {
    char* mapped = static_cast<char*>(GetMem(10));
    auto heap = std::make_unique<HeapOnly>();
    char* full = static_cast<char*>(GetMem(65535));
    char* big = static_cast<char*>(GetMem(300000));
    EXPECT_TRUE(FindBlock(full)->flHeaderFromHeap && FindBlock(full)->flDataFromHeap);
    EXPECT_TRUE(FindBlock(big)->flDataFromHeap);
    EXPECT_FALSE(FindBlock(mapped)->flDataFromHeap);
    EXPECT_EQ(MemId, -1);
    EXPECT_TRUE(AllZero(big, 0, 300000));
    memset(full, 'f', 65536);
    memset(big, 'g', 300000);
    char* bigger = static_cast<char*>(AdjustMem(big, 400000));
    EXPECT_EQ(std::string(bigger, 300000), std::string(300000, 'g'));
    EXPECT_TRUE(AllZero(bigger, 300000, 400000));
    // The open is tried again at every call.
    heap.reset();
    char* again = static_cast<char*>(GetMem(65535));
    EXPECT_NE(MemId, -1);
    EXPECT_FALSE(FindBlock(again)->flDataFromHeap);
    CheckChain();
    for (void* x : {mapped, full, bigger, again})
        PutMem(x); // freed, not unmapped
}

TEST_F(MemMgr, DumpFormat) {
    char* a = static_cast<char*>(GetMem(40));
    char* b = static_cast<char*>(GetMem(5));
    strcpy(a, "hello");
    memset(b, 'z', 32); // filled to its last byte: printed no further
    char* d = static_cast<char*>(GetMem(70000));
    MemBlock* s = pMemB;
    MemBlock* ded = FindBlock(d);
    char head[512];
    snprintf(head, sizeof head,
             "\n============ Block(%li) size(65536) Free(2045) Used(3) FreeNodeCount(2045) "
             "SizeCnt(2045) <==(0) (%li)==>\n\tBlock MAT:",
             long(s), long(ded));
    std::string want = head;
    want += "\n\tUUU" + std::string(61, '_');
    for (int row = 1; row < 32; ++row)
        want += "\n\t" + std::string(64, '_');
    want += "\n\n\tAllocated Nodes:\n";
    snprintf(head, sizeof head,
             "\tMAT index(     0) Memory Addr(%6li) nodes(    2) size(   64) Memory(hello)\n"
             "\tMAT index(     2) Memory Addr(%6li) nodes(    1) size(   32) Memory(%s)\n\n",
             long(a), long(b), std::string(32, 'z').c_str());
    want += head;
    snprintf(head, sizeof head,
             "\n============ Dedicated Block(%li) size(131072) FreeNodeCount(0) <==(%li) (0)==>",
             long(d), long(s));
    want += head;
    EXPECT_EQ(Dump(), want);
    for (void* x : {a, b, d})
        PutMem(x);
    EXPECT_EQ(Dump(), "");
}

TEST_F(MemMgr, RunSearchMatchesTheNaiveSearch) {
    MemBlock* b = GetNewBlock(0);
    std::mt19937 rng(7);
    EXPECT_EQ(TestMAT(b, 0, ' ', 2048), 1);
    EXPECT_EQ(TestMAT(b, 2047, ' ', 2), 0);
    EXPECT_EQ(TestMAT(b, 5000, 'U', 0), 1);
    for (int round = 0; round < 300; ++round) {
        int density = int(rng() % 100); // percent of used nodes
        for (int i = 0; i < 2048; ++i)
            b->MAT[i] = int(rng() % 100) < density ? 'U' : ' ';
        for (int k : {1, 2, 3, 5, 7, 8, 9, 16, 17, 63, 64, 300, 1000, 2047, 2048})
            ASSERT_EQ(FindFreeRun(b, k), FindFreeRunNaive(b, k)) << "k " << k;
    }
    FreeBlock(b);
}

void RunRandomSequence(unsigned seed) {
    struct Alloc {
        char* p;
        int n;
        int tag;
    };
    // Each allocation holds its own shift of one pattern without zero bytes.
    static std::vector<char> pattern(251 + 140000);
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = char(i * 7 % 251 + 1);
    auto fill = [&](const Alloc& a, int from) {
        memcpy(a.p + from, &pattern[size_t(a.tag % 251 + from)], size_t(a.n - from));
    };
    auto intact = [&](const Alloc& a, int upTo) {
        return memcmp(a.p, &pattern[size_t(a.tag % 251)], size_t(upTo)) == 0;
    };
    std::mt19937 rng(seed);
    auto size = [&] {
        unsigned r = rng() % 100;
        return int(1 + rng() % (r < 70 ? 300 : r < 95 ? 8000 : 140000));
    };
    std::vector<Alloc> live;
    for (int step = 0; step < 4000; ++step) {
        unsigned op = rng() % 10;
        if (live.empty() || op < 4) {
            int n = size();
            Alloc a{static_cast<char*>(GetMem(n)), n, step};
            ASSERT_NE(a.p, nullptr);
            ASSERT_TRUE(AllZero(a.p, 0, size_t(n))) << "step " << step;
            fill(a, 0);
            live.push_back(a);
        } else if (op < 7) {
            Alloc& a = live[rng() % live.size()];
            int n = size(), kept = std::min(a.n, n);
            char* q = static_cast<char*>(AdjustMem(a.p, n));
            ASSERT_NE(q, nullptr);
            a.p = q;
            ASSERT_TRUE(intact(a, kept)) << "step " << step;
            ASSERT_TRUE(AllZero(q, size_t(kept), size_t(n))) << "step " << step;
            a.n = n;
            fill(a, kept);
        } else {
            size_t k = rng() % live.size();
            ASSERT_TRUE(intact(live[k], live[k].n)) << "step " << step;
            PutMem(live[k].p);
            live.erase(live.begin() + long(k));
        }
        if (step % 8 == 0) {
            for (const Alloc& a : live)
                ASSERT_TRUE(intact(a, a.n)) << "step " << step;
            ASSERT_NO_FATAL_FAILURE(CheckChain()) << "step " << step;
        }
    }
    for (const Alloc& a : live)
        PutMem(a.p);
}

TEST_F(MemMgr, RandomSequencesKeepContentsAndCounts) {
    RunRandomSequence(20240607);
}

// Heap regions are bounds-checked under the address sanitizer.
TEST_F(MemMgr, RandomSequencesOnTheHeap) {
    HeapOnly heap;
    RunRandomSequence(77);
}

} // namespace
