// State tests, submenu conditions and state formats.
#include "MenuTest.h"

namespace {

TEST_F(MenuTest, StateTestsAndConditions) {
    TextMenuItem items[] = {Item("A", 9), Item("B", 9), Item("C", 9), End()};
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    items[0].Value.i = 1;
    EXPECT_EQ(TestState(&menu, "0.1", 0), 1);
    EXPECT_EQ(TestState(&menu, "0.2", 0), 0);
    items[2].Value.i = 4;
    EXPECT_EQ(TestState(&menu, "+2.4", 0), 1) << "two places after the owner";
    EXPECT_EQ(TestState(&menu, "-2.1", 2), 1);
    EXPECT_EQ(TestState(&menu, "+5.0", 0), 0) << "beyond the items";
    EXPECT_EQ(TestState(&menu, "x", 0), 0);

    items[1].Value.i = 1;
    EXPECT_FALSE(TestStateCondition(&menu, "1.1A", 0)) << "A needs a disabled item";
    items[1].State = 1;
    EXPECT_TRUE(TestStateCondition(&menu, "1.1A", 0));
    EXPECT_EQ(TestState(&menu, "1.1", 0), 2);
    items[1].State = 0;

    items[0].Value.i = 0;
    EXPECT_FALSE(TestStateCondition(&menu, "0.1&1.1", 0));
    EXPECT_TRUE(TestStateCondition(&menu, "0.1|1.1", 0));
    EXPECT_TRUE(TestStateCondition(&menu, "!0.1", 0));
    EXPECT_FALSE(TestStateCondition(&menu, "", 0));
    EXPECT_FALSE(TestStateCondition(&menu, "junk", 0));
    // Left to right without precedence: (0.1 | 1.1) & 2.0.
    EXPECT_FALSE(TestStateCondition(&menu, "0.1|1.1&2.0", 0));
    EXPECT_TRUE(TestStateCondition(&menu, "0.1|(1.1&2.4)", 0));
    // A negated group takes in the terms after it: !((1.1) & 0.1).
    EXPECT_TRUE(TestStateCondition(&menu, "!(1.1)&0.1", 0));
    EXPECT_FALSE(TestStateCondition(&menu, "!(1.1)|0.0", 0));
}

TEST_F(MenuTest, ASubmenuItemOpensTheMenuOfTheConditionThatHolds) {
    TextMenuItem none[] = {End()};
    TextMenu first{"First", 0, nullptr, nullptr, nullptr, nullptr, none, 0};
    TextMenu second{"Second", 0, nullptr, nullptr, nullptr, nullptr, none, 0};
    TextMenu* subs[] = {&first, &second};
    TextMenuItem items[] = {Item("Mode", 9), Item("Sub", 8), End()};
    items[1].pFormat = "0.0 0.1";
    items[1].Value.ppMenus = subs;
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    EXPECT_EQ(ValidateMenu(&menu, 1), &first);
    items[0].Value.i = 1;
    EXPECT_EQ(ValidateMenu(&menu, 1), &second);
    items[0].Value.i = 2;
    EXPECT_EQ(ValidateMenu(&menu, 1), nullptr);
    items[0].Value.i = 0;
    items[1].State = 1;
    EXPECT_EQ(ValidateMenu(&menu, 1), nullptr) << "a disabled submenu opens nothing";
}

int pressed = 0;
int Press(TextMenu*, TextMenuItem*) {
    ++pressed;
    return 0;
}

TEST_F(MenuTest, StateFormatsHideDisableReevaluateAndPreset) {
    char choices[] = "_a,_b,_c";
    char other[] = "_x,_y";
    TextMenuItem items[] = {Item("Owner", 9), Item("One", 12), Item("Two", 12), Item("Three", 12),
                            Item("Four", 12), Item("Five", 12), Item("Six", 9),  Item("Seven", 12),
                            Item("Eight", 13), End()};
    items[0].pChoices = choices;
    items[0].pFormat = "H1{4,5} N*{7} P2{6} S2{8.77}";
    items[6].pChoices = other;
    items[6].pFormat = "N0{3}";
    items[6].ActionFunc = Press;
    items[8].Default.i = 5;
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    pressed = 0;
    InitMenu(&menu);
    EXPECT_EQ(items[4].State, 0);
    EXPECT_EQ(items[7].State, 1) << "N* disables always";
    items[0].Value.i = 1;
    ProcessStateFormat(&menu, 0);
    EXPECT_EQ(items[4].State, 2);
    EXPECT_EQ(items[5].State, 2);
    items[0].Value.i = 0;
    ProcessStateFormat(&menu, 0);
    EXPECT_EQ(items[4].State, 0);

    items[3].State = 0;
    items[0].Value.i = 2;
    ProcessStateFormat(&menu, 0);
    EXPECT_EQ(items[3].State, 1) << "P applied item 6's own format";
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(items[8].Value.i, 77) << "S presets";
    EXPECT_EQ(items[8].SavedValue, 5);
    ProcessStateFormat(&menu, 0);
    EXPECT_EQ(items[8].SavedValue, 5) << "a preset value is never put aside over the first";
    items[8].Value.i = 78;
    items[0].Value.i = 0;
    ProcessStateFormat(&menu, 0);
    EXPECT_EQ(items[8].Value.i, 5) << "restored once";
    EXPECT_EQ(items[8].SavedValue, -1);
    items[8].Value.i = 9;
    ProcessStateFormat(&menu, 0);
    EXPECT_EQ(items[8].Value.i, 9) << "and only once";

    EXPECT_TRUE(TestFormatState("1:3", 3));
    EXPECT_FALSE(TestFormatState("1:3", 2));
    EXPECT_TRUE(TestFormatState("*", 12));

    // Formats that name each other through P end.
    items[6].pFormat = "P*{0}";
    items[0].Value.i = 2;
    ProcessStateFormat(&menu, 0);
    // A format naming itself many times over ends too, and soon: ten
    // targets a level used to mean ten to the sixteenth re-evaluations.
    const char* ownFormat = items[0].pFormat;
    MenuActionFunc ownAction = items[0].ActionFunc;
    items[0].pFormat = "P*{0,0,0,0,0,0,0,0,0,0}";
    items[0].ActionFunc = Press;
    pressed = 0;
    ProcessStateFormat(&menu, 0);
    EXPECT_GT(pressed, 0);
    EXPECT_LE(pressed, 1024 * 10);
    items[0].pFormat = ownFormat;
    items[0].ActionFunc = ownAction;
    // An "S" preset of a text item leaves its buffer alone (the number used
    // to be written over the buffer's pointer); a number item takes it.
    char* buffer = items[1].Value.pText;
    items[0].pFormat = "S*{1.7,8.3}";
    items[8].SavedValue = -1;
    ProcessStateFormat(&menu, 0);
    EXPECT_EQ(items[1].Value.pText, buffer);
    EXPECT_EQ(items[8].Value.i, 3);
    // Targets outside the menu are passed over.
    items[0].pFormat = "H*{40,-3} N*{1}";
    ProcessStateFormat(&menu, 0);
    EXPECT_EQ(items[1].State, 1);
    FreeMenu(&menu);
}

}  // namespace
