// Tables: counting columns, measuring rows and columns from the cells'
// texts and the table's attributes, and drawing the rules.
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "html/LayoutTags.h"
#include "utils/utils.h"

// Pixel numbers of attributes; bounded so that no table grows without end.
constexpr int HTML_MAX_PIXELS = 10000;

static int Number(const char* text) {
    long n = 0;
    while (*text >= '0' && *text <= '9') {
        n = n * 10 + (*text++ - '0');
        if (n > HTML_MAX_PIXELS) return HTML_MAX_PIXELS;
    }
    return int(n);
}

static HtmlItem* Next(ListHeader* body) { return static_cast<HtmlItem*>(ListWalk(body, 1)); }

int GetColumnCnt() {
    ListHeader* body = &pCurrentPage->Body;
    ListLink* saved = body->pWalk;
    int depth = 0, n = 0, best = 0;
    while (HtmlItem* item = Next(body)) {
        HtmlKey key = HtmlClassify(item);
        if (key == K_TABLE || key == K_FITAB) {
            ++depth;
        } else if (key == K_ETABLE) {
            if (depth == 0) break;
            --depth;
        } else if (depth == 0) {
            if (key == K_TR) n = 0;
            else if (key == K_TD || key == K_TH) ++n;
            else if (key == K_ETR && n > best) best = n;
        }
    }
    if (n > best) best = n;  // a last row without its closing tag
    body->pWalk = saved;
    return best;
}

// The value of a key=value word, one leading double quote dropped; none
// for a word without '='. The word is cut at its '='.
static char* SplitWord(char* word) {
    char* eq = strchr(word, '=');
    if (!eq) return nullptr;
    *eq = 0;
    return eq[1] == '"' ? eq + 2 : eq + 1;
}

// A cell's declared width from its attribute text; false without one.
static bool CellWidth(const char* attrs, const HtmlTable* t, int* width) {
    for (char* word = GetToken(attrs, " \t\n\r"); word; word = GetToken(nullptr, " \t\n\r")) {
        char* value = SplitWord(word);
        if (!value || strcasecmp(word, "width") != 0) continue;
        int n = Number(value);
        *width = strchr(value, '%') ? t->Width * n / 100 - 2 * t->Padding - t->Rule : n / HTML_PIXELS_PER_COL;
        if (*width < 0) *width = 0;
        return true;
    }
    return false;
}

namespace {
// The measuring state of one table.
struct Measure {
    int heights[HTML_MAX_TABLE_DIM];
    int widths[HTML_MAX_TABLE_DIM];
    int declared[HTML_MAX_TABLE_DIM];
    bool hasDeclared[HTML_MAX_TABLE_DIM];
    int rows = 0, cell = -1, lines = 0, cols = 0;
    bool rowOpen = false;
    // Where the layout will be in the cell: line and column from its corner,
    // whether a blank is last on the line, the lists open in it, a link mark.
    int line = 0, column = 0;
    bool blank = true;
    int lists = 0, pre = 0;
    bool ordered[HTML_MAX_LIST_DEPTH] = {};
    int counter[HTML_MAX_LIST_DEPTH] = {};
    bool opened = false;

    // Back to an empty table, touching only what the last one used.
    void Clear() {
        int r = rows < HTML_MAX_TABLE_DIM ? rows + 1 : HTML_MAX_TABLE_DIM;
        memset(heights, 0, sizeof(int) * size_t(r));
        memset(widths, 0, sizeof widths);
        memset(declared, 0, sizeof declared);
        memset(hasDeclared, 0, sizeof hasDeclared);
        rows = lines = cols = 0;
        cell = -1;
        rowOpen = false;
        StartCell();
    }
    void StartCell() {
        line = column = lists = pre = 0;
        blank = true;
        opened = false;
    }
    // n characters written; the last a blank or not.
    void Write(int n, bool lastBlank) {
        if (n <= 0) return;
        column += n;
        blank = lastBlank;
        Grow(column, 0);
    }
    void NewLine(int n) {
        line += n;
        column = 0;
        blank = true;
    }
    void BreakLine() {
        if (column > 0) NewLine(1);
    }
    // The cell as high as the lines written so far.
    void Reach() { Grow(0, 0); }
    bool InCell() const { return rowOpen && rows < HTML_MAX_TABLE_DIM && cell >= 0 && cell < HTML_MAX_TABLE_DIM; }
    void Grow(int width, int) {
        if (!InCell()) return;
        if (width > widths[cell]) widths[cell] = width;
        lines = line + (column > 0 ? 1 : 0);
        if (lines > heights[rows]) heights[rows] = lines;
    }
    void Text(const char* text, int n) {
        if (pre) {
            for (int i = 0; i < n; ++i) {
                if (text[i] == '\n') NewLine(1);
                else Write(text[i] == '\t' ? HtmlTabBlanks(column) : 1, text[i] == ' ' || text[i] == '\t');
            }
            return;
        }
        if (n > 0 && text[0] == ' ' && (column == 0 || blank)) ++text, --n;
        Write(n, n > 0 && text[n - 1] == ' ');
    }
    void EndRow() {
        if (rows < HTML_MAX_TABLE_DIM) {
            if (heights[rows] == 0) heights[rows] = lines;
            ++rows;
        }
        if (cell + 1 > cols) cols = cell + 1 < HTML_MAX_TABLE_DIM ? cell + 1 : HTML_MAX_TABLE_DIM;
        rowOpen = false;
    }
};
}  // namespace

static int* CopyInts(const int* from, int n) {
    if (n <= 0) return nullptr;
    int* to = static_cast<int*>(GetMem(n * int(sizeof(int))));
    if (!to) SysError("%s", common_109);
    memcpy(to, from, sizeof(int) * size_t(n));
    return to;
}

HtmlTable* GetTextTable(HtmlFile* file, HtmlItem* tableItem, int available) {
    ++HtmlTableDepth;
    auto* t = static_cast<HtmlTable*>(GetMem(sizeof(HtmlTable)));
    if (!t) SysError("%s", common_109);
    // One measuring state per nesting depth, kept for the next table.
    static Measure* measures[HTML_MAX_TABLE_DEPTH + 1];
    Measure*& m = measures[HtmlTableDepth];
    if (!m && !(m = static_cast<Measure*>(GetMem(sizeof(Measure))))) SysError("%s", common_109);
    m->Clear();
    t->Rule = 1;
    int b = 0, s = 0, d = 0;
    char widthText[HTML_WIDTH_TEXT] = "";
    const char* attrs = static_cast<const char*>(tableItem->pData);
    for (char* word = GetToken(attrs ? attrs : "", " \t\n\r"); word; word = GetToken(nullptr, " \t\n\r")) {
        char* value = SplitWord(word);
        switch (FindTokenC(word, ",border,cellspacing,cellpadding,width,")) {
        case 1:
            t->Border = 1;
            b = value ? Number(value) : 1;
            break;
        case 2:
            s = t->Spacing = value ? Number(value) : 0;
            break;
        case 3:
            d = t->Padding = value ? Number(value) : 0;
            break;
        case 4:
            if (value) snprintf(widthText, sizeof widthText, "%s", value);
            break;
        default:
            break;
        }
    }
    int c = GetColumnCnt();
    t->Spacing /= HTML_PIXELS_PER_COL;
    t->Padding /= HTML_PIXELS_PER_COL;
    if (widthText[0]) {
        int w = Number(widthText);
        if (!strchr(widthText, '%'))
            t->Width = (w - 2 * d * c - (c + 1) * s - (c + 1) * b) / HTML_PIXELS_PER_COL;
        else if (available)
            t->Width = available * w / 100;
        if (t->Width < 0) t->Width = 0;
    }

    ListHeader* body = &pCurrentPage->Body;
    int ignored = 0;
    while (HtmlItem* item = Next(body)) {
        HtmlKey key = HtmlClassify(item);
        switch (key) {
        case K_TEXT:
            m->Text(static_cast<const char*>(item->pData), item->Len);
            break;
        case K_TR:
            if (m->rowOpen) m->EndRow();
            m->rowOpen = true;
            if (m->rows < HTML_MAX_TABLE_DIM) m->heights[m->rows] = 0;
            m->lines = 0;
            m->cell = -1;
            break;
        case K_TD: case K_TH: {
            ++m->cell;
            m->StartCell();
            int width;
            if (t->Width && m->InCell() && item->Len > 0 && !m->hasDeclared[m->cell] &&
                CellWidth(static_cast<const char*>(item->pData), t, &width)) {
                m->declared[m->cell] = width;
                m->hasDeclared[m->cell] = true;
            }
            break;
        }
        case K_ETD: case K_ETH:
            m->lines = 0;
            break;
        case K_P: case K_DL: case K_EDL: case K_DT: case K_HR:
            m->BreakLine();
            break;
        case K_PRE: case K_EPRE:
            m->BreakLine();
            if (key == K_PRE) ++m->pre;
            else if (m->pre > 0) --m->pre;
            break;
        case K_DD:
            m->BreakLine();
            m->Write(HTML_DD_INDENT, true);
            break;
        case K_BR: case K_H1: case K_H2: case K_H3: case K_H4: case K_H5: case K_H6: case K_DIV:
            m->NewLine(1);
            break;
        case K_EH1: case K_EH2: case K_EH3: case K_EH4: case K_EH5: case K_EH6: case K_EDIV:
            m->NewLine(2);
            break;
        case K_OL: case K_UL:
            if (m->lists < HTML_MAX_LIST_DEPTH) {
                m->ordered[m->lists] = key == K_OL;
                m->counter[m->lists] = 0;
            }
            ++m->lists;
            break;
        case K_EOL: case K_EUL:
            if (m->lists > 0) --m->lists;
            m->NewLine(1);
            break;
        case K_LI:
            if (m->lists > 0) {
                char mark[64];
                m->NewLine(1);
                m->Write(HtmlListMark(mark, sizeof mark, m->lists, m->ordered, m->counter), true);
            }
            break;
        case K_IMG: {
            char alt[HTML_ALT_SIZE];
            m->Write(HtmlImageAlt(item, alt, sizeof alt), false);
            break;
        }
        case K_A: {
            auto* link = static_cast<HtmlLink*>(item->pData);
            m->opened = link && link->Kind == 2;
            if (m->opened) m->Write(1, false);
            break;
        }
        case K_EA:
            if (m->opened) m->Write(1, false);
            m->opened = false;
            break;
        case K_TABLE: {
            if (HtmlTableDepth >= HTML_MAX_TABLE_DEPTH) {
                ++ignored;
                continue;
            }
            if (m->lists > 0) m->NewLine(1);
            bool known = m->InCell() && m->hasDeclared[m->cell];
            HtmlTable* inner = GetTextTable(file, item, known ? m->declared[m->cell] : 0);
            if (m->column > 0) m->NewLine(1);
            m->line += inner->Height;
            m->Grow(inner->Width, 0);
            m->column = 0;
            m->blank = true;
            break;
        }
        default:
            break;
        }
        if (key == K_ETR) {
            m->EndRow();
        } else if (key == K_ETABLE) {
            if (ignored == 0) break;
            --ignored;
        }
    }
    if (m->rowOpen) m->EndRow();
    if (m->cols > c) c = m->cols;
    if (c > HTML_MAX_TABLE_DIM) c = HTML_MAX_TABLE_DIM;

    HtmlSetMeasured(tableItem, t);
    if (widthText[0] && t->Width)
        for (int i = 0; i < c; ++i)
            if (m->hasDeclared[i]) m->widths[i] = m->declared[i];
    if (t->Width == 0) {
        t->Width = 2 * t->Padding * c + c + 1;
        for (int i = 0; i < c; ++i) t->Width += m->widths[i];
    }
    t->Height = m->rows + 1;
    for (int i = 0; i < m->rows; ++i) t->Height += m->heights[i];
    t->Rows = m->rows;
    t->Cols = c;
    t->pRowHeights = CopyInts(m->heights, m->rows);
    t->pColWidths = CopyInts(m->widths, c);
    --HtmlTableDepth;
    return t;
}

// One line of a bordered table: ends, filling and the marks at the inner
// column boundaries.
static void RuleLine(HtmlFile* file, const HtmlTable* t, char* line, int row, char end, char fill, char mark) {
    int w = t->Width;
    memset(line, fill, size_t(w));
    line[0] = line[w - 1] = end;
    int at = 0;
    for (int i = 0; i < t->Cols; ++i) {
        at += t->pColWidths[i] + 2 * t->Padding + 1;
        if (at >= w - 1) break;
        line[at] = mark;
    }
    int column = t->X;
    PrintText(file, &row, &column, line, w, 0);
}

void DrawTableArea(HtmlFile* file, HtmlTable* t) {
    if (t->Width <= 0 || t->Height <= 0) return;
    if (!t->Border) {
        for (int i = 0; i < t->Height; ++i) {
            int row = t->Y + i, column = t->X;
            PrintText(file, &row, &column, " ", t->Width, 1);
        }
        return;
    }
    // The line buffer is kept for the next table.
    static char* line = nullptr;
    static int lineSize = 0;
    if (lineSize < t->Width + 1) {
        char* grown = static_cast<char*>(AdjustMem(line, t->Width + 1));
        if (!grown) SysError("%s", common_109);
        line = grown;
        lineSize = t->Width + 1;
    }
    int row = t->Y;
    for (int r = 0; r < t->Rows; ++r) {
        RuleLine(file, t, line, row++, '|', '-', '+');
        for (int h = 0; h < t->pRowHeights[r]; ++h) RuleLine(file, t, line, row++, '|', ' ', '|');
    }
    RuleLine(file, t, line, row, '\'', '-', '+');
    // The top corners.
    int column = t->X, top = t->Y;
    PrintText(file, &top, &column, ",", 1, 0);
    column = t->X + t->Width - 1;
    top = t->Y;
    PrintText(file, &top, &column, ",", 1, 0);
}
