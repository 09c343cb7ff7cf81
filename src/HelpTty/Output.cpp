// The helptty tool's plain outputs and where it finds a document.
#include <strings.h>

#include <cstring>

#include "HelpTty/HelpTty.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

static const char* PageName(const HtmlPage* page) { return page->pName ? page->pName : "contents"; }

void HelpWritePages(FILE* out, HtmlFile* file) {
    for (ListLink* l = file->Pages.pFirst; l; l = l->pNext) {
        auto* page = static_cast<HtmlPage*>(l->pItem);
        fputs(page->pText ? page->pText : "", out);
        fputs("\f\n", out);
    }
}

void HelpWriteLinks(FILE* out, HtmlFile* file) {
    for (ListLink* l = file->Pages.pFirst; l; l = l->pNext) {
        auto* page = static_cast<HtmlPage*>(l->pItem);
        for (ListLink* k = page->Links.pFirst; k; k = k->pNext) {
            HtmlLink* link = *static_cast<HtmlLink**>(k->pItem);
            if (HtmlLinkOffered(link))
                fprintf(out, "%s\t%d\t%d\t%d\t%s\n", PageName(page), link->Start, link->End, link->Kind,
                        link->pTarget);
        }
    }
}

char* HelpFindDocument(const char* name, const char* toolkitDir) {
    char* path = SaveStr_(name);
    if (char* hash = strchr(path, '#')) *hash = 0;
    bool here = GetFileType(path) != 0;
    PutMem(path);
    bool url = strncasecmp(name, "file://", 7) == 0 || strncasecmp(name, "http://", 7) == 0;
    if (here || url || name[0] == '/' || !toolkitDir) return SaveStr_(name);
    return SaveStr("%s/help/%s", toolkitDir, name);
}

bool HelpHasText(HtmlFile* file) {
    for (ListLink* l = file->Pages.pFirst; l; l = l->pNext) {
        auto* page = static_cast<HtmlPage*>(l->pItem);
        for (const char* c = page->pText; c && *c; ++c)
            if (*c != ' ' && *c != '\n') return true;
    }
    return false;
}

bool HelpHasTarget(HtmlFile* file, const char* name) { return HtmlFindTarget(file, name, nullptr, nullptr); }
