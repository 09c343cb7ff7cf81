// Catalogue text, the source form of a message database: one record a line,
// the key, a tab and the text with its escapes. Also the printf conversions
// of a message, by which translations are checked and command-line
// arguments are formatted.
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/types.h>
#include <cstdint>
#include <cstddef>

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "utils/utils.h"

// ------------------------------------------------------ conversions

// The conversion starting at fmt[0] == '%': its end and its signature
// (length modifier and conversion letter, "*" for a star); false for a
// conversion that is cut off or unknown.
static bool ScanConversion(const char* fmt, size_t* len, char* sig, size_t sigSize, char* kind) {
    size_t i = 1;
    size_t s = 0;
    auto add = [&](char c) {
        if (s + 1 < sigSize) sig[s++] = c;
    };
    while (fmt[i] && strchr("-+ #0'", fmt[i])) i++;
    auto digitsOrStar = [&]() {
        if (fmt[i] == '*') {
            add('*');
            i++;
        } else {
            while (fmt[i] >= '0' && fmt[i] <= '9') i++;
        }
    };
    digitsOrStar();
    if (fmt[i] == '.') {
        i++;
        digitsOrStar();
    }
    while (fmt[i] && strchr("hlLqjzt", fmt[i])) add(fmt[i++]);
    char c = fmt[i];
    if (!c || !strchr("diouxXeEfFgGaAcspn", c)) return false;
    if (c == 'n') return false;  // writes through a pointer: never from a message
    add(c == 'i' ? 'd' : c);
    sig[s] = 0;
    *kind = c;
    *len = i + 1;
    return true;
}

int NlsFormatSignature(const char* fmt, char* sig, int size) {
    if (!fmt || !sig || size <= 0) return -1;
    int count = 0;
    size_t used = 0;
    sig[0] = 0;
    for (const char* p = fmt; *p; p++) {
        if (*p != '%') continue;
        if (p[1] == '%') {
            p++;
            continue;
        }
        char one[16], kind;
        size_t len;
        if (!ScanConversion(p, &len, one, sizeof one, &kind)) return -1;
        size_t n = strlen(one);
        if (used + n + 2 > size_t(size)) return -1;
        memcpy(sig + used, one, n);
        used += n;
        sig[used++] = ' ';
        sig[used] = 0;
        count++;
        p += len - 1;
    }
    return count;
}

constexpr long NLS_MAX_FIELD = 4096;  // the widest field and longest precision a message may ask for

// Whether the conversion conv (a whole "%...X") can be filled from a word:
// its width and precision at most NLS_MAX_FIELD, and its length modifier
// one whose type the words are converted to. Else why, naming conv.
static bool ConversionFits(const char* conv, char kind, char* err, int errSize) {
    const char* p = conv + 1;
    p += strspn(p, "-+ #0'");
    for (int field = 0; field < 2; field++) {
        long value = 0;
        while (*p >= '0' && *p <= '9') {
            if (value <= NLS_MAX_FIELD) value = value * 10 + (*p - '0');
            p++;
        }
        if (value > NLS_MAX_FIELD) {
            snprintf(err, size_t(errSize), "the conversion %s asks for a field above %ld", conv,
                     NLS_MAX_FIELD);
            return false;
        }
        if (field == 0 && *p != '.') break;
        if (field == 0) p++;
    }
    std::string_view mod(p, strcspn(p, "diouxXeEfFgGaAcsp"));
    static constexpr std::string_view Ints[] = {"", "hh", "h", "l", "ll", "j", "z", "t"};
    static constexpr std::string_view Reals[] = {"", "l", "L"};
    bool fits = false;
    if (strchr("diouxX", kind))
        for (std::string_view m : Ints) fits = fits || m == mod;
    else if (strchr("eEfFgGaA", kind))
        for (std::string_view m : Reals) fits = fits || m == mod;
    else
        fits = mod.empty() && kind != 'p';
    if (!fits)
        snprintf(err, size_t(errSize), "the conversion %s has a length modifier no argument is given as",
                 conv);
    return fits;
}

// One conversion filled from a command-line word, by the argument type the
// conversion takes (ConversionFits has passed it).
static bool FormatOne(FILE* out, const char* conv, char kind, const char* word, char* err,
                      int errSize) {
    char* end = nullptr;
    errno = 0;
    std::string_view mod(conv + 1 + strspn(conv + 1, "-+ #0'.0123456789"));
    mod = mod.substr(0, mod.size() - 1);
    switch (kind) {
    case 'd':
    case 'i':
    case 'o':
    case 'u':
    case 'x':
    case 'X': {
        long long v = strtoll(word, &end, 0);
        if (end == word || *end || errno) break;
        if (mod == "ll") fprintf(out, conv, v);
        else if (mod == "l") fprintf(out, conv, long(v));
        else if (mod == "j") fprintf(out, conv, intmax_t(v));
        else if (mod == "z") fprintf(out, conv, ssize_t(v));
        else if (mod == "t") fprintf(out, conv, ptrdiff_t(v));
        else fprintf(out, conv, int(v));
        return true;
    }
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A': {
        long double v = strtold(word, &end);
        if (end == word || *end) break;
        if (mod == "L") fprintf(out, conv, v);
        else fprintf(out, conv, double(v));
        return true;
    }
    case 'c':
        if (strlen(word) != 1) break;
        fprintf(out, conv, word[0]);
        return true;
    case 's':
        fprintf(out, conv, word);
        return true;
    default:
        break;
    }
    snprintf(err, size_t(errSize), "argument \"%s\" does not suit the conversion %s", word, conv);
    return false;
}

bool NlsPrintArgs(FILE* out, const char* fmt, int argc, char** argv, char* err, int errSize) {
    char sig[NLS_MSG_SIZE];
    int count = NlsFormatSignature(fmt, sig, sizeof sig);
    if (count < 0) {
        snprintf(err, size_t(errSize), "the message holds a conversion that cannot be filled");
        return false;
    }
    if (strchr(sig, '*')) {
        snprintf(err, size_t(errSize), "the message takes a width argument");
        return false;
    }
    if (count != argc) {
        snprintf(err, size_t(errSize), "the message takes %d argument%s, %d given", count,
                 count == 1 ? "" : "s", argc);
        return false;
    }
    // Check every argument before printing anything.
    for (int pass = 0; pass < 2; pass++) {
        FILE* sink = pass == 0 ? fopen("/dev/null", "w") : out;
        if (!sink) sink = out;
        int arg = 0;
        for (const char* p = fmt; *p;) {
            if (*p != '%') {
                size_t n = strcspn(p, "%");
                if (pass) fwrite(p, 1, n, sink);
                p += n;
                continue;
            }
            if (p[1] == '%') {
                if (pass) fputc('%', sink);
                p += 2;
                continue;
            }
            char one[16], conv[64], kind;
            size_t len;
            ScanConversion(p, &len, one, sizeof one, &kind);
            snprintf(conv, sizeof conv, "%.*s", int(len), p);
            if (len >= sizeof conv) {
                snprintf(err, size_t(errSize), "the conversion %s... is too long", conv);
                if (sink != out) fclose(sink);
                return false;
            }
            if (!ConversionFits(conv, kind, err, errSize)) {
                if (sink != out) fclose(sink);
                return false;
            }
            if (!FormatOne(sink, conv, kind, argv[arg++], err, errSize)) {
                if (sink != out) fclose(sink);
                return false;
            }
            p += len;
        }
        if (sink != out) fclose(sink);
    }
    return true;
}

// ------------------------------------------------------------ lines

// One line of any length without its line end (and a carriage return before
// it), in *buf (grown as needed); -1 at the end of the input.
static long ReadLine(FILE* in, char** buf, long* cap) {
    long len = 0;
    int c;
    while ((c = getc(in)) != EOF && c != '\n') {
        if (len + 2 > *cap) {
            long want = *cap ? *cap * 2 : 256;
            void* grown = want > INT32_MAX ? nullptr : AdjustMem(*buf, int(want));
            if (!grown) return -2;
            *buf = static_cast<char*>(grown);
            *cap = want;
        }
        (*buf)[len++] = char(c);
    }
    if (c == EOF && len == 0) return -1;
    if (!*buf) {
        *buf = static_cast<char*>(GetMem(256));
        if (!*buf) return -2;
        *cap = 256;
    }
    if (len > 0 && (*buf)[len - 1] == '\r') len--;
    (*buf)[len] = 0;
    return len;
}

static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes the text of a line in place; its byte count, or -1 with why.
static long DecodeText(char* text, long len, const char** why) {
    long out = 0;
    bool raw = false;
    for (long i = 0; i < len; i++) {
        char c = text[i];
        if (c != '\\') {
            text[out++] = c;
            continue;
        }
        char e = i + 1 < len ? text[++i] : 0;
        switch (e) {
        case 'n': text[out++] = '\n'; break;
        case 't': text[out++] = '\t'; break;
        case 'r': text[out++] = '\r'; break;
        case '\\': text[out++] = '\\'; break;
        case 'x': {
            int hi = i + 1 < len ? HexValue(text[i + 1]) : -1;
            int lo = i + 2 < len ? HexValue(text[i + 2]) : -1;
            if (hi < 0 || lo < 0) {
                *why = "\\x needs two hexadecimal digits";
                return -1;
            }
            text[out++] = char(hi * 16 + lo);
            i += 2;
            break;
        }
        case 'c':
            if (i + 1 != len) {
                *why = "\\c stands only at the end of a line";
                return -1;
            }
            raw = true;
            break;
        default:
            *why = e ? "unknown escape" : "a backslash ends the line";
            return -1;
        }
    }
    if (!raw) text[out++] = 0;
    return out;
}

int CatalogueImport(DbTHandle* db, FILE* in, const char* source, DbTHandle* ref, char* err,
                    int errSize) {
    char* line = nullptr;
    long cap = 0;
    long len;
    int lineNo = 0, records = 0;
    MemHold<char> refText;
    char sig[NLS_MSG_SIZE], refSig[NLS_MSG_SIZE];
    auto fail = [&](const char* fmt, ...) {
        int n = snprintf(err, size_t(errSize), "%s:%d: ", source, lineNo);
        va_list ap;
        va_start(ap, fmt);
        if (n >= 0 && n < errSize) vsnprintf(err + n, size_t(errSize - n), fmt, ap);
        va_end(ap);
        PutMem(line);
        return -1;
    };
    while ((len = ReadLine(in, &line, &cap)) >= 0) {
        lineNo++;
        if (len == 0 || line[0] == '#') continue;
        char* tab = static_cast<char*>(memchr(line, '\t', size_t(len)));
        if (!tab) return fail("no tab between key and text");
        if (tab == line) return fail("empty key");
        if (memchr(line, 0, size_t(tab - line))) return fail("a zero byte in the key");
        *tab = 0;
        if (strchr(line, '\r')) return fail("a carriage return in the key");
        if (strlen(line) > size_t(DB_MAX_KEY)) return fail("key longer than %d characters", DB_MAX_KEY);
        char* text = tab + 1;
        const char* why = "";
        long n = DecodeText(text, len - (text - line), &why);
        if (n < 0) return fail("%s", why);
        if (n == 0) return fail("empty data");
        if (ref && n > 0 && text[n - 1] == 0 && memchr(text, 0, size_t(n - 1)) == nullptr) {
            int refLen = DbmTGetRecordSize(ref, line);
            if (refLen > 0) {
                refText.reset(static_cast<char*>(GetMem(refLen + 1)));
                if (refText) DbmTGetRecord(ref, line, refText.get());
                int a = NlsFormatSignature(text, sig, sizeof sig);
                int b = refText ? NlsFormatSignature(refText, refSig, sizeof refSig) : -1;
                if (a < 0 || (b >= 0 && strcmp(sig, refSig) != 0))
                    return fail("key %s: conversions \"%s\" differ from the reference's \"%s\"", line,
                                a < 0 ? "(unusable)" : sig, b < 0 ? "(unusable)" : refSig);
            }
        }
        if (!DbmTPutRecord(db, line, text, int(n))) return fail("record too long for the database");
        records++;
    }
    PutMem(line);
    if (len == -2) {
        snprintf(err, size_t(errSize), "%s", common_109);
        return -1;
    }
    return records;
}

// ---------------------------------------------------------- terminal

size_t NlsNextChar(const char* text, size_t n, bool* control) {
    const auto* p = reinterpret_cast<const uint8_t*>(text);
    uint8_t c = p[0];
    size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 1;
    if (len > n) len = 1;
    for (size_t i = 1; i < len; i++)
        if ((p[i] & 0xC0) != 0x80) len = 1;  // no UTF-8 sequence: its bytes stand alone
    if (len == 1) *control = (c < 0x20 && c != '\t' && c != '\n') || (c >= 0x7F && c <= 0x9F);
    else *control = len == 2 && c == 0xC2 && p[1] <= 0x9F;
    return len;
}

void NlsWriteShown(FILE* out, const char* p, size_t n) {
    while (n > 0) {
        bool control;
        size_t len = NlsNextChar(p, n, &control);
        for (size_t i = 0; i < len; i++)
            if (control) fprintf(out, "\\x%02X", uint8_t(p[i]));
            else fputc(p[i], out);
        p += len;
        n -= len;
    }
}

// The escaped catalogue form of bytes: no control character is written.
static void WriteEscaped(FILE* out, const uint8_t* p, int n) {
    for (int i = 0; i < n;) {
        uint8_t c = p[i];
        bool control;
        size_t len = NlsNextChar(reinterpret_cast<const char*>(p + i), size_t(n - i), &control);
        if (c == '\n') fputs("\\n", out);
        else if (c == '\t') fputs("\\t", out);
        else if (c == '\r') fputs("\\r", out);
        else if (c == '\\') fputs("\\\\", out);
        else if (control)
            for (size_t k = 0; k < len; k++) fprintf(out, "\\x%02X", p[i + k]);
        else fwrite(p + i, 1, len, out);
        i += int(len);
    }
}

int CatalogueExport(DbTHandle* db, FILE* out, char* err, int errSize, bool shown) {
    DbTRefreshUnlessKept(db);
    DbRecordView v;
    if (db->damagedAt >= 0) {
        snprintf(err, size_t(errSize), "damaged: the record at offset %ld runs past the end",
                 long(db->damagedAt));
        return -1;
    }
    // Every key must be writable as catalogue text before anything is written.
    for (int ok = DbmFirstRecord(db, &v); ok; ok = DbmNextRecord(db, &v)) {
        if (!v.pKey || v.K > DB_KEY_BUF_SIZE || v.pKey[0] == '#' || strpbrk(v.pKey, "\t\n\r")) {
            snprintf(err, size_t(errSize), "a key at offset %ld cannot be written as catalogue text",
                     long(v.start));
            return -1;
        }
    }
    MemHold<uint8_t> data(static_cast<uint8_t*>(GetMem(DB_COPY_SIZE)));
    if (!data) {
        snprintf(err, size_t(errSize), "%s", common_109);
        return -1;
    }
    int records = 0;
    for (int ok = DbmFirstRecord(db, &v); ok; ok = DbmNextRecord(db, &v)) {
        if (shown) NlsWriteShown(out, v.pKey, strlen(v.pKey));
        else fputs(v.pKey, out);
        fputc('\t', out);
        int n = DbmRecordData(db, &v, data.get());
        bool text = n > 0 && data[n - 1] == 0 && !memchr(data.get(), 0, size_t(n - 1));
        WriteEscaped(out, data.get(), text ? n - 1 : n);
        fputs(text ? "\n" : "\\c\n", out);
        records++;
    }
    return records;
}
