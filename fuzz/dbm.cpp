// Record files of both formats: the input is a database file, read through
// the file-level operations (key list, gets, the next-record walk, link
// lists, the check) and through a handle (key list, gets, the record walk,
// one put, the write-back), then read again from what was written.
#include <cstring>
#include <string>

#include "Dbm/Dbm.h"
#include "FuzzSupport.h"
#include "MemMgr/MemMgr.h"

namespace {

// Every key of a list "\x01key\x01key...": keys hold any byte but zero, so a
// key holding the separator is looked up in pieces (found or not, no fault).
template <typename Visit> void ForEachKey(char* list, Visit visit) {
    if (!list) return;
    for (char* p = list; *p;) {
        if (*p == '\x01') {
            ++p;
            continue;
        }
        char* end = strchr(p, '\x01');
        std::string key = end ? std::string(p, size_t(end - p)) : std::string(p);
        visit(key.c_str());
        if (!end) break;
        p = end;
    }
    PutMem(list);
}

void FileLevel(const char* name) {
    static uint8_t data[DB_COPY_SIZE];
    ForEachKey(DbmGetRecordList(name, "\x01", ""), [&](const char* key) {
        int n = DbmGetRecordSize(name, key);
        if (n < 0 || n > DB_MAX_L) abort();
        int got = DbmGetRecord(name, key, data);
        if (got > DB_MAX_L) abort();
    });
    // The next-record walk keeps its place across calls; a run of calls
    // reaches the end of any file.
    for (int i = 0; i < 64 && DbmGetNextRecord(name, data) > 0; i++) {
    }
    DbmFreeDbLinkList(DbmGetDbLinkList(name, ""));
    DbmFreeDbLinkList(DbmGetDbLinkList(name, "1"));
    DbCheckReport report{};
    DbmCheckFile(name, &report);
}

void Handle(const char* name) {
    DbTHandle* h = DbTOpen(name, 0);
    if (!h) return;
    ForEachKey(DbmTGetRecordList(h, "\x01", ""), [&](const char* key) {
        char* buffer = nullptr;
        int n = DbmTGetRecordV(h, key, &buffer, 0);
        if (n > DB_MAX_L) abort();
        PutMem(buffer);
    });
    static uint8_t data[DB_COPY_SIZE];
    DbRecordView v;
    for (int more = DbmFirstRecord(h, &v); more; more = DbmNextRecord(h, &v)) {
        if (v.start < 0 || v.start >= h->imageLen) abort();
        DbmRecordData(h, &v, data);
    }
    static const char kKey[] = "fuzz_put";
    static const char kData[] = "written by the fuzz target";
    bool stored = DbmTPutRecord(h, kKey, kData, sizeof kData) == 1;
    bool written = stored && DbmTArchiveDb(h) == 1;
    DbTClose(h);
    if (!written) return;
    // What was written reads back with the new record in it.
    h = DbTOpen(name, 0);
    if (!h) abort();
    char back[sizeof kData];
    if (DbmTGetRecordSize(h, kKey) != int(sizeof kData)) abort();
    if (DbmTGetRecord(h, kKey, back) != int(sizeof kData) || memcmp(back, kData, sizeof kData) != 0)
        abort();
    DbTClose(h);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An absolute name without a dot maps to NAME.qdb.
    static const std::string name = fuzz::Scratch("records");
    static const std::string path = name + ".qdb";
    fuzz::WriteBytes(path, data, size);
    FileLevel(name.c_str());
    fuzz::WriteBytes(path, data, size);
    Handle(name.c_str());
    return 0;
}
