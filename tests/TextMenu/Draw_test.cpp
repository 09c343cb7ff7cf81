// Drawing: the menu list byte for byte, grid groups, the screen image and
// the full-screen picker.
#include "MenuTest.h"

namespace {

const std::string kPrompt = "\nEnter your choice or <Return> to exit: ";

std::string Print(TextMenu* menu) {
    ChildRun run = InChild("", [&] {
        int width = InitMenu(menu);
        const char* title = menu->pTitle;
        return PrintMenu(menu, width, int(strcspn(title, "\n\r")));
    });
    return run.out;
}

TEST_F(MenuTest, EveryItemKindStateAndValueForm) {
    char one[] = "_Small,_Large";
    char many[] = "_A,_B,_C";
    TextMenuItem items[] = {Item("Intro", 0),  Item("~e Exit", 6), Item("Foo", 7),  Item("Size", 9),
                            Item("Sizes", 10), Item("Count", 13),  Item("Rate", 14), Item("Name", 12),
                            Item("Off", 7),    Item("Gone", 7),    Item("Text", 2),  End()};
    items[3].pChoices = one;
    items[4].pChoices = many;
    items[4].Value.i = 5;
    items[5].Default.i = 5;
    items[6].Default.f = 2.5f;
    items[7].Default.pDefault = "abc";
    items[8].State = 1;
    items[9].State = 2;
    TextMenu menu{"Queue", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    EXPECT_EQ(Print(&menu),
              "\f\nQueue:\n\n"
              "Intro \n\n"
              " e) Exit \n\n"
              " 1) Foo \n\n"
              " 2) Size ... [1. Small]\n\n"
              " 3) Sizes .. [1,3]\n\n"
              " 4) Count .. [5]\n\n"
              " 5) Rate ... [2.500]\n\n"
              " 6) Name ... [abc]\n\n"
              "    Off \n\n"
              " 0) Text \n\n" +
                  kPrompt);

    // The first choice alone, an unavailable current choice, single
    // spacing, the help part without the exit part, a centred title.
    items[4].Value.i = 1;
    one[0] = ' ';
    one[7] = ' ';
    menu.Flags = MENU_F_SINGLE | MENU_F_NOEXIT | MENU_F_HELP;
    menu.TitleStyle = 1;
    TextMenuItem few[] = {items[3], items[4], End()};
    menu.pItems = few;
    EXPECT_EQ(Print(&menu), "\f\n" + Blanks(37) + "Queue\n\n" + " 1) Size . [ ]\n 2) Sizes  [1]\n" +
                                "\nEnter your choice or h for help: ");
    menu.TitleStyle = 2;
    menu.Flags = MENU_F_STORE;
    TextMenuItem none[] = {End()};
    menu.pItems = none;
    EXPECT_EQ(Print(&menu), "\f\n" + Blanks(75) + "Queue\n\n" +
                                "\nEnter your choice or s for store settings in a file or <Return> to exit: ");
}

TEST_F(MenuTest, HotKeysAndSubmenuTitles) {
    TextMenuItem none[] = {End()};
    TextMenu first{"Network options", 0, nullptr, nullptr, nullptr, nullptr, none, 0};
    TextMenuItem items[] = {Item("~e Exit", 6), Item("Foo", 7), Item("Mode", 9), Item("Sub", 8), End()};
    char choices[] = "_a,_b";
    items[2].pChoices = choices;
    items[2].Default.i = 1;
    items[3].Value.pMenu = &first;
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    EXPECT_EQ(Print(&menu), "\f\nM:\n\n e) Exit \n\n 1) Foo \n\n 2) Mode ... [2. b]\n\n"
                            " 3) Network options \n\n" + kPrompt);
    TextMenu* subs[] = {&first};
    items[3].pFormat = "2.0";
    items[3].Value.ppMenus = subs;
    EXPECT_EQ(Print(&menu), "\f\nM:\n\n e) Exit \n\n 1) Foo \n\n 2) Mode ... [2. b]\n\n" + kPrompt)
        << "a submenu whose condition fails takes no line";
}

TEST_F(MenuTest, GridAndLineBreakGroups) {
    TextMenuItem items[] = {Item("Page", 0), Item("", 3), Item("~a Apply", 4), Item("~q Quit", 6),
                            Item("Test", 7), End()};
    items[1].Value.i = 3;
    TextMenu menu{"G", 0, nullptr, nullptr, nullptr, nullptr, items, MENU_F_SINGLE};
    EXPECT_EQ(Print(&menu), "\f\nG:\n\nPage \n\n a) Apply" + Blanks(16) + " q) Quit" + Blanks(17) +
                                " 1) Test" + Blanks(17) + "\n" + kPrompt);

    TextMenuItem lines[] = {Item("", 1), Item("left", 0), Item("right", 0), Item("Go", 7), End()};
    lines[0].Value.i = 2;
    menu.pItems = lines;
    menu.Flags = 0;
    // Every item of a line-break group starts a line of its own and shows
    // no label; the item after the group ends the last of them.
    EXPECT_EQ(Print(&menu), "\f\nG:\n\n" + std::string("\n\n\n") + "\n\n" + " 1) Go \n\n" + kPrompt);
}

TEST(ScreenTest, WritingFillingPrintingAndBoxes) {
    TextScreen* screen = MakeScreen(2, 2);
    ASSERT_NE(screen, nullptr);
    screen->CurRow = 0;
    screen->CurCol = -5;
    WriteString(screen, "%s", "abcdefgh");
    EXPECT_EQ(std::string(screen->pImage, 4), "abcd") << "first row, first column, cut at the end";
    EXPECT_EQ(screen->CurRow, 1);
    EXPECT_EQ(screen->CurCol, 0);
    ChildRun run = InChild("", [&] { return Refresh(screen); });
    EXPECT_EQ(run.out, "abc");
    EXPECT_EQ(FillArea(screen, 1, 0, 5, 5, 'x'), 'x');
    EXPECT_EQ(std::string(screen->pImage, 4), "axcx");
    screen->pImage[0] = '\n';
    run = InChild("", [&] { return Refresh(screen); });
    EXPECT_EQ(run.out, "xc") << "a newline ends its row; the cells after it belong to the next";
    FreeScreen(screen);

    screen = MakeScreen(80, 24);
    SetOvlInfo(screen, 1, 1, 4, 2);
    run = InChild("", [&] {
        Overlay(screen, "", false);
        return 0;
    });
    EXPECT_EQ(run.out, "********\n*      *********");
    run = InChild("\n", [&] {
        Overlay(screen, "ab\ncdefgh", true);
        return 0;
    });
    EXPECT_EQ(run.out, "********\n* ab   ** cdef ** gh   ** Press enter*********");
    NumberScreen(screen);
    EXPECT_EQ(std::string(screen->pImage, 12), "012345678901");
    EXPECT_EQ(screen->pImage[80], '0');
    FreeScreen(screen);
}

TEST_F(MenuTest, TheTerminalSizeComesFromTheEnvironmentWithoutATerminal) {
    ChildRun run = InChild("", [] {
        setenv("COLUMNS", "100", 1);
        setenv("LINES", "30", 1);
        TextScreen* screen = GetTermInfo(nullptr);
        printf("%dx%d", screen->Cols, screen->Rows);
        unsetenv("COLUMNS");
        unsetenv("LINES");
        screen = GetTermInfo(screen);
        printf(" %dx%d", screen->Cols, screen->Rows);
        return 0;
    });
    EXPECT_EQ(run.out, "100x30 80x24");
}

TEST_F(MenuTest, ThePickerPageAndATerminalTooSmall) {
    char choices[] = "_A4,_Letter, Legal,_A3";
    TextMenuItem item = Item("Paper sizes", 10);
    item.pChoices = choices;
    item.LabelLen = 11;
    item.Value.i = 9;  // A4 and A3
    item.ChoiceCnt = 4;
    ChildRun run = InChild("", [&] {
        setenv("COLUMNS", "80", 1);
        setenv("LINES", "24", 1);
        unsigned mask = 0;
        int shown = PrintPickOneManyScreen(&item, &mask, 0);
        printf("|%d %u", shown, mask);
        return 0;
    });
    const std::string& out = run.out;
    ASSERT_GE(out.size(), size_t(80 * 24 - 1));
    auto row = [&](int r) { return out.substr(size_t(80 * (r - 1)), 80); };
    EXPECT_EQ(row(1), Blanks(34) + "Paper sizes" + Blanks(35));
    EXPECT_EQ(row(3), " ->  1) A4" + Blanks(70));
    EXPECT_EQ(row(4), "     2) Letter" + Blanks(66));
    EXPECT_EQ(row(5), Blanks(8) + "Legal" + Blanks(67)) << "an unavailable choice has no number";
    EXPECT_EQ(row(6), " ->  4) A3" + Blanks(70));
    EXPECT_EQ(row(22), "s = Save" + Blanks(32) + "c = Cancel" + Blanks(30));
    EXPECT_EQ(row(23), "Current selection: A4 A3 " + Blanks(55));
    const std::string option = "Enter choice numbers, or <Return> for more choices";
    EXPECT_EQ(out.substr(80 * 23), option + Blanks(79 - int(option.size())) + "|4 4");

    run = InChild("\n", [&] {
        setenv("LINES", "6", 1);
        unsigned mask = 0;
        return PrintPickOneManyScreen(&item, &mask, 0) == -1 ? 0 : 1;
    });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "\nThe terminal is too small for this menu.\nIt has 80 columns and 6 rows;\n"
                       "at least 23 columns and 7 rows are needed. Press <Return> ");
}

}  // namespace
