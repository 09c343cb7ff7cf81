#include <gtest/gtest.h>

#include "TestSupport.h"
#include "utils/utils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

std::string Tok(char* p) {
    return p ? p : "<null>";
}

} // namespace

TEST(GetToken, SkipsDelimitersAndRecordsTheLastOne) {
    EXPECT_EQ(Tok(GetToken("  a  b ", " ")), "a");
    EXPECT_EQ(chTokenDel, ' ');
    EXPECT_EQ(Tok(GetToken(nullptr, " ")), "b");
    EXPECT_EQ(chTokenDel, ' ');
    EXPECT_EQ(Tok(GetToken(nullptr, " ")), "<null>");
    EXPECT_EQ(Tok(GetToken(",,,", ",")), "<null>");
    EXPECT_EQ(chTokenDel, ',');
    EXPECT_EQ(Tok(GetToken("abc", ",")), "abc");
    EXPECT_EQ(chTokenDel, 0); // ended at the terminator
    EXPECT_EQ(*szTokenIn, 0);
}

TEST(GetToken, EscapesAndLineContinuations) {
    EXPECT_EQ(Tok(GetToken("a\\,b,c", ",")), "a,b");
    EXPECT_EQ(Tok(GetToken(nullptr, ",")), "c");
    EXPECT_EQ(Tok(GetToken("a\\n", ",")), "a\n");
    // A backslash at the very end is kept; the scan stops at the terminator.
    auto trailing = Exact("ab\\");
    EXPECT_EQ(Tok(GetToken(trailing.get(), " ")), "ab\\");
    EXPECT_EQ(szIn, trailing.get() + 3);
    EXPECT_EQ(Tok(GetToken(nullptr, " ")), "<null>");
    // A continued logical line: backslash-newline stands for nothing.
    EXPECT_EQ(Tok(GetToken("c file \\\n  mode 755\n", " \n")), "c");
    EXPECT_EQ(Tok(GetToken(nullptr, " \n")), "file");
    EXPECT_EQ(Tok(GetToken(nullptr, " \n")), "mode");
    EXPECT_EQ(Tok(GetToken(nullptr, " \n")), "755");
    EXPECT_EQ(Tok(GetToken(nullptr, " \n")), "<null>");
}

TEST(GetToken, LineModeDropsATokenEndingAtANewline) {
    char one[] = "x\n";
    SetTokenBuf(one);
    EXPECT_EQ(Tok(GetToken(TOKEN_LINE_MODE, " \n")), "<null>");
    EXPECT_EQ(szTokenIn, one);

    char two[] = "a b\nc d";
    SetTokenBuf(two);
    EXPECT_EQ(Tok(GetToken(TOKEN_LINE_MODE, " \n")), "a");
    EXPECT_EQ(Tok(GetToken(TOKEN_LINE_MODE, " \n")), "<null>");
    EXPECT_EQ(szTokenIn, two + 2);                         // unchanged by the dropped token
    EXPECT_EQ(Tok(GetToken(TOKEN_LINE_MODE, " \n")), "c"); // continues after the line
    EXPECT_EQ(GetTokenBufInput(), two + 6);
}

TEST(GetToken, LongTokensAreCutButFullyConsumed) {
    std::string text = std::string(300, 'x') + " next";
    EXPECT_EQ(Tok(GetToken(text.c_str(), " ")), std::string(TOKEN_BUF_SIZE - 1, 'x'));
    EXPECT_EQ(Tok(GetToken(nullptr, " ")), "next");
}

TEST(GetToken, CursorVariantLeavesTheGlobalScanAlone) {
    GetToken("g1 g2", " ");
    char* globalIn = szIn;
    char out[TOKEN_BUF_SIZE];
    char* cursor = nullptr;
    EXPECT_EQ(Tok(GetTokenD("p:q", ":", &cursor, out)), "p");
    EXPECT_EQ(Tok(GetTokenD(nullptr, ":", &cursor, out)), "q");
    EXPECT_EQ(Tok(GetTokenD(nullptr, ":", &cursor, out)), "<null>");
    EXPECT_EQ(szIn, globalIn);
    EXPECT_STREQ(GetTokenBuf, "g1");
}

TEST(Splitters, GetTokenParseCutsInPlace) {
    char text[] = "a:b";
    char* first = GetTokenParse(text, ":");
    EXPECT_EQ(first, text);
    EXPECT_EQ(memcmp(text, "a\0b", 4), 0);
    EXPECT_EQ(Tok(GetTokenParse(nullptr, ":")), "b");
    EXPECT_EQ(GetTokenParse(nullptr, ":"), nullptr);

    char lead[] = "::x\\:y";
    EXPECT_EQ(Tok(GetTokenParse(lead, ":")), "x\\:y"); // escape kept untranslated
    auto trailing = Exact("p\\");
    EXPECT_EQ(Tok(GetTokenParse(trailing.get(), " ")), "p\\");
    EXPECT_EQ(GetTokenParse(nullptr, " "), nullptr);

    char line[] = "k\nl ";
    SetTokenBuf(line);
    EXPECT_EQ(GetTokenParse(TOKEN_LINE_MODE, " \n"), nullptr);
    EXPECT_EQ(Tok(GetTokenParse(TOKEN_LINE_MODE, " \n")), "l");
}

TEST(Splitters, ParseStrFillsAtMostMaxSlots) {
    char text[] = " a b c ";
    char* slots[2];
    EXPECT_EQ(ParseStr(text, " ", slots, 2), 2);
    EXPECT_STREQ(slots[1], "b");
    EXPECT_STREQ(text + 5, "c "); // the rest is untouched
}

TEST(Splitters, NthTokenAndCountKeepTheScanState) {
    EXPECT_EQ(Tok(GetTokenN("a b c", " ", 3)), "c");
    EXPECT_EQ(Tok(GetTokenN("a b c", " ", 4)), "<null>");

    GetToken("one two three", " ");
    char* in = szIn;
    char* tokenIn = szTokenIn;
    char del = chTokenDel;
    EXPECT_EQ(GetTokenCount("a b c", " "), 3);
    EXPECT_EQ(GetTokenCount(nullptr, " "), 2); // what remains of the scan
    EXPECT_EQ(szIn, in);
    EXPECT_EQ(szTokenIn, tokenIn);
    EXPECT_EQ(chTokenDel, del);
    EXPECT_STREQ(GetTokenBuf, "one");
    EXPECT_EQ(Tok(GetToken(nullptr, " ")), "two");
}

TEST(TokenLists, FindTokenMatchesWholeWords) {
    EXPECT_EQ(FindToken("install", ",install,-v"), 1);
    EXPECT_EQ(FindToken("-v", ",install,-v"), 2);
    EXPECT_EQ(FindToken("inst", ",install,-v"), 0);
    EXPECT_EQ(FindToken("y", ",y,yes,n,no,"), 1);
    EXPECT_EQ(FindToken("no", ",y,yes,n,no,"), 4);
    EXPECT_EQ(FindToken("b", ",ab,b"), 2);
    EXPECT_EQ(FindToken("a", ",ab,b"), 0);
    EXPECT_EQ(FindToken("bin", " . .. bin sbin "), 3);
}

TEST(TokenLists, EmptyTokenIsFoundAtAClosingSeparator) {
    EXPECT_EQ(FindToken("", ",a,b,"), 3);
    EXPECT_EQ(FindToken("", ",a,,b"), 2);
    EXPECT_EQ(FindToken("", ",a,b"), 0);
    EXPECT_EQ(FindToken("", " . .. "), 3);
}

TEST(TokenLists, OverlongPatternsFindNothing) {
    std::string word(509, 'w');
    std::string list = "," + word + ",";
    EXPECT_EQ(FindToken(word.c_str(), list.c_str()), 1);
    EXPECT_EQ(FindTokenC(word.c_str(), list.c_str()), 1);
    std::string longer(510, 'w');
    std::string longList = "," + longer + ",";
    EXPECT_EQ(FindToken(longer.c_str(), longList.c_str()), 0);
    EXPECT_EQ(FindTokenC(longer.c_str(), longList.c_str()), 0);
}

TEST(TokenLists, CaseInsensitiveAndPlainLists) {
    EXPECT_EQ(FindTokenC("TABLE", ",tr,/tr,td,/td,table,/table,"), 5);
    EXPECT_EQ(FindTokenC("/Table", ",tr,/tr,td,/td,table,/table"), 6);
    EXPECT_EQ(FindTokenC("tab", ",tr,table,"), 0);
    EXPECT_EQ(FindTokenWithDelim("a,b,c", "b", ','), 2);
    EXPECT_EQ(FindTokenWithDelim("a,b,c", "d", ','), 0);
    EXPECT_EQ(FindTokenWithDelim("a,b,c", "a,b", ','), 0);
    // Empty pieces are elements like any other; an empty list has none.
    EXPECT_EQ(FindTokenWithDelim(",a", "a", ','), 2);
    EXPECT_EQ(FindTokenWithDelim(",a", "", ','), 1);
    EXPECT_EQ(FindTokenWithDelim("a,,b", "b", ','), 3);
    EXPECT_EQ(FindTokenWithDelim("", "", ','), 0);
}

TEST(TokenLists, SortTokensOrdersInPlaceWithoutGrowing) {
    char a[] = "b,c,a,";
    SortTokens(a, ',', false);
    EXPECT_STREQ(a, "a,b,c,");
    char b[] = "abc,ab,";
    SortTokens(b, ',', false);
    EXPECT_STREQ(b, "ab,abc,");
    // The unclosed last element moves forward: the closing separator the
    // sorted list would gain does not fit and is left out.
    auto d = Exact("c,a");
    SortTokens(d.get(), ',', false);
    EXPECT_STREQ(d.get(), "a,c");
    auto e = Exact("b,c,a");
    SortTokens(e.get(), ',', false);
    EXPECT_STREQ(e.get(), "a,b,c");
    char f[] = "B,a,C,";
    SortTokens(f, ',', true);
    EXPECT_STREQ(f, "a,B,C,");
    char h[] = "z,x\\,y,";
    SortTokens(h, ',', false);
    EXPECT_STREQ(h, "x\\,y,z,"); // an escaped separator does not split
}

class GetsTest : public ::testing::Test {
  protected:
    void Feed(const std::string& input) {
        std::ofstream(path_, std::ios::binary) << input;
        ASSERT_NE(freopen(path_.c_str(), "r", stdin), nullptr);
    }
    void SetUp() override {
        char tmpl[] = "/tmp/orvik-gets-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        path_ = dir_ + "/input";
    }
    void TearDown() override {
        ASSERT_NE(freopen("/dev/null", "r", stdin), nullptr);
        std::filesystem::remove_all(dir_);
    }
    std::string dir_, path_;
};

TEST_F(GetsTest, ReadsOneLineAndEndsAtEndOfInput) {
    char buf[4];
    Feed("");
    EXPECT_EQ(Gets(buf, sizeof buf), nullptr);
    Feed("no\n\nabcdefg\nok\xffrest");
    EXPECT_EQ(Tok(Gets(buf, sizeof buf)), "no");
    EXPECT_EQ(Tok(Gets(buf, sizeof buf)), "");    // an empty line is not the end
    EXPECT_EQ(Tok(Gets(buf, sizeof buf)), "abc"); // a long line comes in pieces
    EXPECT_EQ(Tok(Gets(buf, sizeof buf)), "def");
    EXPECT_EQ(Tok(Gets(buf, sizeof buf)), "g");
    EXPECT_EQ(Tok(Gets(buf, sizeof buf)), "ok"); // byte 255 ends like end of input
    Feed("last");
    EXPECT_EQ(Tok(Gets(buf, 1)), "");
    EXPECT_EQ(Tok(Gets(buf, sizeof buf)), "las");
    EXPECT_EQ(Tok(Gets(buf, sizeof buf)), "t");
    EXPECT_EQ(Gets(buf, sizeof buf), nullptr);
    EXPECT_EQ(Gets(buf, sizeof buf), nullptr);
}
