#include "HelpTty/HelpTty.h"

#include <gtest/gtest.h>

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

}  // namespace
