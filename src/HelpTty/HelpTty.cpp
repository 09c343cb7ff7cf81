// The help viewer's menu: the page text, its links, Exit Help, Contents and
// Back.
#include "HelpTty/HelpTty.h"

#include <cstdio>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "setup/setup.h"

const char common_004[] = "~e Exit Help";
const char common_005[] = "~c Contents";
const char common_006[] = "~b Back";

static constexpr char ContentsName[] = "contents";
static constexpr char HelpDirectoryWord[] = "Orvik";
static char HelpTitle[NLS_MSG_SIZE];

TextMenuItem* HelpMenuItems = nullptr;
int HelpMenuItemCnt = 0;

TextMenu HelpMenu = {
    nullptr, 1, nullptr, nullptr, nullptr, nullptr, nullptr,
    uint16_t(MENU_F_NOEXIT | MENU_F_REINIT | MENU_F_TYPEBEFORE | MENU_F_SINGLE),
};

static TextMenuItem Fixed(const char* label, int type, int value, MenuActionFunc action, int key) {
    TextMenuItem item{};
    item.pLabel = label;
    item.Type = type;
    item.Value.i = value;
    item.ActionFunc = action;
    item.Key = key;
    return item;
}

const TextMenuItem HelpCommonItems[HELP_FIXED_ITEMS] = {
    Fixed("", MENU_GRID, 1, nullptr, 0),
    Fixed("", MENU_GRID, 3, nullptr, 0),
    Fixed(common_004, MENU_EXIT, 0, nullptr, 'e'),
    Fixed(common_005, MENU_COMMAND, 0, TtyHelpContents, 'c'),
    Fixed(common_006, MENU_COMMAND, 0, TtyHelpBack, 'b'),
    Fixed(nullptr, 0, 0, nullptr, 0),
};

bool HtmlHelp(const char* name, const char* data) {
    if (!name) return false;
    HtmlUtf8 = HtmlLocaleIsUtf8();
    HistoryI = 0;
    flBuildingFile = true;
    if (!ParseHtmlFile(name, data)) {
        if (data)
            printf("Error reading HTML buffer\n");
        else
            printf("Error in reading HTML file %s\n", name);
        return false;
    }
    ContentsFile = CurrentFile;
    flBuildingFile = false;
    return true;
}

// The labels the previous build allocated go back; the page text and the
// built-in labels are not the menu's (PutMem leaves them alone).
static void ReleaseLabels() {
    for (int i = 1; HelpMenuItems && i < HelpMenuItemCnt && HelpMenuItems[i].pLabel; ++i)
        PutMem(const_cast<char*>(HelpMenuItems[i].pLabel));
}

void TtyHelpBuildMenuItems() {
    HtmlPage* page = pCurrentPage;
    if (!page) return;
    int need = page->Links.nCount + 7;
    ReleaseLabels();
    if (HelpMenuItemCnt < need) {
        auto* grown = static_cast<TextMenuItem*>(AdjustMem(HelpMenuItems, need * int(sizeof(TextMenuItem))));
        if (!grown) SysError("%s", common_109);
        HelpMenuItems = grown;
        HelpMenuItemCnt = need;
    }
    memset(HelpMenuItems, 0, sizeof(TextMenuItem) * size_t(HelpMenuItemCnt));
    HelpMenu.pItems = HelpMenuItems;
    HelpMenuItems[0].pLabel = page->pText;
    HelpMenuItems[0].Type = MENU_TEXT;
    if (!page->pName) page->pName = const_cast<char*>(ContentsName);

    int n = 1;
    int textLen = StrLen(page->pText);
    for (ListLink* k = page->Links.pFirst; k; k = k->pNext) {
        HtmlLink* link = *static_cast<HtmlLink**>(k->pItem);
        if (!HtmlLinkOffered(link)) continue;
        int from = link->Start + 1, len = link->End - 1 - from;
        if (from > textLen) from = textLen;
        if (len < 0) len = 0;
        if (len > textLen - from) len = textLen - from;
        if (len > HELP_LABEL_SIZE - 1) len = HELP_LABEL_SIZE - 1;
        char label[HELP_LABEL_SIZE];
        memcpy(label, page->pText + from, size_t(len));
        label[len] = 0;
        // A link whose text spans lines is offered on one.
        for (char* c = label; *c; ++c)
            if (*c == '\n') *c = ' ';
        TextMenuItem& item = HelpMenuItems[n];
        item.pLabel = SaveStr_(label);
        item.Type = MENU_COMMAND;
        item.State = 0;
        item.Key = n;
        item.ActionFunc = TtyHelpGotoLink;
        item.pUserData = link;
        ++n;
    }
    for (int i = 0; i < HELP_FIXED_ITEMS; ++i) {
        TextMenuItem item = HelpCommonItems[i];
        if (i >= 2 && i <= 4) {
            // A missing message comes back as its key in a buffer of the
            // database's, which the next lookup overwrites: keep a copy.
            char* fetched = NlsFetchString(NlsCoreDB(), nullptr, 0, NLS_SET_HELPMENU, 150 + (i - 2));
            char* label = SaveStr_(fetched);
            PutMem(fetched);
            if (label[0] && label[1]) {
                item.pLabel = label;
                item.Key = label[1];
            } else {
                PutMem(label);
            }
        }
        HelpMenuItems[n++] = item;
    }
    Nlssprintf(HelpTitle, NlsCoreDB(), NLS_SET_HELP, 22, HelpDirectoryWord);
    HelpMenu.pTitle = HelpTitle;
}

int HelpFollowLink(HtmlLink* link) {
    const int outcome = ProcessLink(link);
    TtyHelpBuildMenuItems();
    return outcome;
}

int TtyHelpGotoLink(TextMenu*, TextMenuItem* item) {
    HelpFollowLink(static_cast<HtmlLink*>(item->pUserData));
    return 1;
}

int TtyHelpContents(TextMenu*, TextMenuItem*) {
    if (HtmlSetHistory(0) != 1) return 0;
    TtyHelpBuildMenuItems();
    return 1;
}

int TtyHelpBack(TextMenu*, TextMenuItem*) {
    if (HtmlSetHistory(-1) != 1) return 0;
    TtyHelpBuildMenuItems();
    return 1;
}

void TtyHtmlHelp(const char* name, const char* data, const char* title) {
    if (!name || !title) return;
    // A menu names its help document as "qdb.html": unless it is where it
    // is named, it is one of the toolkit's help pages.
    MemHold<char> path(data ? SaveStr_(name) : HelpFindDocument(name, pToolPath ? pToolPath : SetToolkitPath(nullptr)));
    if (!HtmlHelp(path, data)) return;
    snprintf(HelpTitle, sizeof HelpTitle, "%s", title);
    HelpMenu.pTitle = HelpTitle;
    TtyHelpBuildMenuItems();
    // A document named with a #NAME that names nothing opens at its first page.
    char told[HTML_NAME_SIZE + 32] = "";
    const char* fragment = strchr(path.get(), '#');
    if (fragment && fragment[1] && !HelpHasTarget(&aFile[CurrentFile], fragment + 1))
        snprintf(told, sizeof told, "%s names nothing.", fragment);
    HelpRunMenu(told);
}
