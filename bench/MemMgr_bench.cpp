// Figures for the memory manager: the cost of first fit over a fragmented
// chain of blocks, with the jumping run search and with the plain search
// that tests every map position.
#include "MemMgr/MemMgr.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

double NsPer(long count, std::chrono::steady_clock::duration d) {
    return double(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count()) / double(count);
}

// Blocks full of 1-node allocations with every other pair released: 1024
// free nodes each, but no run longer than 2.
std::vector<void*> CombChain(int blocks) {
    std::vector<void*> all, kept;
    for (int i = 0; i < blocks * MEM_BLOCK_NODES; ++i)
        all.push_back(GetMem(10));
    for (size_t i = 0; i < all.size(); ++i)
        if (i % 4 < 2)
            PutMem(all[i]);
        else
            kept.push_back(all[i]);
    return kept;
}

// Blocks of random small allocations, half of them released at random.
std::vector<void*> RandomChain(int blocks, std::mt19937& rng) {
    std::vector<void*> all, kept;
    while (true) {
        int n = 0;
        for (MemBlock* b = pMemB; b; b = b->pNext)
            ++n;
        if (n > blocks) break;
        all.push_back(GetMem(int(1 + rng() % 200)));
    }
    for (void* p : all)
        if (rng() % 2)
            PutMem(p);
        else
            kept.push_back(p);
    return kept;
}

// GetMem followed by PutMem of the same allocation, repeated.
double PairCost(int size, long rounds) {
    auto t0 = std::chrono::steady_clock::now();
    for (long r = 0; r < rounds; ++r)
        PutMem(GetMem(size));
    return NsPer(rounds, std::chrono::steady_clock::now() - t0);
}

double SearchCost(const MemBlock* b, int k, bool naive, long rounds) {
    volatile int sink = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (long r = 0; r < rounds; ++r)
        sink = sink + (naive ? FindFreeRunNaive(b, k) : FindFreeRun(b, k));
    return NsPer(rounds, std::chrono::steady_clock::now() - t0);
}

} // namespace

int main() {
    std::mt19937 rng(1);
    const int blocks = 8;

    std::vector<void*> comb = CombChain(blocks);
    void* anchor = GetMem(80); // opens a tail block and keeps it from being released
    std::printf("comb chain of %d blocks (runs of 2 free nodes), GetMem(80)+PutMem:\n", blocks);
    for (bool naive : {false, true}) {
        flMemNaiveSearch = naive;
        std::printf("  %-8s %9.0f ns per pair\n", naive ? "naive" : "jumping", PairCost(80, 20000));
    }
    std::printf("one comb block, search for 3 free nodes (no fit):\n");
    for (bool naive : {false, true})
        std::printf("  %-8s %9.0f ns per search\n", naive ? "naive" : "jumping",
                    SearchCost(pMemB, 3, naive, 200000));
    for (void* p : comb)
        PutMem(p);
    PutMem(anchor);

    std::vector<void*> mixed = RandomChain(blocks, rng);
    // A tail block with room, kept by one allocation at its start.
    anchor = AdjustMem(GetMem(65535), 10);
    std::printf("random chain of %d blocks (half released), GetMem+PutMem:\n", blocks);
    for (int size : {10, 100, 400, 2000}) {
        for (bool naive : {false, true}) {
            flMemNaiveSearch = naive;
            std::printf("  size %4d %-8s %9.0f ns per pair\n", size, naive ? "naive" : "jumping",
                        PairCost(size, 20000));
        }
    }
    flMemNaiveSearch = false;
    std::printf("one random block, search for k free nodes:\n");
    for (int k : {1, 3, 8, 16, 63, 300})
        for (bool naive : {false, true})
            std::printf("  k %4d %-8s %9.0f ns per search\n", k, naive ? "naive" : "jumping",
                        SearchCost(pMemB, k, naive, 100000));
    std::printf("a block mapped and released each time:\n");
    std::printf("  GetMem(65535)+PutMem   %9.0f ns per pair\n", PairCost(65535, 2000));
    std::printf("  GetMem(100000)+PutMem  %9.0f ns per pair\n", PairCost(100000, 2000));
    for (void* p : mixed)
        PutMem(p);
    PutMem(anchor);
    std::printf("chain empty at the end: %s\n", pMemB ? "no" : "yes");
    return 0;
}
