// The run loop: a menu is prepared, its saved settings loaded, then shown
// and answered until the user leaves it. Answers resolve to items, which are
// applied: actions run, submenus nest, values are edited and validated.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "HelpTty/HelpTty.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "TextMenu/TextMenu.h"

char* pOption = nullptr;

static const char kSettingsPattern[] = "/A(1,255)+-+_+/";
static const char kSettingsFile[] = ".settings";

static bool Available(const char* choice) {
    return choice && choice[0] != ' ';
}

void UpdateStateSelection(TextMenuItem* item) {
    for (int n = 0; n < item->ChoiceCnt; ++n) {
        item->pCurChoice = ChoiceText(item->pChoices, item->Value.i);
        if (!item->pCurChoice || Available(item->pCurChoice)) return;
        if (item->Type == MENU_PICKONE) {
            item->PrevValue = item->Value.i;
            item->Value.i = (item->Value.i + 1) % item->ChoiceCnt;
        }
    }
}

void HideStateSelection(TextMenuItem* item, int n) {
    char* choice = ChoiceText(item->pChoices, n);
    if (!choice) return;
    choice[0] = ' ';
    UpdateStateSelection(item);
}

const char* ShowStateSelection(TextMenuItem* item, int n) {
    char* choice = ChoiceText(item->pChoices, n);
    if (!choice) return item->pLabel;
    choice[0] = '_';
    return choice;
}

// Stores the settings of the menu tree in a file, written whole; false,
// reported, when it cannot be written.
static bool StoreInto(TextMenu* menu, const char* path) {
    MenuOutput out;
    if (!MenuOutputOpen(&out, path)) {
        fprintf(stderr, "%s: cannot write %s: %s\n", my_name ? my_name : "setup", path, strerror(errno));
        return false;
    }
    FILE* saved = pOut;
    pOut = out.file;
    StoreMenu(menu);
    pOut = saved;
    if (!MenuOutputClose(&out)) {
        fprintf(stderr, "%s: cannot write %s: %s\n", my_name ? my_name : "setup", path, strerror(errno));
        return false;
    }
    return true;
}

int FindSelection(TextMenu* menu, int, int count) {
    char* p = LineBuf;
    while (*p == ' ' || *p == '\t')
        ++p;
    while (*p && *p != ' ' && *p != '\t')
        ++p;
    while (*p == ' ' || *p == '\t')
        ++p;
    pOption = p;

    TextMenuItem* items = menu->pItems;
    if (isdigit(static_cast<unsigned char>(LineBuf[0]))) {
        const long v = strtol(LineBuf, nullptr, 10);
        for (int i = 0; i < count && items[i].pLabel; ++i)
            if (items[i].pLabel[0] != '~' && items[i].State == 0 && items[i].Key == v) return i + 1;
        return 0;
    }
    const int c = tolower(static_cast<unsigned char>(LineBuf[0]));
    if (c == 'h' && (menu->Flags & MENU_F_HELP)) {
        TtyHtmlHelp(pTtyHtmlName, pTtyHtmlData, pTtyHtmlTitle);
        return 0;
    }
    if (c == 's' && (menu->Flags & MENU_F_STORE)) {
        fputs(setup_056, stdout);
        fflush(stdout);
        if (!Gets(LineBuf, LINEBUF_SIZE)) MenuInputEnded();
        if (ValidateEntry(LineBuf, kSettingsPattern) != 0) return 0;
        StoreInto(menu, LineBuf);
        return 0;
    }
    if (c == 's' && (menu->Flags & MENU_F_STOREEXIT)) {
        if (StoreInto(menu, kSettingsFile)) exit_app(0);
        return 0;
    }
    if (c == 0) return 0;
    for (int i = 0; i < count && items[i].pLabel; ++i)
        if (items[i].pLabel[0] == '~' && items[i].State == 0 && items[i].Key == c) return i + 1;
    return 0;
}

// A pick-one selection: the number typed after it when that choice is
// available, else the next available choice after it (or after the value).
// Choosing the current choice again by its number is a change while another
// choice could have been taken; stepping round to the current one is not.
static bool SelectPickOne(TextMenu* menu, int index, const char* option) {
    TextMenuItem* item = &menu->pItems[index];
    const int count = item->ChoiceCnt;
    if (count <= 0) return false;
    const long v = option ? strtol(option, nullptr, 10) : 0;
    const bool inRange = v >= 1 && v <= count;
    int taken = -1;
    int others = 0;  // available choices other than the current one
    for (int n = 0; n < count; ++n)
        if (n != item->Value.i && Available(ChoiceText(item->pChoices, n))) ++others;
    if (inRange && Available(ChoiceText(item->pChoices, int(v - 1)))) {
        taken = int(v - 1);
        if (taken == item->Value.i && others == 0) return false;
    } else {
        int n = inRange ? int(v - 1) : item->Value.i;
        for (int step = 0; step < count; ++step) {
            n = ((n + 1) % count + count) % count;
            if (Available(ChoiceText(item->pChoices, n))) {
                taken = n;
                break;
            }
        }
        if (taken < 0 || taken == item->Value.i) return false;
    }
    item->PrevValue = item->Value.i;
    item->Value.i = taken;
    item->pCurChoice = ChoiceText(item->pChoices, taken);
    ProcessStateFormat(menu, index);
    return true;
}

// A typed value: from the selection's line or asked for, validated, stored.
static bool EnterValue(TextMenuItem* item, const char* option) {
    if (option && *option) {
        memmove(LineBuf, option, strlen(option) + 1);
    } else {
        printf("%s: ", item->pPrompt ? item->pPrompt : "");
        fflush(stdout);
        if (!Gets(LineBuf, LINEBUF_SIZE)) MenuInputEnded();
        if (!LineBuf[0]) return false;
    }
    if (ValidateEntry(LineBuf, item->pFormat) != 0) return false;
    switch (item->Type) {
    case MENU_NAME:
    case MENU_STRING: {
        const size_t len = strlen(LineBuf);
        if (len >= size_t(MENU_TEXT_SIZE)) {
            // The value buffer holds 255 characters: a longer text is refused whole.
            char msg[NLS_GUI_MSG_SIZE];
            Nlssprintf(msg, pDrvCoreDB, NLS_SET_HELP, 42, 0, MENU_TEXT_SIZE - 1);
            PostMsg("%s", msg);
            return false;
        }
        if (!item->Value.pText) return false;
        memcpy(item->Value.pText, LineBuf, len + 1);
        return true;
    }
    case MENU_INT:
        item->Value.i = int(strtol(LineBuf, nullptr, 10));
        return true;
    default:
        item->Value.f = strtof(LineBuf, nullptr);
        return true;
    }
}

bool ProcessSelection(TextMenu* menu, int index, const char* option) {
    TextMenuItem* item = &menu->pItems[index];
    bool result = false;
    switch (item->Type) {
    case MENU_APPLY:
        if (!TestNames(menu)) return false;
        [[fallthrough]];
    case MENU_LEAVE:
    case MENU_EXIT:
    case MENU_COMMAND:
        return !item->ActionFunc || item->ActionFunc(menu, item) == 0;
    case MENU_SUBMENU:
        if (TextMenu* sub = ValidateMenu(menu, index)) RunMenu(sub, nullptr, true);
        if (menu->RedrawFunc) menu->RedrawFunc(menu);
        return false;
    case MENU_PICKONE:
        result = SelectPickOne(menu, index, option);
        break;
    case MENU_NAME:
    case MENU_STRING:
    case MENU_INT:
    case MENU_REAL:
        result = EnterValue(item, option);
        break;
    default:
        return false;
    }
    if (result && item->ActionFunc) item->ActionFunc(menu, item);
    return result;
}

// After a value changed in the picker: the formats and the action follow.
static void PickerChanged(TextMenu* menu, int index, int value) {
    TextMenuItem* item = &menu->pItems[index];
    item->PrevValue = item->Value.i;
    item->Value.i = value;
    if (item->Type == MENU_PICKONE) UpdateStateSelection(item);
    ProcessStateFormat(menu, index);
    if (item->ActionFunc) item->ActionFunc(menu, item);
}

void ProcessStateValue(TextMenu* menu, int index, const char* preset) {
    TextMenuItem* item = &menu->pItems[index];
    const int orig = item->Value.i;
    int work = item->Value.i;
    unsigned mask = 0;
    // The page shown: its first choice and its first column. An answer that
    // changed the value shows the same page again; any other shows the next
    // page, and the first after the last.
    int start = 0;
    int pageCol = 0;
    char answer[LINEBUF_SIZE];
    bool usePreset = preset && *preset;
    for (;;) {
        CurScreenCol = pageCol;
        const int shown = PrintPickOneManyScreen(item, &mask, start);
        if (shown < 0) return;
        const int next = shown > 0 ? start + shown : 0;
        if (usePreset) {
            snprintf(answer, sizeof answer, "%s", preset);
            usePreset = false;
        } else {
            if (!Gets(LineBuf, LINEBUF_SIZE)) MenuInputEnded();
            snprintf(answer, sizeof answer, "%s", LineBuf);
        }
        const bool more = next > 0 && next < item->ChoiceCnt;
        const int nextCol = more ? CurScreenCol : 0;
        if (!answer[0]) {
            start = more ? next : 0;
            pageCol = nextCol;
            continue;
        }
        if (QPATTYMENU_SAVE && answer[0] == QPATTYMENU_SAVE[0]) return;
        if (QPATTYMENU_CANCEL && answer[0] == QPATTYMENU_CANCEL[0]) {
            PickerChanged(menu, index, orig);
            return;
        }
        bool taken = false;
        const bool numbers = isalnum(static_cast<unsigned char>(answer[0])) != 0;
        char* cursor = answer;
        char token[TOKEN_BUF_SIZE];
        while (numbers && GetTokenD(nullptr, ", \t", &cursor, token)) {
            if (!isalnum(static_cast<unsigned char>(token[0]))) continue;
            const long v = strtol(token, nullptr, 10);
            if (v < 1 || v > item->ChoiceCnt) continue;
            if (!Available(ChoiceText(item->pChoices, int(v - 1)))) continue;
            if (item->Type == MENU_PICKONE) {
                work = int(v - 1);
            } else {
                if (v > 32) continue;
                work ^= int(1u << (v - 1));
            }
            taken = true;
        }
        if (taken) {
            PickerChanged(menu, index, work);
        } else {
            start = more ? next : 0;
            pageCol = nextCol;
        }
    }
}

int RunMenu(TextMenu* menu, const char* settingsPath, bool interactive) {
    if (menu->RedrawFunc) menu->RedrawFunc(menu);
    if (flExitTextMenu) return 0;
    if (pUnappliedMenu == menu) pUnappliedMenu = nullptr;
    int width = InitMenu(menu);
    if (settingsPath) {
        if (OpenInputFile(settingsPath, 1)) {
            LoadMenu(menu);
            CloseInputFile();
        } else {
            TextMenuItem* leave = FindTextMenuItem(menu, MENU_LEAVE);
            return leave && leave->ActionFunc ? leave->ActionFunc(menu, leave) : 0;
        }
    }
    if (!interactive) return menu->ApplyFunc ? menu->ApplyFunc(menu) : 0;
    const char* title = menu->pTitle ? menu->pTitle : "";
    const int titleLen = int(strcspn(title, "\n\r"));
    bool changed = false;
    for (;;) {
        const int count = PrintMenu(menu, width, titleLen);
        if (!Gets(LineBuf, LINEBUF_SIZE)) MenuInputEnded();
        if (LineBuf[0] || (menu->Flags & MENU_F_NOEXIT)) {
            const int n = FindSelection(menu, 0, count);
            if (n == 0) continue;
            TextMenuItem* item = &menu->pItems[n - 1];
            int type = item->Type;
            const bool r = ProcessSelection(menu, n - 1, pOption);
            if (!(menu->Flags & MENU_F_TYPEBEFORE)) type = item->Type;
            if (flExitTextMenu || (r && (type == MENU_APPLY || type == MENU_LEAVE || type == MENU_EXIT))) {
                if (!(menu->Flags & MENU_F_KEEPBUF)) FreeMenu(menu);
                return 0;
            }
            if (r && type == MENU_COMMAND && (menu->Flags & MENU_F_REINIT))
                width = InitMenu(menu);
            else if (!changed)
                changed = r;
            continue;
        }
        if (menu->pApplyPrompt) {
            if (changed && PromptYN(menu->pApplyPrompt)) {
                if (!TestNames(menu)) continue;
                if (menu->ApplyFunc) menu->ApplyFunc(menu);
                if (pUnappliedMenu == menu) pUnappliedMenu = nullptr;
                FreeMenu(menu);
                return 0;
            }
            if (changed) pUnappliedMenu = menu;
        } else if (menu->ApplyFunc) {
            menu->ApplyFunc(menu);
        }
        char* question = MenuMsg(menu->pParent ? 1017 : 1018);
        int yes;
        if (menu->pParent)
            yes = PromptYN(question, menu->pParent->pTitle ? menu->pParent->pTitle : "");
        else
            yes = PromptYN(question, my_name ? my_name : "");
        PutMem(question);
        if (yes) {
            FreeMenu(menu);
            if (!menu->pParent) {
                printf("\n");
                fflush(stdout);
            }
            return 0;
        }
        if (menu->RedrawFunc) menu->RedrawFunc(menu);
    }
}
