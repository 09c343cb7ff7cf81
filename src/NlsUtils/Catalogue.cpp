// Catalogue text, the source form of a message database: one record a line,
// the key, a tab and the text with its escapes. Also the printf conversions
// of a message, by which translations are checked and command-line
// arguments are formatted.
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

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

// One conversion filled from a command-line word, by the argument type the
// conversion takes.
static bool FormatOne(FILE* out, const char* conv, char kind, const char* word, char* err,
                      int errSize) {
    char* end = nullptr;
    errno = 0;
    bool isLong = strstr(conv, "l") != nullptr || strchr(conv, 'j') || strchr(conv, 'z') ||
                  strchr(conv, 't') || strchr(conv, 'q');
    switch (kind) {
    case 'd':
    case 'i':
    case 'o':
    case 'u':
    case 'x':
    case 'X': {
        long long v = strtoll(word, &end, 0);
        if (end == word || *end || errno) break;
        if (isLong)
            fprintf(out, conv, v);
        else
            fprintf(out, conv, int(v));
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
        if (strchr(conv, 'L'))
            fprintf(out, conv, v);
        else
            fprintf(out, conv, double(v));
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

// The escaped catalogue form of bytes.
static void WriteEscaped(FILE* out, const uint8_t* p, int n) {
    for (int i = 0; i < n; i++) {
        uint8_t c = p[i];
        if (c == '\n') fputs("\\n", out);
        else if (c == '\t') fputs("\\t", out);
        else if (c == '\r') fputs("\\r", out);
        else if (c == '\\') fputs("\\\\", out);
        else if (c < 0x20 || c == 0x7f) fprintf(out, "\\x%02X", c);
        else fputc(c, out);
    }
}

int CatalogueExport(DbTHandle* db, FILE* out, char* err, int errSize) {
    DbTRefreshUnlessKept(db);
    DbRecordView v;
    int32_t fullLen = db->imageLen;
    // Every key must be writable as catalogue text before anything is written.
    for (int ok = DbmFirstRecord(db, &v); ok; ok = DbmNextRecord(db, &v)) {
        if (!v.pKey || v.K > DB_KEY_BUF_SIZE || v.pKey[0] == '#' || strpbrk(v.pKey, "\t\n\r")) {
            snprintf(err, size_t(errSize), "a key at offset %ld cannot be written as catalogue text",
                     long(v.start));
            return -1;
        }
    }
    if (db->imageLen < fullLen) {
        snprintf(err, size_t(errSize), "damaged: the record at offset %ld runs past the end",
                 long(db->imageLen));
        return -1;
    }
    MemHold<uint8_t> data(static_cast<uint8_t*>(GetMem(DB_COPY_SIZE)));
    if (!data) {
        snprintf(err, size_t(errSize), "%s", common_109);
        return -1;
    }
    int records = 0;
    for (int ok = DbmFirstRecord(db, &v); ok; ok = DbmNextRecord(db, &v)) {
        fputs(v.pKey, out);
        fputc('\t', out);
        int n = DbmRecordData(db, &v, data.get());
        bool text = n > 0 && data[n - 1] == 0 && !memchr(data.get(), 0, size_t(n - 1));
        WriteEscaped(out, data.get(), text ? n - 1 : n);
        fputs(text ? "\n" : "\\c\n", out);
        records++;
    }
    return records;
}
