// Moving between the pages and documents of the help: targets, links and
// the history that Back and Contents use.
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "html/html.h"
#include "utils/utils.h"

HtmlPlace History[HTML_HISTORY_SIZE];
int HistoryI = 0;
int TargetPos = 0;
bool flBuildingFile = false;
int ContentsFile = 0;

void SetHistory() {
    if (HistoryI >= HTML_HISTORY_SIZE) return;
    History[HistoryI++] = HtmlPlace{CurrentFile, pCurrentPage, TargetPos};
}

int HtmlSetHistory(int mode) {
    auto* contents = ContentsFile < FileIndex ? static_cast<HtmlPage*>(ListFindItemN(&aFile[ContentsFile].Pages, 1)) : nullptr;
    // A change of document records no place, so after one the history may
    // be empty away from the contents; Contents still leads back there.
    bool away = contents && (CurrentFile != ContentsFile || pCurrentPage != contents);
    if (HistoryI == 0 && !(mode == 0 && away)) return 0;
    if (mode == 0) {
        HistoryI = 0;
        CurrentFile = ContentsFile;
        pCurrentPage = contents;
    } else if (mode == -1) {
        const HtmlPlace& place = History[--HistoryI];
        CurrentFile = place.File;
        pCurrentPage = place.pPage;
    }
    return 1;
}

void GoToTarget(const char* target) {
    if (!target || CurrentFile >= FileIndex) return;
    if (*target == '#') ++target;
    ListHeader* pages = &aFile[CurrentFile].Pages;
    for (ListLink* l = pages->pFirst; l; l = l->pNext) {
        auto* page = static_cast<HtmlPage*>(l->pItem);
        if (page->pName && strcmp(page->pName, target) == 0) {
            SetHistory();
            pCurrentPage = page;
            TargetPos = 0;
            return;
        }
        for (ListLink* k = page->Links.pFirst; k; k = k->pNext) {
            HtmlLink* link = *static_cast<HtmlLink**>(k->pItem);
            if (link->Kind == 1 && link->pTarget && strcmp(link->pTarget, target) == 0) {
                SetHistory();
                pCurrentPage = page;
                TargetPos = link->Start;
                return;
            }
        }
    }
}

static bool StartsWithNoCase(const char* text, const char* prefix) {
    return strncasecmp(text, prefix, strlen(prefix)) == 0;
}

// Another document: a relative name is taken from the directory of the
// document that links to it.
static void OpenOtherDocument(const char* target) {
    char name[HTML_NAME_SIZE];
    const char* current = aFile[CurrentFile].pName;
    const char* slash = current ? strrchr(current, '/') : nullptr;
    bool relative = target[0] != '/' && !StartsWithNoCase(target, "file://") && !StartsWithNoCase(target, "http://");
    if (relative && slash)
        snprintf(name, sizeof name, "%.*s/%s", int(slash - current), current, target);
    else
        snprintf(name, sizeof name, "%s", target);
    if (!ParseHtmlFile(name, nullptr)) printf("Error in reading file %s\n", target);
}

void ProcessLink(HtmlLink* link) {
    if (!link || !link->pTarget) return;
    flBuildingFile = true;
    const char* target = link->pTarget;
    const char* hash = strrchr(target, '#');
    bool remote = StartsWithNoCase(target, "http://") || StartsWithNoCase(target, "file://");
    if (target[0] == '#' && !remote) {
        GoToTarget(target);
    } else if (hash && CurrentFile < FileIndex &&
               strncmp(target, StripPath(aFile[CurrentFile].pName), size_t(hash - target)) == 0 &&
               StrLen(StripPath(aFile[CurrentFile].pName)) == int(hash - target)) {
        GoToTarget(hash);
    } else {
        OpenOtherDocument(target);
    }
    flBuildingFile = false;
}

void HtmlProcessLink(int position) {
    if (flBuildingFile || FileIndex == 0 || !pCurrentPage || pCurrentPage->Links.nCount == 0) return;
    for (ListLink* k = pCurrentPage->Links.pFirst; k; k = k->pNext) {
        HtmlLink* link = *static_cast<HtmlLink**>(k->pItem);
        if (link->Kind == 2 && link->Start <= position && position < link->End) {
            TargetPos = position;
            ProcessLink(link);
            return;
        }
    }
}

bool HtmlLinkOffered(const HtmlLink* link) {
    return link && link->Kind == 2 && link->pTarget && link->Len != 0;
}
