// Settings files: the values of a menu tree written as one line per item,
// "INDEX[VALUE] TYPE STATE", and a block "INDEX{" ... "}" per submenu.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TextMenu/TextMenu.h"

// The menus whose blocks are being written or read, outermost first: a
// submenu already among them (a cycle an application built) is not entered
// again, so that nesting is bounded by the depth of the menu tree.
constexpr int kMaxNesting = 64;
static TextMenu* nesting[kMaxNesting];
static int nestingDepth = 0;

static bool Enter(TextMenu* menu) {
    if (nestingDepth >= kMaxNesting) return false;
    for (int k = 0; k < nestingDepth; ++k)
        if (nesting[k] == menu) return false;
    nesting[nestingDepth++] = menu;
    return true;
}

void StoreMenu(TextMenu* menu) {
    if (!menu || !menu->pItems || !pOut) return;
    if (!Enter(menu)) return;
    TextMenuItem* items = menu->pItems;
    for (int i = 0; items[i].pLabel; ++i) {
        const TextMenuItem& item = items[i];
        switch (item.Type) {
        case MENU_PICKONE:
        case MENU_PICKMANY:
        case MENU_INT:
            fprintf(pOut, "%i[%i] %i %i\n", i, item.Value.i, item.Type, item.State);
            break;
        case MENU_NAME:
        case MENU_STRING:
            fprintf(pOut, "%i[%s] %i %i\n", i, item.Value.pText ? item.Value.pText : "", item.Type,
                    item.State);
            break;
        case MENU_REAL:
            fprintf(pOut, "%i[%.3f] %i %i\n", i, double(item.Value.f), item.Type, item.State);
            break;
        default:
            break;
        }
    }
    for (int j = 0; items[j].pLabel; ++j) {
        if (items[j].Type != MENU_SUBMENU) continue;
        TextMenu* sub = ValidateMenu(menu, j);
        if (!sub) continue;
        bool entered = false;
        for (int k = 0; k < nestingDepth; ++k)
            entered = entered || nesting[k] == sub;
        if (entered || nestingDepth >= kMaxNesting) continue;
        fprintf(pOut, "%i{\n", j);
        StoreMenu(sub);
        fprintf(pOut, "}\n");
    }
    --nestingDepth;
}

// Passes over a submenu block whose submenu is not available now, up to and
// including its matching "}".
static void SkipBlock() {
    int open = 1;
    while (open > 0 && GetFileLine()) {
        if (LineBuf[0] == '}') {
            --open;
        } else {
            int i;
            char c;
            if (sscanf(LineBuf, "%d%c", &i, &c) == 2 && c == '{') ++open;
        }
    }
}

// Types whose values are stored alike; a type read from a settings line
// replaces the item's only within its group, so that a text buffer is
// never taken for a number or the other way round.
static int ValueGroup(int type) {
    switch (type) {
    case MENU_PICKONE:
    case MENU_INT:
        return 1;
    case MENU_NAME:
    case MENU_STRING:
        return 2;
    case MENU_REAL:
        return 3;
    case MENU_PICKMANY:
        return 4;
    default:
        return 0;
    }
}

// The value of a settings line: the text between the "[" after the index
// and the last "]" that is followed by the type and state numbers, so that
// blanks and "]" in a text come back whole. A line without such a "]" takes
// the text up to the first "]" that is followed by anything, and its type and
// state as far as they are there. False when the line holds no such "]".
static bool ParseValue(const char* rest, char* value, int* type, int* state, int* numbers) {
    const char* close = nullptr;
    *numbers = 0;
    for (const char* p = strchr(rest, ']'); p; p = strchr(p + 1, ']')) {
        int t, st;
        char tail;
        if (p[1] && sscanf(p + 1, "%i %i %c", &t, &st, &tail) == 2) {
            close = p;
            *type = t;
            *state = st;
            *numbers = 2;
        }
    }
    if (!close) {
        for (const char* p = strchr(rest, ']'); p && !close; p = strchr(p + 1, ']'))
            if (p[1]) close = p;
        if (!close) return false;
        *numbers = sscanf(close + 1, "%i %i", type, state);
        if (*numbers < 0) *numbers = 0;
    }
    const size_t len = size_t(close - rest);
    snprintf(value, MENU_TEXT_SIZE, "%.*s", int(len < size_t(MENU_TEXT_SIZE) ? len : MENU_TEXT_SIZE - 1),
             rest);
    return true;
}

static void LoadLines(TextMenu* menu) {
    const int count = MenuItemCount(menu);
    while (GetFileLine()) {
        LineBuf[strcspn(LineBuf, "\r\n")] = 0;
        if (LineBuf[0] == '}') {
            TextMenuItem* apply = FindTextMenuItem(menu, MENU_APPLY);
            if (apply && apply->ActionFunc) apply->ActionFunc(menu, apply);
            return;
        }
        char* end;
        const long index = strtol(LineBuf, &end, 10);
        if (end == LineBuf || !*end) continue;
        const char c = *end;
        const bool inMenu = index >= 0 && index < count;
        const int i = inMenu ? int(index) : -1;
        if (c == '{') {
            TextMenu* sub =
                inMenu && menu->pItems[i].Type == MENU_SUBMENU ? ValidateMenu(menu, i) : nullptr;
            if (sub && Enter(sub)) {
                LoadLines(sub);
                --nestingDepth;
            } else {
                SkipBlock();
            }
            continue;
        }
        if (!inMenu) continue;
        char word[MENU_TEXT_SIZE];
        int type = 0, state = 0, numbers = 0;
        if (!ParseValue(end + 1, word, &type, &state, &numbers)) continue;
        TextMenuItem* item = &menu->pItems[i];
        const int group = ValueGroup(item->Type);
        if (group == 0) continue;
        if (numbers >= 2) item->State = state;
        if (group == 1 || group == 4) {
            item->Value.i = int(strtol(word, nullptr, 10));
        } else if (group == 2) {
            if (item->Value.pText) snprintf(item->Value.pText, MENU_TEXT_SIZE, "%s", word);
        } else {
            item->Value.f = strtof(word, nullptr);
        }
        if (numbers >= 1 && type != 0 && ValueGroup(type) == group) item->Type = type;
        if (item->Type == MENU_PICKONE) UpdateStateSelection(item);
    }
}

void LoadMenu(TextMenu* menu) {
    flLoadedSettings = true;
    if (!Enter(menu)) {
        SkipBlock();
        return;
    }
    LoadLines(menu);
    --nestingDepth;
}
