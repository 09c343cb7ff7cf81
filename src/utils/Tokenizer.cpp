// The tokenizer: a cursor tokenizer over one global scan position with
// backslash escapes, in-place splitters, lookups in separator-led lists, a
// list sort, and the line reader for answers typed on standard input.
#include "utils/utils.h"

#include "MemMgr/MemMgr.h"

#include <array>
#include <cstring>
#include <strings.h>

char* szIn = nullptr;
char* szTokenIn = nullptr;
char GetTokenBuf[TOKEN_BUF_SIZE] = {};
char chTokenDel = 0;

constexpr int TOKEN_MAX = TOKEN_BUF_SIZE - 1; // characters a token keeps
constexpr size_t FIND_PATTERN_SIZE = 512;     // separator, token, separator
constexpr int GETS_END_BYTE = 255;            // a byte that ends the answer like end of input

static bool IsLineMode(const char* text) {
    return text == TOKEN_LINE_MODE;
}

static bool IsDelim(const char* delims, char c) {
    return c && delims && strchr(delims, c);
}

// ------------------------------------------------------------------ Gets
char* Gets(char* buf, int size) {
    if (!buf) return nullptr;
    if (size <= 1) {
        if (size == 1) buf[0] = 0;
        return buf;
    }
    memset(buf, 0, size_t(size));
    int n = 0;
    while (n < size - 1) {
        int c = getc(stdin);
        if (c == EOF || c == GETS_END_BYTE) {
            buf[n] = 0;
            return n > 0 ? buf : nullptr;
        }
        if (c == '\n') {
            buf[n] = 0;
            return buf;
        }
        buf[n++] = char(c);
    }
    buf[n] = 0;
    return buf;
}

// ------------------------------------------------------ cursor tokenizer
void SetTokenBuf(char* text) {
    szIn = text;
    szTokenIn = text;
}

char* GetTokenBufInput() {
    return szIn;
}

static char Unescape(char c) {
    switch (c) {
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    default:
        return c;
    }
}

// Scans one token from *pos into out (TOKEN_BUF_SIZE bytes). Characters
// past TOKEN_MAX are consumed but not stored. A backslash directly before a
// newline is a line continuation and stands for nothing; a backslash at the
// very end of the text is kept as a plain backslash. Returns false for the
// line-mode case of a token ending at a newline (the token is then dropped).
static bool ScanToken(const char*& pos, const char* delims, bool lineMode, char* out, int& count) {
    int stored = 0;
    count = 0;
    out[0] = 0;
    const char* p = pos;
    for (;;) {
        char c = *p;
        if (!c) break;
        char add;
        if (c == '\\') {
            if (p[1] == '\n') { // continuation mark: absorbed
                p += 2;
                continue;
            }
            if (!p[1]) {
                add = '\\';
                p += 1;
            } else {
                add = Unescape(p[1]);
                p += 2;
            }
        } else if (IsDelim(delims, c)) {
            chTokenDel = c;
            ++p;
            if (count == 0) continue;
            if (lineMode && c == '\n') {
                pos = p;
                out[0] = 0;
                return false;
            }
            break;
        } else {
            add = c;
            ++p;
        }
        if (stored < TOKEN_MAX) out[stored++] = add;
        ++count;
    }
    out[stored] = 0;
    pos = p;
    return true;
}

char* GetToken(const char* text, const char* delims) {
    chTokenDel = 0;
    bool lineMode = IsLineMode(text);
    if (text && !lineMode) szIn = const_cast<char*>(text);
    GetTokenBuf[0] = 0;
    if (!szIn) return nullptr;
    const char* pos = szIn;
    int count;
    bool ok = ScanToken(pos, delims, lineMode, GetTokenBuf, count);
    szIn = const_cast<char*>(pos);
    if (!ok) return nullptr;
    szTokenIn = szIn;
    return count ? GetTokenBuf : nullptr;
}

char* GetTokenD(const char* text, const char* delims, char** cursor, char* out) {
    chTokenDel = 0;
    if (!out) return nullptr;
    out[0] = 0;
    bool lineMode = IsLineMode(text);
    const char* pos = (text && !lineMode) ? text : (cursor ? *cursor : nullptr);
    if (!pos) return nullptr;
    int count;
    if (!ScanToken(pos, delims, lineMode, out, count)) return nullptr;
    if (cursor) *cursor = const_cast<char*>(pos);
    return count ? out : nullptr;
}

// -------------------------------------------------- in-place splitters
char* GetTokenParse(char* text, const char* delims) {
    chTokenDel = 0;
    bool lineMode = IsLineMode(text);
    if (text && !lineMode) szIn = text;
    if (!szIn) return nullptr;
    char* start = szIn;
    int count = 0;
    for (;;) {
        char c = *szIn;
        if (!c) break;
        if (c == '\\') {
            // The escape stays in the text; a trailing backslash is kept
            // and the scan stops at the terminator after it.
            szIn += szIn[1] ? 2 : 1;
            ++count;
        } else if (IsDelim(delims, c)) {
            chTokenDel = c;
            *szIn++ = 0;
            if (count == 0) {
                start = szIn;
                continue;
            }
            if (lineMode && c == '\n') return nullptr;
            break;
        } else {
            ++szIn;
            ++count;
        }
    }
    szTokenIn = szIn;
    return count ? start : nullptr;
}

int ParseStr(char* text, const char* delims, char** slots, int max) {
    if (max <= 0 || !slots) return 0;
    for (int i = 0; i < max; ++i)
        slots[i] = nullptr;
    if (!text) return 0;
    int found = 0;
    char* p = text;
    while (*p && found < max) {
        while (IsDelim(delims, *p))
            ++p;
        if (!*p) break;
        slots[found++] = p;
        while (*p && !IsDelim(delims, *p))
            ++p;
        if (*p) *p++ = 0;
    }
    return found;
}

char* GetTokenN(const char* text, const char* delims, int n) {
    char* token = GetToken(text, delims);
    while (n > 1 && token) {
        token = GetToken(nullptr, delims);
        --n;
    }
    return token;
}

int GetTokenCount(const char* text, const char* delims) {
    char* savedIn = szIn;
    char* savedTokenIn = szTokenIn;
    char savedDel = chTokenDel;
    std::array<char, TOKEN_BUF_SIZE> savedBuf;
    memcpy(savedBuf.data(), GetTokenBuf, sizeof GetTokenBuf);
    int count = 0;
    if (GetToken(text, delims)) {
        ++count;
        while (GetToken(nullptr, delims))
            ++count;
    }
    szIn = savedIn;
    szTokenIn = savedTokenIn;
    chTokenDel = savedDel;
    memcpy(GetTokenBuf, savedBuf.data(), sizeof GetTokenBuf);
    return count;
}

// ------------------------------------------------------------ token lists
// Number of separators from the start of the list up to and including `at`.
static int PositionOf(const char* list, const char* at, char sep) {
    int n = 0;
    for (const char* p = list; p <= at; ++p)
        if (*p == sep) ++n;
    return n;
}

int FindToken(const char* token, const char* list) {
    if (!token || !list || !*list) return 0;
    char sep = list[0];
    size_t len = strlen(token);
    if (len + 3 > FIND_PATTERN_SIZE) return 0; // the pattern would not fit
    char pattern[FIND_PATTERN_SIZE];
    pattern[0] = sep;
    memcpy(pattern + 1, token, len);
    pattern[len + 1] = sep;
    pattern[len + 2] = 0;
    const char* hit = StrStr(list, pattern);
    if (!hit) {
        // The last element needs no closing separator.
        const char* last = strrchr(list, sep);
        if (last && strcmp(last + 1, token) == 0) hit = last;
    }
    return hit ? PositionOf(list, hit, sep) : 0;
}

int FindTokenC(const char* token, const char* list) {
    if (!token || !list || !*list) return 0;
    char sep = list[0];
    size_t len = strlen(token);
    if (len + 3 > FIND_PATTERN_SIZE) return 0;
    int n = 0;
    for (const char* p = list; *p; ++p) {
        if (*p != sep) continue;
        ++n;
        if (strncasecmp(p + 1, token, len) == 0 && (p[len + 1] == sep || p[len + 1] == 0)) return n;
    }
    return 0;
}

// Every piece between separators is an element, empty ones included: ',a'
// holds '' and 'a'; an empty list holds no element.
int FindTokenWithDelim(const char* list, const char* token, char sep) {
    if (!list || !token || !*list) return 0;
    size_t len = strlen(token);
    int n = 1;
    const char* p = list;
    for (;;) {
        const char* end = sep ? strchr(p, sep) : nullptr;
        size_t elemLen = end ? size_t(end - p) : strlen(p);
        if (elemLen == len && memcmp(p, token, len) == 0) return n;
        if (!end) return 0;
        p = end + 1;
        ++n;
    }
}

// Sorts in place. The sorted list never grows: when the list's last element
// (written without a closing separator) does not end up last, the separator
// that would close the sorted list is left out.
void SortTokens(char* list, char sep, bool ignoreCase) {
    if (!list || !sep) return;
    size_t total = strlen(list);
    size_t out = 0;
    while (out < total && list[out] == sep)
        ++out; // leading separators stay
    MemHold<char> copy(SaveStr_(list + out));
    char* work = copy.get();
    auto put = [&](char c) {
        if (out < total) list[out++] = c;
    };
    while (*work) {
        char* minStart = work;
        size_t minLen = 0; // length including its separator, if any
        for (char* e = work; *e;) {
            char* s = StrChr(e, sep);
            size_t len = s ? size_t(s - e) + 1 : strlen(e);
            if (e != work) {
                int cmp = ignoreCase ? strncasecmp(e, minStart, len) : strncmp(e, minStart, len);
                if (cmp < 0) {
                    minStart = e;
                    minLen = len;
                }
            } else {
                minLen = len;
            }
            e += len;
        }
        char last = 0;
        for (size_t i = 0; i < minLen; ++i)
            put(last = minStart[i]);
        memmove(minStart, minStart + minLen, strlen(minStart + minLen) + 1);
        if (last != sep && *work) put(sep);
    }
    list[out] = 0;
}
