// Record database against gdbm: 10,000 and then 100,000 records (keys of 8
// to 24 bytes, data of 20 to 200) bulk-loaded through one handle with
// deferred writes and one archive, then every key looked up once; gdbm
// stores and fetches the same records in the same run. Prints the times,
// the ratio and the growth from 10,000 to 100,000 records; the lookups once
// through a handle that checks the file before each (flags 0) and once
// through one that keeps its image (flag 2). Then the cost of one
// write-through put into a file of 1,000 records with the writers' lock and
// without it (the same replacement written under a lock taken once), and
// deleting k of 100,000 records by prefix for growing k, which stays one
// pass over the image. Each figure is the best of three runs, after one
// warm-up run, as the machine is shared.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Dbm/Dbm.h"

#ifdef ORVIK_HAVE_GDBM
#include <gdbm.h>
#endif

namespace {

struct Record {
    std::string key, data;
};

std::vector<Record> MakeRecords(int n) {
    uint64_t s = 0x9E3779B97F4A7C15ull;
    auto next = [&s]() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    };
    std::vector<Record> records(static_cast<size_t>(n));
    for (int i = 0; i < n; i++) {
        char unique[16];
        int u = snprintf(unique, sizeof unique, "%x", i);  // keeps every key distinct
        int keyLen = 8 + int(next() % 17);
        std::string key(unique, size_t(u));
        while (int(key.size()) < keyLen) key += char('a' + next() % 26);
        std::string data(20 + next() % 181, ' ');
        for (char& c : data) c = char(32 + next() % 95);
        records[size_t(i)] = {key, data};
    }
    return records;
}

double Ms(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

struct Figures {
    double load = 0, lookup = 0, kept = 0;
    double total() const { return load + lookup; }
};

Figures RunOurs(const std::vector<Record>& records, const std::string& path) {
    Figures f;
    auto t0 = std::chrono::steady_clock::now();
    DbTHandle* h = DbTOpen(path.c_str(), DB_DEFER);
    for (const Record& r : records)
        if (!DbmTPutRecord(h, r.key.c_str(), r.data.data(), int(r.data.size()))) {
            fprintf(stderr, "Dbm_bench: put failed\n");
            exit(1);
        }
    if (!DbmTArchiveDb(h)) exit(1);
    f.load = Ms(t0);
    auto t1 = std::chrono::steady_clock::now();
    static char buf[DB_COPY_SIZE];
    size_t found = 0;
    for (const Record& r : records) found += DbmTGetRecord(h, r.key.c_str(), buf) == int(r.data.size());
    f.lookup = Ms(t1);
    DbTClose(h);
    h = DbTOpen(path.c_str(), DB_KEEP);
    DbmTGetRecord(h, records[0].key.c_str(), buf);  // the index is built once
    auto t2 = std::chrono::steady_clock::now();
    for (const Record& r : records) found += DbmTGetRecord(h, r.key.c_str(), buf) == int(r.data.size());
    f.kept = Ms(t2);
    if (found != 2 * records.size()) {
        fprintf(stderr, "Dbm_bench: %zu of %zu records found\n", found, 2 * records.size());
        exit(1);
    }
    DbTClose(h);
    return f;
}

#ifdef ORVIK_HAVE_GDBM
Figures RunGdbm(const std::vector<Record>& records, const std::string& path) {
    Figures f;
    auto t0 = std::chrono::steady_clock::now();
    GDBM_FILE db = gdbm_open(path.c_str(), 0, GDBM_NEWDB, 0644, nullptr);
    if (!db) {
        fprintf(stderr, "Dbm_bench: gdbm_open failed\n");
        exit(1);
    }
    for (const Record& r : records) {
        datum k{const_cast<char*>(r.key.data()), int(r.key.size())};
        datum d{const_cast<char*>(r.data.data()), int(r.data.size())};
        gdbm_store(db, k, d, GDBM_REPLACE);
    }
    gdbm_sync(db);
    f.load = Ms(t0);
    auto t1 = std::chrono::steady_clock::now();
    size_t found = 0;
    for (const Record& r : records) {
        datum k{const_cast<char*>(r.key.data()), int(r.key.size())};
        datum d = gdbm_fetch(db, k);
        found += d.dptr && size_t(d.dsize) == r.data.size();
        free(d.dptr);
    }
    f.lookup = Ms(t1);
    gdbm_close(db);
    if (found != records.size()) exit(1);
    return f;
}
#endif

// Microseconds per write-through put into a file of 1,000 records: with the
// lock taken for each put, or written under a lock taken once.
double PutMicros(const std::string& path, bool locked) {
    std::vector<Record> records = MakeRecords(1000);
    DbTHandle* h = DbTOpen(path.c_str(), DB_DEFER);
    for (const Record& r : records) DbmTPutRecord(h, r.key.c_str(), r.data.data(), int(r.data.size()));
    DbmTArchiveDb(h);
    DbTClose(h);
    const int puts = 300;
    h = DbTOpen(path.c_str(), locked ? 0 : DB_DEFER);
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < puts; i++) {
        const Record& r = records[size_t(i)];
        if (!DbmTPutRecord(h, r.key.c_str(), r.data.data(), int(r.data.size()))) exit(1);
        if (!locked && !DbmWriteReplacement(path.c_str(), h->pImage, h->imageLen, "bench")) exit(1);
    }
    double us = Ms(t0) * 1000 / puts;
    DbTClose(h);
    std::filesystem::remove(path);
    return us;
}

// Milliseconds to delete every record whose key begins with "d" from an
// image of n records, k of which match.
double DeleteMs(const std::string& path, int n, int k) {
    std::vector<Record> records = MakeRecords(n);
    DbTHandle* h = DbTOpen(path.c_str(), DB_DEFER | DB_KEEP);  // in memory only: never archived
    for (int i = 0; i < n; i++) {
        Record& r = records[size_t(i)];
        r.key[0] = i % (n / k) == 0 ? 'd' : 'k';
        DbmTPutRecord(h, r.key.c_str(), r.data.data(), int(r.data.size()));
    }
    auto t0 = std::chrono::steady_clock::now();
    DbmPurgeImage(h, "d", true);
    double ms = Ms(t0);
    DbTClose(h);
    return ms;
}

}  // namespace

int main() {
    char tmpl[] = "/tmp/Dbm_bench.XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    std::string dir = tmpl;
    const int sizes[2] = {10000, 100000};
    Figures ours[2], theirs[2];
    bool haveGdbm = false;
    auto best = [](Figures a, Figures b) {
        return Figures{std::min(a.load, b.load), std::min(a.lookup, b.lookup), std::min(a.kept, b.kept)};
    };
    for (int i = 0; i < 2; i++) {
        std::vector<Record> records = MakeRecords(sizes[i]);
        for (int run = 0; run < 4; run++) {
            std::string name = dir + "/run" + std::to_string(i) + std::to_string(run);
            Figures f = RunOurs(records, name + ".qdb");
            if (run == 1) ours[i] = f;
            if (run > 1) ours[i] = best(ours[i], f);
#ifdef ORVIK_HAVE_GDBM
            Figures g = RunGdbm(records, name + ".db");
            if (run == 1) theirs[i] = g;
            if (run > 1) theirs[i] = best(theirs[i], g);
            haveGdbm = true;
#endif
            std::filesystem::remove(name + ".qdb");
            std::filesystem::remove(name + ".db");
        }
    }

    printf("%-8s %9s  %12s %12s %12s %16s\n", "records", "", "load ms", "lookup ms", "total ms",
           "lookup ms flag 2");
    for (int i = 0; i < 2; i++) {
        printf("%-8d %9s  %12.1f %12.1f %12.1f %16.1f\n", sizes[i], "Dbm", ours[i].load,
               ours[i].lookup, ours[i].total(), ours[i].kept);
        if (haveGdbm)
            printf("%-8s %9s  %12.1f %12.1f %12.1f   Dbm/gdbm %.2f\n", "", "gdbm", theirs[i].load,
                   theirs[i].lookup, theirs[i].total(), ours[i].total() / theirs[i].total());
    }
    printf("growth 10,000 -> 100,000: Dbm %.1fx", ours[1].total() / ours[0].total());
    if (haveGdbm) printf(", gdbm %.1fx", theirs[1].total() / theirs[0].total());
    printf("\n");
    if (!haveGdbm) printf("gdbm: not found at build time (install libgdbm-dev); Dbm figures only\n");

    double with = 1e9, without = 1e9;
    for (int run = 0; run < 3; run++) {
        with = std::min(with, PutMicros(dir + "/put.qdb", true));
        without = std::min(without, PutMicros(dir + "/put.qdb", false));
    }
    printf("write-through put into 1,000 records: %.1f us with the lock, %.1f us without\n", with,
           without);
    printf("delete by prefix, k of 100,000 records:");
    for (int k : {100, 1000, 10000, 50000}) {
        double ms = 1e9;
        for (int run = 0; run < 3; run++) ms = std::min(ms, DeleteMs(dir + "/del.qdb", 100000, k));
        printf("  k=%d %.1f ms", k, ms);
    }
    printf("\n");
    std::filesystem::remove_all(dir);
    return 0;
}
