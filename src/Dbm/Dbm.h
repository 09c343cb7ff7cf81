// Dbm: the toolkit's record databases. A database is a file of records, each
// a text key with a block of data bytes, every record's bytes stored chained
// (each byte XOR its successor). Two formats: headerless (little-endian
// lengths, key and data chained as one body) and headed ("TQDBAA" header,
// big-endian lengths, key and data chained as two blocks).
//
// A handle (DbTHandle) holds a whole file in memory, follows the file through
// its modification time, and writes the whole image back as a replacement
// file that is renamed over the old one, so that readers always see either
// the old or the new file. The file-level operations (DbmPutRecord ...) work
// on a headerless file through a handle of their own.
#pragma once

#include <cstdint>
#include <ctime>

struct stat;

// ---------------------------------------------------------------- limits
constexpr int DB_HEADER_SIZE = 16;       // the headed format's header
constexpr int DB_MAX_L = 65527;          // the largest record length L
constexpr int DB_MAX_KEY = 4095;         // keys longer than this are never found
constexpr int DB_KEY_BUF_SIZE = 4096;    // key buffer of a headed lookup
constexpr int DB_DECODE_SIZE = 65535;    // decode buffer of a headerless walk
constexpr int DB_COPY_SIZE = 65536;      // data buffer of the record copies
constexpr int DB_PATH_SIZE = 4096;       // a database file's path
constexpr int DB_OPEN_TRIES = 10;        // attempts to read a file that exists
constexpr char DB_MAGIC[] = "TQDBAA";
constexpr int DB_MAGIC_TEST = 5;         // bytes of the magic that mark a headed file

// Handle flags.
constexpr unsigned DB_KEEP = 2;   // keep the image: no re-read before an operation
constexpr unsigned DB_DEFER = 4;  // defer writing: no write-back after a change

// Handle types.
constexpr unsigned DB_TYPE_NEW = 0;         // no file read yet
constexpr unsigned DB_TYPE_HEADERLESS = 1;
constexpr unsigned DB_TYPE_HEADED = 2;

// One slot of a handle's key index.
struct DbIndexSlot {
    int32_t start1;  // offset of the key's first record + 1; 0 empty
    uint32_t hash;   // the key's hash
};

// An opened record database held in memory.
struct DbTHandle {
    char* pName;           // the name given to DbTOpen (allocated copy)
    uint8_t flSwap;        // 1: the image's 16-bit lengths are most significant byte first
    unsigned flags;        // DB_KEEP, DB_DEFER
    uint8_t* pImage;       // the file's bytes, or none
    int32_t imageLen;      // bytes in the image
    unsigned mtime;        // modification time (seconds) of the file read
    int32_t cursor;        // position of the next chained read or write
    int32_t walkPos;       // position of the next record of a walk
    int32_t recordCount;   // records (headed format; written into the header)
    uint8_t flChanged;     // 1 once the image was read or changed
    unsigned dbType;       // DB_TYPE_*

    // Kept beside the image, never written: how much the image's allocation
    // holds, the file's identity when it was read (so a change within the
    // same second is seen), and an index from key to first record.
    int32_t imageCap;
    long mtimeNs;
    long fileSize;
    unsigned long fileId;  // inode: every replacement is a new file
    uint8_t flUnread;      // the file holds bytes that could not be read: never written over
    struct DbIndexSlot* pIndex;  // open addressing over the keys' hashes
    int32_t indexSize;     // slots, a power of two; 0 when there is no index
    int32_t indexCount;    // keys held
    int32_t damagedAt;     // offset of the record the file's walk broke off at, -1 none
    int lockFd;            // the write lock: the database file (its directory before it exists), -1 none
};

// One record of a walk.
struct DbRecordView {
    int32_t start;          // offset of the record's L in the image
    uint16_t L;             // bytes after L
    uint16_t K;             // key length with its zero byte
    const char* pKey;       // the unchained key (and, headerless, its data behind it)
};

// One element of a record-link list.
struct DbRecordLink {
    DbRecordLink* pNext;
    char* pRecord;     // allocated copy of key, zero byte and data
    char* pData;       // the data inside pRecord
    int32_t dataLen;
};

// ----------------------------------------------------------- chaining
// Chaining and unchaining of n bytes; src and dst may be the same.
void DbmChain(const uint8_t* src, uint8_t* dst, int n);
void DbmUnchain(const uint8_t* src, uint8_t* dst, int n);

// ------------------------------------------------------------- handle
DbTHandle* DbTOpen(const char* name, unsigned flags);
void DbTUpDate(DbTHandle* handle);
void DbTClose(DbTHandle* handle);
void DbTSetDbType(DbTHandle* handle, unsigned type);

// 1 stored (and written unless deferred); 0 for missing arguments, zero
// length, a key longer than DB_MAX_KEY, a record longer than DB_MAX_L, memory
// that cannot be had (the image then stays as it was) or a failed write.
int DbmTPutRecord(DbTHandle* handle, const char* key, const void* data, int n);
int DbmTDeleteRecord(DbTHandle* handle, const char* key);
int DbmTDeleteRecords(DbTHandle* handle, const char* prefix);
// Data length copied into dest (which must be large enough); 0 not found.
int DbmTGetRecord(DbTHandle* handle, const char* key, void* dest);
// Data length; when it exceeds size, *buffer is replaced by a new allocation
// of that length (the old buffer stays the caller's).
int DbmTGetRecordV(DbTHandle* handle, const char* key, char** buffer, int size);
int DbmTGetRecordSize(DbTHandle* handle, const char* key);
// Allocated: separator and key of every record in file order, then end;
// none when there is no record. The S form keeps keys that begin with one of
// the comma-separated prefixes.
char* DbmTGetRecordList(DbTHandle* handle, const char* separator, const char* end);
char* DbmTGetRecordListS(DbTHandle* handle, const char* prefixes, const char* separator,
                         const char* end);
DbRecordLink* DbmTGetDbLinkList(DbTHandle* handle, const char* pattern);
int DbmTCopyRecord(DbTHandle* handle, const char* from, const char* to);
// 1 when the image was written as the new file.
int DbmTArchiveDb(DbTHandle* handle);
// Removes every record whose key equals key (prefix false) or begins with it
// (prefix true); 1 when anything was removed.
int PurgeTRecord(DbTHandle* handle, const char* key, bool prefix);

// Walk over the image: DbmFirstRecord starts, DbmNextRecord continues; both
// give 0 at the end. A record running past the image's end, or whose key does
// not fit in it, cuts the image there and ends the walk.
int DbmFirstRecord(DbTHandle* handle, DbRecordView* view);
int DbmNextRecord(DbTHandle* handle, DbRecordView* view);
// The data of the record of view into dest (view's length); the data length.
int DbmRecordData(DbTHandle* handle, const DbRecordView* view, void* dest);

// The file a handle name is read from and written to; false when it does not
// fit into size bytes.
bool DbmFilePath(const char* name, char* path, int size);

// --------------------------------------------------------- file level
int DbmPutRecord(const char* name, const char* key, const void* data, int n);
int DbmDeleteRecord(const char* name, const char* key);
int DbmDeleteRecords(const char* name, const char* prefix);
int DbmGetRecord(const char* name, const char* key, void* dest);
int DbmGetNextRecord(const char* name, void* dest);
int DbmGetRecordSize(const char* name, const char* key);
char* DbmGetRecordList(const char* name, const char* separator, const char* end);
int DbmCopyRecord(const char* name, const char* from, const char* to);
DbRecordLink* DbmGetDbLinkList(const char* name, const char* pattern);
DbRecordLink* DbmFreeDbLinkList(DbRecordLink* first);
char* DbmGetDbList(int style);
void DumpDbm(const char* name);
void DbmSetV4DriverPathHandling();
void DbmCreate();
void DbmDelete();

extern bool flDbmPathMode;  // names are full file paths
// Off: a failed write prints "ERROR: Can't write to NAME" on standard
// error. A tool that reports in its own words switches it on.
extern bool flDbmQuiet;
// How long a writer waits for another writer's lock, in seconds (60); then
// the write fails with EWOULDBLOCK and nothing is written.
extern int iDbmLockWait;
void DbmWriteFailed(const char* name);  // that line, unless quiet; errno kept

// -------------------------------------------------------------- check
// What a walk over a database file found, without changing it.
struct DbCheckReport {
    int format;         // 0 empty, 1 headerless, 2 headed
    long records;       // whole records before the end or the damage
    long headerCount;   // the headed header's count
    long badOffset;     // offset of the record running past the end, -1 none
};
// Walks the file of database name; false when there is no such file.
bool DbmCheckFile(const char* name, DbCheckReport* report);
// Writes the records of database name that lie before any damage to the new
// file out (which must not exist), in the database's format with the header's
// count made right. False, with errno, when name cannot be read or out
// cannot be made; out is then not left behind.
bool DbmSalvageFile(const char* name, const char* out, DbCheckReport* report);

// ------------------------------------------------------ inner operations
// Shared by the module's files, visible for the tests.
uint16_t DbmRead16(const uint8_t* p, bool swap);
void DbmWrite16(uint8_t* p, uint16_t v, bool swap);
// Room for need bytes in the image (its allocation grows by doubling);
// false, image untouched, when memory cannot be had.
bool DbmReserve(DbTHandle* handle, int64_t need);
void DbmWriteHeader(DbTHandle* handle);  // magic, count, filler into the first 16 bytes
// Notes the file's time, size and inode as those of the image.
void DbmKeepIdentity(DbTHandle* handle, const struct stat& st);
void DbTRefreshUnlessKept(DbTHandle* handle);  // DbTUpDate unless the flags hold DB_KEEP
// The first record whose key equals key, through the index; 1 found.
int DbmFindRecord(DbTHandle* handle, const char* key, DbRecordView* view);
// PurgeTRecord without the re-read.
int DbmPurgeImage(DbTHandle* handle, const char* key, bool prefix);
// Writes len bytes as the replacement of path (path followed by "_new" in the
// same directory, renamed over path; the directory is made when missing).
// False, with "ERROR: Can't write to NAME" on standard error, when it cannot
// be written; the old file then stays and no replacement is left behind.
bool DbmWriteReplacement(const char* path, const uint8_t* bytes, int32_t len, const char* name);
void DbmIndexAdd(DbTHandle* handle, const char* key, int32_t start);
void DbmDropIndex(DbTHandle* handle);

// The writers' lock (Lock.cpp). DbmBeginWrite takes it, unless held, and
// re-reads the file under it (also with DB_KEEP); false, with errno, when the
// path is no regular file, cannot be locked, or holds a damaged or unreadable
// file (nothing is then written). A write-through change lets go of it when
// it is done; a deferred handle holds it from its first change until
// DbmTArchiveDb or DbTClose. DbmEndWrite lets go.
bool DbmBeginWrite(DbTHandle* handle);
void DbmEndWrite(DbTHandle* handle);
void DbmMakeParentDirs(const char* path);  // every missing directory above the file path
