// The handle's record operations: put, delete, get, the key lists and copies.
#include <cstring>
#include <string_view>

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

int DbmTPutRecord(DbTHandle* h, const char* key, const void* data, int n) {
    if (!h || !key || !data || n <= 0) return 0;
    size_t keyLen = strlen(key);
    if (keyLen > size_t(DB_MAX_KEY)) return 0;
    int K = int(keyLen) + 1;
    int64_t L = int64_t(K) + n + 2;
    if (L > DB_MAX_L) return 0;  // no reader could follow a longer record
    if (!DbmBeginWrite(h)) return 0;

    // Room first, so that a put that cannot grow the image changes nothing.
    bool headed = h->dbType != DB_TYPE_HEADERLESS;
    int64_t base = h->imageLen == 0 && headed ? DB_HEADER_SIZE : h->imageLen;
    if (!DbmReserve(h, base + L + 2)) {
        if (!(h->flags & DB_DEFER)) DbmEndWrite(h);
        return 0;
    }
    if (h->dbType == DB_TYPE_NEW) DbTSetDbType(h, DB_TYPE_HEADED);
    DbmPurgeImage(h, key, false);
    if (h->imageLen == 0 && headed) {
        h->imageLen = DB_HEADER_SIZE;
        DbmWriteHeader(h);
    }

    int32_t start = h->imageLen;
    uint8_t* p = h->pImage + start;
    h->cursor = start;
    DbmWrite16(p, uint16_t(L), h->flSwap);
    if (h->dbType == DB_TYPE_HEADERLESS) {
        uint8_t* body = p + 2;
        DbmWrite16(body, uint16_t(K), false);
        memcpy(body + 2, key, size_t(K));
        memcpy(body + 2 + K, data, size_t(n));
        DbmChain(body, body, int(L));
    } else {
        DbmWrite16(p + 2, uint16_t(K), h->flSwap);
        memcpy(p + 4, key, size_t(K));
        DbmChain(p + 4, p + 4, K);
        memcpy(p + 4 + K, data, size_t(n));
        DbmChain(p + 4 + K, p + 4 + K, n);
        h->recordCount++;
    }
    h->cursor = start + 2 + int32_t(L);
    h->imageLen += int32_t(L) + 2;
    h->flChanged = 1;
    DbmIndexAdd(h, key, start);
    if (!(h->flags & DB_DEFER)) return DbmTArchiveDb(h);
    return 1;
}

int DbmTDeleteRecord(DbTHandle* h, const char* key) {
    int removed = PurgeTRecord(h, key, false);
    if (removed && !(h->flags & DB_DEFER)) return DbmTArchiveDb(h);
    return removed;
}

int DbmTDeleteRecords(DbTHandle* h, const char* prefix) {
    if (!h || !prefix || !prefix[0]) return 0;
    if (PurgeTRecord(h, prefix, true) && !(h->flags & DB_DEFER)) DbmTArchiveDb(h);
    return 1;
}

int DbmTGetRecord(DbTHandle* h, const char* key, void* dest) {
    if (!h || !key || !dest) return 0;
    DbTRefreshUnlessKept(h);
    DbRecordView v;
    if (!DbmFindRecord(h, key, &v)) return 0;
    return DbmRecordData(h, &v, dest);
}

int DbmTGetRecordV(DbTHandle* h, const char* key, char** buffer, int size) {
    if (!h || !key || !buffer) return 0;
    DbTRefreshUnlessKept(h);
    DbRecordView v;
    if (!DbmFindRecord(h, key, &v)) return 0;
    int n = v.L - v.K - 2;
    if (n <= 0) return 0;
    if (n > size || !*buffer) {
        char* grown = static_cast<char*>(GetMem(n));
        if (!grown) return 0;
        *buffer = grown;
    }
    return DbmRecordData(h, &v, *buffer);
}

int DbmTGetRecordSize(DbTHandle* h, const char* key) {
    if (!h || !key) return 0;
    DbTRefreshUnlessKept(h);
    DbRecordView v;
    if (!DbmFindRecord(h, key, &v)) return 0;
    int n = v.L - v.K - 2;
    return n > 0 ? n : 0;
}

// A growing text whose allocation doubles.
struct TextBuild {
    char* p = nullptr;
    size_t len = 0;
    size_t cap = 0;
    bool failed = false;
    void Add(std::string_view piece) {
        if (failed) return;
        if (len + piece.size() + 1 > cap) {
            size_t want = cap ? cap : 64;
            while (want < len + piece.size() + 1) want *= 2;
            void* grown = want > size_t(INT32_MAX) ? nullptr : AdjustMem(p, int(want));
            if (!grown) {
                failed = true;
                return;
            }
            p = static_cast<char*>(grown);
            cap = want;
        }
        memcpy(p + len, piece.data(), piece.size());
        len += piece.size();
        p[len] = 0;
    }
    char* Take() {
        if (failed) {
            PutMem(p);
            return nullptr;
        }
        return p;
    }
};

static bool HasPrefix(const char* key, const char* prefixes) {
    std::string_view list(prefixes);
    while (!list.empty()) {
        size_t comma = list.find(',');
        std::string_view prefix = list.substr(0, comma);
        if (!prefix.empty() && std::string_view(key).starts_with(prefix)) return true;
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return false;
}

char* DbmTGetRecordListS(DbTHandle* h, const char* prefixes, const char* separator,
                         const char* end) {
    if (!h || !separator || !end) return nullptr;
    DbTRefreshUnlessKept(h);
    TextBuild text;
    DbRecordView v;
    for (int ok = DbmFirstRecord(h, &v); ok; ok = DbmNextRecord(h, &v)) {
        if (!v.pKey || (prefixes && !HasPrefix(v.pKey, prefixes))) continue;
        text.Add(separator);
        text.Add(v.pKey);
    }
    if (!text.p) return nullptr;
    text.Add(end);
    return text.Take();
}

char* DbmTGetRecordList(DbTHandle* h, const char* separator, const char* end) {
    return DbmTGetRecordListS(h, nullptr, separator, end);
}

DbRecordLink* DbmTGetDbLinkList(DbTHandle* h, const char* pattern) {
    if (!h || !pattern) return nullptr;
    DbTRefreshUnlessKept(h);
    DbRecordLink* first = nullptr;
    DbRecordLink** tail = &first;
    DbRecordView v;
    for (int ok = DbmFirstRecord(h, &v); ok; ok = DbmNextRecord(h, &v)) {
        if (!v.pKey || v.K > DB_KEY_BUF_SIZE || !strstr(v.pKey, pattern)) continue;
        int n = v.L - v.K - 2;
        auto* link = static_cast<DbRecordLink*>(GetMem(int(sizeof(DbRecordLink))));
        char* record = static_cast<char*>(GetMem(v.K + (n > 0 ? n : 0) + 1));
        if (!link || !record) {
            PutMem(link);
            PutMem(record);
            break;
        }
        memcpy(record, v.pKey, v.K);
        link->pRecord = record;
        link->pData = record + v.K;
        link->dataLen = DbmRecordData(h, &v, link->pData);
        *tail = link;
        tail = &link->pNext;
    }
    return first;
}

DbRecordLink* DbmFreeDbLinkList(DbRecordLink* first) {
    while (first) {
        DbRecordLink* next = first->pNext;
        PutMem(first->pRecord);
        PutMem(first);
        first = next;
    }
    return nullptr;
}

int DbmTCopyRecord(DbTHandle* h, const char* from, const char* to) {
    if (!h || !from || !to) return 0;
    MemHold<char> buffer(static_cast<char*>(GetMem(DB_COPY_SIZE)));
    if (!buffer) return 0;
    int n = DbmTGetRecord(h, from, buffer.get());
    return n > 0 ? DbmTPutRecord(h, to, buffer.get(), n) : 0;
}
