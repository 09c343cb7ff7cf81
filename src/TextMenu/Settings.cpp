// Settings files: the values of a menu tree written as one line per item,
// "INDEX[VALUE] TYPE STATE", and a block "INDEX{" ... "}" per submenu.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TextMenu/TextMenu.h"

FILE* pOut = nullptr;

void StoreMenu(TextMenu* menu) {
    if (!menu || !menu->pItems || !pOut) return;
    TextMenuItem* items = menu->pItems;
    for (int i = 0; items[i].pLabel; ++i) {
        const TextMenuItem& item = items[i];
        switch (item.Type) {
        case MENU_PICKONE:
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
        fprintf(pOut, "%i{\n", j);
        StoreMenu(sub);
        fprintf(pOut, "}\n");
    }
}

// Passes over a submenu block whose submenu is not available now, up to and
// including its matching "}".
static void SkipBlock() {
    int depth = 1;
    while (depth > 0 && GetFileLine()) {
        if (LineBuf[0] == '}') {
            --depth;
        } else {
            int i;
            char c;
            if (sscanf(LineBuf, "%d%c", &i, &c) == 2 && c == '{') ++depth;
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
    default:
        return 0;
    }
}

void LoadMenu(TextMenu* menu) {
    flLoadedSettings = true;
    const int count = MenuItemCount(menu);
    while (GetFileLine()) {
        if (LineBuf[0] == '}') {
            TextMenuItem* apply = FindTextMenuItem(menu, MENU_APPLY);
            if (apply && apply->ActionFunc) apply->ActionFunc(menu, apply);
            return;
        }
        int i;
        char c;
        char word[MENU_TEXT_SIZE] = "";
        int got = sscanf(LineBuf, "%d%c%255s", &i, &c, word);
        if (got < 2) continue;
        const bool inMenu = i >= 0 && i < count;
        if (c == '{') {
            TextMenu* sub =
                inMenu && menu->pItems[i].Type == MENU_SUBMENU ? ValidateMenu(menu, i) : nullptr;
            if (sub)
                LoadMenu(sub);
            else
                SkipBlock();
            continue;
        }
        if (!inMenu) continue;
        size_t len = strlen(word);
        if (len > 0 && word[len - 1] == ']') word[len - 1] = 0;
        const char* close = strchr(LineBuf, ']');
        if (!close || !close[1]) continue;
        int type, state;
        if (sscanf(close + 1, "%i %i", &type, &state) != 2) continue;
        TextMenuItem* item = &menu->pItems[i];
        const int group = ValueGroup(item->Type);
        if (group == 0) continue;
        item->State = state;
        if (group == 1) {
            item->Value.i = int(strtol(word, nullptr, 10));
        } else if (group == 2) {
            if (item->Value.pText) snprintf(item->Value.pText, MENU_TEXT_SIZE, "%s", word);
        } else {
            item->Value.f = strtof(word, nullptr);
        }
        if (type != 0 && ValueGroup(type) == group) item->Type = type;
        if (item->Type == MENU_PICKONE) UpdateStateSelection(item);
    }
}
