// Message database: the language chosen from LANG and trans.conf, lookups
// with their fallbacks, and the conversions over them.
#include <string>

#include "Dbm/Dbm.h"
#include "NlsUtils/NlsUtils.h"
#include "TestSupport.h"
#include "TextMenu/TextMenu.h"
#include "setup/setup.h"

namespace {

// A toolkit directory of its own: pToolPath points there, LANG as given,
// the language forgotten before and after.
class NlsTest : public testing::Test {
  protected:
    void SetUp() override {
        const char* lang = getenv("LANG");
        hadLang_ = lang != nullptr;
        if (lang) savedLang_ = lang;
        NlsResetForTests();
        SetToolkitPath(dir_.c_str());
    }
    void TearDown() override {
        NlsResetForTests();
        if (hadLang_)
            setenv("LANG", savedLang_.c_str(), 1);
        else
            unsetenv("LANG");
        pToolPath = nullptr;
    }
    void Lang(const char* value) {
        if (value)
            setenv("LANG", value, 1);
        else
            unsetenv("LANG");
    }
    std::string Choose(const char* lang) {
        NlsResetForTests();
        Lang(lang);
        return GetDesiredNLSLang();
    }
    void Put(const char* db, const char* key, const std::string& text) {
        DbTHandle* h = DbTOpen(db, 0);
        ASSERT_EQ(1, DbmTPutRecord(h, key, text.c_str(), int(text.size()) + 1));
        DbTClose(h);
    }
    TempDir dir_;
    bool hadLang_ = false;
    std::string savedLang_;
};

}  // namespace

TEST_F(NlsTest, LanguageFromTransConf) {
    WriteFile(dir_ / "trans.conf",
              "# the toolkit's languages\n"
              "en_US = en_US en_GB C\n"
              "pt_BR = pt_BR pr_BR   # Brazil\n"
              "  pt_PT\n"
              "de_DE\t=\tde_DE de_AT\r\n"
              "Default es_ES\n");
    EXPECT_EQ("pt_BR", Choose("pt_BR.UTF-8"));
    EXPECT_EQ("pt_BR", Choose("pt_PT"));   // on a continuation line
    EXPECT_EQ("de_DE", Choose("de_AT"));   // a line ending in a carriage return
    EXPECT_EQ("en_US", Choose("en_GB.ISO8859-1"));
    EXPECT_EQ("es_ES", Choose(nullptr));   // ___LANG_NOT_SET___ matches nothing
    EXPECT_EQ("es_ES", Choose("xx_XX"));
    // The choice is kept for the life of the process.
    Lang("de_DE");
    EXPECT_EQ("es_ES", std::string(GetDesiredNLSLang()));

    char* table = ParseTransFile("trans.conf");
    EXPECT_EQ(Take(table),
              "en_US = en_US en_GB C \npt_BR = pt_BR pr_BR \npt_PT \nde_DE = de_DE de_AT \n"
              "Default es_ES \n");
    EXPECT_EQ(nullptr, ParseTransFile("missing.conf"));
}

TEST_F(NlsTest, DefaultOnlyAsTheFirstWordOfALineAndNeverAnEmptyCode) {
    // "Default" inside a word names no default (it used to name "", the
    // word after it being "="); the table's own choice still holds.
    WriteFile(dir_ / "trans.conf", "en_US = en_US eDefaultpt_BR = pt_BR\nDefault\n");
    EXPECT_EQ("en_US", Choose("xx_XX"));
    EXPECT_EQ("en_US", Choose("pt_BR")) << "the line's first word is its code";
    WriteFile(dir_ / "trans.conf", "de_DE = de_DE\nDefault = fr_FR\n");
    EXPECT_EQ("en_US", Choose("xx_XX"));
    // A line that begins with "=" has no code: English.
    WriteFile(dir_ / "trans.conf", "= it_IT\nDefault es_ES\n");
    EXPECT_EQ("en_US", Choose("it_IT"));
    EXPECT_EQ("es_ES", Choose("xx_XX"));
}

TEST_F(NlsTest, WithoutTransConfTheCoreDatabaseTableOrEnglish) {
    EXPECT_EQ("en_US", Choose("fr_FR"));
    Put("en_US/CoreString", "999_1", "fr_FR = fr_FR fr_CA\nDefault en_US\n");
    EXPECT_EQ("fr_FR", Choose("fr_CA"));
    EXPECT_EQ("en_US", Choose("it_IT"));
    EXPECT_EQ("en_US", Choose(nullptr));
}

TEST_F(NlsTest, MissingMessagesShowTheirKeyOrError) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(nullptr, NlsOpenDB("CoreString", 0));  // English missing
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "ERROR:  Could not open English database:  "));
    Put("en_US/CoreString", "25_1", "Hello %s");
    DbTHandle* h = NlsOpenDB("CoreString", 0);
    ASSERT_NE(nullptr, h);

    char* missing = NlsFetchString(h, nullptr, 0, 25, 3);
    EXPECT_STREQ("25_3", missing);
    PutMem(missing);  // not allocated: ignored
    char out[NLS_MSG_SIZE] = "junk";
    EXPECT_STREQ("25_3", NlsFetchString(h, out, 0, 25, 3));
    EXPECT_STREQ("25_3", out);
    char* none = NlsFetchString(nullptr, out, 1, "25_1");
    EXPECT_STREQ("Error", none);
    PutMem(none);
    EXPECT_STREQ("Error", NlsFetchString(nullptr, nullptr, 2, "25_1"));
    EXPECT_STREQ("25_7", NlsFetchString(nullptr, nullptr, 0, 25, 7));
    EXPECT_EQ("Hello %s", Take(NlsFetchString(h, nullptr, 1, "25_1")));
    EXPECT_EQ("Hello %s", Take(NlsFetchString(h, nullptr, 3, 25, 1)));
    EXPECT_EQ(out, NlsFetchString(h, out, 0, 25, 1));
    EXPECT_STREQ("Hello %s", out);

    char* f = nullptr;
    size_t flen = 0;
    FILE* stream = open_memstream(&f, &flen);
    Nlsfprintf(stream, h, 25, 1, "world");
    Nlsfprintf(stream, h, 25, 2, "world");
    Nlsfprintf(stream, nullptr, 25, 1, "world");
    fclose(stream);
    EXPECT_EQ("Hello worldErrorError", std::string(f, flen));
    free(f);
    Nlssprintf(out, h, 25, 1, "you");
    EXPECT_STREQ("Hello you", out);
    Nlssprintf(out, h, 25, 9);
    EXPECT_STREQ("Error", out);
    char small[6];
    Nlssnprintf(small, sizeof small, h, 25, 1, "everyone");
    EXPECT_STREQ("Hello", small);
    DbTClose(h);

    // Another language without its database: an empty handle, keys shown.
    NlsResetForTests();
    WriteFile(dir_ / "trans.conf", "it_IT = it_IT\n");
    Lang("it_IT");
    h = NlsOpenDB("CoreString", 0);
    ASSERT_NE(nullptr, h);
    EXPECT_STREQ("25_1", NlsFetchString(h, nullptr, 0, 25, 1));
    DbTClose(h);
}

TEST_F(NlsTest, LongRecordsAreCutInTheMessageBufferAndWholeInModeThree) {
    std::string longText(5000, 'x');
    Put("en_US/CoreString", "30_1", longText);
    DbTHandle* h = NlsOpenDB("CoreString", 0);
    std::string cut = Take(NlsFetchString(h, nullptr, 0, 30, 1));
    EXPECT_EQ(size_t(NLS_MSG_SIZE - 1), cut.size());
    EXPECT_TRUE(Take(NlsFetchString(h, nullptr, 3, 30, 1)) == longText);
    DbTClose(h);
}

TEST_F(NlsTest, ConversionsOverTheCoreDatabase) {
    Put("en_US/CoreString", "30_1", "first");
    Put("en_US/CoreString", "30_2", "second");
    Put("en_US/CoreString", "25_201", std::string(300, 'm'));
    char out[64];
    EXPECT_STREQ("a first, b second 100% c 30_3",
                 NlsGuiStrCvt("a %s, b %s 100% c %s", 30, out, sizeof out));
    char tiny[8];
    EXPECT_STREQ("a first", NlsGuiStrCvt("a %s, b %s", 30, tiny, sizeof tiny));

    char* text = nullptr;
    EXPECT_EQ(text = NlsTtyMenuCvt(&text, 201), text);
    EXPECT_EQ(size_t(NLS_MENU_TEXT_SIZE - 1), strlen(text));
    PutMem(text);
    EXPECT_EQ("25_999", Take(NlsTtyMenuCvt(&text, 999)));
    EXPECT_EQ(0, NlsTtyMenuItemCvt(nullptr, 201, 0));

    // Items take messages 25/first on, each field on its own; count 0 changes nothing.
    Put("en_US/CoreString", "25_202", "second label");
    TextMenuItem items[3] = {};
    items[0].pPrompt = "kept";
    EXPECT_EQ(0, NlsTtyMenuItemCvt(items, 202, 0));
    EXPECT_EQ(nullptr, items[0].pLabel);
    EXPECT_EQ(2, NlsTtyMenuItemCvt(items, 202, 2));
    EXPECT_STREQ("second label", items[0].pLabel);
    EXPECT_STREQ("25_203", items[1].pLabel);
    EXPECT_STREQ("kept", items[0].pPrompt);
    EXPECT_EQ(1, NlsTtyMenuItemStateCvt(items + 2, 202, 1));
    EXPECT_STREQ("second label", items[2].pChoices);
    EXPECT_EQ(1, NlsTtyMenuItemPromptCvt(items, 203, 1));
    EXPECT_STREQ("25_203", items[0].pPrompt);

    EXPECT_STREQ("0000056400000126", NlsCalcStrVal("abc"));
    EXPECT_STREQ("0000000000000000", NlsCalcStrVal(""));
    EXPECT_STREQ("FFFFFF80FFFFFF80", NlsCalcStrVal("\x80"));
}

TEST_F(NlsTest, RedirectMarkers) {
    char text[NLS_MSG_SIZE] = "see $$printer.REDIRECT here";
    EXPECT_STREQ("printer", FindRedirect(text));
    EXPECT_STREQ("see $$printer", text);
    char plain[] = "no $$marker.txt";
    EXPECT_EQ(nullptr, FindRedirect(plain));
    EXPECT_EQ(nullptr, FindRedirect(nullptr));

    Put("help", "printer", "the printer page");
    Restore<DbTHandle*> help(pPrtHelpDB);
    pPrtHelpDB = DbTOpen("help", 0);
    snprintf(text, sizeof text, "%s", "$$printer.redirect");
    EXPECT_STREQ("printer", CheckForRedirect(text));
    EXPECT_STREQ("the printer page", text);
    snprintf(text, sizeof text, "%s", "$$other.redirect");
    EXPECT_STREQ("other", CheckForRedirect(text));
    EXPECT_STREQ("other", text);
    DbTClose(pPrtHelpDB);
}

TEST_F(NlsTest, ToolkitPathFromOptionEnvironmentOrBuild) {
    Restore<char*> keep(pToolPath);
    EXPECT_STREQ("/opt/x", SetToolkitPath("/opt/x"));
    setenv("ORVIK_TOOLKIT_DIR", "/env/dir", 1);
    EXPECT_STREQ("/env/dir", SetToolkitPath(nullptr));
    EXPECT_STREQ("/opt/y", SetToolkitPath("/opt/y"));
    unsetenv("ORVIK_TOOLKIT_DIR");
    EXPECT_STREQ(ORVIK_BINARY_DIR "/toolkit", SetToolkitPath(nullptr));
}
