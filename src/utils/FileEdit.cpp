// Configuration-file editing: line editors that copy a file piece by piece
// into an edited copy beside it and then put the copy in the file's place,
// and the manual pair OpenIOFiles / ReplaceInputFile that lets a caller do
// the same with the shared input stream.
//
// The copy is a new file, made only by this process (an existing file or link
// at its name is removed first), written with the original's mode and, as
// root, its owner, and put in place with one rename: the original is either
// replaced whole or, when anything fails, left exactly as it was.
#include "utils/utils.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* pOut = nullptr;
char Fn[EDIT_NAME_SIZE] = {};
char FnOut[EDIT_NAME_SIZE] = {};

namespace {

constexpr int PIECE_MAX = EDIT_PIECE_SIZE - 2; // 510 characters of a line at a time
constexpr int CHAR_CODES_MAX = 127;            // replacement bytes of FileChangeChar
constexpr long long NUMBER_MAX = 999999999;    // a template number is cut to this

// The original's mode and owner as found when it was opened.
struct Original {
    struct stat st;
    bool known;
};

// One edit in progress: the input, its copy and their names.
struct Edit {
    FILE* in;
    FILE* out;
    char name[EDIT_NAME_SIZE];
    char temp[EDIT_NAME_SIZE];
    Original original;
};

// Formats a file name into out; a name that does not fit is never cut (it
// would name another file): it ends the program like a file that cannot be
// opened.
void FormName(char (&out)[EDIT_NAME_SIZE], const char* fmt, const char* a, const char* b) {
    int n = snprintf(out, sizeof out, fmt, a, b);
    if (n >= 0 && n < int(sizeof out)) return;
    char* whole = SaveStr(fmt, a, b);
    errno = ENAMETOOLONG;
    SysError(common_115, whole);
}

// Opens name as a fresh file for writing; fatal when it cannot be made.
FILE* OpenCopy(const char* name) {
    if (unlink(name) != 0 && errno != ENOENT) SysError(common_115, name);
    int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) SysError(common_115, name);
    FILE* out = fdopen(fd, "w");
    if (!out) SysError(common_115, name);
    return out;
}

Original Remember(FILE* in) {
    Original o{};
    o.known = fstat(fileno(in), &o.st) == 0;
    return o;
}

// Gives the copy the original's owner (as root) and mode. The owner comes
// first: changing it clears the set-id bits that the mode then restores.
bool TakeOver(FILE* out, const Original& o) {
    if (!o.known) return true;
    int fd = fileno(out);
    if (geteuid() == 0 && fchown(fd, o.st.st_uid, o.st.st_gid) != 0) return false;
    return fchmod(fd, o.st.st_mode & 07777) == 0;
}

// Closes a finished copy and puts it in place of name: 0 when it is there.
// A copy that was not wholly written is removed; a copy that cannot be
// moved stays beside the untouched original.
int PutInPlace(FILE* out, bool ok, const Original& o, const char* temp, const char* name) {
    ok = ok && !ferror(out);
    if (ok && !TakeOver(out, o)) {
        PutLogMsg("WARNING_MSG: %s: %s\n", temp, strerror(errno));
        ok = false;
    }
    if (fclose(out) != 0) ok = false;
    if (!ok) {
        PutLogMsg("WARNING_MSG: %s not written, %s left unchanged\n", temp, name);
        unlink(temp);
        return 1;
    }
    if (rename(temp, name) != 0) {
        PutLogMsg("WARNING_MSG: cannot move %s to %s: %s\n", temp, name, strerror(errno));
        return 1;
    }
    return 0;
}

void Begin(Edit& e, const char* base, const char* ext) {
    if (!base) base = "";
    if (!ext) ext = "";
    FormName(e.name, *ext ? "%s.%s" : "%s%s", base, ext);
    FormName(e.temp, "%s.%sout", base, ext);
    e.in = OpenFile(nullptr, e.name, "rt", 2);
    e.original = Remember(e.in);
    e.out = OpenCopy(e.temp);
}

int Finish(Edit& e) {
    bool ok = !ferror(e.in);
    fclose(e.in);
    return PutInPlace(e.out, ok, e.original, e.temp, e.name);
}

// Closes both streams and removes the copy; the input stays as it is.
void Abandon(Edit& e) {
    fclose(e.in);
    fclose(e.out);
    unlink(e.temp);
}

// The next piece of a line: up to and including its newline, at most 510
// characters; its length, 0 at the end of the input. The piece may hold NUL
// bytes, so it is handled by length, never as a C text.
int ReadPiece(FILE* in, char (&piece)[EDIT_PIECE_SIZE]) {
    int n = 0;
    int c;
    while (n < PIECE_MAX && (c = getc(in)) != EOF) {
        piece[n++] = char(c);
        if (c == '\n') break;
    }
    piece[n] = 0;
    return n;
}

// The first occurrence of pattern in the piece; none for an empty pattern.
const char* Find(const char* piece, int len, const char* pattern) {
    size_t plen = pattern ? strlen(pattern) : 0;
    if (plen == 0) return nullptr;
    return static_cast<const char*>(memmem(piece, size_t(len), pattern, plen));
}

void Put(FILE* out, const char* from, const char* to) {
    if (to > from) fwrite(from, 1, size_t(to - from), out);
}

// A whole "%i" number (decimal, 0 octal, 0x hexadecimal; blanks around it)
// in 0 to 255: a byte value.
bool ParseByte(const char* text, int* value) {
    if (!text) return false;
    char* end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 0);
    if (end == text || errno != 0) return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end || v < 0 || v > 255) return false;
    *value = int(v);
    return true;
}

// The comma-separated byte list into bytes; its length, -1 when a piece is
// not a byte value. The list ends at its first zero or after 127 bytes.
int ParseBytes(const char* list, unsigned char (&bytes)[CHAR_CODES_MAX]) {
    if (!list) return 0;
    char piece[64];
    int count = 0;
    const char* p = list;
    while (*p && count < CHAR_CODES_MAX) {
        size_t len = strcspn(p, ",");
        if (len >= sizeof piece) return -1;
        memcpy(piece, p, len);
        piece[len] = 0;
        int v;
        if (!ParseByte(piece, &v)) return -1;
        if (v == 0) break;
        bytes[count++] = static_cast<unsigned char>(v);
        p += len;
        if (*p == ',') ++p;
    }
    return count;
}

// The digits at text as a number (cut to NUMBER_MAX) and how many there are.
long long ReadDigits(const char* text, int* digits) {
    long long v = 0;
    int n = 0;
    while (text[n] >= '0' && text[n] <= '9') {
        v = v * 10 + (text[n] - '0');
        if (v > NUMBER_MAX) v = NUMBER_MAX;
        ++n;
    }
    *digits = n;
    return v;
}

// A template of FileInsert after its markers are read: the counter's start
// from "%sN" (taken out of the template), the offset from "%#V" and the text
// around that marker.
struct Numbering {
    long long counter;
    bool numbered;
    long long offset;
    const char* text;   // the whole template
    const char* mark;   // the "%#V" marker
    const char* after;  // the text after it
};

Numbering ReadTemplate(char* tmpl) {
    Numbering num{};
    num.text = tmpl ? tmpl : "";
    if (!tmpl) return num;
    if (char* start = strstr(tmpl, "%s")) {
        int digits;
        num.counter = ReadDigits(start + 2, &digits);
        memmove(start, start + 2 + digits, strlen(start + 2 + digits) + 1);
    }
    if (char* mark = strstr(tmpl, "%#")) {
        int digits;
        num.offset = ReadDigits(mark + 2, &digits);
        num.numbered = true;
        num.mark = mark;
        num.after = mark + 2 + digits;
    }
    return num;
}

// Writes the template for the current count, then counts one line more.
void PutTemplate(FILE* out, Numbering& num) {
    if (!num.numbered) {
        fputs(num.text, out);
    } else if (num.counter >= num.offset) {
        Put(out, num.text, num.mark);
        fprintf(out, "%05lld", num.counter - num.offset);
        fputs(num.after, out);
    }
    ++num.counter;
}

// Writes the file with the first occurrence of pattern in each line that
// holds it replaced, sparing the first `spare` such lines.
int ReplaceFirst(const char* base, const char* ext, const char* pattern, const char* replacement,
                 int spare) {
    Edit e;
    Begin(e, base, ext);
    size_t plen = pattern ? strlen(pattern) : 0;
    char piece[EDIT_PIECE_SIZE];
    while (int len = ReadPiece(e.in, piece)) {
        const char* hit = Find(piece, len, pattern);
        if (hit && spare > 0) {
            --spare;
            hit = nullptr;
        }
        if (!hit) {
            Put(e.out, piece, piece + len);
            continue;
        }
        Put(e.out, piece, hit);
        if (replacement) fputs(replacement, e.out);
        Put(e.out, hit + plen, piece + len);
    }
    return Finish(e);
}

} // namespace

int FileChange(const char* base, const char* ext, const char* pattern, const char* replacement) {
    return ReplaceFirst(base, ext, pattern, replacement, 0);
}

int FileChangeChar(const char* base, const char* ext, const char* code, const char* codes) {
    int match;
    unsigned char bytes[CHAR_CODES_MAX];
    int count = ParseBytes(codes, bytes);
    if (!ParseByte(code, &match) || count < 0) {
        PutLogMsg("WARNING_MSG: FileChangeChar: bad character code \"%s\" or codes \"%s\"\n",
                  code ? code : "", codes ? codes : "");
        return 1;
    }
    Edit e;
    Begin(e, base, ext);
    char piece[EDIT_PIECE_SIZE];
    while (int len = ReadPiece(e.in, piece)) {
        for (int i = 0; i < len; ++i) {
            if (static_cast<unsigned char>(piece[i]) == match)
                fwrite(bytes, 1, size_t(count), e.out);
            else
                putc(piece[i], e.out);
        }
    }
    return Finish(e);
}

int FileDel(const char* base, const char* ext, int n, const char* pattern) {
    return ReplaceFirst(base, ext, pattern, "", n);
}

int FileDelFormat(const char* base, const char* ext, const char* mode, const char* pattern) {
    const char how = mode ? mode[0] : 0;
    int code = -1;
    bool known = how == 0 || how == 'a' || how == 'b' || how == 'l' ||
                 (how == 'c' && ParseByte(pattern, &code));
    Edit e;
    Begin(e, base, ext);
    size_t plen = pattern ? strlen(pattern) : 0;
    char piece[EDIT_PIECE_SIZE];
    while (int len = ReadPiece(e.in, piece)) {
        if (!known) {
            PutLogMsg("WARNING_MSG: %s: unknown edit \"%s\" (pattern \"%s\"), file unchanged\n",
                      e.name, mode ? mode : "", pattern ? pattern : "");
            Abandon(e);
            return 1;
        }
        const char* end = piece + len;
        if (how == 'c') {
            for (const char* p = piece; p < end; ++p)
                if (static_cast<unsigned char>(*p) != code) putc(*p, e.out);
            continue;
        }
        const char* hit = Find(piece, len, pattern);
        if (!hit) {
            Put(e.out, piece, end);
        } else if (how == 0) {
            Put(e.out, piece, hit);
            Put(e.out, hit + plen, end);
        } else if (how == 'a') {
            Put(e.out, piece, hit + plen);
            putc('\n', e.out);
        } else if (how == 'b') {
            Put(e.out, hit, end);
        } // 'l': the line is left out
    }
    return Finish(e);
}

int FileDelLine(const char* base, const char* ext, int n, const char* pattern) {
    Edit e;
    Begin(e, base, ext);
    char piece[EDIT_PIECE_SIZE];
    while (int len = ReadPiece(e.in, piece)) {
        if (Find(piece, len, pattern)) {
            if (n <= 0) continue;
            --n;
        }
        Put(e.out, piece, piece + len);
    }
    return Finish(e);
}

int FileDelLinePair(const char* base, const char* ext, int n, const char* open,
                    const char* close) {
    Edit e;
    Begin(e, base, ext);
    // Open pairs whose closing line is still to be deleted. Wider than the
    // 255 a byte would hold, so that many nested pairs never wrap it to 0.
    long depth = 0;
    char piece[EDIT_PIECE_SIZE];
    while (int len = ReadPiece(e.in, piece)) {
        if (Find(piece, len, open)) {
            if (n <= 0) {
                ++depth;
                continue;
            }
            --n;
        } else if (depth > 0 && Find(piece, len, close)) {
            --depth;
            continue;
        }
        Put(e.out, piece, piece + len);
    }
    return Finish(e);
}

int FileInsert(const char* base, const char* ext, char* tmpl) {
    Numbering num = ReadTemplate(tmpl);
    Edit e;
    Begin(e, base, ext);
    char piece[EDIT_PIECE_SIZE];
    while (int len = ReadPiece(e.in, piece)) {
        PutTemplate(e.out, num);
        Put(e.out, piece, piece + len);
    }
    return Finish(e);
}

int FileSearchInsert(const char* base, const char* ext, char* tmpl, const char* pattern) {
    Numbering num = ReadTemplate(tmpl);
    Edit e;
    Begin(e, base, ext);
    char piece[EDIT_PIECE_SIZE];
    while (int len = ReadPiece(e.in, piece)) {
        if (Find(piece, len, pattern)) PutTemplate(e.out, num);
        Put(e.out, piece, piece + len);
    }
    return Finish(e);
}

// ------------------------------------------------------- the manual pair
static Original ioOriginal{};

FILE* OpenIOFiles(const char* base, const char* ext) {
    if (!base) base = "";
    if (!ext) ext = "";
    FormName(Fn, *ext ? "%s.%s" : "%s%s", base, ext);
    FormName(FnOut, "%s%s", Fn, "out");
    if (pIn) fclose(pIn);
    pIn = OpenFile(nullptr, Fn, "rt", 2);
    FileStatus = 0;
    ioOriginal = Remember(pIn);
    if (pOut) fclose(pOut);
    pOut = nullptr;
    pOut = OpenCopy(FnOut);
    return pOut;
}

int ReplaceInputFile() {
    if (pIn) fclose(pIn);
    pIn = nullptr;
    FileStatus = 1;
    if (!pOut) return 1;
    FILE* out = pOut;
    pOut = nullptr; // closed below: never closed twice by a later OpenIOFiles
    return PutInPlace(out, true, ioOriginal, FnOut, Fn);
}
