// Loading and parsing of help documents: pages, head and body items, links.
#include <strings.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "html/LayoutTags.h"
#include "html/html.h"
#include "utils/utils.h"

HtmlFile aFile[HTML_MAX_FILES];
int FileIndex = 0;
int CurrentFile = 0;
HtmlPage* pCurrentPage = nullptr;

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

static bool StartsWithNoCase(const char* text, const char* prefix) {
    return strncasecmp(text, prefix, strlen(prefix)) == 0;
}

char* GetKeyWord(HtmlFile* file) {
    char* open = strchr(file->pCursor, '<');
    while (open && strncmp(open + 1, "!--", 3) == 0) {
        char* end = strstr(open + 4, "-->");
        open = end ? strchr(end + 3, '<') : nullptr;
    }
    if (!open) return nullptr;
    *open = 0;
    char* close = strchr(open + 1, '>');
    if (!close) {
        file->pCursor = open + 1 + strlen(open + 1);
        return nullptr;
    }
    *close = 0;
    file->pCursor = close + 1;
    return open + 1;
}

char* CutTagName(char* text, char** attrs) {
    while (IsBlank(*text)) ++text;
    char* end = text;
    while (*end && !IsBlank(*end)) ++end;
    if (*end) *end++ = 0;
    *attrs = end;
    return text;
}

void AddAtribute(ListHeader* list, char* tag, char* data) {
    HtmlItem item{tag, data, int(strlen(data))};
    if (strcasecmp(tag, "a") == 0) {
        auto* link = static_cast<HtmlLink*>(GetMem(sizeof(HtmlLink)));
        if (!link) SysError("%s", common_109);
        for (char* word = GetTokenParse(data, " \t\n\r"); word; word = GetTokenParse(nullptr, " \t\n\r")) {
            char* eq = strchr(word, '=');
            if (!eq) continue;
            *eq = 0;
            char* value = eq + 1;
            if (*value == '"') ++value;
            if (char* quote = strchr(value, '"')) *quote = 0;
            if (strcasecmp(word, "name") == 0) {
                link->pTarget = value;
                link->Kind = 1;
            } else if (strcasecmp(word, "href") == 0) {
                link->pTarget = value;
                link->Kind = 2;
            }
        }
        item.pData = link;
    }
    if (!ListPushItem(list, &item, sizeof item)) SysError("%s", common_109);
}

// The code point a reference at p ('&' at p[0]) stands for, and the length
// the reference takes; 0 when p holds no reference. A numeric reference to
// no character (beyond U+10FFFF, a surrogate, a control) stands for U+FFFD;
// 128 to 159 are read as the Windows code page that documents meant by them.
static int CharReference(const char* p, int* code) {
    if (p[1] == '#') {
        bool hex = p[2] == 'x' || p[2] == 'X';
        const char* q = p + (hex ? 3 : 2);
        const char* digits = q;
        long value = 0;
        for (;; ++q) {
            int d = *q >= '0' && *q <= '9' ? *q - '0'
                    : hex && *q >= 'a' && *q <= 'f' ? *q - 'a' + 10
                    : hex && *q >= 'A' && *q <= 'F' ? *q - 'A' + 10 : -1;
            if (d < 0) break;
            value = value * (hex ? 16 : 10) + d;
            if (value > 0x110000) value = 0x110000;
        }
        if (q == digits) return 0;
        *code = HtmlCodePoint(value);
        // Up to and including the next ';' of the same text; without one
        // the reference ends after its digits rather than taking markup or
        // the rest of the document with it.
        return int((*q == ';' ? q + 1 : q) - p);
    }
    const char* semi = static_cast<const char*>(memchr(p + 1, ';', strnlen(p + 1, 15)));
    if (!semi) return 0;
    char name[16];
    int len = int(semi - p);  // name and ';'
    memcpy(name, p + 1, size_t(len));
    name[len] = 0;
    int k = FindToken(name, HTMLKeys);
    if (k >= 1 && k <= 96) {
        *code = HTMLChars[k - 1];
        return len + 1;
    }
    name[len - 1] = 0;
    for (const HtmlEntity& e : HtmlMoreEntities)
        if (strcmp(e.pName, name) == 0) {
            *code = e.Code;
            return len + 1;
        }
    return 0;
}

bool HtmlUtf8 = false;

bool HtmlLocaleIsUtf8() {
    const char* value = nullptr;
    static const char* const names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    for (const char* name : names)
        if ((value = getenv(name)) && *value) break;
    const char* dot = value ? strchr(value, '.') : nullptr;
    if (!dot) return false;
    size_t len = strcspn(dot + 1, "@");
    return (len == 5 && strncasecmp(dot + 1, "UTF-8", 5) == 0) || (len == 4 && strncasecmp(dot + 1, "utf8", 4) == 0);
}

int HtmlCodePoint(long code) {
    static constexpr int Cp1252[32] = {
        0x20ac, 0, 0x201a, 0x192, 0x201e, 0x2026, 0x2020, 0x2021, 0x2c6, 0x2030, 0x160, 0x2039, 0x152, 0, 0x17d, 0,
        0, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, 0x2dc, 0x2122, 0x161, 0x203a, 0x153, 0, 0x17e, 0x178,
    };
    if (code == '\t' || code == '\n' || code == '\r' || code == '\f') return ' ';
    if (code >= 0x80 && code < 0xa0) code = Cp1252[code - 0x80];
    if (code < 0x20 || code == 0x7f || (code >= 0xd800 && code < 0xe000) || code > 0x10ffff) return 0xfffd;
    return int(code);
}

int HtmlEncodeChar(char* out, int code) {
    auto* o = reinterpret_cast<unsigned char*>(out);
    if (!HtmlUtf8) {
        o[0] = code < 0x100 ? (unsigned char)code : '?';
        return 1;
    }
    if (code < 0x80) {
        o[0] = (unsigned char)code;
        return 1;
    }
    if (code < 0x800) {
        o[0] = (unsigned char)(0xc0 | (code >> 6));
        o[1] = (unsigned char)(0x80 | (code & 0x3f));
        return 2;
    }
    if (code < 0x10000) {
        o[0] = (unsigned char)(0xe0 | (code >> 12));
        o[1] = (unsigned char)(0x80 | ((code >> 6) & 0x3f));
        o[2] = (unsigned char)(0x80 | (code & 0x3f));
        return 3;
    }
    o[0] = (unsigned char)(0xf0 | (code >> 18));
    o[1] = (unsigned char)(0x80 | ((code >> 12) & 0x3f));
    o[2] = (unsigned char)(0x80 | ((code >> 6) & 0x3f));
    o[3] = (unsigned char)(0x80 | (code & 0x3f));
    return 4;
}

int HtmlDecodeUtf8(const unsigned char* p, int* code) {
    unsigned c = p[0];
    int n = c >= 0xf0 && c < 0xf5 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 && c < 0xe0 ? 2 : 0;
    if (c >= 0xf5) n = 0;
    if (n == 0) return 0;
    long value = c & (0x3f >> (n - 1));
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xc0) != 0x80) return 0;
        value = value << 6 | (p[i] & 0x3f);
    }
    if ((n == 3 && value < 0x800) || (n == 4 && (value < 0x10000 || value > 0x10ffff)) ||
        (value >= 0xd800 && value < 0xe000))
        return 0;
    *code = int(value);
    return n;
}

char* HtmlDecodeSource(char* text) {
    size_t len = strlen(text);
    if (len > size_t(INT_MAX / 3 - 1)) return text;
    char* out = static_cast<char*>(GetMem(int(3 * len + 1)));
    if (!out) SysError("%s", common_109);
    char* o = out;
    for (auto* p = reinterpret_cast<const unsigned char*>(text); *p;) {
        if (*p >= 0x20 && *p < 0x7f) {
            *o++ = char(*p++);
            continue;
        }
        int code;
        int n = *p < 0x80 ? 0 : HtmlDecodeUtf8(p, &code);
        if (n) {
            p += n;
            // Control characters written as UTF-8 are left out, as are
            // those that are bytes of their own.
            if (code < 0xa0) continue;
        } else {
            code = *p++;
            if (code == '\t' || code == '\n' || code == '\r' || code == '\f') {
                *o++ = char(code);
                continue;
            }
            if (code < 0x20 || code == 0x7f) continue;
            if (code >= 0x80 && code < 0xa0 && (code = HtmlCodePoint(code)) == 0xfffd) continue;
        }
        o += HtmlEncodeChar(o, code);
    }
    *o = 0;
    PutMem(text);
    return out;
}

// The end of the comment or of the text of a script, style or noscript
// element that starts at p (just after its opening tag); none when p does
// not start one.
static char* SkipHidden(char* p, const char* name) {
    if (strncmp(p, "!--", 3) == 0) {
        char* end = strstr(p + 3, "-->");
        return end ? end + 3 : p + strlen(p);
    }
    if (!*name || FindTokenC(name, ",script,style,noscript,") == 0) return nullptr;
    char closing[12];
    snprintf(closing, sizeof closing, "</%s", name);
    char* end = StrCaseStr(p, closing);
    char* close = end ? strchr(end, '>') : nullptr;
    return close ? close + 1 : p + strlen(p);
}

// The value of attribute key in a tag's attribute text, copied into value
// (of size bytes, quotes dropped); false without one.
bool HtmlAttribute(const char* attrs, const char* key, char* value, int size) {
    size_t keyLen = strlen(key);
    for (const char* p = attrs; *p;) {
        while (IsBlank(*p)) ++p;
        const char* word = p;
        while (*p && !IsBlank(*p) && *p != '=') ++p;
        size_t wordLen = size_t(p - word);
        while (IsBlank(*p)) ++p;
        if (*p != '=') {
            if (wordLen == 0 && *p) ++p;
            continue;
        }
        ++p;
        while (IsBlank(*p)) ++p;
        const char* from = p;
        char quote = *p == '"' || *p == '\'' ? *p++ : 0;
        if (quote) from = p;
        while (*p && (quote ? *p != quote : !IsBlank(*p))) ++p;
        const char* to = p;
        if (quote && *p) ++p;
        if (wordLen == keyLen && strncasecmp(word, key, keyLen) == 0) {
            snprintf(value, size_t(size), "%.*s", int(to - from), from);
            return true;
        }
    }
    return false;
}

// An anchor made for an id attribute: the "a" and "/a" items of an anchor
// link whose name is kept with it.
static void AddIdAnchor(ListHeader* list, const char* attrs) {
    char id[HTML_NAME_SIZE];
    if (!HtmlAttribute(attrs, "id", id, sizeof id) || !id[0]) return;
    static char anchorTag[] = "a", endTag[] = "/a";
    int len = int(strlen(id));
    auto* link = static_cast<HtmlLink*>(GetMem(int(sizeof(HtmlLink)) + len + 1));
    if (!link) SysError("%s", common_109);
    link->pTarget = reinterpret_cast<char*>(link + 1);
    memcpy(link->pTarget, id, size_t(len) + 1);
    link->Kind = 1;
    HtmlItem open{anchorTag, link, 0}, close{endTag, endTag + 2, 0};
    if (!ListPushItem(list, &open, sizeof open) || !ListPushItem(list, &close, sizeof close))
        SysError("%s", common_109);
}

void ParseHtml(HtmlFile* file, ListHeader* list, const char* endTag) {
    char* p = file->pCursor;
    char* run = nullptr;  // start of the open text run
    char* out = nullptr;  // where the run's next character goes
    // White space between two pieces of text, tags between them or not, is
    // one blank, kept at the end of the text before or the start of the text
    // after; the layout leaves it out at the start of a line.
    bool afterBlank = true;
    bool pre = false;     // inside "pre": white space is kept as it is
    size_t endLen = strlen(endTag);
    auto endRun = [&] {
        if (!run) return;
        *out = 0;
        HtmlItem item{nullptr, run, int(out - run)};
        if (!ListPushItem(list, &item, sizeof item)) SysError("%s", common_109);
        run = nullptr;
    };
    while (*p) {
        char c = *p;
        if (c == '<' && (p[1] == '!' || p[1] == '/' || ((p[1] | 0x20) >= 'a' && (p[1] | 0x20) <= 'z'))) {
            *p = 0;
            endRun();
            if (char* end = SkipHidden(p + 1, "")) {
                p = end;
                continue;
            }
            char* close = strchr(p + 1, '>');
            if (!close) {
                p += 1 + strlen(p + 1);
                break;
            }
            *close = 0;
            char* attrs;
            char* name = CutTagName(p + 1, &attrs);
            p = close + 1;
            if (name[0] == '/' && strlen(name + 1) == endLen && strcasecmp(name + 1, endTag) == 0) break;
            char* end = strchr("sSnN", name[0]) ? SkipHidden(p, name) : nullptr;
            if (end) {
                p = end;
                continue;
            }
            if ((name[0] | 0x20) == 'p' && strcasecmp(name, "pre") == 0) pre = true;
            if (name[0] == '/' && strcasecmp(name, "/pre") == 0) pre = false;
            // The anchor of an id lies where the tag leaves the text (before
            // a link, whose text it would otherwise take).
            bool link = strcasecmp(name, "a") == 0;
            if (*attrs && link) AddIdAnchor(list, attrs);
            char idValue[HTML_NAME_SIZE];
            bool id = *attrs && !link && HtmlAttribute(attrs, "id", idValue, sizeof idValue);
            AddAtribute(list, name, attrs);
            if (id) AddIdAnchor(list, attrs);
            continue;
        }
        if (c == '&') {
            int code = 0;
            int len = CharReference(p, &code);
            if (len) {
                if (!run) run = out = p;
                if (code == ' ' && !pre) {
                    if (!afterBlank) *out++ = ' ';
                    afterBlank = true;
                } else {
                    out += HtmlEncodeChar(out, code);
                    afterBlank = false;
                }
                p += len;
                continue;
            }
        }
        if (pre && (c == '\n' || c == '\t' || c == '\r' || c == ' ' || c == '\f')) {
            if (!run) run = out = p;
            if (c != '\r') *out++ = c == '\f' ? '\n' : c;
            ++p;
            continue;
        }
        if (IsBlank(c) || c == '\f') {
            if (!afterBlank) {
                if (!run) run = out = p;
                *out++ = ' ';
            }
            afterBlank = true;
            ++p;
            continue;
        }
        if (!run) run = out = p;
        *out++ = c;
        afterBlank = false;
        ++p;
    }
    endRun();
    file->pCursor = p;
}

HtmlFile* FindHtmlFile(const char* name) {
    for (int i = 0; i < FileIndex; ++i)
        if (aFile[i].pName && strcmp(aFile[i].pName, name) == 0) {
            CurrentFile = i;
            return &aFile[i];
        }
    return nullptr;
}

// A new page at the end of the document's pages, current from now on.
static void AddPage(HtmlFile* file, char* name) {
    auto* page = static_cast<HtmlPage*>(ListPushItem(&file->Pages, nullptr, sizeof(HtmlPage)));
    if (!page) SysError("%s", common_109);
    page->pName = name;
    pCurrentPage = page;
}

// Splits the document text of file into pages.
static void ParsePages(HtmlFile* file) {
    bool firstSection = true;
    pCurrentPage = nullptr;
    while (char* tag = GetKeyWord(file)) {
        char* attrs;
        char* name = CutTagName(tag, &attrs);
        switch (FindTokenC(name, ",html,head,body,/html,")) {
        case 1: {
            if (strstr(attrs, "SkipPage")) {
                char* end = StrCaseStr(file->pCursor, "/HTML");
                char* close = end ? strchr(end, '>') : nullptr;
                file->pCursor = close ? close + 1 : file->pCursor + strlen(file->pCursor);
                break;
            }
            char* page = StrCaseStr(attrs, "page=\"");
            char* pageName = nullptr;
            if (page) {
                pageName = page + 6;
                if (char* quote = strchr(pageName, '"')) *quote = 0;
            }
            if (page || firstSection) AddPage(file, pageName);
            firstSection = false;
            break;
        }
        case 2:
            if (pCurrentPage && pCurrentPage->Head.nCount == 0) ParseHtml(file, &pCurrentPage->Head, "head");
            break;
        case 3:
            if (pCurrentPage) ParseHtml(file, &pCurrentPage->Body, "body");
            break;
        default:
            break;
        }
    }
}

static void FreeDocument(HtmlFile* file) {
    for (int i = 0; auto* page = static_cast<HtmlPage*>(ListWalk(&file->Pages, i)); ++i) {
        for (int j = 0; auto* item = static_cast<HtmlItem*>(ListWalk(&page->Body, j)); ++j) {
            if (IsMeasuredTable(item)) {
                auto* t = static_cast<HtmlTable*>(item->pData);
                PutMem(t->pRowHeights);
                PutMem(t->pColWidths);
                PutMem(t);
            } else if (item->pTag && strcasecmp(item->pTag, "a") == 0) {
                PutMem(item->pData);
            }
        }
        for (int j = 0; auto* item = static_cast<HtmlItem*>(ListWalk(&page->Head, j)); ++j)
            if (item->pTag && strcasecmp(item->pTag, "a") == 0) PutMem(item->pData);
        ListDelAllItems(&page->Head);
        ListDelAllItems(&page->Body);
        ListDelAllItems(&page->Links);
        PutMem(page->pText);
    }
    ListDelAllItems(&file->Pages);
    PutMem(file->pName);
    PutMem(file->pContent);
    *file = HtmlFile{};
}

void HtmlResetDocuments() {
    for (int i = 0; i < FileIndex; ++i) FreeDocument(&aFile[i]);
    FileIndex = CurrentFile = 0;
    pCurrentPage = nullptr;
    HistoryI = 0;
    TargetPos = 0;
    ContentsFile = 0;
}

HtmlFile* ParseHtmlFile(const char* nameIn, const char* content) {
    if (!nameIn || StartsWithNoCase(nameIn, "http://")) return nullptr;
    if (StartsWithNoCase(nameIn, "file://")) nameIn += 7;
    // The name is cut into document and fragment in a copy of its own, so
    // a link's target keeps its fragment for the next time it is followed.
    char name[HTML_NAME_SIZE];
    snprintf(name, sizeof name, "%s", nameIn);
    char* fragment = strchr(name, '#');
    if (fragment) *fragment++ = 0;

    HtmlFile* file = FindHtmlFile(name);
    if (!file || file->Pages.nCount == 0) {
        if (FileIndex >= HTML_MAX_FILES) return nullptr;
        char* text = content ? SaveStr_(content) : GetSavedFileContent(name, nullptr);
        if (!text) return nullptr;
        text = HtmlDecodeSource(text);
        file = &aFile[FileIndex];
        file->pName = SaveStr_(name);
        file->pContent = text;
        file->pCursor = text;
        ParsePages(file);
        if (file->Pages.nCount == 0) {
            FreeDocument(file);
            return nullptr;
        }
        CurrentFile = FileIndex++;
        for (int i = 0; auto* page = static_cast<HtmlPage*>(ListWalk(&file->Pages, i)); ++i) {
            pCurrentPage = page;
            PrintTextImage(file);
        }
        HtmlReleaseImage();
    }
    pCurrentPage = static_cast<HtmlPage*>(ListFindItemN(&file->Pages, 1));
    TargetPos = 0;
    if (fragment && *fragment) GoToTarget(fragment);
    return file;
}
