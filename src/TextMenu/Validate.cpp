// Entry validation: the pattern language of one-letter elements with
// bounds, character sets, literals and the connectives "&" and "|" against
// which every typed value of a text, name, integer or real item is tested.
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "TextMenu/TextMenu.h"

char NlsBuf[NLSBUF_SIZE];
char* pErrIntRange = nullptr;
char* pErrFloatRange = nullptr;
char* pErrLongRange = nullptr;

static const char kInvalidDigit[] = "Invalid digit:  %c\n";
static const char kInvalidLongChar[] = "Invalid character '%c'\nThis text may contain \"0123456789.\"";
static const char kLiteralMismatch[] = "Invalid character %c\n%c was expected after \"%s\"";
static const char kNotAccepted[] = "\"%s\" is not accepted";

constexpr int kMsgSize = 1024;  // one deferred message of a failing element

// A message of the database shown through PostMsg and given back.
static void PostDbMsg(int set, int number, ...) {
    char* fmt = NlsFetchString(pDrvCoreDB, nullptr, 0, set, number);
    char text[kMsgSize];
    va_list ap;
    va_start(ap, number);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    PutMem(fmt);
    PostMsg("%s", text);
}

// The length message: one required length, or a range.
static void LengthMsg(char* out, int min, int max) {
    if (min == max)
        Nlssprintf(out, pDrvCoreDB, NLS_SET_HELP, 44, min, max);
    else
        Nlssprintf(out, pDrvCoreDB, NLS_SET_HELP, 42, min, max);
}

int getMinMax(const char* bounds, int* min) {
    if (!bounds) {
        *min = 0;
        return 0;
    }
    const char* p = bounds;
    if (*p && !isdigit(static_cast<unsigned char>(*p))) ++p;
    *min = atoi(p);
    while (isdigit(static_cast<unsigned char>(*p)))
        ++p;
    if (*p) ++p;
    return atoi(p);
}

const char* ValidateEntryLen(const char* text, const char* bounds) {
    int min = 4, max = 4;
    if (bounds) max = getMinMax(bounds, &min);
    int len = text ? int(strlen(text)) : 0;
    if (len >= min && len <= max) return nullptr;
    char msg[kMsgSize];
    LengthMsg(msg, min, max);
    snprintf(NlsBuf, sizeof NlsBuf, "%s", msg);
    return NlsBuf;
}

int ValidateEntryDigit(const char* text) {
    for (const char* p = text; p && *p; ++p)
        if (!isdigit(static_cast<unsigned char>(*p))) return static_cast<unsigned char>(*p);
    return 0;
}

int ValidateEntryTty(const char* text, const char* bounds) {
    if (const char* msg = ValidateEntryLen(text, bounds)) {
        PostMsg("%s", msg);
        return 2;
    }
    if (int c = ValidateEntryDigit(text)) {
        PostMsg(kInvalidDigit, c);
        return 3;
    }
    return 0;
}

namespace {

// One run of the validator: the pattern position, the input position, the
// accepted text and the two character sets.
struct Validation {
    const char* text;
    const char* pat;
    const char* in;
    char accepted[VALID_TEXT_SIZE];
    int acceptedLen;
    char include[VALID_SET_SIZE];
    int includeLen;
    char exclude[VALID_SET_SIZE];
    int excludeLen;

    void Step() {
        if (*pat) ++pat;
    }
    void StepIn() {
        if (*in) ++in;
    }
    // Input shorter than the accepted-text buffer is checked up front, so
    // the accepted text always has room.
    void Accept(char c) {
        if (acceptedLen < VALID_TEXT_SIZE - 1) {
            accepted[acceptedLen++] = c;
            accepted[acceptedLen] = 0;
        }
    }
    void Restart() {
        in = text;
        acceptedLen = 0;
        accepted[0] = 0;
    }
    // Bounds written "(MIN,MAX)" after the element letter, in integers;
    // the pattern position moves over them.
    int Bounds(int* min) {
        Step();  // the letter
        int max = getMinMax(pat, min);
        Step();  // "("
        while (isdigit(static_cast<unsigned char>(*pat)))
            ++pat;
        Step();
        while (isdigit(static_cast<unsigned char>(*pat)))
            ++pat;
        Step();
        return max;
    }
    // "+c" and "-c" pairs after the bounds.
    void Pairs() {
        while ((*pat == '+' || *pat == '-') && pat[1]) {
            char* set = *pat == '+' ? include : exclude;
            int& len = *pat == '+' ? includeLen : excludeLen;
            if (len < VALID_SET_SIZE - 1) {
                set[len++] = pat[1];
                set[len] = 0;
            }
            pat += 2;
        }
    }
    bool Excluded(char c) const { return c && memchr(exclude, c, size_t(excludeLen)); }
    bool Included(char c) const { return c && memchr(include, c, size_t(includeLen)); }
    // Moves to the next "&" or "|" or the end of the pattern.
    void SkipAlternative() {
        while (*pat && *pat != '&' && *pat != '|')
            ++pat;
    }
};

enum class Next { Element, Accept };

}  // namespace

// After an element that settled its value: the rest of the alternative is
// skipped; a "|" or the end accepts, an "&" continues.
static Next SkipRest(Validation& v) {
    v.SkipAlternative();
    return *v.pat == '&' ? Next::Element : Next::Accept;
}

static bool ClassAllows(char element, char c) {
    unsigned char u = static_cast<unsigned char>(c);
    switch (element) {
    case 'A':
        return isalnum(u);
    case 'a':
        return isalpha(u);
    default:
        return isprint(u);
    }
}

int ValidateEntry(const char* text, const char* pattern) {
    if (!pattern || !*pattern) return 0;
    if (!text) text = "";
    if (!pErrIntRange) {
        pErrIntRange = NlsFetchString(pDrvCoreDB, nullptr, 0, NLS_SET_MENU, 1003);
        pErrFloatRange = NlsFetchString(pDrvCoreDB, nullptr, 0, NLS_SET_MENU, 1004);
        pErrLongRange = NlsFetchString(pDrvCoreDB, nullptr, 0, NLS_SET_MENU, 1024);
    }
    const int textLen = int(strlen(text));
    if (textLen >= VALID_TEXT_SIZE) {
        char msg[kMsgSize];
        LengthMsg(msg, 0, VALID_TEXT_SIZE - 1);
        PostMsg("%s", msg);
        return 2;
    }
    static Validation v;
    memset(&v, 0, sizeof v);
    v.text = text;
    v.pat = pattern;
    v.in = text;

    for (;;) {
        while (*v.pat == ' ' || *v.pat == '\t' || *v.pat == '\n')
            ++v.pat;
        const char e = *v.pat;
        if (!e) return 0;
        // A failing element of the kinds that may try the next alternative.
        int failCode = 0;
        char failMsg[kMsgSize] = "";

        if (e == 'd' || e == 'D' || e == 'x') {
            long long value = 0;
            long double lvalue = 0;
            if (e == 'd') value = strtoll(v.in, nullptr, 10);
            else if (e == 'x') value = strtoll(v.in, nullptr, 16);
            else lvalue = strtold(v.in, nullptr);
            auto digit = [e](char c) {
                unsigned char u = static_cast<unsigned char>(c);
                return e == 'x' ? isxdigit(u) != 0 : (isdigit(u) != 0 || (e == 'D' && c == '.'));
            };
            while (digit(*v.in))
                v.Accept(*v.in++);
            v.StepIn();
            long double lmin = 0, lmax = 0;
            if (e == 'D' && v.pat[1] == '(') sscanf(v.pat + 2, "%Lg,%Lg ", &lmin, &lmax);
            int min;
            int max = v.Bounds(&min);
            if (e != 'x') v.Pairs();
            if (e != 'x') {
                for (const char* p = v.text; *p; ++p) {
                    if (!digit(*p) || v.Excluded(*p)) {
                        PostMsg(e == 'd' ? kInvalidDigit : kInvalidLongChar, *p);
                        return 3;
                    }
                }
            }
            if (e == 'D') {
                if (lmax == 0) continue;
                if (lvalue < lmin || lvalue > lmax) {
                    PostMsg(pErrLongRange, lmin, lmax);
                    return 1;
                }
            } else {
                if (max == 0) continue;
                if (value < min || value > max) {
                    PostMsg(e == 'd' ? pErrIntRange : pErrFloatRange, min, max);
                    return 1;
                }
            }
            if (SkipRest(v) == Next::Accept) return 0;
            continue;
        }
        if (e == 'f') {
            int dots = 0;
            for (const char* p = v.in; *p; ++p) {
                if (*p == '.') {
                    ++dots;
                } else if (!isdigit(static_cast<unsigned char>(*p))) {
                    PostDbMsg(NLS_SET_MENU, 1006, *p);
                    return 3;
                }
            }
            if (dots > 1) {
                PostDbMsg(NLS_SET_MENU, 1020);
                return 1;
            }
            double value = strtod(v.in, nullptr);
            while (isdigit(static_cast<unsigned char>(*v.in)) || *v.in == '.')
                v.Accept(*v.in++);
            v.StepIn();
            float min = 0, max = 0;
            if (v.pat[1] == '(') sscanf(v.pat + 2, "%f,%f)", &min, &max);
            while (*v.pat && *v.pat != ')')
                ++v.pat;
            v.Step();
            if (max == 0) continue;
            if (value < double(min) || value > double(max)) {
                PostMsg(textmenu_060, double(min), double(max));
                return 1;
            }
            if (SkipRest(v) == Next::Accept) return 0;
            continue;
        }
        const bool lengthOnly = (e == 'L' || e == 't') && v.pat[1] == '(';
        if (e == 'A' || e == 'a' || e == 'p' || lengthOnly) {
            int min;
            int max = v.Bounds(&min);
            if (!lengthOnly) {
                v.Pairs();
                for (; *v.in; ++v.in) {
                    if (!ClassAllows(e, *v.in) && !v.Included(*v.in)) {
                        char* fmt =
                            NlsFetchString(pDrvCoreDB, nullptr, 0, NLS_SET_MENU, e == 'a' ? 1008 : 1007);
                        snprintf(failMsg, sizeof failMsg, fmt, *v.in, v.include);
                        PutMem(fmt);
                        failCode = 3;
                        break;
                    }
                    v.Accept(*v.in);
                }
            }
            if (!failCode && max != 0 && (textLen < min || textLen > max)) {
                LengthMsg(failMsg, min, max);
                failCode = 2;
            }
            if (!failCode) continue;
        } else if (e == '!' || e == 't') {
            char forbidden[TOKEN_BUF_SIZE] = "";
            if (v.pat[1] && v.pat[2] && v.pat[2] != ')') GetTokenD(v.pat + 2, ")", nullptr, forbidden);
            if (strcmp(v.text, forbidden) == 0) {
                PostDbMsg(NLS_SET_MENU, 1009, v.text);
                return 4;
            }
            return 0;
        } else if (e == '&') {
            ++v.pat;
            v.Restart();
            continue;
        } else if (e == '|') {
            return 0;
        } else {
            if (*v.in == e) {
                v.Accept(*v.in++);
                ++v.pat;
                continue;
            }
            // A mismatch at the very start names the whole entry: there is
            // no accepted text to say what was expected after.
            if (v.acceptedLen > 0)
                snprintf(failMsg, sizeof failMsg, kLiteralMismatch, *v.in, e, v.accepted);
            else
                snprintf(failMsg, sizeof failMsg, kNotAccepted, v.text);
            failCode = 3;
        }

        v.SkipAlternative();
        if (*v.pat == '|') {
            ++v.pat;
            v.Restart();
            continue;
        }
        PostMsg("%s", failMsg);
        return failCode;
    }
}
