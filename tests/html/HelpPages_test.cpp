// The toolkit's own help pages: every document loads, and every link they
// offer leads somewhere.
#include <gtest/gtest.h>

#include <string>

#include "html/html.h"

namespace {

const std::string HelpDir = std::string(ORVIK_SOURCE_DIR) + "/data/help/";

TEST(HelpPages, EveryLinkLeadsToAPageOrAnchor) {
    HtmlResetDocuments();
    int documents = 0, tables = 0, bordered = 0, lists = 0, links = 0;
    for (const char* name : {"index.html", "qdb.html", "textmenu.html", "helptty.html"}) {
        std::string path = HelpDir + name;
        HtmlFile* file = ParseHtmlFile(path.c_str(), nullptr);
        ASSERT_NE(file, nullptr) << path;
        ++documents;
        int slot = CurrentFile;
        for (int p = 1; auto* page = static_cast<HtmlPage*>(ListFindItemN(&file->Pages, p)); ++p) {
            std::string text = page->pText;
            tables += text.find("\n ") != std::string::npos;
            bordered += text.find(",-") != std::string::npos;
            lists += text.find("   1. ") != std::string::npos;
            for (int i = 1; auto** ref = static_cast<HtmlLink**>(ListFindItemN(&page->Links, i)); ++i) {
                HtmlLink* link = *ref;
                if (!HtmlLinkOffered(link)) continue;
                ++links;
                std::string label = text.substr(size_t(link->Start), size_t(link->End - link->Start));
                EXPECT_EQ(label.front(), '<');
                EXPECT_EQ(label.back(), '>');
                CurrentFile = slot;
                pCurrentPage = page;
                HistoryI = 0;
                testing::internal::CaptureStdout();
                ProcessLink(link);
                EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << name << ": " << link->pTarget;
                std::string target = link->pTarget;
                // A page or anchor named after '#' was found and recorded.
                if (target.find('#') != std::string::npos) {
                    EXPECT_EQ(HistoryI, 1) << name << ": " << target;
                }
            }
        }
    }
    EXPECT_EQ(documents, 4);
    EXPECT_GE(bordered, 1);
    EXPECT_GE(tables, 1);
    EXPECT_GE(lists, 1);
    EXPECT_GE(links, 10);
    HtmlResetDocuments();
}

}  // namespace
