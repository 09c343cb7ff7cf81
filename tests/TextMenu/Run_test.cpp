// The run loop and selection: answers resolved to items, values typed after
// a selection, pick-one stepping, leaving with the apply prompt, the picker
// loop, prompts, and the end of input wherever the engine reads.
#include "MenuTest.h"

namespace {

int applies = 0;
int CountApply(TextMenu*) {
    ++applies;
    return 0;
}

TEST_F(MenuTest, SelectionsByNumberHotKeyAndTypedValue) {
    TextMenuItem items[] = {Item("~e Exit Help", 6), Item("Foo", 7), Item("Off", 7), Item("Bar", 7), End()};
    items[2].State = 1;
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    InitMenu(&menu);
    auto select = [&](const char* answer) {
        snprintf(LineBuf, LINEBUF_SIZE, "%s", answer);
        return FindSelection(&menu, 0, 4);
    };
    EXPECT_EQ(select("1"), 2);
    EXPECT_EQ(select("2"), 0) << "a disabled item is not selectable";
    EXPECT_EQ(select("3  12 and more"), 4);
    EXPECT_STREQ(pOption, "12 and more");
    EXPECT_EQ(select("e"), 1);
    EXPECT_EQ(select("E"), 1);
    EXPECT_EQ(select("x"), 0);
    EXPECT_EQ(select("9"), 0);
    EXPECT_EQ(select("1"), 2);
    EXPECT_STREQ(pOption, "");
}

TEST_F(MenuTest, PickOneStepsOverUnavailableChoicesAndTakesATypedNumber) {
    char choices[] = "_a, b,_c";
    TextMenuItem items[] = {Item("Pick", 9), End()};
    items[0].pChoices = choices;
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    InitMenu(&menu);
    EXPECT_TRUE(ProcessSelection(&menu, 0, ""));
    EXPECT_EQ(items[0].Value.i, 2) << "choice 2 is unavailable";
    EXPECT_EQ(items[0].PrevValue, 0);
    EXPECT_TRUE(ProcessSelection(&menu, 0, "1"));
    EXPECT_EQ(items[0].Value.i, 0);
    EXPECT_TRUE(ProcessSelection(&menu, 0, "2")) << "an unavailable number steps on";
    EXPECT_EQ(items[0].Value.i, 2);
    EXPECT_TRUE(ProcessSelection(&menu, 0, "3")) << "the current number, others available: a change";
    EXPECT_EQ(items[0].PrevValue, 2);
    // A value outside the choices steps to (Value+1) modulo the count.
    for (auto [outside, next] : {std::pair{5, 0}, std::pair{4, 2}, std::pair{-1, 0}}) {
        items[0].Value.i = outside;
        EXPECT_TRUE(ProcessSelection(&menu, 0, "")) << outside;
        EXPECT_EQ(items[0].Value.i, next) << outside;
    }
    items[0].Value.i = 2;
    choices[0] = ' ';
    EXPECT_FALSE(ProcessSelection(&menu, 0, "")) << "nothing else available: no change";
    EXPECT_FALSE(ProcessSelection(&menu, 0, "3")) << "nothing else available: no change";
    EXPECT_EQ(items[0].Value.i, 2);

    HideStateSelection(&items[0], 2);
    EXPECT_STREQ(choices, " a, b, c");
    EXPECT_STREQ(ShowStateSelection(&items[0], 1), "_b, c");
    EXPECT_EQ(ShowStateSelection(&items[0], 7), items[0].pLabel);
    EXPECT_EQ(ShowStateSelection(&items[0], -1), items[0].pLabel);
}

TEST_F(MenuTest, LeavingAChangedMenuAppliesOnlyWhenEveryNameIsSet) {
    TextMenuItem items[] = {Item("Queue", 11), Item("Note", 12), End()};
    TextMenu menu{"Main", 0, "Apply the changes", CountApply, nullptr, nullptr, items, 0};
    // The note typed after its selection, a leave refused for the empty
    // name, the name set, the leave applied.
    ChildRun run = InChild("2 hello world\n\ny\n\n1 lp0\n\ny\n", [&] {
        applies = 0;
        int r = RunMenu(&menu, nullptr, true);
        return r * 10 + applies;
    });
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find(" 2) Note . [hello world]"), std::string::npos);
    EXPECT_NE(run.out.find("Apply the changes? [y/n] "), std::string::npos);
    EXPECT_NE(run.out.find("\nAll names must be set before applying setup.\nPress <Return> to continue"),
              std::string::npos);
    EXPECT_EQ(Count(run.out, "Apply the changes? [y/n] "), 2);
    EXPECT_EQ(Count(run.out, "\f\nMain:"), 4);

    // Unchanged: no apply question, the exit question instead.
    my_name = "tool";
    run = InChild("\nn\n\ny\n", [&] {
        applies = 0;
        return RunMenu(&menu, nullptr, true) * 10 + applies;
    });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Count(run.out, "\nDo you want to exit tool? [y/n] "), 2);
    EXPECT_EQ(run.out.substr(run.out.size() - 1), "\n");
}

TEST_F(MenuTest, ASubmenuAsksToReturnToItsParent) {
    TextMenuItem subItems[] = {Item("Count", 13), End()};
    subItems[0].pFormat = "d(1,9)";
    subItems[0].pPrompt = "How many";
    TextMenu sub{"Options", 0, nullptr, nullptr, nullptr, nullptr, subItems, 0};
    TextMenuItem items[] = {Item("Sub", 8), Item("~q Quit", 6), End()};
    items[0].Value.pMenu = &sub;
    TextMenu menu{"Main", 0, nullptr, nullptr, nullptr, nullptr, items, MENU_F_NOEXIT};
    sub.pParent = &menu;
    ChildRun run = InChild("1\n1\n12\n\n1\n7\n\ny\n\nq\n", [&] { return RunMenu(&menu, nullptr, true); });
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("How many: "), std::string::npos);
    EXPECT_NE(run.out.find("This number must be between 1 to 9."), std::string::npos);
    EXPECT_NE(run.out.find(" 1) Count  [7]"), std::string::npos);
    EXPECT_NE(run.out.find("\nDo you want to return to Main menu? [y/n] "), std::string::npos);
    EXPECT_EQ(Count(run.out, "\f\nMain:"), 3) << "an empty answer under flag 0x001 shows the menu again";
}

TEST_F(MenuTest, TheEndOfInputEndsTheProgramWhereverItIsRead) {
    TextMenuItem items[] = {Item("Text", 12), Item("Sizes", 10), End()};
    char many[] = "_a,_b";
    items[1].pChoices = many;
    TextMenu menu{"Main", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    for (const char* input : {"", "1\n", "\n"}) {
        ChildRun run = InChild(input, [&] { return RunMenu(&menu, nullptr, true); });
        EXPECT_EQ(run.status, 1) << "input '" << input << "'";
    }
    ChildRun run = InChild("", [&] { return PromptYN("Sure"); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Sure? [y/n] ");
    run = InChild("", [&] {
        InitMenu(&menu);
        setenv("LINES", "24", 1);
        ProcessStateValue(&menu, 1, nullptr);
        return 0;
    });
    EXPECT_EQ(run.status, 1) << "the picker ends at the end of input";
}

TEST_F(MenuTest, PromptsAndNameChecks) {
    ChildRun run = InChild("Y\nmaybe\nyes\n", [] { return PromptYN("\nDo you want to exit %s", "me"); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Count(run.out, "\nDo you want to exit me? [y/n] "), 3);
    run = InChild("n\n", [] { return PromptYN("Go"); });
    EXPECT_EQ(run.status, 0);

    run = InChild("\n", [] { return TestName("a b"); });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "\n' ' is not a valid name character. \nOnly alphanumeric character, '-', and '_' are valid: \n");
    EXPECT_EQ(InChild("", [] { return TestName("lp_0-x"); }).status, 1);
    EXPECT_EQ(InChild("", [] { return TestName(""); }).status, 1);

    TextMenuItem items[] = {Item("Shown", 12), Item("Hidden", 12), Item("Name", 11), End()};
    items[1].State = 2;
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    run = InChild("", [&] {
        InitMenu(&menu);
        return TestNames(&menu);
    });
    EXPECT_EQ(run.status, 1) << "the walk stops at the first hidden item";

    run = InChild("answer\n", [] {
        char* a = PromptUser("Say: ", nullptr);
        printf("[%s]", a);
        return 0;
    });
    EXPECT_EQ(run.out, "Say: [answer]");
    run = InChild("hello\n", [] { return PostMsg("%d items", 3) ? 0 : 1; });
    EXPECT_EQ(run.out, "3 items\nPress <Return> to continue ");
    EXPECT_EQ(InChild("", [] { return PostMsg("x") ? 0 : 1; }).status, 1);
}

TEST_F(MenuTest, ThePickerTogglesSavesAndCancels) {
    char many[] = "_a,_b, c,_d";
    TextMenuItem items[] = {Item("Sizes", 10), End()};
    items[0].pChoices = many;
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    auto pick = [&](const char* preset, const std::string& input) {
        return InChild(input, [&] {
            setenv("LINES", "24", 1);
            InitMenu(&menu);
            ProcessStateValue(&menu, 0, preset);
            return items[0].Value.i;
        });
    };
    EXPECT_EQ(pick(nullptr, "2,4 3 9\ns\n").status, 1 | 2 | 8) << "unavailable and unknown numbers are ignored";
    EXPECT_EQ(pick("1", "s\n").status, 0);
    EXPECT_EQ(pick(nullptr, "2\nc\n").status, 1) << "cancel restores";
    EXPECT_EQ(pick(nullptr, "\n\n!\ns\n").status, 1);
}

TEST_F(MenuTest, StoringSettingsOnRequest) {
    TempDir dir("/tmp/textmenu_store_");  // the settings-name pattern allows no "."
    TextMenuItem items[] = {Item("Count", 13), End()};
    items[0].Default.i = 4;
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, MENU_F_STOREEXIT};
    ChildRun run = InChild("s\n", [&] {
        if (chdir(dir.c_str()) != 0) return 99;
        RunMenu(&menu, nullptr, true);
        return 98;
    });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(dir / ".settings"), "0[4] 13 0\n");

    menu.Flags = MENU_F_STORE;
    const std::string path = dir / "saved";
    run = InChild("s\nrelative\n\ns\n" + path + "\n\ny\n", [&] { return RunMenu(&menu, nullptr, true); });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Count(run.out, "Enter the settings file name: "), 2);
    EXPECT_EQ(ReadFile(path), "0[4] 13 0\n");

    // Loading through RunMenu, and applying without showing the menu.
    WriteFile(path, "0[11] 13 0\n");
    run = InChild("", [&] {
        RunMenu(&menu, path.c_str(), false);
        return items[0].Value.i;
    });
    EXPECT_EQ(run.status, 11);
    EXPECT_EQ(run.out, "");
}

}  // namespace

namespace {

int Leave(TextMenu*, TextMenuItem*) {
    flExitTextMenu = true;
    return 1;
}
int rebuilt = 0;
int Rebuild(TextMenu*, TextMenuItem* item) {
    ++rebuilt;
    item[1].Default.i = 40 + rebuilt;
    return 0;
}

TEST_F(MenuTest, TheExitFlagLeavesEveryMenuAndFlagsShapeTheLoop) {
    TextMenuItem subItems[] = {Item("Out", 7), Item("Note", 12), End()};
    subItems[0].ActionFunc = Leave;
    TextMenu sub{"Sub", 0, nullptr, nullptr, nullptr, nullptr, subItems, MENU_F_KEEPBUF};
    TextMenuItem items[] = {Item("Sub", 8), End()};
    items[0].Value.pMenu = &sub;
    TextMenu menu{"Main", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    ChildRun run = InChild("1\n1\n", [&] {
        int r = RunMenu(&menu, nullptr, true);
        // Flag 0x004 kept the submenu's buffer; the flag returns at once now.
        return r * 10 + (subItems[1].Value.pText != nullptr) + 2 * (RunMenu(&menu, nullptr, true) == 0);
    });
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(Count(run.out, "\f\nMain:"), 1);

    // Flag 0x040: a command item's success prepares the menu again.
    TextMenuItem again[] = {Item("Rebuild", 7), Item("Count", 13), End()};
    again[0].ActionFunc = Rebuild;
    TextMenu reinit{"R", 0, nullptr, nullptr, nullptr, nullptr, again, MENU_F_REINIT | MENU_F_NOEXIT};
    run = InChild("1\n1\n", [&] {
        rebuilt = 0;
        return RunMenu(&reinit, nullptr, true);
    });
    EXPECT_EQ(run.status, 1) << "end of input";
    EXPECT_NE(run.out.find(" 2) Count .. [42]"), std::string::npos);
}

TEST_F(MenuTest, ThePickerPagesThroughItsColumns) {
    char choices[] = "_choice01,_choice02,_choice03,_choice04,_choice05,_choice06,_choice07,"
                     "_choice08,_choice09,_choice10";
    TextMenuItem item = Item("Many", 9);
    item.pChoices = choices;
    item.LabelLen = 4;
    item.ChoiceCnt = 10;
    ChildRun run = InChild("", [&] {
        setenv("COLUMNS", "30", 1);
        setenv("LINES", "10", 1);
        unsigned mask = 0;
        int a = PrintPickOneManyScreen(&item, &mask, 0);
        int b = PrintPickOneManyScreen(&item, &mask, 4);
        int c = PrintPickOneManyScreen(&item, &mask, 8);
        int d = PrintPickOneManyScreen(&item, &mask, 10);
        printf("|%d %d %d %d", a, b, c, d);
        return 0;
    });
    EXPECT_EQ(run.out.substr(run.out.size() - 9), "|4 4 2 -1");
    const std::string page = std::string(size_t(30 * 10 - 1), ' ');
    ASSERT_GE(run.out.size(), 3 * page.size());
    auto row = [&](int p, int r) { return run.out.substr(p * page.size() + size_t(30 * (r - 1)), 30); };
    EXPECT_EQ(row(0, 3), " ->  1) choice01" + Blanks(14));
    EXPECT_EQ(row(1, 3), "     5) choice05" + Blanks(14));
    EXPECT_EQ(row(2, 4), "    10) choice10" + Blanks(14));

    // In the picker loop: Return and an ignored answer show the next page, a
    // number changes the value and shows the same page again, and after the
    // last page comes the first.
    item.Type = 10;
    item.Value.i = 1;
    TextMenuItem items[] = {item, End()};
    TextMenu menu{"M", 0, nullptr, nullptr, nullptr, nullptr, items, 0};
    run = InChild("\n6\n!\n\n\n\ns\n", [&] {
        setenv("COLUMNS", "30", 1);
        setenv("LINES", "10", 1);
        ProcessStateValue(&menu, 0, nullptr);
        return items[0].Value.i;
    });
    EXPECT_EQ(run.status, 1 | 32);
    ASSERT_GE(run.out.size(), 7 * page.size());
    EXPECT_EQ(row(1, 4), "     6) choice06" + Blanks(14));
    EXPECT_EQ(row(2, 4), " ->  6) choice06" + Blanks(14));
    EXPECT_EQ(row(3, 4), "    10) choice10" + Blanks(14)) << "an ignored answer shows the next page";
    EXPECT_EQ(row(4, 3), " ->  1) choice01" + Blanks(14));
    EXPECT_EQ(row(5, 3), "     5) choice05" + Blanks(14));
    EXPECT_EQ(row(6, 3), "     9) choice09" + Blanks(14));
}

}  // namespace
