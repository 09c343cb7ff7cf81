// State formats and submenu conditions on a fixed menu. The input's first
// line is a state format, given to two pick items (so that "P" targets
// re-evaluate each other), processed for every value of its owner and
// walked for its targets; the rest is a condition text, evaluated as a
// condition and a state test from every item, and used as the condition
// list of a submenu item.
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "MenuSupport.h"
#include "TextMenu/TextMenu.h"

namespace {

void Visit(int, void* data) {
    ++*static_cast<long*>(data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::HeadAndBody in = fuzz::SplitHead(data, size, 4096);
    std::string format = in.head;
    std::string condition(reinterpret_cast<const char*>(in.body), in.bodySize);
    condition = condition.c_str(); // cut at a zero byte, as a C text is

    char one[] = "_a,_b, c,_d";
    char two[] = "_x,_y,_z";
    char three[] = "_p, q";
    char many[] = "_1,_2,_3, 4";
    TextMenuItem none[] = {{}};
    TextMenu subA{"A", 0, nullptr, nullptr, nullptr, nullptr, none, 0};
    TextMenu subB{"B", 0, nullptr, nullptr, nullptr, nullptr, none, 0};
    // One submenu per condition: the list can hold as many as the text has
    // blank-separated words.
    static TextMenu* subs[8192 + 1];
    for (size_t i = 0; i < sizeof subs / sizeof subs[0]; ++i)
        subs[i] = i % 2 ? &subA : &subB;

    TextMenuItem items[] = {fuzz::Item("One", MENU_PICKONE),
                            fuzz::Item("Two", MENU_PICKONE),
                            fuzz::Item("Three", MENU_PICKONE),
                            fuzz::Item("Many", MENU_PICKMANY),
                            fuzz::Item("Count", MENU_INT),
                            fuzz::Item("Text", MENU_STRING),
                            fuzz::Item("Sub", MENU_SUBMENU),
                            fuzz::Item("Go", MENU_COMMAND),
                            fuzz::Item("Heading", MENU_TEXT),
                            fuzz::Item("Real", MENU_REAL),
                            {}};
    items[0].pChoices = one;
    items[1].pChoices = two;
    items[2].pChoices = three;
    items[3].pChoices = many;
    items[0].pFormat = format.c_str();
    items[1].pFormat = format.c_str();
    items[1].ActionFunc = fuzz::CountAction;
    items[7].ActionFunc = fuzz::CountAction;
    items[6].pFormat = condition.c_str();
    items[6].Value.ppMenus = subs;
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    InitMenu(&menu);

    const int count = MenuItemCount(&menu);
    for (int value = -1; value <= 4; ++value) {
        items[0].Value.i = value;
        ProcessStateFormat(&menu, 0);
        ProcessStateFormat(&menu, 1);
        for (int i = 0; i < count; ++i)
            if (items[i].State < 0 || items[i].State > 2) abort();
    }
    long visits = 0;
    ForEachFormatTarget(format.c_str(), Visit, &visits);

    for (int current = 0; current < count; ++current) {
        TestStateCondition(&menu, condition.c_str(), current);
        TestState(&menu, condition.c_str(), current);
        ForEachConditionTarget(condition.c_str(), current, Visit, &visits);
    }
    items[6].State = 0;
    TextMenu* chosen = ValidateMenu(&menu, 6);
    if (chosen && chosen != &subA && chosen != &subB) abort();
    TestFormatState(condition.c_str(), 3);
    FreeMenu(&menu);
    return 0;
}
