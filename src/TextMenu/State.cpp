// State conditions and formats: submenu conditions choose which submenu an
// item opens; state formats of pick items disable, hide, re-evaluate or
// preset other items whenever the owner's value changes.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "TextMenu/TextMenu.h"

// ------------------------------------------------------- state tests
// Reads "N.V", "+N.V" or "-N.V" from [test, end): the item index (relative
// ones resolved against current) and the value. False when it is no test.
static bool ReadStateTest(const char* test, const char* end, int current, int* index, int* value) {
    char buf[COND_OPERAND_SIZE];
    size_t len = size_t(end - test);
    if (len >= sizeof buf) len = sizeof buf - 1;
    memcpy(buf, test, len);
    buf[len] = 0;
    const char* p = buf;
    int rel = 0;
    if (*p == '+') rel = 1, ++p;
    else if (*p == '-') rel = -1, ++p;
    if (!isdigit(static_cast<unsigned char>(*p))) return false;
    int n, v;
    if (sscanf(p, "%d.%d", &n, &v) != 2) return false;
    *index = rel ? current + rel * n : n;
    *value = v;
    return true;
}

static int StateOf(TextMenu* menu, int index, int value) {
    if (index < 0 || index >= MenuItemCount(menu)) return 0;
    const TextMenuItem& item = menu->pItems[index];
    if (item.Value.i != value) return 0;
    return item.State != 0 ? 2 : 1;
}

int TestState(TextMenu* menu, const char* test, int current) {
    int index, value;
    if (!test || !ReadStateTest(test, test + strlen(test), current, &index, &value)) return 0;
    return StateOf(menu, index, value);
}

// --------------------------------------------------------- conditions
// The evaluator's read position and the end of the condition being read.
static const char* pS = nullptr;
static const char* pSEnd = nullptr;

static bool IsCondOperator(char c) {
    return c == '!' || c == '&' || c == '(' || c == ')' || c == 'A' || c == '|';
}

static bool AtEnd() {
    return pS >= pSEnd || !*pS;
}

static bool EvalSequence(TextMenu* menu, int current);

// The "&" and "|" terms that follow a first result, from left to right,
// up to the closing ")" of the group (not consumed) or the end.
static bool ContinueSequence(TextMenu* menu, int current, bool result);

static bool EvalOperand(TextMenu* menu, int current) {
    if (AtEnd()) return false;
    if (*pS == '!') {
        ++pS;
        if (!AtEnd() && *pS == '(') {
            ++pS;
            bool group = EvalSequence(menu, current);
            if (!AtEnd() && *pS == ')') ++pS;
            return !ContinueSequence(menu, current, group);
        }
        return !EvalOperand(menu, current);
    }
    if (*pS == '(') {
        ++pS;
        bool group = EvalSequence(menu, current);
        if (!AtEnd() && *pS == ')') ++pS;
        return group;
    }
    const char* start = pS;
    while (!AtEnd() && !IsCondOperator(*pS))
        ++pS;
    int index, value;
    int state = ReadStateTest(start, pS, current, &index, &value) ? StateOf(menu, index, value) : 0;
    if (!AtEnd() && *pS == 'A') {
        ++pS;
        return state == 2;
    }
    return state != 0;
}

static bool ContinueSequence(TextMenu* menu, int current, bool result) {
    while (!AtEnd() && (*pS == '&' || *pS == '|')) {
        char op = *pS++;
        bool next = EvalOperand(menu, current);  // both operands are always read
        result = op == '&' ? (result && next) : (result || next);
    }
    return result;
}

static bool EvalSequence(TextMenu* menu, int current) {
    bool first = EvalOperand(menu, current);
    return ContinueSequence(menu, current, first);
}

static bool EvalCondition(TextMenu* menu, const char* start, const char* end, int current) {
    if (start >= end) return false;
    pS = start;
    pSEnd = end;
    return EvalSequence(menu, current);  // a stray ")" ends the condition
}

bool TestStateCondition(TextMenu* menu, const char* condition, int current) {
    if (!condition) return false;
    return EvalCondition(menu, condition, condition + strlen(condition), current);
}

// Walks the blank-separated conditions of a submenu item.
static const char* NextCondition(const char* p, const char** end) {
    while (*p == ' ' || *p == '\t')
        ++p;
    if (!*p) return nullptr;
    const char* e = p;
    while (*e && *e != ' ' && *e != '\t')
        ++e;
    *end = e;
    return p;
}

TextMenu* ValidateMenu(TextMenu* menu, int index) {
    if (!menu || index < 0 || index >= MenuItemCount(menu)) return nullptr;
    TextMenuItem& item = menu->pItems[index];
    if (item.State != 0) return nullptr;
    if (!item.pFormat) return item.Value.pMenu;
    const char* end = nullptr;
    int i = 0;
    for (const char* c = NextCondition(item.pFormat, &end); c; c = NextCondition(end, &end), ++i)
        if (EvalCondition(menu, c, end, index)) return item.Value.ppMenus ? item.Value.ppMenus[i] : nullptr;
    return nullptr;
}

bool ForEachConditionTarget(const char* condition, int current, void (*visit)(int, void*),
                            void* data) {
    if (!condition) return true;
    const char* p = condition;
    while (*p) {
        while (*p && IsCondOperator(*p))
            ++p;
        const char* start = p;
        while (*p && !IsCondOperator(*p))
            ++p;
        if (p == start) continue;
        int index, value;
        if (!ReadStateTest(start, p, current, &index, &value)) return false;
        visit(index, data);
    }
    return true;
}

// ------------------------------------------------------- state formats
static const char kFormatDelims[] = "{,.} ";

bool TestFormatState(const char* list, int value) {
    if (!list) return false;
    if (list[0] == '*') return true;
    for (const char* p = list; *p;) {
        if (!isdigit(static_cast<unsigned char>(*p))) {
            ++p;
            continue;
        }
        char* end;
        long n = strtol(p, &end, 10);
        if (n == value) return true;
        p = end;
    }
    return false;
}

// Types whose value is the integer `i`.
static bool HoldsNumber(int type) {
    return type == MENU_BREAK || type == MENU_GRID || type == MENU_PICKONE || type == MENU_PICKMANY ||
           type == MENU_INT;
}

static bool GroupEnds(char del) {
    return del == '}' || del == ' ' || del == 0;
}

// A "P" target re-evaluates its own format; formats that point at each other
// would otherwise recurse without end. Depth alone does not bound the work:
// a format naming several targets that name several targets in turn grows
// exponentially with the depth, so one outermost evaluation also runs at
// most kMaxFormatRuns formats in all.
constexpr int kMaxFormatDepth = 16;
constexpr int kMaxFormatRuns = 1024;
static int formatDepth = 0;
static int formatRuns = 0;

void ProcessStateFormat(TextMenu* menu, int index) {
    const int count = MenuItemCount(menu);
    if (index < 0 || index >= count) return;
    TextMenuItem* owner = &menu->pItems[index];
    if (!owner->pFormat || owner->State != 0 || formatDepth >= kMaxFormatDepth) return;
    if (formatDepth == 0) formatRuns = 0;
    if (++formatRuns > kMaxFormatRuns) return;
    ++formatDepth;
    char* cursor = const_cast<char*>(owner->pFormat);
    char group[TOKEN_BUF_SIZE];
    char target[TOKEN_BUF_SIZE];
    char preset[TOKEN_BUF_SIZE];
    while (GetTokenD(nullptr, kFormatDelims, &cursor, group)) {
        char del = chTokenDel;
        const char command = group[0];
        const bool match = TestFormatState(group + 1, owner->Value.i);
        while (!GroupEnds(del) && GetTokenD(nullptr, kFormatDelims, &cursor, target)) {
            del = chTokenDel;
            const int t = atoi(target);
            const bool valid = t >= 0 && t < count;
            TextMenuItem* item = valid ? &menu->pItems[t] : nullptr;
            switch (command) {
            case 'N':
                if (item) item->State = match ? 1 : 0;
                break;
            case 'H':
                if (item) item->State = match ? 2 : 0;
                break;
            case 'P':
                if (item && match) {
                    ProcessStateFormat(menu, t);
                    if (item->ActionFunc) item->ActionFunc(menu, item);
                }
                break;
            case 'S': {
                if (GroupEnds(del) || !GetTokenD(nullptr, kFormatDelims, &cursor, preset)) break;
                del = chTokenDel;
                // Only a value held as a number is preset: the value of a
                // text, real or submenu item shares its place with a pointer
                // or a float, which a number written there would wreck.
                if (!item || !HoldsNumber(item->Type)) break;
                if (match) {
                    if (item->SavedValue < 0) item->SavedValue = item->Value.i;
                    item->Value.i = atoi(preset);
                } else if (item->SavedValue >= 0) {
                    item->Value.i = item->SavedValue;
                    item->SavedValue = -1;
                }
                if (item->Type == MENU_PICKONE || item->Type == MENU_PICKMANY)
                    UpdateStateSelection(item);
                break;
            }
            default:
                break;
            }
        }
    }
    --formatDepth;
}

bool ForEachFormatTarget(const char* format, void (*visit)(int, void*), void* data) {
    if (!format) return true;
    char* cursor = const_cast<char*>(format);
    char group[TOKEN_BUF_SIZE];
    char target[TOKEN_BUF_SIZE];
    while (GetTokenD(nullptr, kFormatDelims, &cursor, group)) {
        char del = chTokenDel;
        const char command = group[0];
        bool takesValue = command == 'S';
        while (!GroupEnds(del) && GetTokenD(nullptr, kFormatDelims, &cursor, target)) {
            del = chTokenDel;
            char* end;
            long t = strtol(target, &end, 10);
            if (*end || end == target) return false;
            visit(int(t), data);
            if (takesValue) {
                if (GroupEnds(del) || !GetTokenD(nullptr, kFormatDelims, &cursor, target)) return false;
                del = chTokenDel;
            }
        }
    }
    return true;
}
