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

bool HtmlFindTarget(HtmlFile* file, const char* target, HtmlPage** page, int* pos) {
    if (!file || !target) return false;
    for (ListLink* l = file->Pages.pFirst; l; l = l->pNext) {
        auto* p = static_cast<HtmlPage*>(l->pItem);
        int at = -1;
        if (p->pName && strcmp(p->pName, target) == 0) at = 0;
        for (ListLink* k = p->Links.pFirst; at < 0 && k; k = k->pNext) {
            HtmlLink* link = *static_cast<HtmlLink**>(k->pItem);
            if (link->Kind == 1 && link->pTarget && strcmp(link->pTarget, target) == 0) at = link->Start;
        }
        if (at < 0) continue;
        if (page) *page = p;
        if (pos) *pos = at;
        return true;
    }
    return false;
}

bool GoToTarget(const char* target) {
    if (!target || CurrentFile >= FileIndex) return false;
    if (*target == '#') ++target;
    HtmlPage* page = nullptr;
    int pos = 0;
    if (!HtmlFindTarget(&aFile[CurrentFile], target, &page, &pos)) return false;
    SetHistory();
    pCurrentPage = page;
    TargetPos = pos;
    return true;
}

static bool StartsWithNoCase(const char* text, const char* prefix) {
    return strncasecmp(text, prefix, strlen(prefix)) == 0;
}

// Another document: a relative name is taken from the directory of the
// document that links to it.
static int OpenOtherDocument(const char* target) {
    char name[HTML_NAME_SIZE];
    const char* current = aFile[CurrentFile].pName;
    const char* slash = current ? strrchr(current, '/') : nullptr;
    bool relative = target[0] != '/' && !StartsWithNoCase(target, "file://") && !StartsWithNoCase(target, "http://");
    if (relative && slash)
        snprintf(name, sizeof name, "%.*s/%s", int(slash - current), current, target);
    else
        snprintf(name, sizeof name, "%s", target);
    HtmlFile* file = ParseHtmlFile(name, nullptr);
    if (!file) {
        printf("Error in reading file %s\n", target);
        return HTML_LINK_NO_DOCUMENT;
    }
    // The document opens at its first page when its fragment names nothing.
    const char* fragment = strchr(target, '#');
    if (fragment && fragment[1] && !HtmlFindTarget(file, fragment + 1, nullptr, nullptr)) return HTML_LINK_NO_TARGET;
    return HTML_LINK_FOLLOWED;
}

int ProcessLink(HtmlLink* link) {
    if (!link || !link->pTarget) return HTML_LINK_NO_TARGET;
    flBuildingFile = true;
    const char* target = link->pTarget;
    const char* hash = strrchr(target, '#');
    bool remote = StartsWithNoCase(target, "http://") || StartsWithNoCase(target, "file://");
    int outcome = HTML_LINK_FOLLOWED;
    if (target[0] == '#' && !remote) {
        if (!GoToTarget(target)) outcome = HTML_LINK_NO_TARGET;
    } else if (hash && CurrentFile < FileIndex &&
               strncmp(target, StripPath(aFile[CurrentFile].pName), size_t(hash - target)) == 0 &&
               StrLen(StripPath(aFile[CurrentFile].pName)) == int(hash - target)) {
        if (!GoToTarget(hash)) outcome = HTML_LINK_NO_TARGET;
    } else {
        outcome = OpenOtherDocument(target);
    }
    flBuildingFile = false;
    return outcome;
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
