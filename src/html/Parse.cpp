// Loading and parsing of help documents: pages, head and body items, links.
#include <strings.h>

#include <cstdio>
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

// The character a reference at p ('&' at p[0]) stands for, and the length
// the reference takes; 0 when p holds no reference.
static int CharReference(const char* p, int* code) {
    if (p[1] == '#' && p[2] >= '0' && p[2] <= '9') {
        int value = 0;
        const char* q = p + 2;
        while (*q >= '0' && *q <= '9') value = (value * 10 + (*q++ - '0')) & 0xffff;
        *code = value & 0xff;
        // Up to and including the next ';' of the same text; without one
        // the reference ends after its digits rather than taking markup or
        // the rest of the document with it.
        const char* semi = strpbrk(q, ";<");
        return int((semi && *semi == ';' ? semi + 1 : q) - p);
    }
    if (strncasecmp(p + 1, "quot;", 5) == 0) {
        *code = '"';
        return 6;
    }
    const char* semi = static_cast<const char*>(memchr(p + 1, ';', strnlen(p + 1, 15)));
    if (!semi) return 0;
    char name[16];
    int len = int(semi - p);  // name and ';'
    memcpy(name, p + 1, size_t(len));
    name[len] = 0;
    int k = FindToken(name, HTMLKeys);
    if (k < 1 || k > 96) return 0;
    *code = HTMLChars[k - 1];
    return len + 1;
}

void ParseHtml(HtmlFile* file, ListHeader* list, const char* endTag) {
    char* p = file->pCursor;
    char* run = nullptr;  // start of the open text run
    char* out = nullptr;  // where the run's next character goes
    bool afterBlank = false;
    size_t endLen = strlen(endTag);
    while (*p) {
        char c = *p;
        if (c == '<') {
            *p = 0;
            if (run) {
                *out = 0;
                HtmlItem item{nullptr, run, int(out - run)};
                if (!ListPushItem(list, &item, sizeof item)) SysError("%s", common_109);
                run = nullptr;
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
            AddAtribute(list, name, attrs);
            continue;
        }
        if (c == '&') {
            int code = 0;
            int len = CharReference(p, &code);
            if (len) {
                if (!run) run = out = p;
                // A reference to character 0 would end the run; it writes nothing.
                if (code) *out++ = char(code);
                p += len;
                afterBlank = false;
                continue;
            }
        }
        if (IsBlank(c)) {
            if (run && !afterBlank) *out++ = c;
            afterBlank = true;
            ++p;
            continue;
        }
        if (!run) run = out = p;
        *out++ = c;
        afterBlank = false;
        ++p;
    }
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
