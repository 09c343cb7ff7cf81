#include <gtest/gtest.h>

#include <string>

#include "html/html.h"

namespace {

class Layout : public testing::Test {
  protected:
    void SetUp() override { HtmlResetDocuments(); }
    void TearDown() override { HtmlResetDocuments(); }
    // The text of the first page of a document made of body (and head).
    std::string Render(const std::string& body, const std::string& head = "") {
        std::string doc = "<html><head>" + head + "</head><body>" + body + "</body></html>";
        file = ParseHtmlFile(("doc" + std::to_string(n++)).c_str(), doc.c_str());
        EXPECT_NE(file, nullptr);
        page = file ? static_cast<HtmlPage*>(ListFindItemN(&file->Pages, 1)) : nullptr;
        return page ? page->pText : "";
    }
    HtmlLink* Link(int i) { return *static_cast<HtmlLink**>(ListFindItemN(&page->Links, i)); }
    HtmlFile* file = nullptr;
    HtmlPage* page = nullptr;
    int n = 0;
};

TEST_F(Layout, ParagraphsListsAndTitle) {
    EXPECT_EQ(Render("A<p>B</p>"), "A\n\nB\n");
    EXPECT_EQ(page->RowCnt, 3);
    EXPECT_EQ(Render("<ol><li>x<li>y</ol>"), "\n   1. x\n   2. y\n");
    EXPECT_EQ(Render("<h1>Head</h1>text<div>d</div>end"), "\nHead\n\ntext\nd\n\nend\n");
    EXPECT_EQ(Render("body", "<title>Help</title>"), std::string(38, ' ') + "Help\n\nbody\n");
    // A title too wide to centre starts at the left edge.
    std::string wide(90, 't');
    EXPECT_EQ(Render("b", "<title>" + wide + "</title>"), wide + "\n\nb\n");
    // Text on the last row is part of the page.
    EXPECT_EQ(Render("only"), "only\n");
}

TEST_F(Layout, LinkOffsetsEncloseTheMarkedText) {
    std::string text = Render("see <a href=p2>Page 2</a><br>and <a name=here>anchor</a>");
    EXPECT_EQ(text, "see <Page 2>\nand anchor\n");
    ASSERT_EQ(page->Links.nCount, 2);
    HtmlLink* l = Link(1);
    EXPECT_EQ(text.substr(size_t(l->Start), size_t(l->End - l->Start)), "<Page 2>");
    EXPECT_EQ(l->Len, 8);
    HtmlLink* a = Link(2);
    EXPECT_EQ(a->Kind, 1);
    EXPECT_EQ(text.substr(size_t(a->Start), size_t(a->End - a->Start)), "anchor");
}

TEST_F(Layout, BorderedAndPlainTables) {
    EXPECT_EQ(Render("<table border><tr><td>ab</td><td>c</td></tr></table>"), ",--+-,\n|ab|c|\n'--+-'\n");
    EXPECT_EQ(Render("<table border=1><tr><td>abcde</td><td>fgh</td></tr></table>"),
              ",-----+---,\n|abcde|fgh|\n'-----+---'\n");
    // Two rows, padding of one column (7 pixels), text after the table.
    EXPECT_EQ(Render("<table border cellpadding=\"7\"><tr><td>a</td><td>bb</td></tr>"
                     "<tr><td>c</td><td>d</td></tr></table>after"),
              ",---+----,\n| a | bb |\n|---+----|\n| c | d  |\n'---+----'\nafter\n");
    // Without a border the area is blanked; a width of 50% at top level has
    // nothing to be a share of, so the content sizes the table.
    EXPECT_EQ(Render("<table width=50%><tr><td>ab</td><td>c</td></tr></table>x"), "      \n ab c \n      \nx\n");
    // A declared width in pixels: 112 / 7 columns.
    Render("<table width=\"112\"><tr><td>a</td></tr></table>");
    auto* item = static_cast<HtmlItem*>(ListFindItemN(&page->Body, 1));
    ASSERT_TRUE(IsMeasuredTable(item));
    EXPECT_EQ(static_cast<HtmlTable*>(item->pData)->Width, 16);
}

TEST_F(Layout, NestedTablesAndMultiLineCells) {
    std::string text = Render("<table border><tr><td>x<br>y</td><td><table border><tr><td>in</td></tr></table>"
                              "</td></tr></table>");
    EXPECT_EQ(text,
              ",-+----,\n"
              "|x|,--,|\n"
              "|y||in||\n"
              "| |'--'|\n"
              "'-+----'\n");
}

TEST_F(Layout, NoLayoutWritesOutsideItsImage) {
    // Tall: a table of many rows on a page of few items per row.
    std::string rows;
    for (int i = 0; i < 300; ++i) rows += "<tr><td>r<br>s<br>t</td></tr>";
    std::string text = Render("<table border>" + rows + "</table>");
    EXPECT_EQ(page->RowCnt, 300 * 4 + 1);
    // Wide: a text far longer than a row runs on and stays whole.
    std::string wide(1000, 'w');
    EXPECT_EQ(Render(wide + "<br>z"), wide + "\nz\n");
    // Deep: tables nested past the limit are ignored tags; the rest is laid out.
    std::string deep;
    for (int i = 0; i < 200; ++i) deep += "<table><tr><td>";
    deep += "core";
    for (int i = 0; i < 200; ++i) deep += "</td></tr></table>";
    text = Render(deep + "<p>end");
    EXPECT_NE(text.find("core"), std::string::npos);
    EXPECT_NE(text.find("end"), std::string::npos);
    // A "fitab" written in a document is only an unknown tag; a stray
    // closing table tag does not end the page.
    EXPECT_EQ(Render("a<fitab border>b</table>c"), "abc\n");
}

// Real documents: every word shown, nothing a terminal would obey, the
// tags help authors write. Each case is a body and its page text, in the
// ISO 8859-1 or the UTF-8 page charset.
TEST_F(Layout, RealDocumentsLayOutEveryWordAndNoControl) {
    struct Case {
        bool utf8;
        const char* body;
        std::string text;
    } cases[] = {
        // A table right of text: the cells left of it are blanks.
        {false, "History<table><tr><td>v14</td></tr></table>", "History     \n        v14 \n            \n"},
        // A cell is as wide as what is written in it, links marks included.
        {false, "<table border><tr><td>one <b>two</b> three</td><td><a href=g>Gamma</a></td></tr></table>",
         ",-------------+-------,\n|one two three|<Gamma>|\n'-------------+-------'\n"},
        // A heading in a cell stays in the cell.
        {false, "<table border><tr><td><h2>Head</h2>cell</td></tr></table>after",
         ",----,\n|    |\n|Head|\n|    |\n|cell|\n'----'\nafter\n"},
        // No control character from a document; references in the charset.
        {false, "&#7963;[2J\x1b]0;t\x07x\xc2\x9bq&#27;&#150;&#233;", "?[2J]0;txq??\xe9\n"},
        {true, "&#7963;[2J\x1b]0;t\x07x\xc2\x9bq\x7f&#27;&#150;", "\xe1\xbc\x9b[2J]0;txq\xef\xbf\xbd\xe2\x80\x93\n"},
        {true, "\xe9 &#x10FFFF;&#x110000;&#0;&#xD800;", "\xc3\xa9 \xf4\x8f\xbf\xbf\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\n"},
        // Blanks between pieces of text, tags between them or not; none at
        // the start of a line.
        {false, "see <b>this</b> word <a href=a>one</a> <a href=b>two</a><br> next", "see this word <one> <two>\nnext\n"},
        {false, "&amp;&lt;&gt;&apos;&hellip;", "&<>'?\n"},
        {false, "a<script>x>y</script> b<!-- c > d -->e<style>s</style>f<noscript>n</noscript>", "a bef\n"},
        // Lists, definitions, preformatted text, header cells, images, rules.
        {false, "<ul><li>a<ul><li>b</ul><li>c</ul>", "\n   * a\n      * b\n\n   * c\n"},
        {false, "<dl><dt>term<dd>def</dl>z", "term\n    def\nz\n"},
        {false, "<pre>a  b\n\tc\n\nd</pre>e", "a  b\n        c\n\nd\ne\n"},
        {false, "<table border><tr><th>H</th><td>v<img src=x alt=\"pic\"></td></tr></table><hr>end",
         ",-+------,\n|H|v[pic]|\n'-+------'\n" + std::string(78, '-') + "\nend\n"},
    };
    for (const Case& c : cases) {
        HtmlUtf8 = c.utf8;
        EXPECT_EQ(Render(c.body), c.text) << c.body;
    }
    HtmlUtf8 = false;
}

TEST_F(Layout, LinksAcrossLinesAndAnchorsById) {
    std::string text = Render("x<a href=p2>AB<br>C</a> tail<h2 id=sec>S</h2>");
    EXPECT_EQ(text, "x<AB\nC> tail\nS\n\n");
    HtmlLink* l = Link(1);
    EXPECT_EQ(text.substr(size_t(l->Start), size_t(l->End - l->Start)), "<AB\nC>");
    HtmlLink* id = Link(2);
    EXPECT_EQ(id->Kind, 1);
    EXPECT_STREQ(id->pTarget, "sec");
    GoToTarget("sec");
    EXPECT_EQ(TargetPos, int(text.find('S')));
}

}  // namespace
