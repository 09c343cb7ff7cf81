// File reading and file queries: stream opening with graded failure reports,
// the current input file read by logical lines, the comment-filtering line
// reader, whole-file reads, and the existence and type queries.
#include "utils/utils.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char common_113[] = "ERROR: can't open file, %s";
const char common_114[] = "ERROR: can't open file, %s\n";
const char common_115[] = "can't open file, %s";

FILE* pIn = nullptr;
char InputFileName[INPUT_NAME_SIZE] = {};
int FileStatus = 0;
char LineBuf[LINEBUF_SIZE] = {};
int LineLen = 0;
char Line[LINE_SIZE] = {};
char* pLine = Line;
int LineCnt = 0;
long InPos = 0;
bool flInputFilterState = true;
int SavedFileSize = 0;

// ------------------------------------------------------------- limits
constexpr int PHYS_LINE_SIZE = 511;    // physical lines: at most 510 characters
constexpr size_t GETLINE_AREA = 512;   // the part of Line that GetLine uses
constexpr size_t FORMATTED_PATH = 512; // OpenFileF, OpenInputFileF
constexpr size_t JOINED_PATH = 256;    // dir '/' name
constexpr size_t FILE_SEARCH_LINE = 512;
constexpr size_t WORK_PATH = 4096; // FindExistingPath and the splits of FindFile

// Joins dir and name (either may be null) into out; false when the result
// does not fit, so that a cut path is never opened in place of the real one.
static bool JoinPath(char* out, size_t size, const char* dir, const char* name) {
    int n;
    if (dir && name)
        n = snprintf(out, size, "%s/%s", dir, name);
    else
        n = snprintf(out, size, "%s", dir ? dir : name ? name : "");
    return n >= 0 && size_t(n) < size;
}

// Reads up to size bytes, retrying short reads; -1 on a read error.
static long ReadAll(int fd, char* buf, long size) {
    long got = 0;
    while (got < size) {
        ssize_t r = read(fd, buf + got, size_t(size - got));
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        got += r;
    }
    return got;
}

// ---------------------------------------------------------- opening
static FILE* OpenReported(const char* path, const char* mode, int level) {
    FILE* f = fopen(path, mode ? mode : "rt");
    if (f) return f;
    if (level == 2) SysError(common_115, path);
    if (level == 1) fprintf(stderr, common_114, path);
    return nullptr;
}

FILE* OpenFile(FILE* old, const char* path, const char* mode, int level) {
    if (old) fclose(old);
    if (!path) path = "";
    return OpenReported(path, mode, level);
}

// Formats a path into path; false (with what fitted left in path) when the
// format is null, fails or the result is longer than the buffer.
static bool FormatPath(char (&path)[FORMATTED_PATH], const char* fmt, va_list ap) {
    if (!fmt) return false;
    int n = vsnprintf(path, sizeof path, fmt, ap);
    return n >= 0 && size_t(n) < sizeof path;
}

FILE* OpenFileF(FILE* old, const char* mode, int level, const char* fmt, ...) {
    if (old) fclose(old);
    char path[FORMATTED_PATH] = {};
    va_list ap;
    va_start(ap, fmt);
    bool formatted = FormatPath(path, fmt, ap);
    va_end(ap);
    if (!formatted) {
        errno = ENAMETOOLONG;
        if (level == 2) SysError(common_115, path);
        if (level == 1) fprintf(stderr, common_114, path);
        return nullptr;
    }
    return OpenReported(path, mode, level);
}

int OpenRawFile(const char* path, int flags) {
    int fd = path ? open(path, flags, 0666) : -1;
    if (fd < 0) printf(common_113, path ? path : "");
    return fd;
}

static bool InputOpenFailed(const char* path, int level) {
    ErrorMsg(level, 1, common_115, path);
    FileStatus = 2;
    LineBuf[0] = 0;
    LineLen = 0;
    return false;
}

bool OpenInputFile(const char* path, int level) {
    if (!path) path = "";
    size_t n = strnlen(path, sizeof InputFileName - 1);
    memcpy(InputFileName, path, n);
    InputFileName[n] = 0;
    if (pIn) fclose(pIn);
    pIn = *path ? fopen(path, "rt") : nullptr;
    if (!pIn) return InputOpenFailed(path, level);
    FileStatus = 0;
    return true;
}

bool OpenInputFileF(int level, const char* fmt, ...) {
    char path[FORMATTED_PATH] = {};
    va_list ap;
    va_start(ap, fmt);
    bool formatted = FormatPath(path, fmt, ap);
    va_end(ap);
    if (!formatted) {
        // A cut path would name another file: report it as not openable.
        if (pIn) fclose(pIn);
        pIn = nullptr;
        memcpy(InputFileName, path, sizeof InputFileName - 1);
        InputFileName[sizeof InputFileName - 1] = 0;
        return InputOpenFailed(path, level);
    }
    return OpenInputFile(path, level);
}

void CloseInputFile() {
    if (!pIn) return;
    fclose(pIn);
    pIn = nullptr;
    FileStatus = 1;
}

// ------------------------------------------------------- line reading
static bool EndsWithContinuation(const char* part) {
    size_t n = strlen(part);
    return n >= 2 && part[n - 2] == '\\' && part[n - 1] == '\n';
}

bool GetFileLine() {
    if (!pIn) return false;
    if (!fgets(LineBuf, PHYS_LINE_SIZE, pIn)) {
        LineBuf[0] = 0;
        fclose(pIn);
        pIn = nullptr;
        FileStatus = 1;
        return false;
    }
    LineLen = 0;
    char* part = LineBuf;
    while (EndsWithContinuation(part)) {
        int len = int(strlen(part));
        int room = LINEBUF_SIZE - (LineLen + len);
        if (room < 2) break; // LineBuf is full: the rest arrives as the next line
        LineLen += len;
        part = LineBuf + LineLen;
        // A continuation may take all the room left in LineBuf: cut into
        // 510-character pieces, its rest would come back as a line of its own.
        if (!fgets(part, room, pIn)) {
            *part = 0;
            break;
        }
    }
    return true;
}

bool GetFileTextLine(const char* delims) {
    if (!delims) return false;
    while (GetFileLine()) {
        if (LineBuf[0] == '#') continue;
        size_t start = strspn(LineBuf, delims);
        if (!LineBuf[start]) continue;
        size_t len = strcspn(LineBuf + start, delims);
        memmove(LineBuf, LineBuf + start, len);
        LineBuf[len] = 0;
        return true;
    }
    return false;
}

// Appends at most what fits into the GetLine area of Line.
static void AppendToLine(size_t& used, const char* text, size_t len) {
    size_t room = GETLINE_AREA - 1 - used;
    if (len > room) len = room;
    memcpy(Line + used, text, len);
    used += len;
    Line[used] = 0;
}

// Reads one filtered line: "//" comments are cut, block comments removed
// (also across lines: the text before an unclosed "/*" is kept and joined
// with the text after its "*/"; lines wholly inside the comment are consumed
// and counted, not returned), leading blanks and the line end dropped.
int GetLine() {
    LineCnt = 0;
    pLine = Line;
    Line[0] = 0;
    if (!pIn) return 0;
    InPos = ftell(pIn);
    if (!flInputFilterState) {
        if (!fgets(Line, PHYS_LINE_SIZE, pIn)) {
            Line[0] = 0;
            return 0;
        }
        LineCnt = 1;
        size_t n = strlen(Line);
        memset(Line + n, 0, GETLINE_AREA - n);
        return LineCnt;
    }
    char phys[GETLINE_AREA];
    size_t used = 0;
    bool inComment = false;
    for (;;) {
        long pos = ftell(pIn);
        if (!fgets(phys, PHYS_LINE_SIZE, pIn)) {
            if (LineCnt == 0) return 0;
            break; // end of input inside a block comment
        }
        InPos = pos;
        ++LineCnt;
        const char* p = phys;
        if (inComment) {
            const char* close = strstr(p, "*/");
            if (!close) continue;
            p = close + 2;
            inComment = false;
        }
        for (;;) {
            const char* lineCmt = strstr(p, "//");
            const char* open = strstr(p, "/*");
            if (open && (!lineCmt || open < lineCmt)) {
                AppendToLine(used, p, size_t(open - p));
                const char* close = strstr(open + 2, "*/");
                if (!close) {
                    inComment = true;
                    break;
                }
                p = close + 2;
                continue;
            }
            AppendToLine(used, p, lineCmt ? size_t(lineCmt - p) : strlen(p));
            break;
        }
        if (!inComment) break;
    }
    size_t lead = strspn(Line, " \t\n\r\f\v");
    if (lead) memmove(Line, Line + lead, strlen(Line + lead) + 1);
    Line[strcspn(Line, "\n\r")] = 0;
    size_t n = strlen(Line);
    memset(Line + n, 0, GETLINE_AREA - n);
    return LineCnt;
}

int GetLineN(int n) {
    int result = 0;
    for (int i = 0; i < n; ++i)
        result = GetLine();
    return result;
}

int GetLinePos(long offset) {
    if (!pIn || fseek(pIn, offset, SEEK_SET) != 0) return 0;
    return GetLine();
}

char* fgetsp(char* buf, int size, FILE* file, long offset) {
    if (!buf || !file || size <= 0) return nullptr;
    if (fseek(file, offset, SEEK_SET) != 0) return nullptr;
    return fgets(buf, size, file);
}

// ---------------------------------------------------- whole-file reads
bool GetFileContent(const char* dir, const char* name) {
    if (!dir) return false;
    char path[LINEBUF_SIZE]; // the joined path may take all of it
    if (!JoinPath(path, sizeof path, dir, name)) return false;
    int fd = open(path, O_RDONLY);
    if (fd < 0) return false;
    // One byte stays for the terminator.
    long got = ReadAll(fd, LineBuf, LINEBUF_SIZE - 1);
    close(fd);
    LineBuf[got < 0 ? 0 : got] = 0;
    return true;
}

bool GetFileContentR(const char* dir, const char* name, char* buf, int size) {
    if (!dir || !buf) return false;
    char path[JOINED_PATH];
    if (!JoinPath(path, sizeof path, dir, name)) return false;
    int fd = open(path, O_RDONLY);
    if (fd < 0) return false;
    long got = ReadAll(fd, buf, size < 0 ? 0 : size);
    close(fd);
    buf[got < 0 ? 0 : got] = 0;
    return true;
}

char* GetSavedFileContent(const char* dir, const char* name) {
    SavedFileSize = 0;
    if (!dir) return nullptr;
    char path[JOINED_PATH];
    if (!JoinPath(path, sizeof path, dir, name)) return nullptr;
    long size = GetFileSize(path);
    if (size <= 0) return nullptr;
    if (size >= long(INT_MAX)) {
        ErrorMsg(1, 0, "%s", common_109);
        return nullptr;
    }
    SavedFileSize = int(size);
    char* text = static_cast<char*>(GetMem(int(size) + 1));
    if (!text) {
        ErrorMsg(1, 0, "%s", common_109);
        return nullptr;
    }
    int fd = open(path, O_RDONLY);
    if (fd < 0) {
        PutMem(text);
        return nullptr;
    }
    long got = ReadAll(fd, text, size);
    close(fd);
    if (got < 0) got = 0;
    text[got] = 0;
    SavedFileSize = int(got);
    return text;
}

char* FileSearch(const char* path, const char* pattern, int level) {
    static char line[FILE_SEARCH_LINE];
    FILE* f = OpenFile(nullptr, path, "rt", level);
    if (!f) return nullptr;
    while (fgets(line, PHYS_LINE_SIZE, f)) {
        if (!pattern || strstr(line, pattern)) {
            fclose(f);
            return line;
        }
    }
    fclose(f);
    line[0] = 0;
    return nullptr;
}

// --------------------------------------------------------- file queries
long GetFileSize(const char* path) {
    struct stat st;
    if (!path || stat(path, &st) != 0) return 0;
    return long(st.st_size);
}

long GetFileTime(const char* path) {
    struct stat st;
    if (!path || stat(path, &st) != 0) return 0;
    return long(st.st_mtime);
}

int GetFileType(const char* path) {
    struct stat st;
    if (!path || lstat(path, &st) != 0) return 0;
    if (S_ISDIR(st.st_mode)) return 1;
    if (S_ISLNK(st.st_mode)) return 2;
    return 3;
}

// Splits a whole path as StripFn and StripPath do, without their length cut.
static bool SplitPath(const char* path, char* dir, char* name) {
    size_t n = strlen(path);
    if (n >= WORK_PATH) return false;
    memcpy(name, path, n + 1);
    // Last non-empty component; slashes only stay as they are.
    size_t end = n;
    while (end > 0 && name[end - 1] == '/')
        --end;
    if (end > 0) {
        size_t start = end;
        while (start > 0 && name[start - 1] != '/')
            --start;
        memmove(name, name + start, end - start);
        name[end - start] = 0;
    }
    // Directory part: before the last '/', '/' at the root, '.' without one.
    memcpy(dir, path, n + 1);
    size_t i = n;
    while (i > 0 && dir[i - 1] != '/')
        dir[--i] = 0;
    if (i == 0)
        strcpy(dir, ".");
    else if (i == 1)
        dir[1] = 0;
    else
        dir[i - 1] = 0;
    return true;
}

// FindFile and FindFile_ share one rule for empty parts: an empty directory
// stands for the working directory ("" and "x" is "./x", never "/x"), and an
// empty path names nothing (false).
static bool IsEmpty(const char* text) {
    return !text || !*text;
}

bool FindFile(const char* dir, const char* name) {
    if (IsEmpty(dir) && IsEmpty(name)) return false;
    if (!dir) {
        dir = name;
        name = nullptr;
    }
    char dirBuf[WORK_PATH];
    char nameBuf[WORK_PATH];
    if (!name || !*name) {
        if (!SplitPath(dir, dirBuf, nameBuf)) return false;
        dir = dirBuf;
        name = nameBuf;
    } else if (strchr(name, '/')) {
        char joined[JOINED_PATH];
        if (!JoinPath(joined, sizeof joined, *dir ? dir : nullptr, name)) return false;
        char* cut = strrchr(joined, '/');
        memcpy(nameBuf, cut + 1, strlen(cut + 1) + 1);
        if (cut == joined) {
            strcpy(dirBuf, "/");
        } else {
            *cut = 0;
            memcpy(dirBuf, joined, strlen(joined) + 1);
        }
        dir = dirBuf;
        name = nameBuf;
    }
    char* listing = GetDirFileList(*dir ? dir : ".");
    if (!listing) return false;
    bool found = FindToken(name, listing) != 0;
    PutMem(listing);
    return found;
}

bool FindFile_(const char* dir, const char* name) {
    if (IsEmpty(dir) && IsEmpty(name)) return false;
    char path[JOINED_PATH];
    if (!JoinPath(path, sizeof path, IsEmpty(dir) ? nullptr : dir, IsEmpty(name) ? nullptr : name))
        return false;
    struct stat st;
    return stat(path, &st) == 0;
}

// The deepest ancestor of path that FindFile reports present. The walk ends
// at '/' or '.' at the latest, and also where the directory part no longer
// changes (an unreadable root or working directory), so it always ends.
char* FindExistingPath(const char* path, int* exact) {
    if (!path) path = "";
    char work[WORK_PATH];
    size_t n = strnlen(path, sizeof work - 1);
    memcpy(work, path, n);
    work[n] = 0;
    char dir[WORK_PATH];
    char name[WORK_PATH];
    while (SplitPath(work, dir, name) && !FindFile(dir, name)) {
        if (strcmp(dir, work) == 0) break;
        memcpy(work, dir, strlen(dir) + 1);
    }
    if (exact && strcmp(work, path) == 0) *exact = 1;
    return SaveStr_(work);
}
