// The command line: every accepted form, the work-area parent (made
// absolute, created when missing, refused when unusable), the version
// option, and the base form of installation directories.
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "MemMgr/MemMgr.h"
#include "setup/setup.h"

namespace fs = std::filesystem;

namespace {

std::string Cut(std::string text) {
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    char* result = StripToBaseName(buf.data());
    EXPECT_EQ(result, buf.data());
    return result;
}

std::string Format(const char* fmt, const char* arg) {
    char buf[4096];
    snprintf(buf, sizeof buf, fmt, arg);
    return buf;
}

bool IsDir(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class CommandLine : public ::testing::Test {
  protected:
    void SetUp() override {
        flUseLog = false;
        my_name = "setup";
        pOrvikInstallDir = SaveStr("/tmp/%sInstall", DIR_WORD);
        pCmdLineInstallDir = nullptr;
        flCreatedTmpDir = false;
    }
    void TearDown() override {
        if (!oldCwd.empty()) {
            EXPECT_EQ(chdir(oldCwd.c_str()), 0);
        }
    }

    // Runs the parser on "setup" and ARGS; the argument texts stay alive
    // for the test, as the installation directory is cut in place.
    void Parse(std::vector<std::string> args, bool optionsOnly = false) {
        args.insert(args.begin(), "setup");
        argv.clear();
        for (auto& a : args) {
            auto& copy = store.emplace_back(a.begin(), a.end());
            copy.push_back('\0');
            argv.push_back(copy.data());
        }
        argv.push_back(nullptr);
        if (optionsOnly)
            checkCommandLineOptions(int(args.size()), argv.data());
        else
            parseCommandLineOptions(int(args.size()), argv.data());
    }

    // The option check in a child, as ParseToExit; 42 when it let the run go on.
    void CheckToExit(std::vector<std::string> args) {
        std::string outPath = dir + "/stdout";
        if (!freopen(outPath.c_str(), "w", stdout)) _exit(90);
        Parse(std::move(args), true);
        fflush(stdout);
        _exit(42);
    }

    // The parser in a child process with standard output in a file: the exit
    // status, and what it printed (in `out`).
    void ParseToExit(std::vector<std::string> args) {
        std::string outPath = dir + "/stdout";
        if (!freopen(outPath.c_str(), "w", stdout)) _exit(90);
        alarm(60);
        Parse(std::move(args));
        fflush(stdout);
        _exit(42); // the parser returned
    }
    std::string Out() { return ReadFile(dir + "/stdout"); }

    TempDir tmp{"/tmp/front-cmdline-"};
    std::string dir = tmp.path();
    std::string oldCwd;
    std::deque<std::vector<char>> store;
    std::vector<char*> argv;
};

TEST(StripToBaseName, CutsBackToTheDirectoryAboveOrvik) {
    EXPECT_EQ(Cut("/opt/Orvik/qpxx"), "/opt");
    EXPECT_EQ(Cut("/opt/Orvik/qpxx/"), "/opt");
    EXPECT_EQ(Cut("/opt/Orvik"), "/opt");
    EXPECT_EQ(Cut("/opt/"), "/opt");
    EXPECT_EQ(Cut("/opt"), "/opt");
    EXPECT_EQ(Cut("/"), "/");
    // The words are found anywhere, also inside longer components.
    EXPECT_EQ(Cut("/data/qpxxold/x"), "/data");
    EXPECT_EQ(Cut("/srv/Orviknew/qpxx"), "/srv");
    EXPECT_EQ(Cut("/a/qpxx/Orvik"), "/a");
    // Case-sensitive; only one trailing slash goes.
    EXPECT_EQ(Cut("/opt/orvik/QPXX"), "/opt/orvik/QPXX");
    EXPECT_EQ(Cut("/opt//"), "/opt/");
    EXPECT_EQ(Cut("qpxx"), "");
    EXPECT_EQ(StripToBaseName(nullptr), nullptr);
}

TEST_F(CommandLine, FormsWithoutWorkAreaKeepTheDefault) {
    Parse({});
    EXPECT_STREQ(pOrvikInstallDir, "/tmp/OrvikInstall");
    EXPECT_EQ(pCmdLineInstallDir, nullptr);

    Parse({"install"}); // install as the last word names nothing
    EXPECT_EQ(pCmdLineInstallDir, nullptr);

    Parse({"install", "/opt/Orvik/qpxx"});
    EXPECT_STREQ(pCmdLineInstallDir, "/opt");
    EXPECT_EQ(pCmdLineInstallDir, argv[2]); // the argument itself, cut in place
    EXPECT_STREQ(pOrvikInstallDir, "/tmp/OrvikInstall");
    EXPECT_FALSE(flCreatedTmpDir);
}

TEST_F(CommandLine, FormsWithWorkAreaParent) {
    Parse({dir + "/"});
    EXPECT_EQ(std::string(pOrvikInstallDir), dir + "/OrvikInstall");
    EXPECT_EQ(pCmdLineInstallDir, nullptr);
    EXPECT_FALSE(flCreatedTmpDir);

    Parse({dir, "/srv/"});
    EXPECT_EQ(std::string(pOrvikInstallDir), dir + "/OrvikInstall");
    EXPECT_STREQ(pCmdLineInstallDir, "/srv");

    pCmdLineInstallDir = nullptr;
    Parse({dir, "install", "/opt/Orvik"});
    EXPECT_EQ(std::string(pOrvikInstallDir), dir + "/OrvikInstall");
    EXPECT_STREQ(pCmdLineInstallDir, "/opt");

    // Later words of the same kind win: the third names the work area again.
    fs::create_directory(dir + "/b");
    Parse({dir, "/opt", dir + "/b"});
    EXPECT_EQ(std::string(pOrvikInstallDir), dir + "/b/OrvikInstall");
    EXPECT_STREQ(pCmdLineInstallDir, "/opt");

    // The root as parent.
    Parse({"/"});
    EXPECT_STREQ(pOrvikInstallDir, "/OrvikInstall");
}

TEST_F(CommandLine, MissingParentIsCreatedWithItsParents) {
    std::string parent = dir + "/new/deeper/";
    Parse({parent});
    EXPECT_TRUE(IsDir(dir + "/new/deeper"));
    EXPECT_TRUE(flCreatedTmpDir);
    EXPECT_EQ(std::string(pOrvikInstallDir), dir + "/new/deeper/OrvikInstall");
    EXPECT_FALSE(fs::exists(dir + "/new/deeper/OrvikInstall")); // the work area comes later
}

TEST_F(CommandLine, RelativeParentIsTakenFromTheCurrentDirectory) {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldCwd = cwd;
    ASSERT_EQ(chdir(dir.c_str()), 0);
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);

    Parse({"work"});
    EXPECT_EQ(std::string(pOrvikInstallDir), std::string(cwd) + "/work/OrvikInstall");
    EXPECT_TRUE(IsDir(std::string(cwd) + "/work"));
    EXPECT_TRUE(flCreatedTmpDir);
}

TEST_F(CommandLine, VersionPrintsAndEnds) {
    EXPECT_EXIT(Parse({"-v"}), testing::ExitedWithCode(0), "^setup 4\\.10\\.33\n$");
    // Words before it have taken effect; the name is the program's own.
    my_name = "qsetup";
    EXPECT_EXIT(Parse({"install", "/opt", "-v", "nothing-after"}), testing::ExitedWithCode(0),
                "^qsetup 4\\.10\\.33\n$");
    // Whole, case-sensitive words only: "-V" is a directory, here a relative one.
    EXPECT_EXIT(ParseToExit({"install", "-V"}), testing::ExitedWithCode(2), "");
}

// -h and --help answer with the usage and status 0; any other word that
// begins with "-" but -v is refused with the usage on standard error and
// status 2; the forms of the command line pass untouched.
TEST_F(CommandLine, HelpAndUnknownOptions) {
    for (const char* help : {"-h", "--help"}) {
        EXPECT_EXIT(CheckToExit({"/var/tmp", help}), testing::ExitedWithCode(0), "^$") << help;
        EXPECT_EQ(Out().rfind("usage: setup [WORKDIR] [INSTALLDIR]\n", 0), 0u) << Out();
        EXPECT_NE(Out().find("3 stopped at the user's request"), std::string::npos);
    }
    for (const char* bad : {"-x", "--bogus", "-", "-hv", "-V"}) {
        EXPECT_EXIT(CheckToExit({"install", "/opt", bad}), testing::ExitedWithCode(2),
                    std::string("^setup: unknown option '") + bad + "'\nusage: setup ")
            << bad;
        EXPECT_EQ(Out(), "") << bad;
    }
    EXPECT_EXIT(CheckToExit({"/var/tmp", "install", "/opt", "-v"}), testing::ExitedWithCode(42),
                "");
    EXPECT_EXIT(CheckToExit({"", "install"}), testing::ExitedWithCode(42), "");
}

TEST_F(CommandLine, UnusableWorkAreaParentEndsWithStatus2) {
    std::string file = dir + "/plain";
    std::ofstream(file) << "x";
    EXPECT_EXIT(ParseToExit({file}), testing::ExitedWithCode(2), "");
    EXPECT_EQ(Out(), Format(nlsSetupStrCvt(3), file.c_str()) + "\n\n");
    EXPECT_NE(Out().find("ERROR: couldn't open " + file), std::string::npos);

    // Far too long to be a work area: refused before anything is made.
    std::string longParent = dir;
    for (int i = 0; i < 30; ++i)
        longParent += "/component";
    EXPECT_EXIT(ParseToExit({longParent}), testing::ExitedWithCode(2), "");
    EXPECT_FALSE(fs::exists(dir + "/component"));
}

TEST_F(CommandLine, InstallationDirectoryMustBeAFullPath) {
    EXPECT_EXIT(ParseToExit({"install", "opt"}), testing::ExitedWithCode(2), "");
    EXPECT_EQ(Out().rfind(nlsSetupStrCvt(10), 0), 0u);
    EXPECT_NE(Out().find("This entry must be a full path"), std::string::npos);
    EXPECT_NE(Out().find("if it doesn't already exist.\n"), std::string::npos);

    // Nothing is left once the words are cut away.
    EXPECT_EXIT(ParseToExit({dir, "qpxx"}), testing::ExitedWithCode(2), "");
    EXPECT_EXIT(ParseToExit({"install", "/" + std::string(300, 'y')}), testing::ExitedWithCode(2),
                "");
}

} // namespace
