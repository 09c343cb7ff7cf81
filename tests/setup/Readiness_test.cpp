// The readiness check: the user, as a stand-in whoami tells it, and the
// question about an old print daemon, answered on standard input.
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "SysCmd/SysCmd.h"
#include "TextMenu/TextMenu.h"
#include "setup/setup.h"

namespace fs = std::filesystem;

namespace {

constexpr int RETURNED = 40; // + the result

class Readiness : public ::testing::Test {
  protected:
    void SetUp() override {
        flUseLog = false;
        flMidLine = false;
        my_name = "setup";
        fs::create_directories(dir + "/bin");
        fs::create_directories(dir + "/app");
        appDir = dir + "/app";
        pAppDir = appDir.data();
        binDir = dir + "/bin";
        ComList[CMD_WHOAMI].pPath = binDir.c_str();
        User("root");
    }

    void User(const std::string& name) {
        WriteFile(dir + "/bin/whoami", "#!/bin/sh\necho " + name + "\n", true);
    }
    void OldDaemon(const char* file) { std::ofstream(appDir + "/" + file) << "old"; }

    // The check in a child with INPUT on standard input; the exit status
    // carries the result (or 0 when the program ended), output in Out().
    void Ask(const std::string& input) {
        ChildInput(dir, input);
        ChildOutput(dir);
        flExitTextMenu = false;
        bool ready = readyForInstallation();
        fflush(stdout);
        if (!ready && !flExitTextMenu) _exit(92); // a refusal leaves the menu flag set
        std::ofstream(dir + "/consumed") << ftell(stdin);
        _exit(RETURNED + ready);
    }
    std::string Out() { return ReadFile(dir + "/stdout"); }
    long Consumed() { return std::stol(ReadFile(dir + "/consumed")); }
    std::string Warning() {
        char buf[4096];
        snprintf(buf, sizeof buf, nlsSetupStrCvt(62), "Orvik", "Orvik", "Orvik", "qpxx");
        return buf;
    }

    TempDir tmp{"/tmp/front-ready-"};
    Restore<const char*> whoami{ComList[CMD_WHOAMI].pPath};
    std::string dir = tmp.path(), appDir, binDir;
};

TEST_F(Readiness, OnlyRootInstalls) {
    User("admin");
    OldDaemon("QPrintD"); // not asked about: the user is refused first
    EXPECT_EXIT(Ask("y\n"), testing::ExitedWithCode(RETURNED + 0), "");
    EXPECT_EQ(Out(), "admin is logged in\nYou must become root to run setup\n");

    User("rooted"); // the name, not a prefix of it
    EXPECT_EXIT(Ask(""), testing::ExitedWithCode(RETURNED + 0), "");
    EXPECT_EQ(Out().rfind("rooted is logged in\n", 0), 0u);
}

TEST_F(Readiness, RootWithoutOldDaemonGoesOnSilently) {
    OldDaemon("QPrintDaemon"); // other names do not count
    EXPECT_EXIT(Ask("left unread\n"), testing::ExitedWithCode(RETURNED + 1), "");
    EXPECT_EQ(Out(), "");
    EXPECT_EQ(Consumed(), 0);
}

TEST_F(Readiness, OldDaemonAsksUntilYes) {
    OldDaemon("QPrintDStop");
    EXPECT_EXIT(Ask(" y please\n"), testing::ExitedWithCode(RETURNED + 1), "");
    EXPECT_EQ(Out(), Warning() + nlsSetupStrCvt(63) + "\n"); // the piped answer's line closed
    EXPECT_NE(Out().find("NOTE: QPrintD is located in <install directory>/Orvik/qpxx\n"),
              std::string::npos);
    EXPECT_NE(Out().find("\nDo You want to continue with the installation? [yn] "),
              std::string::npos);

    // Only y, yes, n and no, whole and in lower case, are answers; the letters
    // of other languages and empty lines ask again, without the warning.
    EXPECT_EXIT(Ask("Y\nYES\ns\nj\n\n \t\ny,no\nyesno\nyes\n"),
                testing::ExitedWithCode(RETURNED + 1), "");
    EXPECT_EQ(Count(Out(), nlsSetupStrCvt(63)), 9);
    EXPECT_EQ(Count(Out(), "NOTE: QPrintD"), 1);

    // An overlong line is one answer; its rest is not the next one.
    EXPECT_EXIT(Ask(std::string(600, 'x') + " yes\ny\n"), testing::ExitedWithCode(RETURNED + 1),
                "");
    EXPECT_EQ(Count(Out(), nlsSetupStrCvt(63)), 2);
    EXPECT_EQ(Consumed(), 600 + 4 + 1 + 2);

    // The last answer may lack its line end.
    EXPECT_EXIT(Ask("\tyes"), testing::ExitedWithCode(RETURNED + 1), "");
}

TEST_F(Readiness, NoOrEndOfInputStopsTheProgram) {
    OldDaemon("QPrintD");
    for (const char* answer : {"n\n", "no\n", "x\nno thanks\n", ""}) {
        EXPECT_EXIT(Ask(answer), testing::ExitedWithCode(SETUP_EXIT_STOPPED), "") << answer;
        EXPECT_EQ(Out().rfind(Warning() + nlsSetupStrCvt(63), 0), 0u) << answer;
        // Piped answers are not echoed: the program ends the prompt's line.
        EXPECT_EQ(Out().back(), '\n') << answer;
    }
    EXPECT_EQ(Out(), Warning() + nlsSetupStrCvt(63) + "\n");
    EXPECT_TRUE(fs::exists(appDir + "/QPrintD"));
}

// Each language takes the letters its question shows and the words that go
// with them, besides the English answers; other letters ask again.
class ReadinessInLanguage : public Readiness {
  protected:
    void SetUp() override {
        Readiness::SetUp();
        OldDaemon("QPrintD");
    }
    void TearDown() override { ResetLanguageForTests(); }
    // In the child: the language chosen afresh from lang.
    void AskIn(const char* lang, const std::string& input) {
        ResetLanguageForTests();
        setenv("LANG", lang, 1);
        Ask(input);
    }
};

TEST_F(ReadinessInLanguage, TheLettersAndWordsOfTheQuestionsLanguage) {
    struct Case {
        const char* lang;
        std::string yes, no, wrong;
    };
    const Case cases[] = {
        {"es_ES", "s\n", "n\n", "j\n"},          {"es_MX.UTF-8", "si\n", "no\n", "o\n"},
        {"pr_BR", "sim\n", "n\n", "ja\n"},       {"pt_BR.UTF-8", "s\n", "n\xc3\xa3o\n", "oui\n"},
        {"fr_FR", "o\n", "non\n", "s\n"},        {"fr_CA", "oui\n", "n\n", "j\n"},
        {"ge_GE", "j\n", "nein\n", "s\n"},       {"de_DE.UTF-8", "ja\n", "n\n", "oui\n"},
        {"it_IT", "si\n", "no\n", "j\n"},        {"en_US", "yes\n", "no\n", "s\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(AskIn(c.lang, c.wrong + c.yes), testing::ExitedWithCode(RETURNED + 1), "")
            << c.lang;
        EXPECT_EQ(Count(Out(), "[yn]"), std::string(c.lang).rfind("en", 0) == 0 ||
                                                 std::string(c.lang).rfind("it", 0) == 0
                                             ? 2
                                             : 0)
            << c.lang << ": " << Out();
        EXPECT_EXIT(AskIn(c.lang, c.wrong + c.no), testing::ExitedWithCode(SETUP_EXIT_STOPPED),
                    "")
            << c.lang;
        EXPECT_EXIT(AskIn(c.lang, "y\n"), testing::ExitedWithCode(RETURNED + 1), "") << c.lang;
    }
    EXPECT_EXIT(AskIn("ge_GE", "J\nJa\nj\n"), testing::ExitedWithCode(RETURNED + 1), "");
    EXPECT_NE(Out().find("[jn] "), std::string::npos);
}

} // namespace
