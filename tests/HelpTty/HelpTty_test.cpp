#include "HelpTty/HelpTty.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"

namespace {

class HelpTty : public testing::Test {
  protected:
    void SetUp() override { HtmlResetDocuments(); }
    void TearDown() override { HtmlResetDocuments(); }
    std::vector<std::string> Labels() {
        std::vector<std::string> out;
        for (TextMenuItem* i = HelpMenu.pItems; i->pLabel; ++i) out.push_back(i->pLabel);
        return out;
    }
};

TEST_F(HelpTty, MenuOfPageTextLinksAndTheFixedItems) {
    std::string longLabel(200, 'L');
    std::string doc = "<html><body>Start <a href=#p2>Page 2</a> <a href=index.html>Index</a>"
                      " <a name=mark>anchor</a> <a href=#x>" + longLabel + "</a></body></html>"
                      "<html page=\"p2\"><body>second</body></html>";
    ASSERT_TRUE(HtmlHelp("doc", doc.c_str()));
    TtyHelpBuildMenuItems();
    std::vector<std::string> labels = Labels();
    ASSERT_EQ(labels.size(), 9u);
    EXPECT_EQ(labels[0], pCurrentPage->pText);
    EXPECT_EQ(HelpMenu.pItems[0].Type, MENU_TEXT);
    EXPECT_EQ(labels[1], "Page 2");
    EXPECT_EQ(labels[2], "Index");
    EXPECT_EQ(labels[3], longLabel.substr(0, 127));  // anchors are not offered; labels are cut
    TextMenuItem* items = HelpMenu.pItems;
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(items[i].Type, MENU_COMMAND);
        EXPECT_EQ(items[i].Key, i);
        EXPECT_EQ(items[i].ActionFunc, TtyHelpGotoLink);
    }
    EXPECT_EQ(items[4].Type, MENU_GRID);
    EXPECT_EQ(items[4].Value.i, 1);
    EXPECT_EQ(items[5].Type, MENU_GRID);
    EXPECT_EQ(items[5].Value.i, 3);
    EXPECT_EQ(labels[6], "~e Exit Help");
    EXPECT_EQ(items[6].Type, MENU_EXIT);
    EXPECT_EQ(items[6].Key, 'e');
    EXPECT_EQ(labels[7], "~c Contents");
    EXPECT_EQ(items[7].Key, 'c');
    EXPECT_EQ(labels[8], "~b Back");
    EXPECT_EQ(items[8].ActionFunc, TtyHelpBack);
    EXPECT_STREQ(pCurrentPage->pName, "contents");
    char title[NLS_MSG_SIZE];
    Nlssprintf(title, NlsCoreDB(), NLS_SET_HELP, 22, "Orvik");
    EXPECT_STREQ(HelpMenu.pTitle, title);
    EXPECT_EQ(HelpMenu.Flags, 0x1c1);

    // The actions: Back and Contents have nothing to do yet; a link moves on
    // and rebuilds the menu for its page.
    EXPECT_EQ(TtyHelpBack(&HelpMenu, nullptr), 0);
    EXPECT_EQ(TtyHelpContents(&HelpMenu, nullptr), 0);
    EXPECT_EQ(TtyHelpGotoLink(&HelpMenu, &items[1]), 1);
    EXPECT_EQ(Labels().size(), 6u);
    EXPECT_EQ(Labels()[0], "second\n");
    EXPECT_EQ(TtyHelpBack(&HelpMenu, nullptr), 1);
    EXPECT_EQ(Labels().size(), 9u);
}

TEST_F(HelpTty, DocumentsThatCannotBeLoaded) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(HtmlHelp("/nonexistent/help.html", nullptr));
    EXPECT_FALSE(HtmlHelp("buffer", "no page here"));
    EXPECT_FALSE(HtmlHelp(nullptr, nullptr));
    TtyHtmlHelp("/nonexistent/other.html", nullptr, "t");
    TtyHtmlHelp("x", nullptr, nullptr);  // no title: nothing at all
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error in reading HTML file /nonexistent/help.html\n"
              "Error reading HTML buffer\n"
              "Error in reading HTML file /nonexistent/other.html\n");
    EXPECT_TRUE(flBuildingFile);
}

TEST_F(HelpTty, DocumentsAreFoundBelowTheToolkitHelp) {
    MemHold<char> found(HelpFindDocument("qdb.html#commands", "/opt/kit"));
    EXPECT_STREQ(found.get(), "/opt/kit/help/qdb.html#commands");
    MemHold<char> absolute(HelpFindDocument("/x/y.html", "/opt/kit"));
    EXPECT_STREQ(absolute.get(), "/x/y.html");
    MemHold<char> here(HelpFindDocument(ORVIK_SOURCE_DIR "/data/help/index.html#tools", "/opt/kit"));
    EXPECT_STREQ(here.get(), ORVIK_SOURCE_DIR "/data/help/index.html#tools");
}

// A long page: a title, 200 lines, links on lines 50, 51 and 150.
std::string LongPage() {
    std::string doc = "<html><head><title>Long</title></head><body>";
    for (int i = 1; i <= 200; ++i) {
        doc += "line " + std::to_string(i);
        if (i == 50 || i == 51 || i == 150) doc += " <a href=#two>to two</a>";
        doc += "<br>";
    }
    return doc + "</body></html><html page=\"two\"><body>two <a href=#one>x</a></body></html>";
}

int Lines(const std::string& text) { return int(std::count(text.begin(), text.end(), '\n')); }

// Every terminal size cuts the page into screens that follow one another to
// its end, each fitting the terminal with the menu title, the page's title
// and the menu lines of the links in sight; "-" finds the screen before.
TEST_F(HelpTty, LongPagesAreCutIntoScreensThatFitTheTerminal) {
    std::string doc = LongPage();
    ASSERT_TRUE(HtmlHelp("long", doc.c_str()));
    TtyHelpBuildMenuItems();
    const std::string text = pCurrentPage->pText;
    ASSERT_EQ(text.substr(0, size_t(pCurrentPage->BodyStart)), std::string(38, ' ') + "Long\n\n");
    std::vector<int> linkStarts;
    for (TextMenuItem* i = HelpMenu.pItems + 1; i->ActionFunc == TtyHelpGotoLink; ++i)
        linkStarts.push_back(static_cast<HtmlLink*>(i->pUserData)->Start);
    ASSERT_EQ(linkStarts.size(), 3u);
    const struct {
        int cols, rows, chrome, firstLines, count;  // chrome: rows of the titles and the menu
    } sizes[] = {{80, 24, 12, 12, 17}, {80, 40, 12, 28, 8}, {40, 24, 15, 9, 23}, {132, 60, 12, 48, 5},
                 {80, 12, 12, 1, 200}};
    for (const auto& t : sizes) {
        SCOPED_TRACE(std::to_string(t.cols) + "x" + std::to_string(t.rows));
        int at = 0, previousEnd = pCurrentPage->BodyStart, number = 0;
        HelpScreen s{};
        do {
            s = HelpFindScreen(&HelpMenu, pCurrentPage, t.cols, t.rows, at);
            EXPECT_EQ(s.Number, ++number);
            EXPECT_EQ(s.TitleEnd, pCurrentPage->BodyStart);
            EXPECT_EQ(s.First, previousEnd);
            ASSERT_GT(s.End, s.First);
            int lines = Lines(text.substr(size_t(s.First), size_t(s.End - s.First)));
            int links = int(std::count_if(linkStarts.begin(), linkStarts.end(),
                                          [&](int start) { return start >= s.First && start < s.End; }));
            if (number == 1) {
                EXPECT_EQ(lines, t.firstLines);
            }
            if (lines > 1) {
                EXPECT_EQ(t.chrome + lines + links + s.Spare, t.rows);  // the menu stays at the bottom
            }
            if (number > 1) {
                EXPECT_EQ(HelpFindScreen(&HelpMenu, pCurrentPage, t.cols, t.rows, s.First - 1).Number, number - 1);
            }
            previousEnd = s.End;
            at = s.End;
        } while (s.Number < s.Count && number < 1000);
        EXPECT_EQ(s.Count, t.count);
        EXPECT_EQ(s.End, int(text.size()));
        // The screen of an offset holds it.
        const int line150 = int(text.find("line 150 "));
        s = HelpFindScreen(&HelpMenu, pCurrentPage, t.cols, t.rows, line150);
        EXPECT_TRUE(s.First <= line150 && line150 < s.End);
    }
    // Links out of page order (as tables may give them) cut the same screens.
    std::vector<int> ends;
    for (int at = 0; at < int(text.size());) ends.push_back(at = HelpFindScreen(&HelpMenu, pCurrentPage, 80, 24, at).End);
    std::swap(HelpMenu.pItems[1], HelpMenu.pItems[3]);
    for (size_t i = 0, at = 0; i < ends.size(); at = size_t(ends[i++]))
        EXPECT_EQ(HelpFindScreen(&HelpMenu, pCurrentPage, 80, 24, int(at)).End, ends[i]);
    std::swap(HelpMenu.pItems[1], HelpMenu.pItems[3]);

    // A page that fits is one screen, the whole of it.
    ASSERT_EQ(TtyHelpGotoLink(&HelpMenu, &HelpMenu.pItems[1]), 1);
    HelpScreen s = HelpFindScreen(&HelpMenu, pCurrentPage, 80, 24, 0);
    EXPECT_EQ(s.Count, 1);
    EXPECT_EQ(s.End, StrLen(pCurrentPage->pText));
}

TEST_F(HelpTty, AnswersThatNameNothingAreToldInOneLine) {
    std::string doc = LongPage() + "<html page=\"bare\"><body>nothing to follow</body></html>";
    ASSERT_TRUE(HtmlHelp("long", doc.c_str()));
    const struct {
        const char* page;
        const char* answer;
        bool paged;
        const char* message;
    } cases[] = {
        {"contents", "9", false, "There is no link 9: type 1 to 3, e, c or b."},
        {"contents", "0", true, "There is no link 0: type 1 to 3, e, c, b, Return or -."},
        {"contents", "xyz", false, "\"xyz\" is no answer: type 1 to 3, e, c or b."},
        {"two", "2 ", false, "There is no link 2: type 1, e, c or b."},
        {"two", "\033[2J-", true, "\"?[2J-\" is no answer: type 1, e, c, b, Return or -."},
        {"bare", "1", false, "There is no link 1: this page has none."},
        {"bare", "a very long answer that goes on and on", false,
         "\"a very long answer that ...\" is no answer: type e, c or b."},
    };
    for (const auto& c : cases) {
        GoToTarget(c.page);
        TtyHelpBuildMenuItems();
        char message[256];
        HelpAnswerMessage(message, sizeof message, c.answer, &HelpMenu, c.paged);
        EXPECT_STREQ(message, c.message) << c.page << " " << c.answer;
    }
}

}  // namespace
