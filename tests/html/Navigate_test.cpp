#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "html/html.h"

namespace {

class Navigate : public testing::Test {
  protected:
    void SetUp() override {
        HtmlResetDocuments();
        WriteFile(dir.path() + "/first.html",
                  "<html><body>start <a href=#two>Page 2</a> <a href=second.html#deep>Other</a>"
                  " <a href=first.html#mark>Mark</a> <a href=missing.html>Gone</a></body></html>"
                  "<html page=\"two\"><body>second page <a name=mark>here</a></body></html>");
        WriteFile(dir.path() + "/second.html",
                  "<html><body>top</body></html><html page=\"deep\"><body>deep <a href=first.html>Back</a>"
                  "</body></html>");
        first = ParseHtmlFile((dir.path() + "/first.html").c_str(), nullptr);
        ASSERT_NE(first, nullptr);
    }
    void TearDown() override { HtmlResetDocuments(); }
    HtmlLink* Link(int i) { return *static_cast<HtmlLink**>(ListFindItemN(&pCurrentPage->Links, i)); }
    std::string PageName() { return pCurrentPage->pName ? pCurrentPage->pName : "(first)"; }
    TempDir dir;
    HtmlFile* first = nullptr;
};

TEST_F(Navigate, LinksWithinADocumentAreRecordedAndBackReturns) {
    EXPECT_EQ(HtmlSetHistory(-1), 0);  // nothing to go back to
    EXPECT_EQ(HtmlSetHistory(0), 0);
    HtmlPage* start = pCurrentPage;
    ProcessLink(Link(1));
    EXPECT_EQ(PageName(), "two");
    EXPECT_EQ(HistoryI, 1);
    EXPECT_EQ(HtmlSetHistory(-1), 1);
    EXPECT_EQ(pCurrentPage, start);
    // A link naming this document itself goes to the anchor.
    ProcessLink(Link(3));
    EXPECT_EQ(PageName(), "two");
    EXPECT_EQ(std::string(pCurrentPage->pText).substr(size_t(TargetPos), 4), "here");
    EXPECT_EQ(HistoryI, 1);
}

TEST_F(Navigate, OtherDocumentsAndContents) {
    ProcessLink(Link(1));  // page two, one place recorded
    HtmlSetHistory(-1);
    // second.html at its page "deep": the change of document records no
    // place; going to the fragment inside it records its first page.
    ProcessLink(Link(2));
    EXPECT_EQ(FileIndex, 2);
    EXPECT_EQ(CurrentFile, 1);
    EXPECT_EQ(PageName(), "deep");
    ASSERT_EQ(HistoryI, 1);
    EXPECT_EQ(History[0].File, 1);
    ProcessLink(Link(1));  // back to first.html, found loaded, nothing recorded
    EXPECT_EQ(CurrentFile, 0);
    EXPECT_EQ(FileIndex, 2);
    EXPECT_EQ(HistoryI, 1);
    ProcessLink(Link(2));  // loaded already: the fragment is still visited
    EXPECT_EQ(PageName(), "deep");

    testing::internal::CaptureStdout();
    HtmlPage* here = pCurrentPage;
    CurrentFile = 0;
    pCurrentPage = static_cast<HtmlPage*>(ListFindItemN(&first->Pages, 1));
    ProcessLink(Link(4));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error in reading file missing.html\n");
    EXPECT_NE(pCurrentPage, here);
    EXPECT_FALSE(flBuildingFile);

    ProcessLink(Link(1));
    ASSERT_EQ(HistoryI, 3);
    CurrentFile = 1;
    EXPECT_EQ(HtmlSetHistory(0), 1);
    EXPECT_EQ(HistoryI, 0);
    EXPECT_EQ(CurrentFile, 0);
    EXPECT_EQ(pCurrentPage, ListFindItemN(&first->Pages, 1));

    // Another document reached without a recorded place: Back has nothing,
    // Contents still leads home.
    ProcessLink(Link(2));
    HistoryI = 0;
    EXPECT_EQ(HtmlSetHistory(-1), 0);
    EXPECT_EQ(HtmlSetHistory(0), 1);
    EXPECT_EQ(CurrentFile, 0);
    EXPECT_EQ(HtmlSetHistory(0), 0);  // already there
}

TEST_F(Navigate, HistoryKeepsAHundredPlaces) {
    for (int i = 0; i < 150; ++i) GoToTarget(i % 2 ? "#two" : "mark");
    EXPECT_EQ(HistoryI, HTML_HISTORY_SIZE);
    GoToTarget("nowhere");
    EXPECT_EQ(HistoryI, HTML_HISTORY_SIZE);
}

TEST_F(Navigate, PositionsInsideALinkFollowIt) {
    std::string text = pCurrentPage->pText;
    int inside = int(text.find("Page 2"));
    HtmlProcessLink(0);  // plain text
    EXPECT_EQ(PageName(), "(first)");
    flBuildingFile = true;
    HtmlProcessLink(inside);  // refused while building
    EXPECT_EQ(PageName(), "(first)");
    flBuildingFile = false;
    HtmlProcessLink(inside);
    EXPECT_EQ(PageName(), "two");
    EXPECT_EQ(HistoryI, 1);
    EXPECT_EQ(History[0].TargetPos, inside);
}

// How a link ends: its place found, its #NAME naming nothing (in this
// document nothing moves; another document opens at its first page) or its
// document unreadable (the page stays).
TEST_F(Navigate, FollowingALinkTellsHowItEnded) {
    WriteFile(dir.path() + "/third.html",
              "<html><body><a href=#two>a</a> <a href=#nosuch>b</a> <a href=third.html#nosuch>c</a>"
              " <a href=second.html#nosuch>d</a> <a href=second.html#deep>e</a> <a href=gone.html#two>f</a>"
              "</body></html><html page=\"two\"><body>two</body></html>");
    ASSERT_NE(ParseHtmlFile((dir.path() + "/third.html").c_str(), nullptr), nullptr);
    const int third = CurrentFile;
    const struct {
        int link, outcome;
        const char* page;  // where it leads
        int history;       // places recorded by it
    } cases[] = {
        {1, HTML_LINK_FOLLOWED, "two", 1},      {2, HTML_LINK_NO_TARGET, "(first)", 0},
        {3, HTML_LINK_NO_TARGET, "(first)", 0}, {4, HTML_LINK_NO_TARGET, "(first)", 0},
        {5, HTML_LINK_FOLLOWED, "deep", 1},     {6, HTML_LINK_NO_DOCUMENT, "(first)", 0},
    };
    for (const auto& c : cases) {
        CurrentFile = third;
        pCurrentPage = static_cast<HtmlPage*>(ListFindItemN(&aFile[third].Pages, 1));
        HistoryI = 0;
        testing::internal::CaptureStdout();
        EXPECT_EQ(ProcessLink(Link(c.link)), c.outcome) << "link " << c.link;
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, c.outcome == HTML_LINK_NO_DOCUMENT ? "Error in reading file gone.html#two\n" : "");
        EXPECT_EQ(PageName(), c.page) << "link " << c.link;
        EXPECT_EQ(HistoryI, c.history) << "link " << c.link;
    }
    EXPECT_EQ(ProcessLink(nullptr), HTML_LINK_NO_TARGET);
}

}  // namespace
