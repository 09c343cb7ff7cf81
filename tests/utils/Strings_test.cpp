#include <gtest/gtest.h>

#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// A text in a heap block of exactly its size, so that the sanitizers catch
// any read past its terminator.
std::unique_ptr<char[]> Exact(const std::string& s) {
    std::unique_ptr<char[]> p(new char[s.size() + 1]);
    memcpy(p.get(), s.c_str(), s.size() + 1);
    return p;
}

std::string Take(char* p) {
    std::string s = p ? p : "<null>";
    PutMem(p);
    return s;
}

} // namespace

TEST(SaveStr, ExpandsAndCopiesExactly) {
    EXPECT_EQ(Take(SaveStr("%s/%s", "a", "b")), "a/b");
    EXPECT_EQ(Take(SaveStr("%d%%", 50)), "50%");
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
    // Exactly at the edge of the first guess: 8191 and 8192 characters.
    std::string edge(8191, 'e');
    EXPECT_EQ(Take(SaveStr("%s", edge.c_str())), edge);
    EXPECT_EQ(Take(SaveStr("%s!", edge.c_str())), edge + "!");
    // SaveStr__ measures too: nothing is cut at its 64 KiB scratch area.
    std::string huge(70000, 'h');
    EXPECT_EQ(Take(SaveStr__("%s", huge.c_str())), huge);
    std::string fits(65535, 'i');
    EXPECT_EQ(Take(SaveStr__("%s", fits.c_str())), fits);
}

TEST(PathPieces, SplitAsDocumented) {
    EXPECT_STREQ(StripPath("/usr/bin/ls"), "ls");
    EXPECT_STREQ(StripPath("/usr/bin/"), "bin");
    EXPECT_STREQ(StripPath("ls"), "ls");
    EXPECT_STREQ(StripPath("/"), "/");
    EXPECT_STREQ(StripPath("//"), "//");
    EXPECT_STREQ(StripPath(""), "");
    EXPECT_STREQ(StripPath(nullptr), "");

    EXPECT_STREQ(StripFn("/usr/bin/ls"), "/usr/bin");
    EXPECT_STREQ(StripFn("/usr/bin/"), "/usr/bin");
    EXPECT_STREQ(StripFn("/ls"), "/");
    EXPECT_STREQ(StripFn("/"), "/");
    EXPECT_STREQ(StripFn("a/"), "a");
    EXPECT_STREQ(StripFn("a/b"), "a");
    EXPECT_STREQ(StripFn("ls"), ".");
    EXPECT_STREQ(StripFn(""), ".");
    EXPECT_STREQ(StripFn(nullptr), ".");

    EXPECT_STREQ(StripExt("a.b.c"), "a");
    EXPECT_STREQ(StripExt("dir.d/file"), "dir");
    EXPECT_STREQ(StripExt(".profile"), ".profile");
    EXPECT_STREQ(StripExt("..x.y"), "..x");
    EXPECT_STREQ(StripPathExt("/x/y/file.tar.gz"), "file");
    EXPECT_STREQ(StripPathExt("/"), "/");
    EXPECT_STREQ(StripPathExt(nullptr), "");

    // Distinct buffers: both results can be held at once.
    const char* name = StripPath("/opt/pkg/file");
    const char* dir = StripFn("/opt/pkg/file");
    EXPECT_STREQ(name, "file");
    EXPECT_STREQ(dir, "/opt/pkg");
}

TEST(PathPieces, StripPathNameDropsLeadingRelativeSteps) {
    EXPECT_STREQ(StripPathName(nullptr), "");
    EXPECT_STREQ(StripPathName("."), "");
    EXPECT_STREQ(StripPathName(".."), "");
    EXPECT_STREQ(StripPathName("file.txt"), "file.txt");
    EXPECT_STREQ(StripPathName("./bin/setup"), "bin/setup");
    EXPECT_STREQ(StripPathName("../../x"), "x");
    EXPECT_STREQ(StripPathName("/usr/bin"), "/usr/bin");
    EXPECT_STREQ(StripPathName("./"), "");
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
}

TEST(PathPieces, GenNameJoinsCapitalisedWords) {
    EXPECT_STREQ(GenName("hello world-2x"), "HelloWorld2x");
    EXPECT_STREQ(GenName("--my print queue"), "MyPrintQueue");
    EXPECT_STREQ(GenName("  print queue 2"), "PrintQueue2");
    EXPECT_STREQ(GenName("PRINT"), "Print");
    EXPECT_STREQ(GenName("123 !"), "");
}

TEST(Search, StrChrSkipsEscapesAndStopsAtTheEnd) {
    auto text = Exact("a\\,b,c");
    EXPECT_EQ(StrChr(text.get(), ','), text.get() + 4);
    auto trailing = Exact("ab\\");
    EXPECT_EQ(StrChr(trailing.get(), 'x'), nullptr);
    EXPECT_EQ(StrChr(trailing.get(), '\\'), nullptr);
    auto escaped = Exact("\\\\x");
    EXPECT_EQ(StrChr(escaped.get(), 'x'), escaped.get() + 2);
    EXPECT_EQ(StrChr(nullptr, 'x'), nullptr);
    EXPECT_EQ(StrChr("abc", 0), nullptr);

    const char* list = "a,b,c";
    EXPECT_EQ(StrNChr(list, ',', 2), list + 3);
    EXPECT_EQ(StrNChr(list, ',', 3), nullptr);
    EXPECT_EQ(StrNChr(list, ',', 0), nullptr);
    EXPECT_EQ(StrNChr(nullptr, ',', 1), nullptr);
}

TEST(Search, StrStrFamilyNeverMatchesAnEmptyPattern) {
    const char* abc = "abcabc";
    EXPECT_EQ(StrStr(abc, "bc"), abc + 1);
    EXPECT_EQ(StrStr(abc, ""), nullptr);
    EXPECT_EQ(StrStr(abc, "cab"), abc + 2);
    EXPECT_EQ(StrStr(abc, "abcabcd"), nullptr);
    EXPECT_EQ(StrStr(nullptr, "a"), nullptr);
    EXPECT_EQ(StrStr(abc, nullptr), nullptr);
    const char* hello = "Hello";
    EXPECT_EQ(StrCaseStr(hello, "LL"), hello + 2);
    EXPECT_EQ(StrCaseStr(hello, ""), nullptr);

    const char* a4 = "aaaa";
    EXPECT_EQ(StrNStr(a4, "aa", 1), a4);
    EXPECT_EQ(StrNStr(a4, "aa", 3), a4 + 2);
    EXPECT_EQ(StrNStr(a4, "aa", 4), nullptr);
    EXPECT_EQ(StrNStr(a4, "aa", 0), nullptr);
    EXPECT_EQ(StrNStr("", "a", 1), nullptr);
    EXPECT_EQ(StrNStr(a4, "", 1), nullptr);
}

TEST(Cleaning, InPlaceRoutines) {
    char spaced[] = " \t\n x";
    EXPECT_EQ(SkipSpace(spaced), spaced + 4);
    EXPECT_EQ(SkipSpace(nullptr), nullptr);
    char slashes[] = "a\\\\b\\c";
    EXPECT_STREQ(StripAllBackslashes(slashes), "abc");
    char noisy[] = "a\tb\r\nc\x01\x7f\xe9" "d";
    EXPECT_STREQ(StripNonPrint(noisy, true), "abcd");
    char noisy2[] = "x\ny";
    EXPECT_STREQ(StripNonPrint(noisy2, false), "xy");
    EXPECT_EQ(StripNonPrint(nullptr, false), nullptr);
}

TEST(Cleaning, SetVarContentCopiesAndSwaps) {
    unsigned char src[4] = {1, 2, 3, 4};
    unsigned char dst[4] = {};
    SetVarContent(dst, src, 4, false);
    EXPECT_EQ(memcmp(dst, src, 4), 0);
    SetVarContent(dst, src, 4, true);
    const unsigned char swapped[4] = {4, 3, 2, 1};
    EXPECT_EQ(memcmp(dst, swapped, 4), 0);
    SetVarContent(src, src, 4, true); // in place
    EXPECT_EQ(memcmp(src, swapped, 4), 0);
}

TEST(Numbers, UnitConversionAndMax) {
    EXPECT_FLOAT_EQ(CvtFloatFormat(1.0f, 0, 2), 72.0f);
    EXPECT_EQ(CvtFloatFormat(72.0f, 2, 1), 2.54f);
    EXPECT_FLOAT_EQ(CvtFloatFormat(2.54f, 1, 0), 1.0f);
    EXPECT_FLOAT_EQ(CvtFloatFormat(1.0f, 0, 1), 2.54f);
    EXPECT_FLOAT_EQ(CvtFloatFormat(36.0f, 2, 0), 0.5f);
    EXPECT_FLOAT_EQ(CvtFloatFormat(2.54f, 1, 2), 72.0f);
    EXPECT_EQ(CvtFloatFormat(5.0f, 1, 1), 5.0f);
    EXPECT_EQ(CvtFloatFormat(5.0f, 3, 0), 5.0f);
    EXPECT_EQ(MaxD(1.0, 2.0), 2.0);
    EXPECT_EQ(MaxD(3.0, 2.0), 3.0);
    EXPECT_TRUE(std::signbit(MaxD(0.0, -0.0))); // equal: the second
    EXPECT_EQ(MaxD(NAN, 1.0), 1.0);             // unordered: the second
}

TEST(Environment, Queries) {
    setenv("ORVIK_STRINGS_TEST", "", 1);
    EXPECT_EQ(Take(GetEnv("ORVIK_STRINGS_TEST")), "");
    setenv("ORVIK_STRINGS_TEST", "50%d", 1);
    EXPECT_EQ(Take(GetEnv("ORVIK_STRINGS_TEST")), "50%d");
    unsetenv("ORVIK_STRINGS_TEST");
    EXPECT_EQ(GetEnv("ORVIK_STRINGS_TEST"), nullptr);

    std::string host = Take(GetHostname());
    EXPECT_NE(host, "<null>");
    EXPECT_EQ(host.find_first_of("\r\n"), std::string::npos);

    std::string user = Take(GetUserName());
    if (getuid() == 0) {
        EXPECT_EQ(user, "root"); // from whoami, or the super-user's fallback
    } else {
        EXPECT_NE(user, "<null>");
    }
}

TEST(Environment, ToolPathFromEveryFormOfStartPath) {
    char tmpl[] = "/tmp/orvik-strings-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string cwd = std::filesystem::canonical(tmpl).string();
    auto saved = std::filesystem::current_path();
    ASSERT_EQ(chdir(cwd.c_str()), 0);

    EXPECT_EQ(Take(GetToolPath("/opt/x/setup")), "/opt/x");
    EXPECT_EQ(Take(GetToolPath("/setup")), "/");
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
