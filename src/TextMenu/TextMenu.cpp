// The menu records: the engine's globals, preparing and releasing a menu,
// item lookup and the choices of pick items.
#include "TextMenu/TextMenu.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"

bool flExitTextMenu = false;
bool flLoadedSettings = false;
const char MENUVAL_SAVE[] = "s";
const char MENUVAL_CANCEL[] = "c";
const char MENUVAL_DEFAULT[] = "d";
const char* pTtyHtmlName = nullptr;
const char* pTtyHtmlData = nullptr;
const char* pTtyHtmlTitle = "Help";
const char* pHelpTitle = nullptr;
bool flGeneratedHelp = false;
const char setup_053[] = " or s for store settings in a file";
const char setup_054[] = " or h for help";
const char setup_055[] = " or <Return> to exit";
const char setup_056[] = "Enter the settings file name: ";
const char textmenu_060[] = "This number must be between %f to %f.";

char* MenuMsg(int number) {
    return NlsFetchString(pDrvCoreDB, nullptr, 0, NLS_SET_MENU, number);
}

int MenuInputEndStatus = 1;
TextMenu* pUnappliedMenu = nullptr;

void MenuInputEnded() {
    // A read error names its cause; a plain end of input has none, whatever
    // errno an earlier call left behind.
    const int error = ferror(stdin) ? errno : 0;
    char* text = MenuMsg(1016);
    fflush(stdout);
    fprintf(stderr, "\n%s: %s", my_name ? my_name : "setup", text);
    if (error)
        fprintf(stderr, " : %s\n", strerror(error));
    else
        fputc('\n', stderr);
    PutMem(text);
    exit_app(MenuInputEndStatus);
}

// ------------------------------------------------------------ choices
int CountChoices(const char* choices) {
    int n = 0;
    if (!choices) return 0;
    for (const char* p = choices; *p;) {
        const char* end = strchr(p, ',');
        size_t len = end ? size_t(end - p) : strlen(p);
        if (len > 0) ++n;
        if (!end) break;
        p = end + 1;
    }
    return n;
}

char* ChoiceText(char* choices, int n) {
    if (!choices || n < 0) return nullptr;
    for (char* p = choices; *p;) {
        char* end = strchr(p, ',');
        size_t len = end ? size_t(end - p) : strlen(p);
        if (len > 0 && n-- == 0) return p;
        if (!end) break;
        p = end + 1;
    }
    return nullptr;
}

int ChoiceLen(const char* choice) {
    if (!choice) return 0;
    const char* end = strchr(choice, ',');
    return end ? int(end - choice) : int(strlen(choice));
}

// ---------------------------------------------------------- the menu
int MenuItemCount(const TextMenu* menu) {
    int n = 0;
    if (menu && menu->pItems)
        while (menu->pItems[n].pLabel)
            ++n;
    return n;
}

int InitMenu(TextMenu* menu, int) {
    int widest = 0;
    int number = 0;
    if (!menu || !menu->pItems) return 0;
    for (int i = 0; menu->pItems[i].pLabel; ++i) {
        TextMenuItem* item = &menu->pItems[i];
        item->LabelLen = int(strlen(item->pLabel));
        if (item->LabelLen > widest) widest = item->LabelLen;
        switch (item->Type) {
        case MENU_PICKONE:
        case MENU_PICKMANY:
            item->ChoiceCnt = CountChoices(item->pChoices);
            if (item->Type == MENU_PICKONE) {
                item->Value.i = item->Default.i;
            } else if (item->Value.i == 0) {
                item->Default.i = 1;
                item->Value.i = 1;
            }
            item->PrevValue = item->Default.i;
            UpdateStateSelection(item);
            ProcessStateFormat(menu, i);
            break;
        case MENU_INT:
        case MENU_REAL:
            item->Value = item->Default;
            break;
        case MENU_NAME:
        case MENU_STRING:
            if (!item->Value.pText) item->Value.pText = static_cast<char*>(GetMem(MENU_TEXT_SIZE));
            if (!item->Value.pText) SysError("%s", OutOfMem);
            snprintf(item->Value.pText, MENU_TEXT_SIZE, "%s",
                     item->Default.pDefault ? item->Default.pDefault : "");
            break;
        default:
            break;
        }
        if (item->Type < MENU_APPLY)
            item->Key = 0;
        else if (item->pLabel[0] == '~')
            item->Key = static_cast<unsigned char>(item->pLabel[1]);
        else
            item->Key = ++number;
    }
    return widest;
}

TextMenuItem* FreeMenu(TextMenu* menu) {
    TextMenuItem* item = menu->pItems;
    for (; item && item->pLabel; ++item) {
        if (item->Type == MENU_NAME || item->Type == MENU_STRING) {
            PutMem(item->Value.pText);
            item->Value.pText = nullptr;
        }
    }
    return item;
}

TextMenuItem* FindTextMenuItem(TextMenu* menu, int type) {
    for (TextMenuItem* item = menu->pItems; item && item->pLabel; ++item)
        if (item->Type == type) return item;
    return nullptr;
}
