// Menu files: menus described in plain text for the textmenu tool, one
// statement a line. "menu ID" starts a menu, "item TYPE [LABEL]" an item of
// it; every other statement sets a field of the latest item, or of the menu
// before its first item. The tool is the application behind these menus:
// its actions run shell commands, and it keeps the values of its items
// across visits of a menu and after the menu has been left.
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "TextMenu/TextMenu.h"

namespace {

// What the tool keeps beside an item (its pUserData).
struct ItemDef {
    const char* pName;     // NAME of its NAME=VALUE line, none
    const char* pCommand;  // its action, none
    int pick;              // the item a command item opens in the picker, -1 none
    char* pValue;          // text items: the value buffer the tool owns
    char* pDefault;        // text items: the default InitMenu copies into pValue
    char* pSubmenus;       // type 8: the menu ids as written
    int line, formatLine, submenuLine, pickLine, defaultLine;
};

// A loaded menu; its TextMenu comes first, so the engine's menu pointer
// leads back to it.
struct MenuDef {
    TextMenu menu;
    char* pId;
    const char* pApplyCmd;
    const char* pRedrawCmd;
    const char* pHelp;
    char* pParentId;
    int parentLine;
    int itemCount;
    int itemCap;
};

// Text items own one allocation holding the value buffer after a small
// lead, and the default after it: the engine's release of value buffers
// when a menu is left passes over a pointer that does not start an
// allocation, so the tool's values outlive each visit of their menu.
constexpr int kValueLead = 32;

// Where a statement applies: to the menu (before its first item) or to an
// item of the given types.
enum Scope { MENU, ITEM };
constexpr unsigned T(int type) {
    return 1u << type;
}
constexpr unsigned kValueTypes = T(9) | T(10) | T(11) | T(12) | T(13) | T(14);

struct Keyword {
    const char* name;
    Scope scope;
    unsigned types;  // item statements: the types they belong to
};

constexpr Keyword kKeywords[] = {
    {"title", MENU, 0},
    {"style", MENU, 0},
    {"flags", MENU, 0},
    {"apply-prompt", MENU, 0},
    {"parent", MENU, 0},
    {"apply", MENU, 0},
    {"redraw", MENU, 0},
    {"help", MENU, 0},
    {"state", ITEM, 0x7fff},
    {"prompt", ITEM, T(11) | T(12) | T(13) | T(14)},
    {"choices", ITEM, T(9) | T(10)},
    {"default", ITEM, kValueTypes},
    {"value", ITEM, T(1) | T(3) | T(10)},
    {"format", ITEM, T(8) | kValueTypes},
    {"submenu", ITEM, T(8)},
    {"action", ITEM, T(4) | T(5) | T(6) | T(7) | kValueTypes},
    {"name", ITEM, kValueTypes},
    {"pick", ITEM, T(7)},
};

}  // namespace

static MenuDef** menus = nullptr;
static int menuCount = 0;

static char* errBuf = nullptr;
static int errSize = 0;

ORVIK_PRINTF(2, 3) static bool Fail(int line, const char* fmt, ...) {
    int n = snprintf(errBuf, size_t(errSize), "%d: ", line);
    if (n < 0 || n >= errSize) return false;
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(errBuf + n, size_t(errSize - n), fmt, ap);
    va_end(ap);
    return false;
}

static void* Alloc(int n) {
    void* p = GetMem(n);
    if (!p) SysError("%s", OutOfMem);
    return p;
}

// A copy of a statement's value with the backslash escapes resolved.
static char* Unescaped(const char* text) {
    char* out = static_cast<char*>(Alloc(int(strlen(text)) + 1));
    char* o = out;
    for (const char* p = text; *p; ++p) {
        if (*p == '\\' && p[1]) {
            ++p;
            *o++ = *p == 'n' ? '\n' : *p == 't' ? '\t' : *p == 'r' ? '\r' : *p;
        } else {
            *o++ = *p;
        }
    }
    *o = 0;
    return out;
}

// The apply prompt is printed as a format: its "%" stand for themselves.
static char* PercentDoubled(const char* text) {
    int n = 0;
    for (const char* p = text; *p; ++p)
        n += *p == '%' ? 2 : 1;
    char* out = static_cast<char*>(Alloc(n + 1));
    char* o = out;
    for (const char* p = text; *p; ++p) {
        *o++ = *p;
        if (*p == '%') *o++ = '%';
    }
    return out;
}

static bool ReadInt(const char* text, int base, long min, long max, int* out) {
    if (!*text) return false;
    char* end;
    errno = 0;
    long v = strtol(text, &end, base);
    if (*end || errno || v < min || v > max) return false;
    *out = int(v);
    return true;
}

static bool IsOneWord(const char* text) {
    return *text && !strpbrk(text, " \t");
}

static bool IsShellName(const char* text) {
    if (!isalpha(static_cast<unsigned char>(*text)) && *text != '_') return false;
    for (const char* p = text; *p; ++p)
        if (!isalnum(static_cast<unsigned char>(*p)) && *p != '_') return false;
    return true;
}

// Names that change how every command runs (the search path, word
// splitting, start-up files, options, tracing, the dynamic loader, exported
// functions) are not given to items: their values go into the environment
// of every command the menu runs.
static bool ChangesCommands(const char* name) {
    static constexpr const char* kNames[] = {"PATH",      "IFS",      "ENV", "BASH_ENV", "CDPATH",
                                             "SHELLOPTS", "BASHOPTS", "PS4"};
    for (const char* n : kNames)
        if (!strcmp(name, n)) return true;
    return !strncmp(name, "LD_", 3) || !strncmp(name, "BASH_FUNC_", 10);
}

static MenuDef* FindMenuDef(const char* id) {
    for (int i = 0; i < menuCount; ++i)
        if (strcmp(menus[i]->pId, id) == 0) return menus[i];
    return nullptr;
}

static ItemDef* DefOf(const TextMenuItem* item) {
    return static_cast<ItemDef*>(item->pUserData);
}

// -------------------------------------------------- the tool's actions
// The tool's value buffers back in their items (after a menu was left, the
// engine has set them to none).
static void RestoreTextValues() {
    for (int m = 0; m < menuCount; ++m)
        for (TextMenuItem* item = menus[m]->menu.pItems; item->pLabel; ++item)
            if (ItemDef* def = DefOf(item); def && def->pValue && !item->Value.pText)
                item->Value.pText = def->pValue;
}

void FormatItemValue(const TextMenuItem* item, char* out, int size) {
    switch (item->Type) {
    case MENU_NAME:
    case MENU_STRING:
        snprintf(out, size_t(size), "%s", item->Value.pText ? item->Value.pText : "");
        break;
    case MENU_REAL:
        snprintf(out, size_t(size), "%.3f", double(item->Value.f));
        break;
    default:
        snprintf(out, size_t(size), "%i", item->Value.i);
        break;
    }
}

int RunMenuCommand(const char* command) {
    RestoreTextValues();
    fflush(stdout);
    fflush(stderr);
    struct sigaction ignore, oldInt, oldQuit;
    memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGINT, &ignore, &oldInt);
    sigaction(SIGQUIT, &ignore, &oldQuit);
    pid_t pid = fork();
    if (pid == 0) {
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGQUIT, &oldQuit, nullptr);
        char value[MENU_TEXT_SIZE + 32];
        for (int m = 0; m < menuCount; ++m)
            for (TextMenuItem* item = menus[m]->menu.pItems; item->pLabel; ++item)
                if (ItemDef* def = DefOf(item); def && def->pName) {
                    FormatItemValue(item, value, sizeof value);
                    setenv(def->pName, value, 1);
                }
        if (!isatty(STDIN_FILENO)) {
            int in = open("/dev/tty", O_RDONLY | O_NOCTTY);
            if (in < 0) in = open("/dev/null", O_RDONLY);
            if (in >= 0 && in != STDIN_FILENO) {
                dup2(in, STDIN_FILENO);
                close(in);
            }
        }
        execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    int result;
    if (pid < 0) {
        result = 127;
    } else {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGQUIT, &oldQuit, nullptr);
    return result;
}

static int FileApply(TextMenu* menu) {
    return RunMenuCommand(reinterpret_cast<MenuDef*>(menu)->pApplyCmd);
}

// Run when a menu is entered (before it is prepared), after a submenu and
// after a declined leave: the current values become the defaults the
// preparation starts from, and the menu's help page is the one offered.
static void FileRedraw(TextMenu* menu) {
    auto* def = reinterpret_cast<MenuDef*>(menu);
    RestoreTextValues();
    for (TextMenuItem* item = menu->pItems; item->pLabel; ++item) {
        ItemDef* idef = DefOf(item);
        if (idef->pValue) {
            snprintf(idef->pDefault, MENU_TEXT_SIZE, "%s", idef->pValue);
            item->Default.pDefault = idef->pDefault;
        } else if (item->Type != MENU_SUBMENU) {
            item->Default = item->Value;
        }
    }
    pTtyHtmlName = def->pHelp;
    if (def->pRedrawCmd) RunMenuCommand(def->pRedrawCmd);
}

static int FileAction(TextMenu* menu, TextMenuItem* item) {
    ItemDef* def = DefOf(item);
    if (def->pick >= 0) ProcessStateValue(menu, def->pick, nullptr);
    return def->pCommand ? RunMenuCommand(def->pCommand) : 0;
}

// ------------------------------------------------------------- reading
static MenuDef* NewMenu(const char* id) {
    MenuDef** grown =
        static_cast<MenuDef**>(AdjustMem(menus, int(sizeof(MenuDef*)) * (menuCount + 1)));
    if (!grown) SysError("%s", OutOfMem);
    menus = grown;
    auto* def = static_cast<MenuDef*>(Alloc(int(sizeof(MenuDef))));
    def->pId = SaveStr_(id);
    def->menu.pTitle = def->pId;
    def->itemCap = 8;
    def->menu.pItems = static_cast<TextMenuItem*>(Alloc(int(sizeof(TextMenuItem)) * def->itemCap));
    menus[menuCount++] = def;
    return def;
}

static TextMenuItem* NewItem(MenuDef* menu, int type, const char* label, int line) {
    if (menu->itemCount + 2 > menu->itemCap) {
        int cap = menu->itemCap * 2;
        void* grown = AdjustMem(menu->menu.pItems, int(sizeof(TextMenuItem)) * cap);
        if (!grown) SysError("%s", OutOfMem);
        menu->menu.pItems = static_cast<TextMenuItem*>(grown);
        menu->itemCap = cap;
    }
    TextMenuItem* item = &menu->menu.pItems[menu->itemCount++];
    item->pLabel = Unescaped(label);
    item->Type = type;
    item->SavedValue = -1;
    auto* def = static_cast<ItemDef*>(Alloc(int(sizeof(ItemDef))));
    def->pick = -1;
    def->line = line;
    item->pUserData = def;
    if (type == MENU_NAME || type == MENU_STRING) {
        char* block = static_cast<char*>(Alloc(kValueLead + 2 * MENU_TEXT_SIZE));
        def->pValue = block + kValueLead;
        def->pDefault = def->pValue + MENU_TEXT_SIZE;
        item->Value.pText = def->pValue;
        item->Default.pDefault = def->pDefault;
    }
    return item;
}

static bool MenuStatement(MenuDef* menu, const char* key, const char* value, int line) {
    if (!strcmp(key, "title")) {
        menu->menu.pTitle = Unescaped(value);
    } else if (!strcmp(key, "style")) {
        if (!ReadInt(value, 10, 0, 2, &menu->menu.TitleStyle))
            return Fail(line, "style must be 0, 1 or 2, not '%s'", value);
    } else if (!strcmp(key, "flags")) {
        int flags;
        if (!ReadInt(value, 0, 0, 0xffff, &flags))
            return Fail(line, "flags must be a number from 0 to 0xffff, not '%s'", value);
        menu->menu.Flags = uint16_t(flags);
    } else if (!strcmp(key, "apply-prompt")) {
        char* text = Unescaped(value);
        menu->menu.pApplyPrompt = PercentDoubled(text);
        PutMem(text);
    } else if (!strcmp(key, "parent")) {
        if (!IsOneWord(value)) return Fail(line, "parent needs one menu id");
        menu->pParentId = SaveStr_(value);
        menu->parentLine = line;
    } else if (!strcmp(key, "apply")) {
        menu->pApplyCmd = Unescaped(value);
        menu->menu.ApplyFunc = FileApply;
    } else if (!strcmp(key, "redraw")) {
        menu->pRedrawCmd = Unescaped(value);
    } else {  // help
        menu->pHelp = Unescaped(value);
    }
    return true;
}

static bool ItemStatement(TextMenuItem* item, const char* key, const char* value, int line) {
    ItemDef* def = DefOf(item);
    const int type = item->Type;
    if (!strcmp(key, "state")) {
        if (!ReadInt(value, 10, 0, 2, &item->State))
            return Fail(line, "state must be 0, 1 or 2, not '%s'", value);
    } else if (!strcmp(key, "prompt")) {
        item->pPrompt = Unescaped(value);
    } else if (!strcmp(key, "choices")) {
        item->pChoices = Unescaped(value);
    } else if (!strcmp(key, "default")) {
        def->defaultLine = line;
        if (type == MENU_NAME || type == MENU_STRING) {
            char* text = Unescaped(value);
            if (strlen(text) >= size_t(MENU_TEXT_SIZE)) {
                PutMem(text);
                return Fail(line, "a default text holds at most %d characters", MENU_TEXT_SIZE - 1);
            }
            snprintf(def->pValue, MENU_TEXT_SIZE, "%s", text);
            PutMem(text);
        } else if (type == MENU_REAL) {
            char* end;
            float f = strtof(value, &end);
            if (*end || end == value) return Fail(line, "default must be a real number, not '%s'", value);
            item->Default.f = f;
        } else {
            int v;
            if (!ReadInt(value, 10, type == MENU_INT ? -2147483647L - 1 : 0, 2147483647L, &v))
                return Fail(line, "default must be a number, not '%s'", value);
            item->Default.i = v;
        }
    } else if (!strcmp(key, "value")) {
        if (!ReadInt(value, 0, 0, type == MENU_PICKMANY ? 0xffffffffL : 80, &item->Value.i))
            return Fail(line, "value must be a number, not '%s'", value);
    } else if (!strcmp(key, "format")) {
        item->pFormat = Unescaped(value);
        def->formatLine = line;
    } else if (!strcmp(key, "submenu")) {
        def->pSubmenus = SaveStr_(value);
        def->submenuLine = line;
    } else if (!strcmp(key, "action")) {
        def->pCommand = Unescaped(value);
        item->ActionFunc = FileAction;
    } else if (!strcmp(key, "name")) {
        if (!IsShellName(value))
            return Fail(line, "name must be letters, digits and '_', not starting with a digit: '%s'", value);
        for (int m = 0; m < menuCount; ++m)
            for (TextMenuItem* other = menus[m]->menu.pItems; other->pLabel; ++other)
                if (DefOf(other)->pName && !strcmp(DefOf(other)->pName, value))
                    return Fail(line, "name '%s' is given twice", value);
        if (ChangesCommands(value))
            return Fail(line, "name '%s' would change how every command runs", value);
        def->pName = SaveStr_(value);
    } else {  // pick
        if (!ReadInt(value, 10, 0, 0x7fffffff, &def->pick))
            return Fail(line, "pick needs the index of a pick item, not '%s'", value);
        def->pickLine = line;
        item->ActionFunc = FileAction;
    }
    return true;
}

static bool Statement(char* text, int line) {
    char* key = text;
    char* value = key;
    while (*value && *value != ' ' && *value != '\t')
        ++value;
    if (*value) *value++ = 0;
    while (*value == ' ' || *value == '\t')
        ++value;
    MenuDef* menu = menuCount ? menus[menuCount - 1] : nullptr;

    if (!strcmp(key, "menu")) {
        if (!IsOneWord(value)) return Fail(line, "menu needs one id");
        if (FindMenuDef(value)) return Fail(line, "menu '%s' is defined twice", value);
        NewMenu(value);
        return true;
    }
    if (!strcmp(key, "item")) {
        if (!menu) return Fail(line, "item before the first menu");
        char* label = value;
        while (*label && *label != ' ' && *label != '\t')
            ++label;
        if (*label) *label++ = 0;
        while (*label == ' ' || *label == '\t')
            ++label;
        int type;
        if (!ReadInt(value, 10, 0, 14, &type))
            return Fail(line, "item type must be 0 to 14, not '%s'", value);
        NewItem(menu, type, label, line);
        return true;
    }
    const Keyword* keyword = nullptr;
    for (const Keyword& k : kKeywords)
        if (!strcmp(k.name, key)) keyword = &k;
    if (!keyword) return Fail(line, "unknown keyword '%s'", key);
    if (!menu) return Fail(line, "'%s' before the first menu", key);
    if (!*value) return Fail(line, "'%s' needs a value", key);
    if (menu->itemCount == 0) {
        if (keyword->scope != MENU) return Fail(line, "'%s' belongs to an item", key);
        return MenuStatement(menu, key, value, line);
    }
    if (keyword->scope != ITEM) return Fail(line, "'%s' belongs to a menu, before its first item", key);
    TextMenuItem* item = &menu->menu.pItems[menu->itemCount - 1];
    if (!(keyword->types & T(item->Type)))
        return Fail(line, "'%s' does not apply to an item of type %d", key, item->Type);
    return ItemStatement(item, key, value, line);
}

// ------------------------------------------------ checks after reading
namespace {
struct RangeCheck {
    int count;
    int bad;  // first index outside the menu, -1 none
};
}  // namespace

static void CheckIndex(int index, void* data) {
    auto* check = static_cast<RangeCheck*>(data);
    if ((index < 0 || index >= check->count) && check->bad == -1) check->bad = index;
}

static int CountConditions(const char* format) {
    int n = 0;
    for (const char* p = format; *p;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p) break;
        ++n;
        while (*p && *p != ' ' && *p != '\t')
            ++p;
    }
    return n;
}

static bool LinkSubmenus(MenuDef* menu, TextMenuItem* item, int index) {
    ItemDef* def = DefOf(item);
    if (!def->pSubmenus) return Fail(def->line, "an item of type 8 needs a submenu");
    char* cursor = def->pSubmenus;
    char id[TOKEN_BUF_SIZE];
    int n = CountConditions(def->pSubmenus);
    const int conditions = item->pFormat ? CountConditions(item->pFormat) : 0;
    if (item->pFormat && conditions != n)
        return Fail(def->formatLine, "%d conditions for %d submenus", conditions, n);
    if (!item->pFormat && n > 1)
        return Fail(def->submenuLine, "several submenus need one condition each in 'format'");
    TextMenu** list = item->pFormat ? static_cast<TextMenu**>(Alloc(int(sizeof(TextMenu*)) * n)) : nullptr;
    for (int k = 0; GetTokenD(nullptr, " \t", &cursor, id); ++k) {
        MenuDef* sub = FindMenuDef(id);
        if (!sub) return Fail(def->submenuLine, "no menu '%s'", id);
        if (sub == menu) return Fail(def->submenuLine, "menu '%s' cannot be its own submenu", id);
        if (!sub->pParentId && !sub->menu.pParent) sub->menu.pParent = &menu->menu;
        if (list)
            list[k] = &sub->menu;
        else
            item->Value.pMenu = &sub->menu;
    }
    if (list) item->Value.ppMenus = list;
    if (!item->pFormat) return true;
    RangeCheck check{menu->itemCount, -1};
    const char* p = item->pFormat;
    char condition[TOKEN_BUF_SIZE];
    char* ccursor = const_cast<char*>(p);
    while (GetTokenD(nullptr, " \t", &ccursor, condition)) {
        if (!ForEachConditionTarget(condition, index, CheckIndex, &check))
            return Fail(def->formatLine, "cannot read the condition '%s'", condition);
        if (check.bad != -1)
            return Fail(def->formatLine, "the condition '%s' names item %d, outside the menu (0 to %d)",
                        condition, check.bad, menu->itemCount - 1);
    }
    return true;
}

static bool CheckItem(MenuDef* menu, TextMenuItem* item, int index) {
    ItemDef* def = DefOf(item);
    switch (item->Type) {
    case MENU_SUBMENU:
        return LinkSubmenus(menu, item, index);
    case MENU_PICKONE:
    case MENU_PICKMANY: {
        const int choices = CountChoices(item->pChoices);
        if (choices == 0) return Fail(def->line, "an item of type %d needs choices", item->Type);
        if (item->Type == MENU_PICKONE && item->Default.i >= choices)
            return Fail(def->defaultLine, "default %d is beyond the %d choices", item->Default.i, choices);
        if (item->Type == MENU_PICKONE) item->Value.i = item->Default.i;
        if (item->Type == MENU_PICKMANY && item->Value.i == 0) item->Value.i = item->Default.i;
        if (item->pFormat) {
            RangeCheck check{menu->itemCount, -1};
            if (!ForEachFormatTarget(item->pFormat, CheckIndex, &check))
                return Fail(def->formatLine, "cannot read the state format '%s'", item->pFormat);
            if (check.bad != -1)
                return Fail(def->formatLine, "the state format names item %d, outside the menu (0 to %d)",
                            check.bad, menu->itemCount - 1);
        }
        return true;
    }
    case MENU_INT:
    case MENU_REAL:
        item->Value = item->Default;
        return true;
    case MENU_COMMAND:
        if (def->pick >= 0) {
            const TextMenuItem* target =
                def->pick < menu->itemCount ? &menu->menu.pItems[def->pick] : nullptr;
            if (!target || (target->Type != MENU_PICKONE && target->Type != MENU_PICKMANY))
                return Fail(def->pickLine, "pick %d names no pick item of the menu", def->pick);
        }
        return true;
    default:
        return true;
    }
}

// The submenus an item of type 8 leads to.
static int SubmenuCount(const TextMenuItem* item) {
    const char* ids = DefOf(item)->pSubmenus;
    return item->Type == MENU_SUBMENU && ids ? CountConditions(ids) : 0;
}
static TextMenu* SubmenuOf(const TextMenuItem* item, int k) {
    return item->pFormat ? item->Value.ppMenus[k] : item->Value.pMenu;
}
static int MenuIndex(const TextMenu* menu) {
    for (int m = 0; m < menuCount; ++m)
        if (&menus[m]->menu == menu) return m;
    return -1;
}

// A menu must not lead back to itself through its submenus: running,
// storing and loading such a tree would never end. Menus that lead to no
// cycle are set aside, those with no submenu left first, until none is; a
// walk through those left then meets a cycle, reported at the submenu
// statement that closes it.
static bool CheckCycles() {
    bool* done = static_cast<bool*>(Alloc(menuCount));
    memset(done, 0, size_t(menuCount));
    auto open = [&](int m, int* line) -> int {  // a submenu not set aside, -1 none
        for (TextMenuItem* item = menus[m]->menu.pItems; item->pLabel; ++item)
            for (int k = 0; k < SubmenuCount(item); ++k) {
                const int s = MenuIndex(SubmenuOf(item, k));
                if (s >= 0 && !done[s]) {
                    if (line) *line = DefOf(item)->submenuLine;
                    return s;
                }
            }
        return -1;
    };
    for (bool more = true; more;) {
        more = false;
        for (int m = 0; m < menuCount; ++m)
            if (!done[m] && open(m, nullptr) < 0) done[m] = more = true;
    }
    int start = -1;
    for (int m = 0; m < menuCount && start < 0; ++m)
        if (!done[m]) start = m;
    if (start < 0) {
        PutMem(done);
        return true;
    }
    // Every menu left leads to another left: walking on revisits one.
    bool* seen = static_cast<bool*>(Alloc(menuCount));
    memset(seen, 0, size_t(menuCount));
    int m = start, line = 0;
    while (!seen[m]) {
        seen[m] = true;
        m = open(m, &line);
    }
    // Walk the cycle once more from the menu met again, to name the edge
    // that closes it: the one leading back to that menu.
    const int first = m;
    int from = first;
    for (;;) {
        int edgeLine = 0;
        const int to = open(from, &edgeLine);
        if (to == first) {
            line = edgeLine;
            break;
        }
        from = to;
    }
    const MenuDef* back = menus[first];
    const MenuDef* at = menus[from];
    PutMem(done);
    PutMem(seen);
    return Fail(line, "the submenus of menu '%s' lead back to menu '%s'", at->pId, back->pId);
}

static bool Resolve(int lastLine) {
    if (menuCount == 0) return Fail(lastLine > 0 ? lastLine : 1, "the file holds no menu");
    for (int m = 0; m < menuCount; ++m) {
        MenuDef* menu = menus[m];
        menu->menu.RedrawFunc = FileRedraw;
        if (menu->pParentId) {
            MenuDef* parent = FindMenuDef(menu->pParentId);
            if (!parent) return Fail(menu->parentLine, "no menu '%s'", menu->pParentId);
            menu->menu.pParent = &parent->menu;
        }
    }
    for (int m = 0; m < menuCount; ++m)
        for (int i = 0; i < menus[m]->itemCount; ++i)
            if (!CheckItem(menus[m], &menus[m]->menu.pItems[i], i)) return false;
    return CheckCycles();
}

TextMenu* LoadMenuFile(const char* path, char* error, int size) {
    FreeMenuFile();
    errBuf = error;
    errSize = size;
    if (size > 0) error[0] = 0;
    FILE* file = fopen(path, "r");
    if (!file) {
        Fail(0, "%s", strerror(errno));
        return nullptr;
    }
    char line[MENU_FILE_LINE_SIZE];
    int lineNo = 0;
    bool ok = true;
    while (ok && fgets(line, sizeof line, file)) {
        ++lineNo;
        size_t len = strlen(line);
        if (len > 0 && line[len - 1] != '\n' && !feof(file)) {
            ok = Fail(lineNo, "line longer than %d characters", MENU_FILE_LINE_SIZE - 2);
            break;
        }
        while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r' || line[len - 1] == ' ' ||
                           line[len - 1] == '\t'))
            line[--len] = 0;
        char* p = line;
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p || *p == '#') continue;
        ok = Statement(p, lineNo);
    }
    if (ok && ferror(file)) ok = Fail(lineNo, "%s", strerror(errno));
    fclose(file);
    if (ok) ok = Resolve(lineNo);
    if (!ok) {
        FreeMenuFile();
        return nullptr;
    }
    return &menus[0]->menu;
}

void FreeMenuFile() {
    // The texts of a loaded file are small and live until the process ends
    // in the tool; the tests load many files, so the records go back.
    for (int m = 0; m < menuCount; ++m) {
        MenuDef* menu = menus[m];
        for (TextMenuItem* item = menu->menu.pItems; item->pLabel; ++item) {
            ItemDef* def = DefOf(item);
            PutMem(const_cast<char*>(item->pLabel));
            PutMem(const_cast<char*>(item->pPrompt));
            PutMem(item->pChoices);
            PutMem(const_cast<char*>(item->pFormat));
            if (item->Type == MENU_SUBMENU && item->pFormat) PutMem(item->Value.ppMenus);
            if (item->Value.pText != def->pValue && (item->Type == MENU_NAME || item->Type == MENU_STRING))
                PutMem(item->Value.pText);
            if (def->pValue) PutMem(def->pValue - kValueLead);
            PutMem(const_cast<char*>(def->pName));
            PutMem(const_cast<char*>(def->pCommand));
            PutMem(def->pSubmenus);
            PutMem(def);
        }
        PutMem(menu->menu.pItems);
        if (menu->menu.pTitle != menu->pId) PutMem(const_cast<char*>(menu->menu.pTitle));
        PutMem(const_cast<char*>(menu->menu.pApplyPrompt));
        PutMem(menu->pId);
        PutMem(const_cast<char*>(menu->pApplyCmd));
        PutMem(const_cast<char*>(menu->pRedrawCmd));
        PutMem(const_cast<char*>(menu->pHelp));
        PutMem(menu->pParentId);
        PutMem(menu);
    }
    PutMem(menus);
    menus = nullptr;
    menuCount = 0;
}

// ------------------------------------------------------------- values
static bool PlainWord(const char* text) {
    for (const char* p = text; *p; ++p)
        if (!isalnum(static_cast<unsigned char>(*p)) && !strchr("_./-", *p)) return false;
    return true;
}

bool WriteMenuValues(FILE* out) {
    RestoreTextValues();
    char value[MENU_TEXT_SIZE + 32];
    for (int m = 0; m < menuCount; ++m)
        for (TextMenuItem* item = menus[m]->menu.pItems; item->pLabel; ++item) {
            ItemDef* def = DefOf(item);
            if (!def->pName) continue;
            FormatItemValue(item, value, sizeof value);
            fprintf(out, "%s=", def->pName);
            if (PlainWord(value)) {
                fputs(value, out);
            } else {
                fputc('\'', out);
                for (const char* p = value; *p; ++p) {
                    if (*p == '\'')
                        fputs("'\\''", out);
                    else
                        fputc(*p, out);
                }
                fputc('\'', out);
            }
            fputc('\n', out);
        }
    return fflush(out) == 0 && !ferror(out);
}
