// Menu drawing: the numbered list with its answer prompt, groups of items in
// columns, and the full-screen choice picker composed in a screen image.
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "SysCmd/SysCmd.h"
#include "TextMenu/TextMenu.h"

char* QPATTYMENU_SAVE = nullptr;
char* QPATTYMENU_CANCEL = nullptr;
char* QPATTYMENU_CURSEL = nullptr;
char* QPATTYMENU_CURSELTRUNC = nullptr;
char* QPATTYMENU_OPTION = nullptr;
char CurrentSelection[CUR_SELECTION_SIZE];
int CurScreenCol = 0;
char* ERR_MINTERMSIZE1 = nullptr;
char* ERR_MINTERMSIZE2 = nullptr;
char* ERR_MINTERMSIZE3 = nullptr;

constexpr int kCellSize = 512;  // one formatted grid cell before it is cut

static const char* HotKeyText(const char* label) {
    return strlen(label) >= 3 ? label + 3 : "";
}

// The value shown after the dot leader of a type 9 to 14 item.
static void PrintValue(const TextMenuItem& item) {
    switch (item.Type) {
    case MENU_PICKONE: {
        const char* choice = item.pCurChoice;
        if (!choice || choice[0] == ' ' || choice[0] == ',' || !choice[0]) {
            fputs(" [ ]", stdout);
            break;
        }
        int len = ChoiceLen(choice);
        if (choice[0] == '_') ++choice, --len;
        printf(" [%i. %.*s]", item.Value.i + 1, len, choice);
        break;
    }
    case MENU_PICKMANY: {
        char* open = MenuMsg(270);
        fputs(open, stdout);
        PutMem(open);
        if (item.Value.i == 1) {
            char* first = MenuMsg(271);
            fputs(first, stdout);
            PutMem(first);
        } else {
            bool any = false;
            for (int bit = 0; bit < 32; ++bit) {
                if (!(unsigned(item.Value.i) & (1u << bit))) continue;
                printf(any ? ",%i" : "%i", bit + 1);
                any = true;
            }
        }
        fputs("]", stdout);
        break;
    }
    case MENU_INT:
        printf(" [%i]", item.Value.i);
        break;
    case MENU_REAL:
        printf(" [%.3f]", double(item.Value.f));
        break;
    case MENU_NAME:
    case MENU_STRING:
        printf(" [%s]", item.Value.pText ? item.Value.pText : "");
        break;
    default:
        break;
    }
}

TextMenuItem* PrintMenuBarItem(TextMenuItem* item, int type, int* index, int* number) {
    TextMenuItem* group = item;
    int n = group->Value.i > 0 ? group->Value.i : 3;
    int cw = MENU_WIDTH / n;
    int pos = 0;
    TextMenuItem* last = group;
    for (bool first = true;; first = false) {
        TextMenuItem* next = first ? group : last + 1;
        if (!next->pLabel) break;
        if (!first && type == MENU_BREAK && next->Type != MENU_TEXT) break;
        if (!first) ++*index;
        last = next;
        // Every item of a line-break group, and each grid item of a grid,
        // starts a new line; its label is not shown.
        if (type == MENU_BREAK || next->Type == type) {
            putchar('\n');
            n = next->Value.i > 0 ? next->Value.i : 3;
            cw = MENU_WIDTH / n;
            pos = 0;
            continue;
        }
        const int len = next->LabelLen;
        if (pos + len > MENU_WIDTH || (pos != 0 && len > cw - 5)) {
            putchar('\n');
            pos = 0;
        }
        ++*number;
        if (next->State == 2) continue;
        char cell[kCellSize];
        if (next->pLabel[0] == '~') {
            int pad = cw - len - 3;
            snprintf(cell, sizeof cell, " %c) %s%*s ", next->Key, HotKeyText(next->pLabel),
                     pad > 0 ? pad : 0, "");
        } else {
            int pad = cw - len - 5;
            snprintf(cell, sizeof cell, "%2i) %s%*s", next->Key, next->pLabel, pad > 0 ? pad : 0, "");
        }
        int cut = cw - 2;
        if (cut < 0) cut = 0;
        if (int(strlen(cell)) > cut) cell[cut] = 0;
        printf("%s ", cell);
        if (len > cw - n) {
            putchar('\n');
            pos = 0;
        } else {
            pos += cw;
        }
    }
    return last;
}

int PrintMenu(TextMenu* menu, int width, int titleLen) {
    SysCmd(CMD_CLEAR, 0, " ");
    const char* title = menu->pTitle ? menu->pTitle : "";
    const int pad = titleLen > MENU_WIDTH ? 0 : MENU_WIDTH - titleLen;
    switch (menu->TitleStyle) {
    case 0:
        printf("\f\n%s:\n\n", title);
        break;
    case 1:
        printf("\f\n%*s%s\n\n", pad / 2, "", title);
        break;
    default:
        printf("\f\n%*s%s\n\n", pad, "", title);
        break;
    }
    const char* lineEnd = (menu->Flags & MENU_F_SINGLE) ? "" : "\n";
    TextMenuItem* items = menu->pItems;
    int number = 0;
    int i = 0;
    for (; items && items[i].pLabel; ++i) {
        TextMenuItem* item = &items[i];
        bool grouped = false;
        if (item->Type == MENU_SUBMENU) {
            TextMenu* sub = ValidateMenu(menu, i);
            if (!sub) continue;
            printf("%2i) %s ", item->Key, sub->pTitle ? sub->pTitle : "");
        } else if (item->Type == MENU_BREAK || item->Type == MENU_GRID) {
            item = PrintMenuBarItem(item, item->Type, &i, &number);
            grouped = true;
        } else if (item->Type == MENU_TEXT) {
            printf("%s ", item->pLabel);
        } else if (item->State == 1) {
            printf("%*s  %s ", 2, "", item->pLabel);
        } else if (item->State == 2) {
            // hidden
        } else if (item->pLabel[0] == '~') {
            printf(" %c) %s ", item->Key, HotKeyText(item->pLabel));
        } else {
            printf("%2i) %s ", item->Key, item->pLabel);
        }
        if (!grouped && item->Type >= MENU_PICKONE && item->Type <= MENU_REAL && item->State != 2) {
            for (int d = item->LabelLen; d < width; ++d)
                putchar('.');
            PrintValue(*item);
        }
        if (item->State != 2) printf("\n%s", lineEnd);
    }
    char* prompt = MenuMsg(510);
    char* store = MenuMsg(230);
    char* help = MenuMsg(231);
    char* leave = MenuMsg(232);
    printf(prompt, (menu->Flags & (MENU_F_STORE | MENU_F_STOREEXIT)) ? store : "",
           (menu->Flags & MENU_F_HELP) ? help : "", (menu->Flags & MENU_F_NOEXIT) ? "" : leave);
    fflush(stdout);
    PutMem(prompt);
    PutMem(store);
    PutMem(help);
    PutMem(leave);
    return i;
}

// ------------------------------------------------------------- picker
static int ColumnWidths[PICK_MAX_COLUMNS];

int GetColumnWidths(TextScreen* screen, TextMenuItem* item, int* widths) {
    const int count = CountChoices(item->pChoices);
    int perColumn = screen->Rows - 6;
    if (perColumn > count) perColumn = count;
    for (int k = 0; k < PICK_MAX_COLUMNS; ++k)
        widths[k] = 0;
    // The longest choice is measured even on a screen too low for any
    // column: it tells how wide a screen must be.
    int longest = 0;
    for (int n = 0; n < count; ++n) {
        const int len = ChoiceLen(ChoiceText(item->pChoices, n));
        if (len > longest) longest = len;
        const int column = perColumn > 0 ? n / perColumn : PICK_MAX_COLUMNS;
        if (column < PICK_MAX_COLUMNS && len > widths[column]) widths[column] = len;
    }
    return longest;
}

static void Append(char* selection, const char* text, int len, const char* tail) {
    size_t used = strlen(selection);
    snprintf(selection + used, CUR_SELECTION_SIZE - used, "%.*s%s", len, text, tail);
}

void WriteScreenFrame(TextScreen* screen, TextMenuItem* item, const char* selection) {
    SetPosition(screen, (screen->Cols - item->LabelLen) / 2, 1);
    WriteString(screen, "%s", item->pLabel);
    SetPosition(screen, 0, screen->Rows - 2);
    WriteString(screen, "%s", QPATTYMENU_SAVE);
    SetPosition(screen, screen->Cols / 2, screen->Rows - 2);
    WriteString(screen, "%s", QPATTYMENU_CANCEL);
    SetPosition(screen, 0, screen->Rows - 1);
    const int fmtLen = int(strlen(QPATTYMENU_CURSEL));
    if (int(strlen(selection)) > screen->Cols - fmtLen + 2) {
        char cut[CUR_SELECTION_SIZE];
        int keep = screen->Cols - fmtLen - 1;
        snprintf(cut, sizeof cut, "%.*s", keep > 0 ? keep : 0, selection);
        WriteString(screen, QPATTYMENU_CURSELTRUNC, cut);
    } else {
        WriteString(screen, QPATTYMENU_CURSEL, selection);
    }
    SetPosition(screen, 0, screen->Rows);
    WriteString(screen, "%s", QPATTYMENU_OPTION);
}

static void FetchPickerLabels() {
    if (QPATTYMENU_SAVE) return;
    QPATTYMENU_SAVE = MenuMsg(201);
    QPATTYMENU_CANCEL = MenuMsg(202);
    QPATTYMENU_CURSEL = MenuMsg(203);
    QPATTYMENU_CURSELTRUNC = MenuMsg(204);
    QPATTYMENU_OPTION = MenuMsg(205);
}

int PrintPickOneManyScreen(TextMenuItem* item, unsigned* hiddenMask, int start) {
    static int longest = 0;
    if (start == 0 || !pCurImage) {
        pCurImage = GetTermInfo(pCurImage);
        CurScreenCol = 0;
        FetchPickerLabels();
        *hiddenMask = 0;
        longest = GetColumnWidths(pCurImage, item, ColumnWidths);
        const int r = pCurImage->Rows - 6;
        const int least = longest / 2 + 20;
        const int labels = int(strlen(QPATTYMENU_SAVE) + strlen(QPATTYMENU_CANCEL));
        if (r < 1 || pCurImage->Cols < labels || pCurImage->Cols < least) {
            Nlsfprintf(stdout, pDrvCoreDB, NLS_SET_MENU, 206);
            Nlsfprintf(stdout, pDrvCoreDB, NLS_SET_MENU, 207, pCurImage->Cols, pCurImage->Rows);
            Nlsfprintf(stdout, pDrvCoreDB, NLS_SET_MENU, 208, least > labels ? least : labels, 7);
            fflush(stdout);
            if (scanf("%*c") < 0) {
                // end of input: the picker is left all the same
            }
            return -1;
        }
    }
    TextScreen* screen = pCurImage;
    const int count = CountChoices(item->pChoices);
    if (start < 0 || start >= count) return -1;
    const int r = screen->Rows - 6;

    ClearScreen(screen);
    FillArea(screen, 0, 0, screen->Cols, screen->Rows, ' ');
    SetPosition(screen, 0, 0);
    CurrentSelection[0] = 0;

    int x = 0;
    int taken = 0;
    int columnX[PICK_MAX_COLUMNS];
    int first = CurScreenCol;
    for (int col = first; col < PICK_MAX_COLUMNS && x < screen->Cols && ColumnWidths[col] > 0; ++col) {
        const int need = ColumnWidths[col] + 7;
        if (x + need <= screen->Cols) {
            columnX[taken++] = x;
            x += need;
        } else if (taken == 0 && ColumnWidths[col] / 2 + 7 <= screen->Cols) {
            columnX[taken++] = x;
            x = screen->Cols;
        } else {
            break;
        }
    }
    if (taken == 0) return 0;
    CurScreenCol = first + taken;
    const int extra = taken > 1 ? (screen->Cols - x) / taken : 0;
    for (int k = 1; k < taken; ++k)
        columnX[k] += extra * k;

    const int remaining = count - start;
    const int shown = r * taken < remaining ? r * taken : remaining;
    for (int s = 0; s < shown; ++s) {
        const int n = start + s;  // 0-based choice number
        const int column = s / r;
        const int row = 3 + s % r;
        const int cx = columnX[column];
        const char* text = ChoiceText(item->pChoices, n);
        int len = ChoiceLen(text);
        bool available = true;
        if (len > 0 && text[0] == ' ') {
            available = false;
            if (n < 32) *hiddenMask |= 1u << n;
            ++text, --len;
        } else if (len > 0 && text[0] == '_') {
            ++text, --len;
        }
        const bool picked = item->Type == MENU_PICKONE
                                ? item->Value.i == n
                                : n < 32 && (unsigned(item->Value.i) & (1u << n)) != 0;
        if (picked) {
            SetPosition(screen, cx, row);
            WriteString(screen, " ->");
            if (item->Type == MENU_PICKONE) {
                CurrentSelection[0] = 0;
                Append(CurrentSelection, text, len, "");
            } else {
                Append(CurrentSelection, text, len, " ");
            }
        }
        if (available) {
            SetPosition(screen, cx + 4, row);
            WriteString(screen, "%2d) ", n + 1);
        }
        SetPosition(screen, cx + 8, row);
        const int room = screen->Cols - cx - 7;
        if (column == 0 && len > room)
            WriteString(screen, "%.*s...", room - 3 > 0 ? room - 3 : 0, text);
        else
            WriteString(screen, "%.*s", len, text);
    }
    WriteScreenFrame(screen, item, CurrentSelection);
    Refresh(screen);
    MoveCursor(screen, 0, screen->Rows);
    return shown;
}
