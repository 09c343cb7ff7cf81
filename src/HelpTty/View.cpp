// The viewer's run of its menu. It answers as the engine's run loop does for
// the help menu, and more: an answer that leads nowhere is told in one line
// above the menu, and on a terminal a page taller than the screen is shown a
// screen at a time, the page's title at the top of every screen and the
// links in sight with the prompt at the bottom.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "HelpTty/HelpTty.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "setup/setup.h"

// Rows the menu takes around the page's screen: above it the form feed's
// line, the blank line, the menu title and a blank line; below it the
// status line, the two grid groups' blank lines, the row of fixed items, a
// blank line and the prompt.
constexpr int kRowsAbove = 3;  // besides the menu title
constexpr int kRowsBelow = 5;  // besides the row of fixed items
constexpr int kFixedRowCols = 75;
constexpr int kLinkExtraCols = 5;  // "NN) " before a link's label, " " after it
constexpr int kShownAnswerMax = 24;

static int Rows(int cols, int width) { return width <= cols ? 1 : (width + cols - 1) / cols; }

// Terminal columns of n bytes of page text: a UTF-8 sequence is one column.
static int Columns(const char* text, int n) {
    if (!HtmlUtf8) return n;
    int cols = 0;
    for (int i = 0; i < n; ++i)
        cols += (static_cast<unsigned char>(text[i]) & 0xc0) != 0x80;
    return cols;
}

static int LineEnd(const char* text, int from, int len) {
    const char* nl = static_cast<const char*>(memchr(text + from, '\n', size_t(len - from)));
    return nl ? int(nl - text) + 1 : len;
}

// The menu lines of the offered links, by where their text starts in the
// page: the menu's own items when they are in that order (as they are but
// for some tables), else a sorted copy.
struct LinkLine {
    int Start;
    int Rows;
};
struct LinkLines {
    const TextMenuItem* items = nullptr;  // item 1 of the menu, or none with `sorted`
    int cols = 80;
    LinkLine* sorted = nullptr;
    int count = 0;
    ~LinkLines() { PutMem(sorted); }
    int Start(int j) const {
        return sorted ? sorted[j].Start : static_cast<const HtmlLink*>(items[j].pUserData)->Start;
    }
    int RowsOf(int j) const { return sorted ? sorted[j].Rows : LabelRows(items[j]); }
    int LabelRows(const TextMenuItem& item) const {
        return Rows(cols, Columns(item.pLabel, StrLen(item.pLabel)) + kLinkExtraCols);
    }
};

static void CollectLinks(const TextMenu* menu, int cols, LinkLines* links) {
    links->items = menu->pItems + 1;
    links->cols = cols;
    bool inOrder = true;
    int n = 0;
    for (const TextMenuItem* i = links->items; i->pLabel && i->ActionFunc == TtyHelpGotoLink; ++i, ++n)
        if (n > 0 && links->Start(n) < links->Start(n - 1)) inOrder = false;
    links->count = n;
    if (inOrder) return;
    auto* sorted = static_cast<LinkLine*>(GetMem(n * int(sizeof(LinkLine))));
    if (!sorted) SysError("%s", common_109);
    for (int k = 0; k < n; ++k)
        sorted[k] = LinkLine{links->Start(k), links->RowsOf(k)};
    std::sort(sorted, sorted + n, [](const LinkLine& a, const LinkLine& b) { return a.Start < b.Start; });
    links->sorted = sorted;
}

HelpScreen HelpFindScreen(const TextMenu* menu, const HtmlPage* page, int cols, int rows, int at) {
    HelpScreen s{};
    const char* text = page->pText ? page->pText : "";
    const int len = StrLen(text);
    if (cols < 1) cols = 1;
    int budget = rows - kRowsAbove - kRowsBelow - Rows(cols, kFixedRowCols);
    const char* title = menu->pTitle ? menu->pTitle : "";
    const int titleLen = int(strcspn(title, "\n\r"));
    budget -= Rows(cols, (titleLen > MENU_WIDTH ? 0 : (MENU_WIDTH - titleLen) / 2) + titleLen);
    // The page's title lines stay at the top of every screen.
    const int bodyStart = page->BodyStart < len ? page->BodyStart : len;
    while (s.TitleEnd < bodyStart) {
        const int end = LineEnd(text, s.TitleEnd, len);
        budget -= Rows(cols, Columns(text + s.TitleEnd, end - s.TitleEnd - 1));
        s.TitleEnd = end;
    }
    LinkLines links;
    CollectLinks(menu, cols, &links);
    if (at < s.TitleEnd) at = s.TitleEnd;
    int first = s.TitleEnd, k = 0;
    s.Count = 0;
    // Screens are cut from the top of the body, each as many lines as fit
    // with the menu lines of the links that start on them; a screen holds
    // at least one line.
    do {
        int end = first, used = 0;
        while (end < len) {
            const int next = LineEnd(text, end, len);
            int cost = Rows(cols, Columns(text + end, next - end - (text[next - 1] == '\n')));
            int j = k;
            for (; j < links.count && links.Start(j) < next; ++j)
                cost += links.RowsOf(j);
            if (end > first && used + cost > budget) break;
            used += cost;
            k = j;
            end = next;
        }
        ++s.Count;
        if (s.Number == 0 && (at < end || end >= len)) {
            s.Number = s.Count;
            s.First = first;
            s.End = end;
            s.Spare = budget > used ? budget - used : 0;
        }
        first = end;
    } while (first < len);
    if (s.Number == 0) s.Number = s.Count = 1, s.First = s.End = len;
    return s;
}

// Adds one answer to the list "a, b or c" in out.
static void AddAnswer(char* out, size_t size, int* count, const char* answer, bool last) {
    const size_t n = strlen(out);
    snprintf(out + n, size - n, "%s%s", *count == 0 ? "" : last ? " or " : ", ", answer);
    ++*count;
}

// A hot-key item shown with a key that can be typed.
static bool TypedKey(const TextMenuItem& item) {
    return item.pLabel[0] == '~' && item.State == 0 && item.Key > ' ' && item.Key < 127;
}

void HelpAnswerMessage(char* out, int size, const char* answer, const TextMenu* menu, bool paged) {
    int links = 0, keys = 0;
    for (const TextMenuItem* i = menu->pItems; i->pLabel; ++i) {
        if (i->ActionFunc == TtyHelpGotoLink) ++links;
        if (TypedKey(*i)) ++keys;
    }
    const int total = (links > 0) + keys + (paged ? 2 : 0);
    char answers[160] = "";
    int count = 0;
    char word[32];
    if (links > 0) {
        snprintf(word, sizeof word, links > 1 ? "1 to %d" : "%d", links);
        AddAnswer(answers, sizeof answers, &count, word, count + 1 == total);
    }
    for (const TextMenuItem* i = menu->pItems; i->pLabel; ++i) {
        if (!TypedKey(*i)) continue;
        snprintf(word, sizeof word, "%c", i->Key);
        AddAnswer(answers, sizeof answers, &count, word, count + 1 == total);
    }
    if (paged) {
        AddAnswer(answers, sizeof answers, &count, "Return", false);
        AddAnswer(answers, sizeof answers, &count, "-", true);
    }
    if (isdigit(static_cast<unsigned char>(answer[0]))) {
        const long n = strtol(answer, nullptr, 10);
        if (links == 0)
            snprintf(out, size_t(size), "There is no link %ld: this page has none.", n);
        else
            snprintf(out, size_t(size), "There is no link %ld: type %s.", n, answers);
        return;
    }
    // The answer as typed, without control characters, cut short.
    char shown[kShownAnswerMax + 4];
    int n = 0;
    for (const char* c = answer; *c && n < kShownAnswerMax; ++c)
        shown[n++] = static_cast<unsigned char>(*c) < ' ' || *c == 127 ? '?' : *c;
    shown[n] = 0;
    if (StrLen(answer) > kShownAnswerMax) snprintf(shown + n, sizeof shown - size_t(n), "...");
    snprintf(out, size_t(size), "\"%s\" is no answer: type %s.", shown, answers);
}

// The status line of a screen that is not the only one.
static void StatusLine(char* out, int size, const HelpScreen& s) {
    if (s.Number == s.Count)
        snprintf(out, size_t(size), "-- screen %d of %d, the last: - for the one before --", s.Number, s.Count);
    else if (s.Number == 1)
        snprintf(out, size_t(size), "-- screen 1 of %d: Return for more --", s.Count);
    else
        snprintf(out, size_t(size), "-- screen %d of %d: Return for more, - for the one before --", s.Number,
                 s.Count);
}

static bool Answered(const char* line, const char* word) {
    while (*line == ' ' || *line == '\t')
        ++line;
    const int n = StrLen(word);
    if (strncmp(line, word, size_t(n)) != 0) return false;
    for (line += n; *line == ' ' || *line == '\t';)
        ++line;
    return *line == 0;
}

// The first item of the menu (the page text) as the screen shows it: the
// page's title, the screen's lines and the status or message line; the link
// items out of sight are hidden (they still answer to their numbers).
static char* ScreenLabel(TextMenu* menu, const HelpScreen* s, const char* message) {
    const char* text = menu->pItems[0].pLabel;
    char status[NLS_MSG_SIZE] = "";
    if (message[0])
        snprintf(status, sizeof status, "%s", message);
    else if (s)
        StatusLine(status, sizeof status, *s);
    if (!s) return SaveStr("%s%s", text, status);
    for (TextMenuItem* i = menu->pItems + 1; i->pLabel && i->ActionFunc == TtyHelpGotoLink; ++i) {
        const int start = static_cast<const HtmlLink*>(i->pUserData)->Start;
        i->State = start >= s->First && start < s->End ? 0 : 2;
    }
    // A screen shorter than the terminal (the last) keeps the menu where the
    // others have it.
    const int lines = s->End - s->First, statusLen = StrLen(status);
    auto* label = static_cast<char*>(GetMem(s->TitleEnd + lines + s->Spare + statusLen + 1));
    if (!label) SysError("%s", common_109);
    memcpy(label, text, size_t(s->TitleEnd));
    memcpy(label + s->TitleEnd, text + s->First, size_t(lines));
    memset(label + s->TitleEnd + lines, '\n', size_t(s->Spare));
    memcpy(label + s->TitleEnd + lines + s->Spare, status, size_t(statusLen) + 1);
    return label;
}

static const char* Fragment(const char* target) {
    const char* hash = strrchr(target, '#');
    return hash ? hash + 1 : target;
}

void HelpRunMenu(const char* told) {
    TextMenu* menu = &HelpMenu;
    if (flExitTextMenu) return;
    int width = InitMenu(menu);
    const char* title = menu->pTitle ? menu->pTitle : "";
    const int titleLen = int(strcspn(title, "\n\r"));
    const bool terminal = isatty(STDOUT_FILENO) != 0;
    TextScreen* screen = nullptr;
    char message[NLS_MSG_SIZE];
    snprintf(message, sizeof message, "%s", told ? told : "");
    int at = TargetPos;  // where in the page text the screen shown is
    for (;;) {
        HelpScreen s{};
        bool paged = false;
        if (terminal && pCurrentPage) {
            screen = GetTermInfo(screen);
            s = HelpFindScreen(menu, pCurrentPage, screen->Cols, screen->Rows, at);
            paged = s.Count > 1;
            if (paged) at = s.First;
        }
        const char* pageText = menu->pItems[0].pLabel;
        char* label = paged || message[0] ? ScreenLabel(menu, paged ? &s : nullptr, message) : nullptr;
        if (label) menu->pItems[0].pLabel = label;
        const int count = PrintMenu(menu, width, titleLen);
        menu->pItems[0].pLabel = pageText;
        PutMem(label);
        for (TextMenuItem* i = menu->pItems + 1; i->pLabel && i->ActionFunc == TtyHelpGotoLink; ++i)
            i->State = 0;
        message[0] = 0;

        if (!Gets(LineBuf, LINEBUF_SIZE)) MenuInputEnded();
        if (paged && (Answered(LineBuf, "") || Answered(LineBuf, "+"))) {
            if (s.Number == s.Count)
                snprintf(message, sizeof message, "This is the last screen: - for the one before.");
            else
                at = s.End;
            continue;
        }
        if (paged && Answered(LineBuf, "-")) {
            if (s.Number == 1)
                snprintf(message, sizeof message, "This is the first screen: Return for more.");
            else
                at = HelpFindScreen(menu, pCurrentPage, screen->Cols, screen->Rows, s.First - 1).First;
            continue;
        }
        const int n = FindSelection(menu, 0, count);
        if (n == 0) {
            if (LineBuf[0]) HelpAnswerMessage(message, sizeof message, LineBuf, menu, paged);
            continue;
        }
        // An action rebuilds the items (and may move them): what is needed
        // of the answered one is taken first.
        TextMenuItem* item = &menu->pItems[n - 1];
        const int type = item->Type;
        const MenuActionFunc action = item->ActionFunc;
        bool r = false;
        if (action == TtyHelpGotoLink) {
            // The place left is the screen shown: Back returns to it.
            if (paged) TargetPos = s.First;
            auto* link = static_cast<HtmlLink*>(item->pUserData);
            const int outcome = HelpFollowLink(link);
            if (outcome == HTML_LINK_NO_DOCUMENT)
                snprintf(message, sizeof message, "%s cannot be read: the page stays.", link->pTarget);
            else if (outcome == HTML_LINK_NO_TARGET)
                snprintf(message, sizeof message, "#%s names nothing.", Fragment(link->pTarget));
            if (outcome != HTML_LINK_NO_DOCUMENT) at = TargetPos;
        } else {
            const int before = HistoryI;
            r = ProcessSelection(menu, n - 1, pOption);
            if (action == TtyHelpBack && HistoryI < before)
                at = History[HistoryI].TargetPos;
            else if (action == TtyHelpContents)
                at = 0;
        }
        if (flExitTextMenu || (r && type == MENU_EXIT)) {
            FreeMenu(menu);
            FreeScreen(screen);
            return;
        }
        if (r && type == MENU_COMMAND) width = InitMenu(menu);
    }
}
