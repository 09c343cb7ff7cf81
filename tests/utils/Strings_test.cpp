#include <gtest/gtest.h>

#include "MemMgr/MemMgr.h"
#include "TestSupport.h"
#include "utils/utils.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

TEST(SaveStr, ExpandsAndCopiesExactly) {
    EXPECT_EQ(Take(SaveStr("%s/%s", "a", "b")), "a/b");
    EXPECT_EQ(Take(SaveStr_("")), "");
    EXPECT_EQ(Take(SaveStr_("100% sure")), "100% sure");
    EXPECT_EQ(SaveStr__(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(Take(SaveStr__("%s-%d", "x", 7)), "x-7");
}

TEST(SaveStr, ExpansionsLongerThanTheScratchBlockAreComplete) {
    std::string big(10000, 'q');
    EXPECT_EQ(Take(SaveStr("<%s>", big.c_str())), "<" + big + ">");
    // A long format (third 4 KiB step) whose expansion is longer still.
    std::string fmt(5000, 'f');
    fmt += "%s";
    EXPECT_EQ(Take(SaveStr(fmt.c_str(), big.c_str())), std::string(5000, 'f') + big);
    // At the edge of the first guess: 8191 and 8192 characters.
    std::string edge(8191, 'e');
    EXPECT_EQ(Take(SaveStr("%s", edge.c_str())), edge);
    EXPECT_EQ(Take(SaveStr("%s!", edge.c_str())), edge + "!");
    // SaveStr__ measures too: nothing is cut at its 64 KiB scratch area.
    std::string huge(70000, 'h');
    EXPECT_EQ(Take(SaveStr__("%s", huge.c_str())), huge);
}

TEST(PathPieces, SplitAsDocumented) {
    EXPECT_STREQ(StripPath("/usr/bin/"), "bin");
    EXPECT_STREQ(StripPath("/"), "/");
    EXPECT_STREQ(StripPath("//"), "//");
    EXPECT_STREQ(StripPath(""), "");
    EXPECT_STREQ(StripPath(nullptr), "");

    EXPECT_STREQ(StripFn("/ls"), "/");
    EXPECT_STREQ(StripFn("/"), "/");
    EXPECT_STREQ(StripFn("a/"), "a");
    EXPECT_STREQ(StripFn(""), ".");

    EXPECT_STREQ(StripExt(".profile"), ".profile");
    EXPECT_STREQ(StripExt("..x.y"), "..x");
    EXPECT_STREQ(StripPathExt("/x/y/file.tar.gz"), "file");
    EXPECT_STREQ(StripPathExt("/"), "/");

    // Distinct buffers: both results can be held at once.
    const char* name = StripPath("/opt/pkg/file");
    const char* dir = StripFn("/opt/pkg/file");
    EXPECT_STREQ(name, "file");
    EXPECT_STREQ(dir, "/opt/pkg");
}

TEST(PathPieces, LongInputsAreCutToTheirBuffer) {
    std::string longPath = "/" + std::string(50, 'd') + "/" + std::string(150, 'n');
    // StripPath sees the first 127 characters: the cut second component.
    EXPECT_EQ(std::string(StripPath(longPath.c_str())), std::string(75, 'n'));
    std::string longer = std::string(300, 'a') + "/b";
    EXPECT_EQ(std::string(StripFn(longer.c_str())), "."); // the '/' lies past 255
    std::string fnPath = std::string(200, 'a') + "/" + std::string(200, 'b');
    EXPECT_EQ(std::string(StripFn(fnPath.c_str())), std::string(200, 'a'));
    EXPECT_EQ(strlen(StripExt(std::string(400, 'x').c_str())), 127u);
    EXPECT_EQ(strlen(StripPathExt(std::string(400, 'x').c_str())), 127u);
    EXPECT_EQ(strlen(StripPathName(std::string(400, 'x').c_str())), 127u);
    EXPECT_EQ(strlen(GenName(std::string(400, 'x').c_str())), 254u);
    EXPECT_STREQ(GenName("--my print queue 2"), "MyPrintQueue2");
    EXPECT_STREQ(StripPathName("../../x/y"), "x/y");
    EXPECT_STREQ(StripPathName(".."), "");
}

TEST(Search, StrChrSkipsEscapesAndStopsAtTheEnd) {
    auto text = Exact("a\\,b,c");
    EXPECT_EQ(StrChr(text.get(), ','), text.get() + 4);
    auto trailing = Exact("ab\\");
    EXPECT_EQ(StrChr(trailing.get(), 'x'), nullptr);
    EXPECT_EQ(StrChr(trailing.get(), '\\'), nullptr);
    auto escaped = Exact("\\\\x");
    EXPECT_EQ(StrChr(escaped.get(), 'x'), escaped.get() + 2);
    EXPECT_EQ(StrChr("abc", 0), nullptr);

    const char* list = "a,b,c";
    EXPECT_EQ(StrNChr(list, ',', 2), list + 3);
    EXPECT_EQ(StrNChr(list, ',', 0), nullptr);
}

TEST(Search, StrStrFamilyNeverMatchesAnEmptyPattern) {
    const char* abc = "abcabc";
    EXPECT_EQ(StrStr(abc, "bc"), abc + 1);
    EXPECT_EQ(StrStr(abc, ""), nullptr);
    EXPECT_EQ(StrStr(abc, "abcabcd"), nullptr);
    const char* hello = "Hello";
    EXPECT_EQ(StrCaseStr(hello, "LL"), hello + 2);
    EXPECT_EQ(StrCaseStr(hello, ""), nullptr);

    const char* a4 = "aaaa";
    EXPECT_EQ(StrNStr(a4, "aa", 3), a4 + 2);
    EXPECT_EQ(StrNStr(a4, "aa", 4), nullptr);
    EXPECT_EQ(StrNStr(a4, "aa", 0), nullptr);
    EXPECT_EQ(StrNStr("", "a", 1), nullptr);
}

TEST(Cleaning, InPlaceRoutinesAndSwappedCopies) {
    char slashes[] = "a\\\\b\\c";
    EXPECT_STREQ(StripAllBackslashes(slashes), "abc");
    char noisy[] = "a\tb\r\nc\x01\x7f\xe9"
                   "d";
    EXPECT_STREQ(StripNonPrint(noisy, true), "abcd");
    unsigned char bytes[4] = {1, 2, 3, 4};
    SetVarContent(bytes, bytes, 4, true); // in place
    const unsigned char swapped[4] = {4, 3, 2, 1};
    EXPECT_EQ(memcmp(bytes, swapped, 4), 0);
    EXPECT_EQ(CvtFloatFormat(72.0f, 2, 1), 2.54f);
    EXPECT_FLOAT_EQ(CvtFloatFormat(2.54f, 1, 2), 72.0f);
    EXPECT_TRUE(std::signbit(MaxD(0.0, -0.0))); // equal: the second
}

TEST(Environment, CopiesAreExact) {
    setenv("ORVIK_STRINGS_TEST", "50%d", 1);
    EXPECT_EQ(Take(GetEnv("ORVIK_STRINGS_TEST")), "50%d");
    unsetenv("ORVIK_STRINGS_TEST");
    EXPECT_EQ(GetEnv("ORVIK_STRINGS_TEST"), nullptr);
    if (getuid() == 0) {
        EXPECT_EQ(Take(GetUserName()), "root");
    }
}

TEST(Environment, ToolPathFromEveryFormOfStartPath) {
    char tmpl[] = "/tmp/orvik-strings-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string cwd = std::filesystem::canonical(tmpl).string();
    auto saved = std::filesystem::current_path();
    ASSERT_EQ(chdir(cwd.c_str()), 0);

    EXPECT_EQ(Take(GetToolPath("/opt/x/setup")), "/opt/x");
    EXPECT_EQ(Take(GetToolPath("setup")), cwd);
    EXPECT_EQ(Take(GetToolPath("./setup")), cwd);
    EXPECT_EQ(Take(GetToolPath("./sub/setup")), cwd + "/sub");
    EXPECT_EQ(Take(GetToolPath("bin/setup")), cwd + "/bin");
    EXPECT_EQ(Take(GetToolPath("../setup")), cwd + "/..");
    EXPECT_EQ(Take(GetToolPath("../up/setup")), cwd + "/../up");

    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(Take(GetToolPath("bin/setup")), "/bin");
    EXPECT_EQ(Take(GetToolPath("setup")), "/");

    std::filesystem::current_path(saved);
    std::filesystem::remove_all(cwd);
}

// A deep working directory is read whole: cut short, a relative directory
// would be left that every later change of directory makes wrong.
TEST(Environment, ToolPathInALongWorkingDirectory) {
    TempDir tmp("/tmp/orvik-toolpath-");
    CwdGuard back;
    std::string deep = std::filesystem::canonical(tmp.path()).string();
    ASSERT_EQ(chdir(deep.c_str()), 0);
    std::string level(200, 'd');
    for (int i = 0; i < 5; ++i) { // about 1,000 characters
        ASSERT_EQ(mkdir(level.c_str(), 0700), 0);
        ASSERT_EQ(chdir(level.c_str()), 0);
        deep += "/" + level;
    }
    EXPECT_EQ(Take(GetToolPath("setup")), deep);
    EXPECT_EQ(Take(GetToolPath("bin/setup")), deep + "/bin");
    EXPECT_EQ(Take(GetToolPath((deep + "/setup").c_str())), deep);

    // Deeper than the longest path the system allows: the program stops
    // with the reason instead of handing on a relative directory.
    EXPECT_EXIT(
        {
            for (int i = 0; i < 20; ++i)
                if (mkdir(level.c_str(), 0700) != 0 || chdir(level.c_str()) != 0) exit(3);
            GetToolPath("setup");
        },
        testing::ExitedWithCode(1), "can't read the working directory");
    int depth = 0;
    while (chdir(level.c_str()) == 0)
        ++depth;
    for (; depth > 0; --depth)
        EXPECT_TRUE(chdir("..") == 0 && rmdir(level.c_str()) == 0);

    // So does a working directory that has been removed.
    EXPECT_EXIT(
        {
            if (rmdir(deep.c_str()) != 0) exit(3);
            GetToolPath("setup");
        },
        testing::ExitedWithCode(1), "can't read the working directory");
}
