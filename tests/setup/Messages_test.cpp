#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "MemMgr/MemMgr.h"
#include "setup/setup.h"

namespace {

struct Table {
    const char* name;
    const char* const* rows;
};
const Table kTables[] = {
    {"ENGLISH", NLS_ENGLISH}, {"SPANISH", NLS_SPANISH}, {"ITALIAN", NLS_ITALIAN},
    {"FRENCH", NLS_FRENCH},   {"GERMAN", NLS_GERMAN},   {"PORTUGUESE", NLS_PORTUGUESE},
};

// The printf conversions of a text in order, one letter each ("%%" as '%'),
// flags, width, precision and length modifiers skipped; '?' for a broken one.
std::string Conversions(const char* text) {
    std::string seq;
    for (const char* p = text; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        while (*p && strchr("-+ #0", *p))
            ++p;
        while (*p && (isdigit(static_cast<unsigned char>(*p)) || *p == '*' || *p == '.'))
            ++p;
        while (*p && strchr("hlLqjzt", *p))
            ++p;
        if (*p && strchr("sidecfgxuop%", *p)) {
            seq += *p;
        } else {
            seq += '?';
            if (!*p) break;
        }
    }
    return seq;
}

std::string Utf8ToLatin1(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = s[i];
        if (c < 0x80) {
            out += char(c);
        } else if ((c == 0xc2 || c == 0xc3) && i + 1 < s.size()) {
            out += char(((c & 0x03) << 6) | (s[++i] & 0x3f));
        } else {
            out += '?';
        }
    }
    return out;
}

bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        int more = 0;
        if (c >= 0xc2 && c <= 0xdf)
            more = 1;
        else if ((c & 0xf0) == 0xe0)
            more = 2;
        else if (c >= 0xf0 && c <= 0xf4)
            more = 3;
        else if (c >= 0x80)
            return false;
        for (int k = 1; k <= more; ++k)
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80)
                return false;
        i += more + 1;
    }
    return true;
}

std::string Converted(const char* text) {
    char* u = Latin1ToUtf8(text);
    std::string s = u ? u : "(none)";
    PutMem(u);
    return s;
}

// The Latin-1 bytes the six languages write: accented letters, the Spanish
// opening marks, guillemets and ordinal indicators.
bool IsLatin1LetterOrMark(unsigned char c) {
    if (c >= 0xc0) return c != 0xd7 && c != 0xf7; // letters, not the signs x and /
    return c == 0xa1 || c == 0xbf || c == 0xab || c == 0xbb || c == 0xaa || c == 0xba;
}

size_t Count(const char* text, char c) {
    return std::count(text, text + strlen(text), c);
}

std::string Edge(const char* text, bool lead) {
    std::string s = text;
    const char* ws = " \t\n";
    if (lead)
        return s.substr(0, s.find_first_not_of(ws) == std::string::npos ? s.size()
                                                                        : s.find_first_not_of(ws));
    size_t last = s.find_last_not_of(ws);
    return last == std::string::npos ? s : s.substr(last + 1);
}

} // namespace

TEST(MessageTables, EveryRowOfEveryLanguageIsSetAndKeepsTheEnglishConversionsAndLayout) {
    // The English sequences the callers rely on.
    EXPECT_EQ(Conversions(NLS_ENGLISH[62]), "ssss");
    EXPECT_EQ(Conversions(NLS_ENGLISH[49]), "se");
    EXPECT_EQ(Conversions(NLS_ENGLISH[55]), "se");
    EXPECT_EQ(Conversions(NLS_ENGLISH[56]), "sse");
    EXPECT_EQ(Conversions(NLS_ENGLISH[35]), "ss");
    EXPECT_EQ(Conversions(NLS_ENGLISH[6]), "i");
    EXPECT_EQ(Conversions("%-10s %5.2e %% %c %d"), "se%cd");
    EXPECT_EQ(Conversions("50%! off"), "?");
    EXPECT_EQ(Conversions("% o"), "o");

    for (const Table& t : kTables) {
        for (int n = 0; n < SETUP_MSG_COUNT; ++n) {
            SCOPED_TRACE(std::string(t.name) + " row " + std::to_string(n));
            const char* row = t.rows[n];
            ASSERT_NE(row, nullptr);
            const char* en = NLS_ENGLISH[n];
            EXPECT_EQ(Conversions(row), Conversions(en));
            EXPECT_EQ(Edge(row, true), Edge(en, true));
            EXPECT_EQ(Edge(row, false), Edge(en, false));
            EXPECT_EQ(Count(row, '\n'), Count(en, '\n'));
            bool sameAsEnglish = t.rows == NLS_ENGLISH || n == 15 || n == 16 || n == 57 ||
                                 (n == 58 && t.rows == NLS_SPANISH) ||
                                 (n == 59 && t.rows == NLS_PORTUGUESE);
            if (!sameAsEnglish) {
                EXPECT_STRNE(row, en) << "untranslated";
            }
        }
        // Menu rows: the same fields, each marked like the English one.
        for (int n : {40, 41, 45, 46, 47, 48, 50}) {
            SCOPED_TRACE(std::string(t.name) + " menu row " + std::to_string(n));
            EXPECT_EQ(Count(t.rows[n], ','), Count(NLS_ENGLISH[n], ','));
            EXPECT_EQ(Count(t.rows[n], '_'), Count(NLS_ENGLISH[n], '_'));
            EXPECT_EQ(t.rows[n][0] == '_', NLS_ENGLISH[n][0] == '_');
        }
        EXPECT_NE(strstr(t.rows[50], ",    ,"), nullptr) << t.name;
        // Help keys: "~", a letter, a blank; three different letters.
        for (int n = 0; n < 3; ++n) {
            EXPECT_EQ(t.rows[n][0], '~') << t.name << n;
            EXPECT_TRUE(isalpha(static_cast<unsigned char>(t.rows[n][1]))) << t.name << n;
            EXPECT_EQ(t.rows[n][2], ' ') << t.name << n;
        }
        EXPECT_NE(t.rows[0][1], t.rows[1][1]) << t.name;
        EXPECT_NE(t.rows[0][1], t.rows[2][1]) << t.name;
        EXPECT_NE(t.rows[1][1], t.rows[2][1]) << t.name;
    }
}

TEST(MessageTables, SharedAndFixedRowsReadExactly) {
    for (const Table& t : kTables) {
        EXPECT_STREQ(t.rows[15], "\t\t\"wrong number of arguments to interface program\" \\\n")
            << t.name;
        EXPECT_STREQ(t.rows[16], "\t\t\"consult your system administrator\" \\\n") << t.name;
        EXPECT_STREQ(t.rows[57], "") << t.name;
    }
    EXPECT_STREQ(NLS_SPANISH[58], NLS_ENGLISH[58]);
    EXPECT_STREQ(NLS_PORTUGUESE[59], NLS_ENGLISH[59]);

    EXPECT_STREQ(NLS_ENGLISH[0], "~e Exit Help");
    EXPECT_STREQ(NLS_ENGLISH[39],
                 "                  offset_files size total will be used to reduce disk1 file. \n");
    EXPECT_STREQ(NLS_ENGLISH[50], "_none,    ,_TTY");
    EXPECT_STREQ(NLS_ENGLISH[59], "killed QPrintD %s\n");
    EXPECT_STREQ(NLS_ENGLISH[60], "failed ts get version");
    EXPECT_STREQ(NLS_ENGLISH[63], "\nDo You want to continue with the installation? [yn] ");
    EXPECT_STREQ(NLS_ENGLISH[70], "\nEnter a selection:  ");
    EXPECT_STREQ(NLS_ENGLISH[49], "There isn't enough space in %s to perform the installation "
                                  "activities. The temporary work area "
                                  "should be at least %e bytes. Restart the installation procedure "
                                  "using a work area that has enough "
                                  "space. \nie: 1. Use /new_work_area_path in place of /tmp\n    "
                                  "2. Run `setup /new_work_area_path`\n");

    const char* given[][6] = {
        {"~e Exit Help", "~e Salir de Ayuda", "~e Guida esci", "~e Quitter l'Aide",
         "~h Hilfe verlassen", "~s Sair da Ajuda"},
        {"ERROR: couldn't open %s", "ERROR: no se pudo abrir %s", "ERRORE: impossibile aprire %s",
         "ERREUR : impossible d'ouvrir %s",
         "FEHLER: %s konnte nicht ge\xf6"
         "ffnet werden",
         "ERRO: imposs\xedvel abrir %s"},
        {"_disabled,_enabled", "_desactivado,_activado", "_disattivato,_attivato",
         "_d\xe9sactiv\xe9,_activ\xe9", "_aktiviert,_deaktiviert", "_desativado,_ativado"},
        {"_No,_Yes", "_No,_S\xed", "_No,_S\xec", "_Non,_Oui", "_Nein,_Ja", "_N\xe3o,_Sim"},
        {"setup: ERROR", "setup: ERROR", "installazione: ERRORE",
         "installation : ERREUR :", "Setup: FEHLER", "configura\xe7\xe3o: ERRO"},
        {"\nDo You want to continue with the installation? [yn] ",
         "\n\xbf"
         "Desea continuar con la instalaci\xf3n? [sn] ",
         "\nSi vuole continuare con l'installazione? [yn] ",
         "\nSouhaitez-vous continuer avec l'installation ? [on] ",
         "\nWeiter mit der Installation? [jn] ",
         "\nDeseja continuar com a instala\xe7\xe3o? [sn] "},
    };
    const int givenRow[] = {0, 3, 40, 41, 58, 63};
    for (int g = 0; g < 6; ++g)
        for (int l = 0; l < 6; ++l)
            EXPECT_STREQ(kTables[l].rows[givenRow[g]], given[g][l])
                << kTables[l].name << " row " << givenRow[g];
    EXPECT_STREQ(NLS_GERMAN[1] + 1, "I Inhalt");
    EXPECT_EQ(NLS_GERMAN[2][1], 'z');
}

TEST(MessageTables, TextsAreLatin1AndConvertToValidUtf8) {
    // The source holds escapes only: a UTF-8 letter typed into it would end
    // up as two Latin-1 bytes.
    std::ifstream src(ORVIK_SOURCE_DIR "/src/setup/Messages.cpp", std::ios::binary);
    ASSERT_TRUE(src.good());
    std::string code((std::istreambuf_iterator<char>(src)), std::istreambuf_iterator<char>());
    for (unsigned char c : code)
        ASSERT_LT(c, 0x80) << "the source is not plain ASCII";

    for (const Table& t : kTables) {
        int nonAscii = 0;
        for (int n = 0; n < SETUP_MSG_COUNT; ++n) {
            SCOPED_TRACE(std::string(t.name) + " row " + std::to_string(n));
            const char* row = t.rows[n];
            for (const char* p = row; *p; ++p) {
                unsigned char c = *p, next = p[1];
                if (c < 0x80) continue;
                ++nonAscii;
                EXPECT_TRUE(IsLatin1LetterOrMark(c)) << "byte " << int(c);
                // A lead byte followed by a continuation byte is UTF-8 that slipped in.
                EXPECT_FALSE(c >= 0xc2 && c <= 0xf4 && next >= 0x80 && next <= 0xbf)
                    << "UTF-8 at byte " << int(c);
            }
            std::string utf8 = Converted(row);
            EXPECT_TRUE(ValidUtf8(utf8));
            EXPECT_EQ(Utf8ToLatin1(utf8), row);
        }
        if (t.rows == NLS_ENGLISH)
            EXPECT_EQ(nonAscii, 0);
        else
            EXPECT_GT(nonAscii, 10) << t.name;
    }
}

TEST(MessageTables, Latin1ToUtf8ConvertsEachHighByteToTwo) {
    EXPECT_EQ(Converted("\xf3"), "\xc3\xb3");
    EXPECT_EQ(Converted("instalaci\xf3n"), "instalaci\xc3\xb3n");
    EXPECT_EQ(Converted("plain ASCII, %s\n"), "plain ASCII, %s\n");
    EXPECT_EQ(Converted(""), "");
    EXPECT_EQ(Converted("\x80\xa0\xbf\xc0\xff"), "\xc2\x80\xc2\xa0\xc2\xbf\xc3\x80\xc3\xbf");
    EXPECT_EQ(Latin1ToUtf8(nullptr), nullptr);
}

// ------------------------------------------------------------ language choice
// The choice is made once per process, so every case runs in a child of its
// own. The child sets LANG, makes the first lookup (and, when later is given,
// changes LANG and looks up again), and reports on standard error which
// table served it, whether the text came as UTF-8, and what LANG reads now.
namespace {

[[noreturn]] void ReportChoice(const char* lang, const char* later = nullptr) {
    if (lang)
        setenv("LANG", lang, 1);
    else
        unsetenv("LANG");
    const char* first = nlsSetupStrCvt(3);
    if (later) setenv("LANG", later, 1);
    const char* table = "NONE";
    const char* output = "latin1";
    for (const Table& t : kTables) {
        if (first == t.rows[3] || Converted(t.rows[3]) == first) table = t.name;
        if (first != t.rows[3] && Converted(t.rows[3]) != first) continue;
        // Its first row with a non-ASCII letter tells the output encoding.
        output = "ascii";
        for (int n = 0; n < SETUP_MSG_COUNT; ++n) {
            if (Converted(t.rows[n]) == t.rows[n]) continue;
            const char* got = nlsSetupStrCvt(n);
            if (got == t.rows[n])
                output = "latin1";
            else if (Converted(t.rows[n]) == got && nlsSetupStrCvt(n) == got)
                output = "utf8";
            else
                output = "wrong";
            break;
        }
    }
    const char* now = getenv("LANG");
    fprintf(stderr, "table=%s output=%s LANG=%s.\n", table, output, now ? now : "(unset)");
    exit(0);
}

class LanguageChoice : public ::testing::Test {
  protected:
    // A child that re-runs the program starts with no language chosen, even
    // when this process has made a lookup before.
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

} // namespace

#define EXPECT_CHOICE(lang, report)                                                                \
    EXPECT_EXIT(ReportChoice(lang), ::testing::ExitedWithCode(0), report)

TEST_F(LanguageChoice, UnknownOrMissingCodesSelectEnglish) {
    EXPECT_CHOICE(nullptr, "table=ENGLISH output=ascii LANG=\\(unset\\)\\.");
    EXPECT_CHOICE("", "table=ENGLISH output=ascii LANG=\\.");
    EXPECT_CHOICE("C", "table=ENGLISH output=ascii LANG=C\\.");
    EXPECT_CHOICE("de", "table=ENGLISH output=ascii LANG=de\\.");
    EXPECT_CHOICE("ES_ES", "table=ENGLISH output=ascii LANG=ES_ES\\.");
    EXPECT_CHOICE("nl_NL", "table=ENGLISH output=ascii LANG=nl_NL\\.");
    EXPECT_CHOICE("es_ES,it_IT", "table=ENGLISH output=ascii LANG=es_ES,it_IT\\.");
    EXPECT_CHOICE("en_US.ISO8859-1", "table=ENGLISH output=ascii LANG=en_US\\.");
}

TEST_F(LanguageChoice, EachCodeSelectsItsTableAndLangLosesItsSuffix) {
    EXPECT_CHOICE("en_US", "table=ENGLISH output=ascii LANG=en_US\\.");
    EXPECT_CHOICE("es_ES", "table=SPANISH output=latin1 LANG=es_ES\\.");
    EXPECT_CHOICE("it_IT", "table=ITALIAN output=latin1 LANG=it_IT\\.");
    EXPECT_CHOICE("fr_FR.ISO8859-1", "table=FRENCH output=latin1 LANG=fr_FR\\.");
    EXPECT_CHOICE("ge_GE", "table=GERMAN output=latin1 LANG=ge_GE\\.");
    EXPECT_CHOICE("pr_BR.ISO-8859-1", "table=PORTUGUESE output=latin1 LANG=pr_BR\\.");
}

TEST_F(LanguageChoice, SystemLocaleNamesSelectByLanguageWhateverTheTerritory) {
    EXPECT_CHOICE("de_DE", "table=GERMAN output=latin1 LANG=de_DE\\.");
    EXPECT_CHOICE("de_AT", "table=GERMAN output=latin1 LANG=de_AT\\.");
    EXPECT_CHOICE("de_CH.UTF-8", "table=GERMAN output=utf8 LANG=de_CH\\.");
    EXPECT_CHOICE("pt_BR", "table=PORTUGUESE output=latin1 LANG=pt_BR\\.");
    EXPECT_CHOICE("pt_PT", "table=PORTUGUESE output=latin1 LANG=pt_PT\\.");
    EXPECT_CHOICE("es_MX", "table=SPANISH output=latin1 LANG=es_MX\\.");
    EXPECT_CHOICE("es_ES@euro", "table=SPANISH output=latin1 LANG=es_ES@euro\\.");
    EXPECT_CHOICE("it_CH", "table=ITALIAN output=latin1 LANG=it_CH\\.");
    EXPECT_CHOICE("fr_CA", "table=FRENCH output=latin1 LANG=fr_CA\\.");
    EXPECT_CHOICE("en_GB", "table=ENGLISH output=ascii LANG=en_GB\\.");
}

TEST_F(LanguageChoice, Utf8CodesetConvertsTheOutputInAnyLetterCase) {
    EXPECT_CHOICE("es_ES.UTF-8", "table=SPANISH output=utf8 LANG=es_ES\\.");
    EXPECT_CHOICE("ge_GE.utf8@euro", "table=GERMAN output=utf8 LANG=ge_GE\\.");
    EXPECT_CHOICE("fr_FR.Utf-8", "table=FRENCH output=utf8 LANG=fr_FR\\.");
    EXPECT_CHOICE("pr_BR.UTF8", "table=PORTUGUESE output=utf8 LANG=pr_BR\\.");
    EXPECT_CHOICE("it_IT.UTF-16", "table=ITALIAN output=latin1 LANG=it_IT\\.");
    EXPECT_CHOICE("es_ES.UTF-8x", "table=SPANISH output=latin1 LANG=es_ES\\.");
}

TEST_F(LanguageChoice, TheFirstLookupFixesTheLanguageForTheRun) {
    EXPECT_EXIT(ReportChoice("es_ES", "it_IT"), ::testing::ExitedWithCode(0),
                "table=SPANISH output=latin1 LANG=it_IT\\.");
    EXPECT_EXIT(ReportChoice(nullptr, "fr_FR.UTF-8"), ::testing::ExitedWithCode(0),
                "table=ENGLISH output=ascii LANG=fr_FR.UTF-8\\.");
}

TEST_F(LanguageChoice, NumbersOutsideTheTableGiveTheEmptyText) {
    EXPECT_EXIT(
        {
            setenv("LANG", "fr_FR", 1);
            bool ok = strcmp(nlsSetupStrCvt(-1), "") == 0 &&
                      strcmp(nlsSetupStrCvt(SETUP_MSG_COUNT), "") == 0 &&
                      strcmp(nlsSetupStrCvt(57), "") == 0;
            exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
