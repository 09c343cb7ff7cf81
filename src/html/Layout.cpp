// Layout of a parsed page into its text: the character image, the title,
// paragraphs, headings, lists, links and the placing of tables.
#include <strings.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "html/LayoutTags.h"
#include "utils/utils.h"

int HtmlTableDepth = 0;

// The image of the page being laid out: rows of HTML_IMAGE_COLS characters,
// zero where nothing was written. It grows as rows are reached, so no
// layout, however tall or wide, writes outside it. It is kept from page to
// page (only its written rows are cleared), as is the table of row offsets,
// so laying out a document does not allocate and release per page.
static char* Image = nullptr;
static int ImageRows = 0;
static int UsedRows = 0;  // rows below the last one written to
static int* RowOffsets = nullptr;
static int RowOffsetCnt = 0;

static constexpr char FitabTag[] = "fitab";

bool IsMeasuredTable(const HtmlItem* item) { return item && item->pTag == FitabTag; }

void HtmlSetMeasured(HtmlItem* item, HtmlTable* table) {
    item->pTag = const_cast<char*>(FitabTag);
    item->pData = table;
}

// The names of HtmlKeys by position, with their lengths, cut out of the
// list once: every item of every page is classified, several times when it
// lies in a table, so the lookup compares lengths before letters.
struct KeyName {
    const char* pName;
    int Len;
};
static constexpr int HTML_KEY_COUNT = K_HR;
static constexpr int HTML_KEY_MAX_LEN = 6;

static const KeyName* KeyNames() {
    static KeyName names[HTML_KEY_COUNT + 1];
    static bool made = false;
    if (!made) {
        const char* p = HtmlKeys + 1;
        for (int k = 1; k <= HTML_KEY_COUNT && *p; ++k) {
            const char* end = strchr(p, HtmlKeys[0]);
            int len = end ? int(end - p) : int(strlen(p));
            names[k] = KeyName{p, len};
            p += len + (end ? 1 : 0);
        }
        made = true;
    }
    return names;
}

HtmlKey HtmlClassify(const HtmlItem* item) {
    if (!item->pTag) return K_TEXT;
    if (IsMeasuredTable(item)) return K_FITAB;
    int len = int(strnlen(item->pTag, HTML_KEY_MAX_LEN + 1));
    if (len > HTML_KEY_MAX_LEN) return K_OTHER;
    const KeyName* names = KeyNames();
    for (int k = 1; k <= HTML_KEY_COUNT; ++k)
        if (names[k].Len == len && strncasecmp(names[k].pName, item->pTag, size_t(len)) == 0)
            return k == K_FITAB ? K_OTHER : HtmlKey(k);
    return K_OTHER;
}

static void EnsureRows(long rows) {
    if (rows <= ImageRows) return;
    long want = ImageRows * 2L;
    if (want < rows) want = rows;
    if (want < 64) want = 64;
    if (want > INT_MAX / HTML_IMAGE_COLS) {
        want = INT_MAX / HTML_IMAGE_COLS;
        if (want < rows) SysError("%s", common_109);
    }
    char* grown = static_cast<char*>(AdjustMem(Image, int(want * HTML_IMAGE_COLS)));
    if (!grown) SysError("%s", common_109);
    Image = grown;
    ImageRows = int(want);
}

void PrintText(HtmlFile*, int* row, int* column, const char* text, int n, char fill) {
    if (n <= 0 || !text) return;
    long start = long(*row) * HTML_IMAGE_COLS + *column;
    long end = start + n;
    EnsureRows(end / HTML_IMAGE_COLS + 1);
    if (fill)
        memset(Image + start, text[0], size_t(n));
    else
        memcpy(Image + start, text, size_t(n));
    int last = int((end - 1) / HTML_IMAGE_COLS) + 1;
    if (last > UsedRows) UsedRows = last;
    // The position moves to just after the text, also when it ran on into
    // the following rows, so that what comes next neither overwrites it nor
    // leaves a gap, and a link's length is the length of its text.
    if (*column + n < HTML_IMAGE_COLS) {
        *column += n;
    } else {
        *row = int(end / HTML_IMAGE_COLS);
        *column = int(end % HTML_IMAGE_COLS);
    }
}

void BuildTextImage(HtmlFile* file) {
    HtmlPage* page = pCurrentPage;
    if (Image) memset(Image, 0, size_t(UsedRows) * HTML_IMAGE_COLS);
    UsedRows = 0;
    EnsureRows(page->Body.nCount > 0 ? page->Body.nCount : 1);
    page->RowCnt = 0;
    int row = 0;
    bool inTitle = false;
    for (int i = 0; auto* item = static_cast<HtmlItem*>(ListWalk(&page->Head, i)); ++i) {
        if (item->pTag) {
            if (strcasecmp(item->pTag, "title") == 0) inTitle = true;
            if (strcasecmp(item->pTag, "/title") == 0) inTitle = false;
            continue;
        }
        if (!inTitle) continue;
        // A title wider than the centring width starts at the left edge.
        const char* title = static_cast<char*>(item->pData);
        int len = item->Len;
        while (len > 0 && title[0] == ' ') ++title, --len;
        while (len > 0 && title[len - 1] == ' ') --len;
        if (len == 0) continue;
        int column = 0;
        int blanks = (HTML_TITLE_COLS - len) / 2;
        if (blanks > 0) PrintText(file, &row, &column, " ", blanks, 1);
        PrintText(file, &row, &column, title, len, 0);
        row += 2;
    }
    page->BodyStart = row;
    BuildTextBody(file, nullptr, row, 0);
}

// The layout state of one table (or of the page outside any table).
struct BodyState {
    HtmlTable* table;
    int row, column;
    int lists = 0;  // open lists; the innermost HTML_MAX_LIST_DEPTH are told apart
    bool ordered[HTML_MAX_LIST_DEPTH] = {};
    int counter[HTML_MAX_LIST_DEPTH] = {};
    int cellIndex = -1, cellColumn = 0, rowStart = 0, tableRow = 0;
    bool rowOpen = false;
    HtmlLink* link = nullptr;
    bool opened = false;  // a "<" was written for link
    int ignored = 0;      // open tables nested too deep, laid out as ignored tags
    int pre = 0;          // open "pre" elements
};

static int ColWidth(const HtmlTable* t, int col) {
    return t && col >= 0 && col < t->Cols ? t->pColWidths[col] : 0;
}

// True when nothing or a blank lies left of the position on its row.
static bool AfterBlank(int row, int column, int lineStart) {
    if (column <= lineStart) return true;
    long at = long(row) * HTML_IMAGE_COLS + column - 1;
    return at < long(ImageRows) * HTML_IMAGE_COLS && (Image[at] == 0 || Image[at] == ' ');
}

static void EndTableRow(BodyState& s) {
    int height = s.tableRow < s.table->Rows ? s.table->pRowHeights[s.tableRow] : 0;
    s.row = s.rowStart + height + 1;
    ++s.tableRow;
    s.rowOpen = false;
}

static void PlaceTable(HtmlFile* file, BodyState& s, HtmlTable* t) {
    if (!s.table) {
        t->X = s.column;
        t->Y = s.row;
        BuildTextBody(file, t, t->Y, t->X);
        s.row = t->Y + t->Height;
        s.column = t->X;
    } else {
        t->X = s.cellColumn;
        t->Y = s.row + (s.column > s.cellColumn ? 1 : 0);
        BuildTextBody(file, t, t->Y, t->X);
        s.row = t->Y + t->Height;
        s.column = s.cellColumn;
    }
}

// Preformatted text: its line breaks kept, tabs to the next eighth column.
static void PrintPre(HtmlFile* file, BodyState& s, const char* text, int n, int lineStart) {
    for (int i = 0; i < n;) {
        int j = i;
        while (j < n && text[j] != '\n' && text[j] != '\t') ++j;
        PrintText(file, &s.row, &s.column, text + i, j - i, 0);
        if (j >= n) break;
        if (text[j] == '\n') {
            s.row += 1;
            s.column = lineStart;
        } else {
            PrintText(file, &s.row, &s.column, " ", HtmlTabBlanks(s.column - lineStart), 1);
        }
        i = j + 1;
    }
}

// One item; false when the table being laid out ends.
static bool LayOutItem(HtmlFile* file, BodyState& s, HtmlItem* item) {
    HtmlPage* page = pCurrentPage;
    int lineStart = s.table ? s.cellColumn : 0;
    HtmlKey key = HtmlClassify(item);
    auto breakLine = [&] {
        if (s.column > lineStart) s.row += 1;
        s.column = lineStart;
    };
    switch (key) {
    case K_TEXT: {
        const char* text = static_cast<char*>(item->pData);
        int n = item->Len;
        if (s.pre) {
            PrintPre(file, s, text, n, lineStart);
            break;
        }
        if (n > 0 && text[0] == ' ' && AfterBlank(s.row, s.column, lineStart)) ++text, --n;
        PrintText(file, &s.row, &s.column, text, n, 0);
        break;
    }
    case K_P:
        if (!s.table) s.row += 2, s.column = 0;
        else breakLine();
        break;
    case K_EP:
        if (!s.table) s.row += 1, s.column = 0;
        break;
    case K_BR: case K_H1: case K_H2: case K_H3: case K_H4: case K_H5: case K_H6: case K_DIV:
        s.column = lineStart;
        s.row += 1;
        break;
    case K_EH1: case K_EH2: case K_EH3: case K_EH4: case K_EH5: case K_EH6: case K_EDIV:
        s.column = lineStart;
        s.row += 2;
        break;
    case K_OL: case K_UL:
        if (s.lists < HTML_MAX_LIST_DEPTH) {
            s.ordered[s.lists] = key == K_OL;
            s.counter[s.lists] = 0;
        }
        ++s.lists;
        break;
    case K_EOL: case K_EUL:
        if (s.lists > 0) --s.lists;
        s.column = lineStart;
        s.row += 1;
        break;
    case K_LI:
        if (s.lists > 0) {
            s.column = lineStart;
            s.row += 1;
            char mark[64];
            int n = HtmlListMark(mark, sizeof mark, s.lists, s.ordered, s.counter);
            PrintText(file, &s.row, &s.column, mark, n, 0);
        }
        break;
    case K_DL: case K_EDL: case K_DT: case K_PRE: case K_EPRE:
        breakLine();
        if (key == K_PRE) ++s.pre;
        if (key == K_EPRE && s.pre > 0) --s.pre;
        break;
    case K_DD:
        breakLine();
        PrintText(file, &s.row, &s.column, " ", HTML_DD_INDENT, 1);
        break;
    case K_HR:
        breakLine();
        if (!s.table) {
            PrintText(file, &s.row, &s.column, "-", HTML_RULE_COLS, 1);
            breakLine();
        }
        break;
    case K_IMG: {
        char alt[HTML_ALT_SIZE];
        int n = HtmlImageAlt(item, alt, sizeof alt);
        PrintText(file, &s.row, &s.column, alt, n, 0);
        break;
    }
    case K_A:
        s.link = static_cast<HtmlLink*>(item->pData);
        s.opened = false;
        if (s.link) {
            s.link->Start = s.row;
            s.link->End = s.column;
            if (s.link->Kind == 2) {
                PrintText(file, &s.row, &s.column, "<", 1, 0);
                s.opened = true;
            }
        }
        break;
    case K_EA:
        if (s.opened) PrintText(file, &s.row, &s.column, ">", 1, 0);
        s.opened = false;
        if (s.link) {
            s.link->Len = (s.row - s.link->Start) * HTML_IMAGE_COLS + s.column - s.link->End;
            s.link->EndRow = s.row;
            s.link->EndColumn = s.column;
            if (!ListPushItem(&page->Links, &s.link, sizeof s.link)) SysError("%s", common_109);
            s.link = nullptr;
        }
        break;
    case K_TR:
        if (!s.table) break;
        if (s.rowOpen) EndTableRow(s);
        s.rowOpen = true;
        s.cellIndex = -1;
        s.cellColumn = s.table->X + s.table->Padding + 1;
        s.rowStart = s.row;
        s.column = s.table->X + 1;
        break;
    case K_TD: case K_TH:
        if (!s.table) break;
        s.row = s.rowStart;
        ++s.cellIndex;
        if (s.cellIndex > 0) s.cellColumn += ColWidth(s.table, s.cellIndex - 1) + 2 * s.table->Padding + 1;
        s.column = s.cellColumn;
        break;
    case K_ETR:
        if (s.table) EndTableRow(s);
        break;
    case K_TABLE: {
        if (HtmlTableDepth >= HTML_MAX_TABLE_DEPTH) {
            ++s.ignored;
            break;
        }
        if (s.lists > 0) s.column = lineStart, s.row += 1;
        ListLink* walk = page->Body.pWalk;
        HtmlTable* t = GetTextTable(file, item, s.table ? ColWidth(s.table, s.cellIndex) : 0);
        page->Body.pWalk = walk;
        PlaceTable(file, s, t);
        break;
    }
    case K_FITAB:
        PlaceTable(file, s, static_cast<HtmlTable*>(item->pData));
        break;
    case K_ETABLE:
        if (s.ignored) --s.ignored;
        else if (s.table) return false;
        break;
    default:
        break;
    }
    return true;
}

int HtmlTabBlanks(int column) { return 8 - column % 8; }

int HtmlListMark(char* mark, int size, int lists, const bool* ordered, int* counter) {
    int level = lists <= HTML_MAX_LIST_DEPTH ? lists - 1 : HTML_MAX_LIST_DEPTH - 1;
    int indent = 3 * (lists - 1 < HTML_MAX_LIST_DEPTH ? lists - 1 : HTML_MAX_LIST_DEPTH);
    int n = lists <= HTML_MAX_LIST_DEPTH && ordered[level]
                ? snprintf(mark, size_t(size), "%*s   %i. ", indent, "", ++counter[level])
                : snprintf(mark, size_t(size), "%*s   * ", indent, "");
    return n < size ? n : size - 1;
}

int HtmlImageAlt(const HtmlItem* item, char* alt, int size) {
    const char* attrs = static_cast<const char*>(item->pData);
    char value[HTML_ALT_SIZE];
    if (!attrs || !HtmlAttribute(attrs, "alt", value, sizeof value) || !value[0]) return 0;
    for (char* c = value; *c; ++c)
        if (*c == '\t' || *c == '\n' || *c == '\r' || *c == '\f') *c = ' ';
    int n = snprintf(alt, size_t(size), "[%s]", value);
    return n < size ? n : size - 1;
}

void BuildTextBody(HtmlFile* file, HtmlTable* table, int row, int column) {
    HtmlPage* page = pCurrentPage;
    BodyState s{table, row, column};
    if (table) {
        ++HtmlTableDepth;
        DrawTableArea(file, table);
        s.row = table->Y + 1;
        s.rowStart = s.row;
    }
    for (auto* item = static_cast<HtmlItem*>(ListWalk(&page->Body, table ? 1 : 0)); item;
         item = static_cast<HtmlItem*>(ListWalk(&page->Body, 1))) {
        if (!LayOutItem(file, s, item)) {
            --HtmlTableDepth;
            return;
        }
    }
    if (table) --HtmlTableDepth;
    page->RowCnt = s.row;
}

void HtmlReleaseImage() {
    PutMem(Image);
    PutMem(RowOffsets);
    Image = nullptr;
    RowOffsets = nullptr;
    ImageRows = UsedRows = RowOffsetCnt = 0;
}

void PrintTextImage(HtmlFile* file) {
    HtmlPage* page = pCurrentPage;
    if (!page || page->pText) return;
    BuildTextImage(file);
    // Text on the last row written belongs to the page even when no line
    // break follows it.
    int rows = page->RowCnt > UsedRows ? page->RowCnt : UsedRows;
    page->RowCnt = rows;
    long imageSize = long(ImageRows) * HTML_IMAGE_COLS;
    if (RowOffsetCnt < rows + 1) {
        int* grown = static_cast<int*>(AdjustMem(RowOffsets, int(sizeof(int)) * (rows + 1)));
        if (!grown) SysError("%s", common_109);
        RowOffsets = grown;
        RowOffsetCnt = rows + 1;
    }
    int* offsets = RowOffsets;
    // A row's text ends at its last written character; what was never
    // written before it is blank. A full row runs on into the next.
    auto rowLength = [&](int r) -> int {
        long at = long(r) * HTML_IMAGE_COLS;
        if (at >= imageSize) return 0;
        int len = HTML_IMAGE_COLS;
        while (len > 0 && Image[at + len - 1] == 0) --len;
        return len;
    };
    long total = 0;
    for (int r = 0; r < rows; ++r) {
        if (total >= INT_MAX - HTML_IMAGE_COLS) SysError("%s", common_109);
        offsets[r] = int(total);
        int len = rowLength(r);
        total += len;
        if (len < HTML_IMAGE_COLS || r + 1 >= rows) total += 1;
    }
    if (total >= INT_MAX) SysError("%s", common_109);
    char* text = static_cast<char*>(GetMem(int(total) + 1));
    if (!text) SysError("%s", common_109);
    char* out = text;
    for (int r = 0; r < rows; ++r) {
        int len = rowLength(r);
        const char* from = Image + long(r) * HTML_IMAGE_COLS;
        for (int i = 0; i < len; ++i) *out++ = from[i] ? from[i] : ' ';
        if (len < HTML_IMAGE_COLS || r + 1 >= rows) *out++ = '\n';
    }
    *out = 0;
    // Text written over text may have cut a character in two.
    if (HtmlUtf8)
        for (auto* p = reinterpret_cast<unsigned char*>(text); *p;) {
            int code, n = *p < 0x80 ? 1 : HtmlDecodeUtf8(p, &code);
            if (n == 0) *p = '?', n = 1;
            p += n;
        }
    for (int i = 0; auto** ref = static_cast<HtmlLink**>(ListWalk(&page->Links, i)); ++i) {
        HtmlLink* link = *ref;
        long start = link->Start >= 0 && link->Start < rows ? offsets[link->Start] + long(link->End) : total;
        if (start > total) start = total;
        long end = link->EndRow >= 0 && link->EndRow < rows ? offsets[link->EndRow] + long(link->EndColumn) : total;
        if (end > total) end = total;
        if (end < start) end = start;
        link->Start = int(start);
        link->End = int(end);
    }
    // The body begins on a line of its own, unless a title ran into it.
    long body = page->BodyStart < rows ? offsets[page->BodyStart] : total;
    while (body > 0 && body < total && text[body - 1] != '\n') ++body;
    page->BodyStart = int(body);
    page->pText = text;
}
