// Menu records and settings files: preparation, keys, the settings lines
// written and read back, and settings that do not fit the menu.
#include "MenuTest.h"

namespace {

class SettingsTest : public MenuTest {
  protected:
    TempDir dir{"/tmp/textmenu_settings."};

    std::string Store(TextMenu* menu) {
        pOut = fopen((dir / "out").c_str(), "w");
        EXPECT_NE(pOut, nullptr);
        StoreMenu(menu);
        fclose(pOut);
        pOut = nullptr;
        return ReadFile(dir / "out");
    }
    void Load(TextMenu* menu, const std::string& text) {
        WriteFile(dir / "in", text);
        ASSERT_TRUE(OpenInputFile((dir / "in").c_str(), 0));
        LoadMenu(menu);
        CloseInputFile();
    }
};

int applied = 0;
int CountApply(TextMenu*, TextMenuItem*) {
    ++applied;
    return 0;
}

TEST_F(MenuTest, InitMenuSetsKeysWidthsAndValues) {
    char many[] = "_a,_b,_c";
    char one[] = "_x,_y";
    TextMenuItem items[] = {Item("Heading", 0), Item("~e Exit", 6),   Item("Foo", 7),
                            Item("Pick", 9),    Item("Several", 10), Item("Text", 12),
                            Item("Count", 13),  End()};
    items[3].pChoices = one;
    items[3].Default.i = 1;
    items[4].pChoices = many;
    items[5].Default.pDefault = "abc";
    items[6].Default.i = 42;
    TextMenu menu{"T", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    EXPECT_EQ(InitMenu(&menu), 7);
    EXPECT_EQ(items[0].Key, 0);
    EXPECT_EQ(items[1].Key, 'e');
    EXPECT_EQ(items[2].Key, 1);
    EXPECT_EQ(items[3].Key, 2);
    EXPECT_EQ(items[3].Value.i, 1);
    EXPECT_EQ(items[3].ChoiceCnt, 2);
    EXPECT_STREQ(items[3].pCurChoice, "_y");
    EXPECT_EQ(items[4].Value.i, 1) << "a pick-many item starts with its first choice";
    EXPECT_EQ(items[4].Default.i, 1);
    EXPECT_EQ(items[4].ChoiceCnt, 3);
    EXPECT_STREQ(items[5].Value.pText, "abc");
    EXPECT_EQ(items[6].Value.i, 42);
    EXPECT_EQ(FindTextMenuItem(&menu, 13), &items[6]);
    EXPECT_EQ(FindTextMenuItem(&menu, 4), nullptr);
    EXPECT_EQ(FreeMenu(&menu), &items[7]);
    EXPECT_EQ(items[5].Value.pText, nullptr);

    TextMenuItem none[] = {End()};
    TextMenu empty{"E", 0, nullptr, nullptr, nullptr, nullptr, none, 0};
    EXPECT_EQ(InitMenu(&empty), 0);
}

TEST_F(SettingsTest, TheFiveLineExampleAndItsReadBack) {
    char choices[] = "_No,_Yes";
    TextMenuItem subItems[] = {Item("Pick", 9), Item("~a Apply", 4), End()};
    subItems[0].pChoices = choices;
    subItems[0].Default.i = 1;
    subItems[1].ActionFunc = CountApply;
    TextMenu sub{"Sub", 0, nullptr, nullptr, nullptr, nullptr, subItems, 0};
    TextMenuItem items[] = {Item("Head", 0), Item("Go", 7),   Item("Count", 13), Item("Cmd", 7),
                            Item("Text", 12), Item("Real", 14), Item("Sub", 8),  End()};
    items[2].Default.i = 5;
    items[4].Default.pDefault = "abc";
    items[5].State = 1;
    items[5].Default.f = 2.5f;
    items[6].Value.pMenu = &sub;
    TextMenu menu{"Main", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    InitMenu(&menu);
    InitMenu(&sub);
    items[5].Type = 7;  // leave the real out: the example has five lines
    EXPECT_EQ(Store(&menu), "2[5] 13 0\n4[abc] 12 0\n6{\n0[1] 9 0\n}\n");
    items[5].Type = 14;
    EXPECT_EQ(Store(&menu), "2[5] 13 0\n4[abc] 12 0\n5[2.500] 14 1\n6{\n0[1] 9 0\n}\n");

    // Read back into fresh values: the real as 2.5, a text with a blank
    // whole, the submenu's block applied at its "}".
    InitMenu(&menu);
    subItems[0].Value.i = 0;
    items[2].Value.i = 0;
    items[5].Value.f = 0;
    snprintf(items[4].Value.pText, MENU_TEXT_SIZE, "a b");
    std::string stored = Store(&menu);
    EXPECT_NE(stored.find("4[a b] 12 0\n"), std::string::npos);
    items[4].Value.pText[0] = 0;
    flLoadedSettings = false;
    applied = 0;
    Load(&menu, "2[7] 13 0\n4[a b] 12 2\n5[2.500] 14 0\n6{\n0[1] 9 0\n}\n");
    EXPECT_TRUE(flLoadedSettings);
    EXPECT_EQ(items[2].Value.i, 7);
    EXPECT_STREQ(items[4].Value.pText, "a b");
    EXPECT_EQ(items[4].State, 2) << "the state is taken from the line";
    EXPECT_FLOAT_EQ(items[5].Value.f, 2.5f);
    EXPECT_EQ(subItems[0].Value.i, 1);
    EXPECT_EQ(applied, 1) << "closing a submenu block applies the submenu";
    FreeMenu(&menu);
    FreeMenu(&sub);
}

// Every value comes back as it was stored: texts with blanks and "]", a
// pick-many mask; lines of older files and lines short of their numbers
// still set the value.
TEST_F(SettingsTest, EveryValueComesBackWhole) {
    char choices[] = "_a,_b,_c";
    TextMenuItem items[] = {Item("Text", 12), Item("Many", 10), Item("Count", 13), End()};
    items[1].pChoices = choices;
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    InitMenu(&menu);
    struct Case {
        const char* text;
        int mask;
    };
    for (Case c : {Case{"Office printer", 5}, Case{"a]b] c", 6}, Case{"x] 12 0", 1}, Case{"", 7}}) {
        snprintf(items[0].Value.pText, MENU_TEXT_SIZE, "%s", c.text);
        items[1].Value.i = c.mask;
        const std::string stored = Store(&menu);
        EXPECT_NE(stored.find("1[" + std::to_string(c.mask) + "] 10 0\n"), std::string::npos) << stored;
        items[0].Value.pText[0] = 0;
        items[1].Value.i = 1;
        Load(&menu, stored);
        EXPECT_STREQ(items[0].Value.pText, c.text);
        EXPECT_EQ(items[1].Value.i, c.mask);
    }
    // "3[a]b] 12 0" as written, a line with one number (type only), one
    // with none (value only).
    items[0].State = items[2].State = 1;
    Load(&menu, "0[a]b] 12 0\n2[17] 13\n1[3]x\n");
    EXPECT_STREQ(items[0].Value.pText, "a]b");
    EXPECT_EQ(items[0].State, 0);
    EXPECT_EQ(items[2].Value.i, 17);
    EXPECT_EQ(items[2].State, 1) << "a state is taken only when it is there";
    EXPECT_EQ(items[1].Value.i, 3);
    FreeMenu(&menu);
}

// Submenus that lead back to their menu (which a menu file cannot describe,
// but an application can build) are stored and loaded once each, however
// many blocks a file nests.
TEST_F(SettingsTest, CyclicSubmenusEndStoringAndLoading) {
    TextMenuItem aItems[] = {Item("Count", 13), Item("B", 8), End()};
    TextMenuItem bItems[] = {Item("Count", 13), Item("A", 8), End()};
    TextMenu a{"A", 0, nullptr, nullptr, nullptr, nullptr, aItems, 0};
    TextMenu b{"B", 0, nullptr, nullptr, nullptr, nullptr, bItems, 0};
    aItems[1].Value.pMenu = &b;
    bItems[1].Value.pMenu = &a;
    InitMenu(&a);
    InitMenu(&b);
    EXPECT_EQ(Store(&a), "0[0] 13 0\n1{\n0[0] 13 0\n}\n");
    std::string deep;
    for (int i = 0; i < 200000; ++i)
        deep += "1{\n";
    Load(&a, "0[3] 13 0\n" + deep);
    EXPECT_EQ(aItems[0].Value.i, 3);
    Load(&a, "1{\n0[4] 13 0\n1{\n0[9] 13 0\n}\n}\n0[5] 13 0\n");
    EXPECT_EQ(bItems[0].Value.i, 4);
    EXPECT_EQ(aItems[0].Value.i, 5) << "a block of a menu already being read is passed over";
}

TEST_F(SettingsTest, SettingsThatDoNotFitTheMenuAreLeftAlone) {
    char choices[] = "_No,_Yes";
    TextMenuItem subItems[] = {Item("Pick", 9), Item("~a Apply", 4), End()};
    subItems[0].pChoices = choices;
    subItems[1].ActionFunc = CountApply;
    TextMenu sub{"Sub", 0, nullptr, nullptr, nullptr, nullptr, subItems, 0};
    TextMenuItem items[] = {Item("Count", 13), Item("Sub", 8), Item("Text", 12), End()};
    items[1].Value.pMenu = &sub;
    TextMenu menu{"Main", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    InitMenu(&menu);
    InitMenu(&sub);
    applied = 0;
    // Indexes outside the menu, a type that would turn the number into a
    // text, lines without the grammar, and a file that ends inside a block.
    Load(&menu, "3[9] 13 0\n-1[9] 13 0\n99{\n0[1] 9 0\n}\n0[5] 12 0\n2[x]\n2 garbage\n1{\n0[1] 9 0\n");
    EXPECT_EQ(items[0].Value.i, 5);
    EXPECT_EQ(items[0].Type, 13) << "a number never becomes a text";
    EXPECT_STREQ(items[2].Value.pText, "");
    EXPECT_EQ(subItems[0].Value.i, 1);
    EXPECT_EQ(applied, 0) << "a file ending inside a block applies nothing";

    // A block of a submenu that is not available is passed over whole.
    items[1].State = 1;
    subItems[0].Value.i = 0;
    Load(&menu, "1{\n0[1] 9 0\n3{\n}\n}\n0[8] 13 0\n");
    EXPECT_EQ(subItems[0].Value.i, 0);
    EXPECT_EQ(items[0].Value.i, 8);
    FreeMenu(&menu);
}

}  // namespace
