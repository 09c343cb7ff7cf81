// The handle's image: reading the file, following it through its
// modification time, walking the records, and the key index kept beside it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "setup/setup.h"
#include "utils/utils.h"

// ----------------------------------------------------------- chaining

void DbmChain(const uint8_t* src, uint8_t* dst, int n) {
    for (int i = 0; i + 1 < n; i++) dst[i] = uint8_t(src[i] ^ src[i + 1]);
    if (n > 0) dst[n - 1] = src[n - 1];
}

void DbmUnchain(const uint8_t* src, uint8_t* dst, int n) {
    if (n <= 0) return;
    dst[n - 1] = src[n - 1];
    for (int i = n - 2; i >= 0; i--) dst[i] = uint8_t(src[i] ^ dst[i + 1]);
}

// ------------------------------------------------------------- lengths

static bool HostIsLittleEndian() {
    const uint32_t probe = 0x04030201;
    uint8_t bytes[4];
    memcpy(bytes, &probe, 4);
    return bytes[0] == 0x01 && bytes[1] == 0x02 && bytes[2] == 0x03 && bytes[3] == 0x04;
}

uint16_t DbmRead16(const uint8_t* p, bool swap) {
    uint16_t v;
    memcpy(&v, p, 2);
    return swap ? uint16_t((v >> 8) | (v << 8)) : v;
}

void DbmWrite16(uint8_t* p, uint16_t v, bool swap) {
    if (swap) v = uint16_t((v >> 8) | (v << 8));
    memcpy(p, &v, 2);
}

void DbTSetDbType(DbTHandle* h, unsigned type) {
    if (!h) return;
    h->dbType = type;
    h->flSwap = type == DB_TYPE_HEADERLESS ? 0 : uint8_t(HostIsLittleEndian());
}

// ---------------------------------------------------------- file path

bool flDbmPathMode = false;

bool DbmFilePath(const char* name, char* path, int size) {
    int n;
    if (flDbmPathMode || name[0] == '.')
        n = snprintf(path, size_t(size), "%s", name);
    else if (name[0] == '/')
        n = snprintf(path, size_t(size), strchr(name, '.') ? "%s" : "%s.qdb", name);
    else
        n = snprintf(path, size_t(size), "%s/db/%s.%s", pToolPath ? pToolPath : ".", name, "qdb");
    return n >= 0 && n < size;
}

// ---------------------------------------------------------------- image

// Makes room for need bytes in the image, doubling, so that a run of puts
// copies the image only a logarithmic number of times. False (image
// untouched) when memory cannot be had.
bool DbmReserve(DbTHandle* h, int64_t need) {
    if (need > INT32_MAX) return false;
    if (h->pImage && need <= h->imageCap) return true;
    int64_t cap = h->imageCap > 0 ? h->imageCap : 256;
    while (cap < need) cap *= 2;
    if (cap > INT32_MAX) cap = need;
    void* grown = AdjustMem(h->pImage, int(cap));
    if (!grown) return false;
    h->pImage = static_cast<uint8_t*>(grown);
    h->imageCap = int32_t(cap);
    return true;
}

void DbmWriteHeader(DbTHandle* h) {
    static uint32_t seed = 0;
    if (!seed) seed = uint32_t(time(nullptr)) ^ (uint32_t(getpid()) << 16) ^ 0x9E3779B9u;
    uint8_t* p = h->pImage;
    memcpy(p, DB_MAGIC, 6);
    char digits[16];
    snprintf(digits, sizeof digits, "%li", long(h->recordCount));
    size_t n = strlen(digits);
    if (n > 9) n = 9;  // the count is cut to nine characters
    memcpy(p + 6, digits, n);
    p[6 + n] = 0;
    for (size_t i = 7 + n; i < size_t(DB_HEADER_SIZE); i++) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        p[i] = uint8_t(seed);
    }
}

static void ClearImage(DbTHandle* h) {
    PutMem(h->pImage);
    h->pImage = nullptr;
    h->imageLen = h->imageCap = 0;
    h->mtime = 0;
    h->mtimeNs = h->fileSize = 0;
    h->fileId = 0;
    h->flUnread = 0;
    h->cursor = h->walkPos = h->recordCount = 0;
    h->flChanged = 0;
    h->dbType = DB_TYPE_NEW;
    h->damagedAt = -1;
    DbmDropIndex(h);
}

// Reads the whole file into a new image; false when nothing could be read.
static bool ReadImage(DbTHandle* h, const char* path, long size) {
    if (size <= 0 || size > INT32_MAX) return false;
    for (int attempt = 0; attempt < DB_OPEN_TRIES; attempt++) {
        if (attempt) sleep(1);
        int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        // Only a passing failure is worth another attempt.
        if (fd < 0 && (errno == EACCES || errno == EPERM || errno == ENOENT || errno == ENOTDIR ||
                       errno == ELOOP))
            return false;
        if (fd < 0) continue;
        struct stat st;
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // swapped for a FIFO or device
            close(fd);
            return false;
        }
        if (!DbmReserve(h, size)) {
            close(fd);
            return false;
        }
        long got = 0;
        while (got < size) {
            ssize_t r = read(fd, h->pImage + got, size_t(size - got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            got += r;
        }
        close(fd);
        if (got > 0) {
            h->imageLen = int32_t(got);  // a file that shrank meanwhile is read as far as it goes
            return true;
        }
    }
    return false;
}

// One walk over a fresh image: a record that runs past the end (or whose
// key does not fit in it) cuts the image there, and the file is known as
// damaged at that offset, so that no write throws away what lies behind it.
static void NoteDamage(DbTHandle* h) {
    int32_t fullLen = h->imageLen;
    DbRecordView v;
    for (int ok = DbmFirstRecord(h, &v); ok; ok = DbmNextRecord(h, &v)) {
    }
    if (h->imageLen < fullLen) h->damagedAt = h->imageLen;
}

void DbmKeepIdentity(DbTHandle* h, const struct stat& st) {
    h->mtime = unsigned(st.st_mtim.tv_sec);
    h->mtimeNs = st.st_mtim.tv_nsec;
    h->fileSize = long(st.st_size);
    h->fileId = (unsigned long)(st.st_ino);
}

void DbTUpDate(DbTHandle* h) {
    if (!h || !h->pName) return;
    char path[DB_PATH_SIZE];
    if (!DbmFilePath(h->pName, path, sizeof path)) return;
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return;  // a directory is no database
    if (h->pImage && h->mtime == unsigned(st.st_mtim.tv_sec) && h->mtimeNs == st.st_mtim.tv_nsec &&
        h->fileSize == long(st.st_size) && h->fileId == (unsigned long)(st.st_ino))
        return;

    unsigned flags = h->flags;
    ClearImage(h);
    h->flags = flags;
    h->flChanged = 1;
    if (!ReadImage(h, path, long(st.st_size))) {
        // An empty or unreadable file: a fresh header and no record. The
        // records of an unreadable one must not be replaced by this image.
        h->flUnread = st.st_size > 0;
        if (!DbmReserve(h, DB_HEADER_SIZE)) return;
        h->imageLen = DB_HEADER_SIZE;
        DbTSetDbType(h, DB_TYPE_NEW);
        DbmWriteHeader(h);
        // An empty file is known as it is, so that deferred puts into its
        // image are not thrown away by a re-read of the same empty file.
        if (!h->flUnread) DbmKeepIdentity(h, st);
        return;
    }
    DbmKeepIdentity(h, st);
    if (h->imageLen < DB_MAGIC_TEST || memcmp(h->pImage, DB_MAGIC, DB_MAGIC_TEST) != 0) {
        DbTSetDbType(h, DB_TYPE_HEADERLESS);
        NoteDamage(h);
        return;
    }
    // The count is the decimal text from offset 6, within the header.
    char digits[10] = {};
    for (int i = 0; i < 9 && 6 + i < h->imageLen && 6 + i < DB_HEADER_SIZE; i++)
        digits[i] = char(h->pImage[6 + i]);
    h->recordCount = int32_t(strtol(digits, nullptr, 10));
    DbTSetDbType(h, DB_TYPE_HEADED);
    if (h->imageLen < DB_HEADER_SIZE) {
        // A header cut short: made whole, so that records go after it.
        if (!DbmReserve(h, DB_HEADER_SIZE)) return;
        h->imageLen = DB_HEADER_SIZE;
        DbmWriteHeader(h);
    }
    NoteDamage(h);
}

DbTHandle* DbTOpen(const char* name, unsigned flags) {
    if (!name) return nullptr;
    DbTHandle* h = static_cast<DbTHandle*>(GetMem(int(sizeof(DbTHandle))));
    if (!h) return nullptr;
    h->pName = SaveStr_(name);
    h->flChanged = 0;
    h->damagedAt = -1;
    h->lockFd = -1;
    h->flags = flags;
    DbTUpDate(h);
    return h;
}

void DbTClose(DbTHandle* h) {
    flDbmPathMode = false;
    if (!h) return;
    DbmEndWrite(h);
    PutMem(h->pImage);
    PutMem(h->pIndex);
    PutMem(h->pName);
    PutMem(h);
}

void DbTRefreshUnlessKept(DbTHandle* h) {
    if (!(h->flags & DB_KEEP)) DbTUpDate(h);
}

// ----------------------------------------------------------------- walk

static uint8_t* DecodeBuffer() {
    static uint8_t* buffer = nullptr;
    if (!buffer) buffer = static_cast<uint8_t*>(GetMem(DB_DECODE_SIZE));
    return buffer;
}

// Ends a walk at a damaged record: the image is cut before it.
static int CutAt(DbTHandle* h, int32_t start) {
    h->imageLen = start;
    h->walkPos = start;
    DbmDropIndex(h);
    return 0;
}

int DbmNextRecord(DbTHandle* h, DbRecordView* v) {
    int32_t start = h->walkPos;
    if (!h->pImage || start >= h->imageLen) return 0;
    bool swap = h->flSwap;
    if (int64_t(start) + 2 > h->imageLen) return CutAt(h, start);
    uint16_t L = DbmRead16(h->pImage + start, swap);
    if (L > DB_MAX_L) L = DB_MAX_L;
    if (int64_t(start) + 2 + L > h->imageLen) return CutAt(h, start);
    v->start = start;
    v->L = L;
    if (h->dbType == DB_TYPE_HEADERLESS) {
        uint8_t* body = DecodeBuffer();
        if (!body || L < 2) return CutAt(h, start);
        DbmUnchain(h->pImage + start + 2, body, L);
        v->K = DbmRead16(body, false);
        // The key and its zero byte must lie inside the body.
        if (v->K < 1 || L < v->K + 2 || body[1 + v->K] != 0) return CutAt(h, start);
        v->pKey = reinterpret_cast<const char*>(body + 2);
    } else {
        if (L < 2) return CutAt(h, start);
        v->K = DbmRead16(h->pImage + start + 2, swap);
        if (v->K < 1 || L < v->K + 2) return CutAt(h, start);
        static uint8_t keyBuf[DB_KEY_BUF_SIZE];
        if (v->K <= DB_KEY_BUF_SIZE) {
            DbmUnchain(h->pImage + start + 4, keyBuf, v->K);
            if (keyBuf[v->K - 1] != 0) return CutAt(h, start);
            v->pKey = reinterpret_cast<const char*>(keyBuf);
        } else {
            v->pKey = nullptr;  // a key no lookup can name
        }
        h->cursor = start + 4;
    }
    h->walkPos = start + 2 + L;
    return 1;
}

int DbmFirstRecord(DbTHandle* h, DbRecordView* v) {
    h->walkPos = h->dbType == DB_TYPE_HEADERLESS ? 0 : DB_HEADER_SIZE;
    return DbmNextRecord(h, v);
}

int DbmRecordData(DbTHandle* h, const DbRecordView* v, void* dest) {
    int n = v->L - v->K - 2;
    if (n <= 0) return 0;
    if (h->dbType == DB_TYPE_HEADERLESS) {
        memcpy(dest, v->pKey + v->K, size_t(n));
    } else {
        h->cursor = v->start + 4 + v->K;
        DbmUnchain(h->pImage + h->cursor, static_cast<uint8_t*>(dest), n);
        h->cursor += n;
    }
    return n;
}

// The unchained key of the record at start, for the index; none for a key
// longer than any lookup can name.
static const char* KeyAt(DbTHandle* h, int32_t start, DbRecordView* v) {
    int32_t saved = h->walkPos;
    h->walkPos = start;
    int found = DbmNextRecord(h, v);
    h->walkPos = saved;
    return found ? v->pKey : nullptr;
}

// ----------------------------------------------------------------- index

static uint32_t HashKey(const char* key, size_t n) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < n; i++) hash = (hash ^ uint8_t(key[i])) * 16777619u;
    return hash;
}

void DbmDropIndex(DbTHandle* h) {
    PutMem(h->pIndex);
    h->pIndex = nullptr;
    h->indexSize = h->indexCount = 0;
}

// The slot holding key (its record in *v), or the empty slot where it would
// go. The stored hash spares the image a visit for every other key.
static DbIndexSlot* Slot(DbTHandle* h, const char* key, size_t n, uint32_t hash, DbRecordView* v,
                         bool* found) {
    uint32_t mask = uint32_t(h->indexSize - 1);
    *found = false;
    for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
        DbIndexSlot* slot = &h->pIndex[i];
        if (slot->start1 == 0) return slot;
        if (slot->hash != hash) continue;
        const char* stored = KeyAt(h, slot->start1 - 1, v);
        if (stored && v->K == n + 1 && memcmp(stored, key, n) == 0) {
            *found = true;
            return slot;
        }
    }
}

static void IndexInsert(DbTHandle* h, const char* key, int32_t start) {
    size_t n = strlen(key);
    uint32_t hash = HashKey(key, n);
    bool found;
    DbRecordView v;
    DbIndexSlot* slot = Slot(h, key, n, hash, &v, &found);
    if (found) return;  // the first record of a key is the one found
    slot->start1 = start + 1;
    slot->hash = hash;
    h->indexCount++;
}

static DbIndexSlot* NewTable(int32_t size) {
    return static_cast<DbIndexSlot*>(GetMem(int(sizeof(DbIndexSlot)) * size));
}

// Builds the index: one walk to count (which also cuts a damaged image),
// one to insert. False when memory is short; lookups then walk the image.
static bool BuildIndex(DbTHandle* h) {
    DbmDropIndex(h);
    DbRecordView v;
    int32_t count = 0;
    for (int ok = DbmFirstRecord(h, &v); ok; ok = DbmNextRecord(h, &v)) count++;
    int32_t size = 64;
    while (size < 2 * count + 2) size *= 2;
    h->pIndex = NewTable(size);
    if (!h->pIndex) return false;
    h->indexSize = size;
    for (int32_t pos = h->dbType == DB_TYPE_HEADERLESS ? 0 : DB_HEADER_SIZE; pos < h->imageLen;) {
        h->walkPos = pos;
        if (!DbmNextRecord(h, &v)) break;
        pos = h->walkPos;
        if (v.pKey && v.K <= DB_KEY_BUF_SIZE) {
            char key[DB_KEY_BUF_SIZE];
            memcpy(key, v.pKey, v.K);  // the slot search reuses the walk's buffers
            IndexInsert(h, key, v.start);
        }
    }
    return true;
}

// Doubles the table, moving every slot by its stored hash.
static bool GrowIndex(DbTHandle* h) {
    int32_t size = h->indexSize * 2;
    DbIndexSlot* table = NewTable(size);
    if (!table) return false;
    uint32_t mask = uint32_t(size - 1);
    for (int32_t i = 0; i < h->indexSize; i++) {
        const DbIndexSlot& old = h->pIndex[i];
        if (old.start1 == 0) continue;
        uint32_t j = old.hash & mask;
        while (table[j].start1 != 0) j = (j + 1) & mask;
        table[j] = old;
    }
    PutMem(h->pIndex);
    h->pIndex = table;
    h->indexSize = size;
    return true;
}

void DbmIndexAdd(DbTHandle* h, const char* key, int32_t start) {
    if (!h->pIndex) return;
    if (2 * (h->indexCount + 1) + 2 > h->indexSize && !GrowIndex(h)) {
        DbmDropIndex(h);  // built afresh at the next lookup
        return;
    }
    IndexInsert(h, key, start);
}

int DbmFindRecord(DbTHandle* h, const char* key, DbRecordView* v) {
    size_t n = strlen(key);
    if (n > size_t(DB_MAX_KEY) || !h->pImage) return 0;
    if (!h->pIndex) BuildIndex(h);
    if (h->pIndex) {
        bool found;
        Slot(h, key, n, HashKey(key, n), v, &found);
        return found ? 1 : 0;
    }
    for (int ok = DbmFirstRecord(h, v); ok; ok = DbmNextRecord(h, v))
        if (v->pKey && v->K == n + 1 && memcmp(v->pKey, key, n) == 0) return 1;
    return 0;
}

// ---------------------------------------------------------------- purge

int PurgeTRecord(DbTHandle* h, const char* key, bool prefix) {
    if (!h || !key || !key[0]) return 0;
    if (!DbmBeginWrite(h)) return 0;
    int removed = DbmPurgeImage(h, key, prefix);
    if (!removed && !(h->flags & DB_DEFER)) DbmEndWrite(h);
    return removed;
}

// One pass: every record kept is moved down once, behind the walk, so that
// removing k of n records costs one walk over the image whatever k is.
int DbmPurgeImage(DbTHandle* h, const char* key, bool prefix) {
    if (!h->pImage) return 0;
    size_t n = strlen(key);
    DbRecordView v;
    if (!prefix && !DbmFindRecord(h, key, &v)) return 0;  // the index knows every key
    int32_t kept = h->dbType == DB_TYPE_HEADERLESS ? 0 : DB_HEADER_SIZE;
    int32_t removed = 0;
    for (int ok = DbmFirstRecord(h, &v); ok; ok = DbmNextRecord(h, &v)) {
        int32_t len = int32_t(v.L) + 2;
        bool match = v.pKey && (prefix ? strncmp(v.pKey, key, n) == 0
                                       : v.K == n + 1 && memcmp(v.pKey, key, n) == 0);
        if (match) {
            removed++;
            continue;
        }
        if (kept != v.start) memmove(h->pImage + kept, h->pImage + v.start, size_t(len));
        kept += len;
    }
    if (!removed) return 0;
    h->imageLen = kept;
    h->recordCount = h->recordCount > removed ? h->recordCount - removed : 0;
    DbmDropIndex(h);
    h->flChanged = 1;
    return 1;
}
