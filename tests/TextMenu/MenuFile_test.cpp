// Menu files: statements, their errors at their lines, the commands the
// menus run, and the NAME=VALUE report.
#include "MenuTest.h"

namespace {

class MenuFileTest : public MenuTest {
  protected:
    TempDir dir{"/tmp/textmenu_file."};
    std::string error;

    TextMenu* Load(const std::string& text) {
        WriteFile(dir / "m", text);
        char buf[MENU_FILE_ERROR_SIZE];
        TextMenu* menu = LoadMenuFile((dir / "m").c_str(), buf, sizeof buf);
        error = buf;
        return menu;
    }
    std::string Values() {
        FILE* out = fopen((dir / "values").c_str(), "w");
        EXPECT_TRUE(WriteMenuValues(out));
        fclose(out);
        return ReadFile(dir / "values");
    }
    // The menu run in a child with the answers given; the values it
    // reported after leaving in `after`.
    ChildRun RunThenReport(TextMenu* menu, const std::string& answers) {
        ChildRun run = InChild(answers, [&] {
            int r = RunMenu(menu, nullptr, true);
            FILE* out = fopen((dir / "after").c_str(), "w");
            WriteMenuValues(out);
            fclose(out);
            return r;
        });
        after = ReadFile(dir / "after");
        return run;
    }
    std::string after;
    void TearDown() override { FreeMenuFile(); }
};

TEST_F(MenuFileTest, StatementsSetTheFieldsOfMenusAndItems) {
    TextMenu* menu = Load(
        "# a comment\n"
        "menu top\n"
        "  title Top\\tmenu\n"
        "  style 2\n"
        "  flags 0x108\n"
        "  apply-prompt Apply 100%\n"
        "item 9 Pick\n"
        "  choices _a,_b\n"
        "  default 1\n"
        "  name PICK\n"
        "item 12 ~n Note\n"
        "  default it's \\\\ two\\nlines\n"
        "  name NOTE\n"
        "item 14 Rate\n"
        "  default 2.5\n"
        "  name RATE\n"
        "item 10 Many\n"
        "  choices _x,_y,_z\n"
        "  value 6\n"
        "  name MANY\n"
        "item 8 Sub\n"
        "  submenu sub\n"
        "item 0\n"
        "menu sub\n"
        "item 13 Count\n"
        "  default -3\n"
        "  name COUNT\n");
    ASSERT_NE(menu, nullptr) << error;
    EXPECT_STREQ(menu->pTitle, "Top\tmenu");
    EXPECT_EQ(menu->TitleStyle, 2);
    EXPECT_EQ(menu->Flags, 0x108);
    EXPECT_STREQ(menu->pApplyPrompt, "Apply 100%%");
    EXPECT_STREQ(menu->pItems[1].pLabel, "~n Note");
    EXPECT_STREQ(menu->pItems[5].pLabel, "");
    TextMenu* sub = menu->pItems[4].Value.pMenu;
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->pParent, menu) << "a submenu without a parent returns to the menu that opens it";
    EXPECT_EQ(Values(),
              "PICK=1\nNOTE='it'\\''s \\ two\nlines'\nRATE=2.500\nMANY=6\nCOUNT=-3\n");
}

TEST_F(MenuFileTest, ErrorsAreReportedAtTheirLines) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"menu a\nfoo bar\n", "2: unknown keyword 'foo'"},
        {"menu a\nitem 15 X\n", "2: item type must be 0 to 14, not '15'"},
        {"menu a\nitem x\n", "2: item type must be 0 to 14, not 'x'"},
        {"item 0 X\n", "1: item before the first menu"},
        {"menu a\ntitle\n", "2: 'title' needs a value"},
        {"menu a\nitem 0 X\ntitle T\n", "3: 'title' belongs to a menu, before its first item"},
        {"menu a\nstate 1\n", "2: 'state' belongs to an item"},
        {"menu a\nparent b\n", "2: no menu 'b'"},
        {"menu a\nitem 8 S\n\n  submenu b\n", "4: no menu 'b'"},
        {"menu a\nitem 8 S\n", "2: an item of type 8 needs a submenu"},
        {"menu a\nitem 9 P\n", "2: an item of type 9 needs choices"},
        {"menu a\nitem 9 P\nchoices _a\nformat H0{1,5}\n",
         "4: the state format names item 1, outside the menu (0 to 0)"},
        {"menu a\nitem 9 P\nchoices _a\nformat S0{0}\n", "4: cannot read the state format 'S0{0}'"},
        {"menu a\nitem 8 S\nsubmenu b c\nformat 0.0\nmenu b\nmenu c\n", "4: 1 conditions for 2 submenus"},
        {"menu a\nitem 8 S\nsubmenu b c\nmenu b\nmenu c\n",
         "3: several submenus need one condition each in 'format'"},
        {"menu a\nitem 8 S\nsubmenu b\nformat +3.1\nmenu b\n",
         "4: the condition '+3.1' names item 3, outside the menu (0 to 0)"},
        {"menu a\nitem 12 T\nprompt\n", "3: 'prompt' needs a value"},
        {"menu a\nitem 7 T\nprompt P\n", "3: 'prompt' does not apply to an item of type 7"},
        {"menu a\nitem 13 N\nname 1x\n",
         "3: name must be letters, digits and '_', not starting with a digit: '1x'"},
        {"menu a\nitem 13 N\nname X\nitem 13 M\nname X\n", "5: name 'X' is given twice"},
        {"menu a\nitem 13 N\ndefault 1.5\n", "3: default must be a number, not '1.5'"},
        {"menu a\nitem 7 C\npick 0\n", "3: pick 0 names no pick item of the menu"},
        {"menu a\nmenu a\n", "2: menu 'a' is defined twice"},
        {"menu a b\n", "1: menu needs one id"},
        {"# nothing\n", "1: the file holds no menu"},
        {"menu a\nstyle 3\n", "2: style must be 0, 1 or 2, not '3'"},
        {"menu a\nflags 0x10000\n", "2: flags must be a number from 0 to 0xffff, not '0x10000'"},
        {"menu a\nitem 9 P\nchoices _a,_b\ndefault 2\n", "4: default 2 is beyond the 2 choices"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Load(c.text), nullptr) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    EXPECT_EQ(Load(std::string("menu a\ntitle ") + std::string(5000, 'x') + "\n"), nullptr);
    EXPECT_EQ(error, "2: line longer than 4094 characters");
    char buf[MENU_FILE_ERROR_SIZE];
    EXPECT_EQ(LoadMenuFile((dir / "missing").c_str(), buf, sizeof buf), nullptr);
    EXPECT_STREQ(buf, "0: No such file or directory");
}

TEST_F(MenuFileTest, CommandsSeeTheValuesAndGiveTheResult) {
    const std::string seen = dir / "seen";
    TextMenu* menu = Load("menu a\napply echo \"$COUNT/$TEXT\" > " + seen + "; exit 3\n" +
                          "item 13 C\nname COUNT\ndefault 7\nitem 12 T\nname TEXT\ndefault two words\n" +
                          "item 7 ~x Fail\naction exit 4\n");
    ASSERT_NE(menu, nullptr) << error;
    ChildRun run = InChild("", [&] { return RunMenu(menu, nullptr, false); });
    EXPECT_EQ(run.status, 3) << "a non-interactive run gives the apply command's status";
    EXPECT_EQ(ReadFile(seen), "7/two words\n");
    EXPECT_EQ(RunMenuCommand("kill -TERM $$"), 128 + SIGTERM);

    // A command item whose command fails keeps the menu; values outlive
    // the menu's end.
    run = RunThenReport(menu, "x\n1 9\n2 new text\n\ny\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(after, "COUNT=9\nTEXT='new text'\n");
}

TEST_F(MenuFileTest, ValuesAreKeptAcrossVisitsOfASubmenu) {
    TextMenu* menu = Load("menu a\nitem 8 S\nsubmenu b\nmenu b\nitem 12 T\nname T\ndefault d\n"
                          "item 13 N\nname N\ndefault 1\n");
    ASSERT_NE(menu, nullptr) << error;
    ChildRun run = RunThenReport(menu, "1\n1 changed\n2 5\n\ny\n1\n\ny\n\ny\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Count(run.out, " 1) T  [changed]"), 3) << "twice on the first visit, once on the second";
    EXPECT_EQ(after, "T=changed\nN=5\n");
}

}  // namespace
