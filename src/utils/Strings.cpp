// Formatted strings, path pieces, small text searches and environment queries.
// Every allocated text comes from the memory manager and belongs to the caller.
#include "utils/utils.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

const char common_109[] = "Unable to allocate memory";

// ------------------------------------------------------------- limits
constexpr size_t SAVESTR_STEP = 4096;     // first guess of SaveStr grows in these steps
constexpr size_t SAVESTR_SCRATCH = 65536; // fixed scratch area of SaveStr__
constexpr size_t STRIP_PATH_SIZE = 128;   // StripExt, StripPathName, StripPath, StripPathExt
constexpr size_t STRIP_FN_SIZE = 256;     // StripFn
constexpr size_t GEN_NAME_SIZE = 255;     // GenName
constexpr size_t HOSTNAME_SIZE = 256;
constexpr size_t USERNAME_LINE = 256; // first line of the whoami reply
constexpr size_t TOOL_PATH_SIZE = PATH_MAX; // GetToolPath: start path and working directory

[[noreturn]] static void OutOfMemory() {
    SysError("%s", common_109);
}

static char* AllocText(size_t n) {
    if (n >= size_t(INT_MAX)) OutOfMemory();
    char* p = static_cast<char*>(GetMem(int(n + 1)));
    if (!p) OutOfMemory();
    return p;
}

// Expands fmt into `scratch` when it fits; otherwise measures the expansion
// and expands it again into a block of exactly the measured size. The result
// is always an exactly sized allocation.
static char* ExpandInto(char* scratch, size_t size, const char* fmt, va_list ap) {
    va_list first;
    va_copy(first, ap);
    int n = vsnprintf(scratch, size, fmt, first);
    va_end(first);
    if (n < 0) n = 0; // an encoding error leaves the empty text
    if (size_t(n) >= size) {
        char* exact = AllocText(size_t(n));
        vsnprintf(exact, size_t(n) + 1, fmt, ap);
        return exact;
    }
    char* copy = AllocText(size_t(n));
    memcpy(copy, scratch, size_t(n));
    return copy;
}

char* SaveStr(const char* fmt, ...) {
    if (!fmt) return SaveStr_("");
    size_t guess = (strlen(fmt) / SAVESTR_STEP + 2) * SAVESTR_STEP;
    if (guess >= size_t(INT_MAX)) OutOfMemory();
    char* scratch = static_cast<char*>(GetMem(int(guess)));
    if (!scratch) OutOfMemory();
    va_list ap;
    va_start(ap, fmt);
    char* out = ExpandInto(scratch, guess, fmt, ap);
    va_end(ap);
    PutMem(scratch);
    return out;
}

char* SaveStr__(const char* fmt, ...) {
    static char scratch[SAVESTR_SCRATCH];
    if (!fmt) return nullptr;
    va_list ap;
    va_start(ap, fmt);
    char* out = ExpandInto(scratch, sizeof scratch, fmt, ap);
    va_end(ap);
    return out;
}

char* SaveStr_(const char* text) {
    if (!text) text = "";
    size_t n = strlen(text);
    char* copy = AllocText(n);
    memcpy(copy, text, n);
    return copy;
}

// ------------------------------------------------------- path pieces
// The cores work in place on a buffer of any size; the public routines copy
// their input into their own static buffer first, cutting it to the buffer.

static void CopyCut(char* dst, size_t size, const char* src) {
    size_t n = strnlen(src, size - 1);
    memcpy(dst, src, n);
    dst[n] = 0;
}

// The last non-empty component; a text of slashes only stays as it is.
static void LastComponentInPlace(char* buf) {
    size_t end = strlen(buf);
    while (end > 0 && buf[end - 1] == '/')
        --end;
    if (end == 0) return;
    size_t start = end;
    while (start > 0 && buf[start - 1] != '/')
        --start;
    memmove(buf, buf + start, end - start);
    buf[end - start] = 0;
}

// The directory part: everything before the last '/', '/' for a root-level
// name, '.' when there is no '/' at all.
static void DirPartInPlace(char* buf) {
    size_t i = strlen(buf);
    if (i == 0) {
        strcpy(buf, ".");
        return;
    }
    while (i > 0 && buf[i - 1] != '/')
        buf[--i] = 0;
    if (i == 0) {
        strcpy(buf, ".");
    } else if (i == 1) {
        buf[1] = 0; // the root itself
    } else {
        buf[i - 1] = 0;
    }
}

// Cut at the first '.' that follows a character other than '.'.
static void CutExtInPlace(char* buf) {
    char* p = buf;
    while (*p == '.')
        ++p;
    if (char* dot = strchr(p, '.')) *dot = 0;
}

char* StripPath(const char* path) {
    static char buf[STRIP_PATH_SIZE];
    CopyCut(buf, sizeof buf, path ? path : "");
    LastComponentInPlace(buf);
    return buf;
}

char* StripFn(const char* path) {
    static char buf[STRIP_FN_SIZE];
    CopyCut(buf, sizeof buf, path ? path : "");
    DirPartInPlace(buf);
    return buf;
}

char* StripExt(const char* path) {
    static char buf[STRIP_PATH_SIZE];
    CopyCut(buf, sizeof buf, path ? path : "");
    CutExtInPlace(buf);
    return buf;
}

char* StripPathExt(const char* path) {
    static char buf[STRIP_PATH_SIZE];
    CopyCut(buf, sizeof buf, path ? path : "");
    LastComponentInPlace(buf);
    CutExtInPlace(buf);
    return buf;
}

// The path without its leading relative steps: './bin/x' gives 'bin/x',
// '../../x' gives 'x'; a path that does not start with them is returned
// whole. '.', '..' and null give the empty text.
char* StripPathName(const char* path) {
    static char buf[STRIP_PATH_SIZE];
    buf[0] = 0;
    if (!path || FindToken(path, ";.;..;")) return buf;
    const char* p = path;
    for (;;) {
        if (p[0] == '.' && p[1] == '/') {
            p += 2;
        } else if (p[0] == '.' && p[1] == '.' && p[2] == '/') {
            p += 3;
        } else {
            break;
        }
        while (*p == '/')
            ++p;
    }
    if (strcmp(p, ".") == 0 || strcmp(p, "..") == 0) return buf;
    CopyCut(buf, sizeof buf, p);
    return buf;
}

char* GenName(const char* text) {
    static char buf[GEN_NAME_SIZE];
    size_t out = 0;
    const char* p = text ? text : "";
    while (*p && !isalpha(static_cast<unsigned char>(*p)))
        ++p;
    while (*p && out < sizeof buf - 1) {
        bool first = true;
        while (*p && isalnum(static_cast<unsigned char>(*p)) && out < sizeof buf - 1) {
            int c = static_cast<unsigned char>(*p++);
            buf[out++] = char(first ? toupper(c) : tolower(c));
            first = false;
        }
        while (*p && !isalnum(static_cast<unsigned char>(*p)))
            ++p;
    }
    buf[out] = 0;
    return buf;
}

// --------------------------------------------------- search and clean
int StrLen(const char* text) {
    return text ? int(strnlen(text, size_t(INT_MAX))) : 0;
}

char* StrChr(const char* text, int c) {
    if (!text || c == 0) return nullptr;
    for (const char* p = text; *p; ++p) {
        if (*p == '\\') {
            if (!p[1]) return nullptr; // a trailing backslash ends the text
            ++p;
            continue;
        }
        if (*p == char(c)) return const_cast<char*>(p);
    }
    return nullptr;
}

char* StrNChr(const char* text, int c, int n) {
    if (!text || n <= 0 || c == 0) return nullptr;
    for (const char* p = text; *p; ++p)
        if (*p == char(c) && --n == 0) return const_cast<char*>(p);
    return nullptr;
}

static char* FindPattern(const char* text, const char* pattern, bool ignoreCase) {
    if (!text || !pattern || !*pattern) return nullptr;
    for (const char* s = text; *s; ++s) {
        const char* a = s;
        const char* b = pattern;
        while (*a && *b &&
               (ignoreCase ? toupper(static_cast<unsigned char>(*a)) ==
                                 toupper(static_cast<unsigned char>(*b))
                           : *a == *b)) {
            ++a;
            ++b;
        }
        if (!*b) return const_cast<char*>(s);
        if (!*a) break; // the rest of the text is shorter than the pattern
    }
    return nullptr;
}

char* StrStr(const char* text, const char* pattern) {
    return FindPattern(text, pattern, false);
}

char* StrCaseStr(const char* text, const char* pattern) {
    return FindPattern(text, pattern, true);
}

char* StrNStr(const char* text, const char* pattern, int n) {
    if (!text || !*text || n <= 0) return nullptr;
    char* hit = StrStr(text, pattern);
    while (hit && --n > 0)
        hit = StrStr(hit + 1, pattern);
    return hit;
}

char* SkipSpace(char* text) {
    if (!text) return nullptr;
    while (*text && isspace(static_cast<unsigned char>(*text)))
        ++text;
    return text;
}

char* StripAllBackslashes(char* text) {
    if (!text) return nullptr;
    char* out = text;
    for (const char* p = text; *p; ++p)
        if (*p != '\\') *out++ = *p;
    *out = 0;
    return text;
}

// The flag is accepted for the callers' sake and changes nothing: every
// non-printable character, line ends included, is dropped.
char* StripNonPrint(char* text, bool /*flag*/) {
    if (!text) return nullptr;
    char* out = text;
    for (const char* p = text; *p; ++p)
        if (isprint(static_cast<unsigned char>(*p))) *out++ = *p;
    *out = 0;
    return text;
}

void SetVarContent(void* dst, const void* src, int len, bool reverse) {
    if (!dst || !src || len <= 0) return;
    memmove(dst, src, size_t(len));
    if (!reverse) return;
    auto* d = static_cast<unsigned char*>(dst);
    for (int i = 0, j = len - 1; i < j; ++i, --j) {
        unsigned char t = d[i];
        d[i] = d[j];
        d[j] = t;
    }
}

float CvtFloatFormat(float value, int from, int to) {
    enum { INCH = 0, CM = 1, POINT = 2 };
    constexpr double CM_PER_INCH = 2.54;
    constexpr double POINTS_PER_INCH = 72.0;
    double v = value;
    if (from == CM && to == INCH) return float(v / CM_PER_INCH);
    if (from == POINT && to == INCH) return float(v / POINTS_PER_INCH);
    if (from == INCH && to == CM) return float(v * CM_PER_INCH);
    if (from == POINT && to == CM) return float(v / POINTS_PER_INCH * CM_PER_INCH);
    if (from == INCH && to == POINT) return float(v * POINTS_PER_INCH);
    if (from == CM && to == POINT) return float(v / CM_PER_INCH * POINTS_PER_INCH);
    return value;
}

double MaxD(double a, double b) {
    return a > b ? a : b;
}

// ------------------------------------------------------ environment
static void CutAtLineEnd(char* text) {
    text[strcspn(text, "\n\r")] = 0;
}

char* GetEnv(const char* name) {
    if (!name) return nullptr;
    const char* value = getenv(name);
    return value ? SaveStr_(value) : nullptr;
}

char* GetHostname() {
    char name[HOSTNAME_SIZE] = {};
    if (gethostname(name, sizeof name - 1) != 0) return nullptr;
    name[sizeof name - 1] = 0;
    CutAtLineEnd(name);
    return SaveStr_(name);
}

char* GetUserName() {
    char* cmd = GetCmd(CMD_WHOAMI);
    if (!cmd) {
        uid_t uid = getuid();
        if (uid == 0) return SaveStr_("root");
        return SaveStr("User ID:  %d", int(uid));
    }
    FILE* pipe = popen(cmd, "r");
    PutMem(cmd);
    if (!pipe) return nullptr;
    char line[USERNAME_LINE] = {};
    if (!fgets(line, sizeof line, pipe)) line[0] = 0;
    // Drain the rest so that the command never blocks on a full pipe.
    char rest[USERNAME_LINE];
    while (fgets(rest, sizeof rest, pipe)) {
    }
    pclose(pipe);
    CutAtLineEnd(line);
    return SaveStr_(line);
}

// The absolute directory that holds the program, from the path it was
// started with: an absolute start path gives its directory part; a relative
// one is joined to the working directory ('bin/setup' in '/opt' gives
// '/opt/bin', '../setup' gives '/opt/..', './sub/setup' gives '/opt/sub').
// Both are read with room for the longest path the system allows; a
// relative directory would turn wrong at the first change of directory, so
// when the working directory cannot be read the program stops with a reason.
char* GetToolPath(const char* startPath) {
    if (!startPath) startPath = "";
    char dir[TOOL_PATH_SIZE];
    if (strlen(startPath) >= sizeof dir) {
        errno = ENAMETOOLONG;
        SysError("can't find the program's directory, %.64s...", startPath);
    }
    strcpy(dir, startPath);
    DirPartInPlace(dir);
    if (startPath[0] == '/') return SaveStr_(dir);
    char cwd[TOOL_PATH_SIZE];
    if (!getcwd(cwd, sizeof cwd)) SysError("can't read the working directory");
    const char* rel = dir;
    for (;;) {
        if (rel[0] == '.' && rel[1] == '/') {
            rel += 2;
        } else if (rel[0] == '.' && rel[1] == 0) {
            rel += 1;
        } else {
            break;
        }
        while (*rel == '/')
            ++rel;
    }
    if (!*rel) return SaveStr_(cwd);
    return SaveStr("%s%s%s", cwd, strcmp(cwd, "/") == 0 ? "" : "/", rel);
}
