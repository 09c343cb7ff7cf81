#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "html/html.h"

namespace {

class Html : public testing::Test {
  protected:
    void SetUp() override { HtmlResetDocuments(); }
    void TearDown() override { HtmlResetDocuments(); }
};

std::vector<std::string> Items(ListHeader* list) {
    std::vector<std::string> out;
    for (int i = 0; auto* item = static_cast<HtmlItem*>(ListWalk(list, i)); ++i)
        out.push_back(item->pTag ? "<" + std::string(item->pTag) + ">" : static_cast<char*>(item->pData));
    return out;
}

HtmlPage* Page(HtmlFile* f, int n) { return static_cast<HtmlPage*>(ListFindItemN(&f->Pages, n)); }

TEST_F(Html, OnePageWithHeadBodyAndEntities) {
    HtmlFile* f = ParseHtmlFile(
        "doc", "<html><head><title>Help</title></head><body><p>Hello&nbsp;world</body></html>");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->Pages.nCount, 1);
    HtmlPage* p = Page(f, 1);
    EXPECT_EQ(p->pName, nullptr);
    EXPECT_EQ(Items(&p->Head), (std::vector<std::string>{"<title>", "Help", "</title>"}));
    EXPECT_EQ(Items(&p->Body), (std::vector<std::string>{"<p>", "Hello\xa0world"}) );
    EXPECT_EQ(pCurrentPage, p);
    EXPECT_EQ(CurrentFile, 0);
    EXPECT_EQ(FileIndex, 1);
}

TEST_F(Html, CharacterReferencesAndWhiteSpace) {
    HtmlFile* f = ParseHtmlFile(
        "doc", "<html><body>&#65;&QUOT;&amp;<br>x   y<br>x\ny<br>  lead<br>&#66 rest<br>&yuml;&Yuml;</body>");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Items(&Page(f, 1)->Body),
              (std::vector<std::string>{"A\"&", "<br>", "x y", "<br>", "x y", "<br>", " lead", "<br>",
                                        "B rest", "<br>", "\xff?"}));
}

TEST_F(Html, PagesSkippedSectionsAndTheLastRunKept) {
    HtmlFile* f = ParseHtmlFile("doc",
                                "<html page=\"a\"><body>one</body></html>"
                                "<html SkipPage><body>hidden</body></HTML>"
                                "<html PAGE=\"b\"><body>two</body></html>"
                                "<html><body>three</body></html>"
                                "<html><body>lost");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->Pages.nCount, 2);
    EXPECT_STREQ(Page(f, 1)->pName, "a");
    EXPECT_STREQ(Page(f, 2)->pName, "b");
    EXPECT_EQ(Items(&Page(f, 1)->Body), (std::vector<std::string>{"one"}));
    EXPECT_EQ(Items(&Page(f, 2)->Body), (std::vector<std::string>{"two", "three", "lost"}));
}

TEST_F(Html, LinksWithAndWithoutQuotes) {
    HtmlFile* f = ParseHtmlFile("doc",
                                "<html><body><a href=other.html#s1>More</a>"
                                "<A NAME=\"s2\" class=x>Here</A><a>none</a></body></html>");
    ASSERT_NE(f, nullptr);
    std::vector<HtmlLink*> links;
    for (int i = 0; auto* item = static_cast<HtmlItem*>(ListWalk(&Page(f, 1)->Body, i)); ++i)
        if (item->pTag && strcasecmp(item->pTag, "a") == 0) links.push_back(static_cast<HtmlLink*>(item->pData));
    ASSERT_EQ(links.size(), 3u);
    EXPECT_STREQ(links[0]->pTarget, "other.html#s1");
    EXPECT_EQ(links[0]->Kind, 2);
    EXPECT_STREQ(links[1]->pTarget, "s2");
    EXPECT_EQ(links[1]->Kind, 1);
    EXPECT_EQ(links[2]->pTarget, nullptr);
    EXPECT_EQ(links[2]->Kind, 0);
}

TEST_F(Html, RefusedDocuments) {
    EXPECT_EQ(ParseHtmlFile("http://host/x.html", "<html><body>x</body></html>"), nullptr);
    EXPECT_EQ(ParseHtmlFile("nopage", "just text <b>no section</b>"), nullptr);
    EXPECT_EQ(FileIndex, 0);
    EXPECT_EQ(ParseHtmlFile("/nonexistent/help.html", nullptr), nullptr);

    TempDir dir;
    std::string path = dir.path() + "/a.html";
    WriteFile(path, "<html><body>from file</body></html>");
    HtmlFile* f = ParseHtmlFile(("file://" + path + "#nothing").c_str(), nullptr);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->pName, path);
    EXPECT_EQ(ParseHtmlFile(path.c_str(), nullptr), f);  // loaded once
    EXPECT_EQ(FileIndex, 1);
    EXPECT_EQ(FindHtmlFile("a.html"), nullptr);

    // The slot table holds 100 documents; the 101st is refused.
    for (int i = 1; i < HTML_MAX_FILES; ++i)
        ASSERT_NE(ParseHtmlFile(("d" + std::to_string(i)).c_str(), "<html><body>x</body></html>"), nullptr);
    EXPECT_EQ(ParseHtmlFile("d100", "<html><body>x</body></html>"), nullptr);
    EXPECT_EQ(FileIndex, HTML_MAX_FILES);
    EXPECT_EQ(FindHtmlFile(path.c_str()), f);
    EXPECT_EQ(CurrentFile, 0);
}

}  // namespace
