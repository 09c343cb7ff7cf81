// The package list interpreter, run with the real command layer against a
// private work area and application directory (harmless cp, chmod, mv, sed
// and ln inside the test's own directory). The PkgListSandbox cases touch
// /usr/bin, root-owned changes and the process table: they run only inside
// the sandbox, started by tests/e2e/pkglist_sandbox_test.sh.
#include "setup/pkglist/PkgListHarness.h"

#include <sys/statfs.h>
#include <sys/utsname.h>
#include <sys/wait.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>

using namespace pkglist;
using ::testing::ExitedWithCode;

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    for (const auto& l : lines)
        if (l == line) return true;
    return false;
}

std::string Release() {
    struct utsname u {};
    uname(&u);
    return u.release;
}

// A version that a numeric comparison and a text comparison order on
// opposite sides of the release, like "2.2.5" against "2.2.14". Sets
// releaseFirst to whether the release sorts before it as text.
std::string TextOrderTrap(const std::string& r, bool& releaseFirst) {
    auto digit = [&](size_t i) {
        return i < r.size() && isdigit(static_cast<unsigned char>(r[i]));
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < r.size(); ++i) {
            if (!digit(i) || (i > 0 && digit(i - 1))) continue; // start of a number
            size_t n = i;
            while (digit(n))
                ++n;
            if (pass == 0 && n - i >= 2 && r[i] < '9') {
                releaseFirst = true; // "18" -> "2": numerically lower, sorts after
                return r.substr(0, i) + static_cast<char>(r[i] + 1);
            }
            if (pass == 1 && n - i == 1 && r[i] >= '2') {
                releaseFirst = false; // "6" -> "10": numerically higher, sorts before
                return r.substr(0, i) + "10";
            }
        }
    }
    return "";
}

int FailingUname(struct utsname*) {
    errno = EFAULT;
    return -1;
}

} // namespace

class PkgList : public PkgListTest {};

TEST_F(PkgList, CopyAttributesAddressTheItemAsWritten) {
    PkgDir("bin");
    PkgFile("bin/qsf", "#!/bin/sh\n");
    AppDir("bin"); // APP/bin/qsf stands in for a file an earlier line put there
    WriteFile(app + "/bin/qsf", "x\n");
    List("c bin/qsf mode 4755 owner root\n");

    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_TRUE(Exists(app + "/qsf")) << "cp puts the file into APP under its last name";
    // The later chown clears the set-user-id bit again (the system's rule for
    // an owner change); the installation sets qsf's final mode after the list.
    EXPECT_EQ(ModeOf(app + "/bin/qsf") & 0777, 0755u);
    auto cmds = Commands();
    ASSERT_EQ(cmds.size(), 3u) << Log();
    EXPECT_EQ(cmds[0], Logged(CMD_CP, pkg + "/bin/qsf " + app));
    EXPECT_EQ(cmds[1], Logged(CMD_CHMOD, "4755 " + app + "/bin/qsf"));
    EXPECT_EQ(cmds[2], Logged(CMD_CHOWN, "-R root " + app + "/bin/qsf"));
}

TEST_F(PkgList, FailedAttributeEndsTheRunWithEarlierLinesInEffect) {
    PkgFile("first");
    PkgDir("bin");
    PkgFile("bin/qsf");
    List("c first\nc bin/qsf mode 4755\nc never\n");
    EXPECT_EXIT(ProcessPkgList("pkg"), ExitedWithCode(1), "");
    EXPECT_TRUE(Exists(app + "/first"));
    EXPECT_TRUE(Exists(app + "/qsf"));
    EXPECT_PRED2(Has, Log(), "ERROR: ");
    EXPECT_FALSE(Contains(Commands(), Logged(CMD_CP, pkg + "/never " + app)));
}

TEST_F(PkgList, FailedCommandIsAWarningAndTheListGoesOn) {
    PkgFile("b");
    List("c missing\nt nodir/x\nc b\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_TRUE(Exists(app + "/b"));
    EXPECT_PRED2(Has, Log(), "WARNING_MSG: ");
}

TEST_F(PkgList, DirectoriesAreCopiedIntoAppOrToTheirDestination) {
    PkgDir("lib");
    PkgDir("lib/sub");
    PkgFile("lib/sub/a.so");
    std::string dest = root + "/dest";
    ASSERT_EQ(mkdir(dest.c_str(), 0755), 0);
    List("dir lib\ndirto lib " + dest + " mode 700\n");

    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_TRUE(Exists(app + "/lib/sub/a.so"));
    EXPECT_TRUE(Exists(dest + "/lib/sub/a.so"));
    auto cmds = Commands();
    ASSERT_EQ(cmds.size(), 3u) << Log();
    EXPECT_EQ(cmds[0], Logged(CMD_CP_R, pkg + "/lib " + app));
    EXPECT_EQ(cmds[1], Logged(CMD_CP_R, pkg + "/lib " + dest));
    EXPECT_EQ(cmds[2], Logged(CMD_CHMOD, "700 " + app + "/lib"))
        << "attributes of dirto address APP/ITEM";
}

TEST_F(PkgList, NewdirCreatesOnlyWhatIsAbsent) {
    List("newdir spool mode 777\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_EQ(ModeOf(app + "/spool"), 0777u);
    auto cmds = Commands();
    ASSERT_FALSE(cmds.empty()) << Log();
    EXPECT_EQ(cmds.back(), Logged(CMD_CHMOD, "777 " + app + "/spool"));
    EXPECT_TRUE(Contains(cmds, Logged(CMD_CHMOD, "775 " + app + "/spool")));

    ASSERT_EQ(chmod((app + "/spool").c_str(), 0750), 0);
    unlink(logPath.c_str());
    ResetLogForTests();
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_EQ(ModeOf(app + "/spool"), 0750u) << "a present directory is left alone";
    EXPECT_TRUE(Commands().empty()) << Log();
}

TEST_F(PkgList, SedEditsAnExistingFileInPlaceKeepingItsMode) {
    AppDir("etc");
    WriteFile(app + "/etc/app.cfg", "key=OLD OLD\n");
    ASSERT_EQ(chmod((app + "/etc/app.cfg").c_str(), 0600), 0);
    List("m etc/app.cfg sed s/OLD/NEW/g\nm etc/absent.cfg sed s/OLD/NEW/g\n"
         "s etc/absent.cfg mode 600\n");

    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_EQ(ReadFile(app + "/etc/app.cfg"), "key=NEW NEW\n");
    EXPECT_EQ(ModeOf(app + "/etc/app.cfg"), 0600u);
    EXPECT_FALSE(Exists(app + "/etc/absent.cfg"));
    // The sed run itself is not logged; its copy and removal run silently.
    EXPECT_TRUE(Commands().empty()) << Log();
}

TEST_F(PkgList, SedInTheFirstPairTakesTheWholeRestOfTheLine) {
    PkgFile("conf", "a c\n");
    PkgFile("conf2", "a b\n");
    List("c conf sed -e s/a/x/ -e s/c/y/   mode 644 \n"
         "t log mode 666 sed x\n");
    // The rest is one value: the words mode and 644 reach sed as file names.
    EXPECT_EXIT(ProcessPkgList("pkg"), ExitedWithCode(1), "");
    EXPECT_FALSE(Contains(Commands(), Logged(CMD_CHMOD, "644 " + app + "/conf"))) << Log();
    EXPECT_FALSE(Exists(app + "/log")) << "the run ended at the failed sed";

    unlink(logPath.c_str());
    ResetLogForTests();
    List("c conf sed -e s/a/x/ -e s/c/y/\nt log mode 666 sed x\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_EQ(ReadFile(app + "/conf"), "x y\n");
    EXPECT_TRUE(Exists(app + "/log"));
    EXPECT_EQ(ModeOf(app + "/log"), 0666u) << "sed in the second pair takes one word";
    auto cmds = Commands();
    ASSERT_EQ(cmds.size(), 3u) << Log();
    EXPECT_EQ(cmds[1], Logged(CMD_TOUCH, app + "/log"));
    EXPECT_EQ(cmds[2], Logged(CMD_CHMOD, "666 " + app + "/log"));
}

TEST_F(PkgList, SedReplacesWhateverLiesAtItsTemporaryPath) {
    std::string victim = root + "/victim";
    WriteFile(victim, "precious\n");
    std::string tmp = "/tmp/" + logName + ".tmp";
    ASSERT_EQ(symlink(victim.c_str(), tmp.c_str()), 0);
    WriteFile(app + "/cfg", "OLD\n");
    List("m cfg sed s/OLD/NEW/\n");

    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_EQ(ReadFile(victim), "precious\n");
    EXPECT_EQ(ReadFile(app + "/cfg"), "NEW\n");
    EXPECT_FALSE(Exists(tmp));
}

TEST_F(PkgList, ReleaseConditionsCompareTheRealReleaseAsText) {
    const std::string r = Release();
    ASSERT_GE(r.size(), 2u);
    const std::string below = r.substr(0, r.size() - 1); // a prefix sorts before
    const std::string above = r + "0";
    bool releaseFirst = false;
    const std::string trap = TextOrderTrap(r, releaseFirst);
    ASSERT_FALSE(trap.empty()) << r;
    for (const char* f : {"eq", "le", "ge", "lt", "gt", "bl", "ab", "trap", "chain", "chain2",
                          "noop", "unk", "cmt"})
        PkgFile(f);
    List("v = " + r +
         " c eq\n"
         "v <= " +
         r +
         " c le\n"
         "v >= " +
         r +
         " c ge\n"
         "v < " +
         r +
         " c lt\n"
         "v > " +
         r +
         " c gt\n"
         "v > " +
         below +
         " c bl\n"
         "v < " +
         above +
         " c ab\n"
         "v " +
         (releaseFirst ? "<" : ">") + " " + trap +
         " c trap\n"
         "v >= " +
         below + " v <= " + r +
         " c chain\n"
         "v >= " +
         below + " v > " + r +
         " c chain2\n"
         "v = " +
         r +
         "\n"
         "v =~ " +
         r +
         " c unk\n"
         "v = " +
         r +
         " # c cmt\n"
         "v = " +
         r + " newdir made mode 700\n");

    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    for (const char* f : {"eq", "le", "ge", "bl", "ab", "trap", "chain"})
        EXPECT_TRUE(Exists(app + "/" + f)) << f << " with release " << r;
    for (const char* f : {"lt", "gt", "chain2", "unk", "cmt"})
        EXPECT_FALSE(Exists(app + "/" + f)) << f << " with release " << r;
    EXPECT_EQ(ModeOf(app + "/made"), 0700u);
}

TEST_F(PkgList, UnknownReleaseReadsTheRestAsAttributePairs) {
    WriteFile(app + "/=", "");
    PkgFile("a");
    List("v = 1.0 mode 600 c a\n");
    PkgListUname = FailingUname;
    EXPECT_EXIT(
        {
            ProcessPkgList("pkg");
            std::exit(ModeOf(app + "/=") == 0600 && !Exists(app + "/a") ? 42 : 43);
        },
        ExitedWithCode(42), std::string(nlsSetupStrCvt(60)) + ": ");
    PkgListUname = uname;
}

TEST_F(PkgList, CommentsAndUnknownKeywords) {
    PkgFile("everything");
    PkgFile("data");
    List("# c everything\n\n   \nfrobnicate data\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_FALSE(Exists(app + "/everything"));
    EXPECT_TRUE(Exists(app + "/data"));
    auto cmds = Commands();
    ASSERT_EQ(cmds.size(), 1u) << Log();
    EXPECT_EQ(cmds[0], Logged(CMD_CP, pkg + "/data " + app));
}

TEST_F(PkgList, MissingWordsAreWarnedAndTheNextLineRuns) {
    PkgFile("a");
    PkgFile("b");
    PkgFile("ok");
    PkgDir("lib");
    List("c\n"         // 1
         "dirto lib\n" // 2
         "v\n"         // 3
         "v >=\n"      // 4
         "c a mode\n"  // 5
         "c b \\\n"    // 6, continued on 7
         "  mode 600 owner\n"
         "newdir\n"  // 8
         "m a sed\n" // 9
         "checkps\n" // 10
         "c ok mode 640\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    std::string log = Log();
    EXPECT_PRED2(Has, log, "pkg.list line 1: missing ITEM after \"c\"");
    EXPECT_PRED2(Has, log, "pkg.list line 2: missing DEST after \"dirto\"");
    EXPECT_PRED2(Has, log, "pkg.list line 3: missing operator after \"v\"");
    EXPECT_PRED2(Has, log, "pkg.list line 4: missing VERSION after \"v\"");
    EXPECT_PRED2(Has, log, "pkg.list line 5: missing VALUE after \"mode\"");
    EXPECT_PRED2(Has, log, "pkg.list line 6: missing VALUE after \"owner\"");
    EXPECT_PRED2(Has, log, "pkg.list line 8: missing ITEM after \"newdir\"");
    EXPECT_PRED2(Has, log, "pkg.list line 9: missing VALUE after \"sed\"");
    EXPECT_PRED2(Has, log, "pkg.list line 10: missing ITEM after \"checkps\"");
    EXPECT_EQ(ModeOf(app + "/b"), 0600u) << "the pairs before the missing value apply";
    EXPECT_EQ(ModeOf(app + "/ok"), 0640u);
    auto cmds = Commands();
    EXPECT_TRUE(Contains(cmds, Logged(CMD_CP, pkg + "/a " + app)));
    EXPECT_FALSE(Contains(cmds, Logged(CMD_CP_R, pkg + "/lib " + app)));
    for (const auto& c : cmds) // no command was formatted with a missing word
        EXPECT_FALSE(Has(c, "(null)")) << c;
}

TEST_F(PkgList, LinksAreRenewedOnAnUpgrade) {
    PkgFile("prog");
    PkgDir("lib");
    std::string links = root + "/links";
    ASSERT_EQ(mkdir(links.c_str(), 0755), 0);
    List("c prog link " + links +
         "/prog\n"
         "dir lib link " +
         links + "/lib\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_EQ(LinkTarget(links + "/prog"), app + "/prog");
    EXPECT_EQ(LinkTarget(links + "/lib"), app + "/lib");

    unlink(logPath.c_str());
    ResetLogForTests();
    EXPECT_EQ(ProcessPkgList("pkg"), 0) << "the second run meets the links of the first";
    EXPECT_EQ(LinkTarget(links + "/prog"), app + "/prog");
    EXPECT_EQ(LinkTarget(links + "/lib"), app + "/lib");
    EXPECT_FALSE(Exists(app + "/lib/lib")) << "no link is put inside the linked directory";
    auto cmds = Commands();
    EXPECT_TRUE(Contains(cmds, Logged(CMD_RM, links + "/prog"))) << Log();
    EXPECT_TRUE(Contains(cmds, Logged(CMD_LN, "-s " + app + "/prog " + links + "/prog")));
}

TEST_F(PkgList, NameRenamesWithinAppAndLaterAttributesKeepTheItem) {
    PkgFile("old");
    List("c old name new mode 600\n");
    // mode still addresses APP/old, which name has moved away.
    EXPECT_EXIT(ProcessPkgList("pkg"), ExitedWithCode(1), "");
    EXPECT_TRUE(Exists(app + "/new"));
    EXPECT_TRUE(Contains(Commands(), Logged(CMD_MV, app + "/old " + app + "/new")));
}

TEST_F(PkgList, NoRunningProgramLetsTheListGoOn) {
    PkgFile("after");
    List("checkps ,pkglist_surely_not_running,\nc after\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_TRUE(Exists(app + "/after"));
}

TEST_F(PkgList, MissingListEndsTheProgram) {
    EXPECT_EXIT(ProcessPkgList("nopkg"), ExitedWithCode(1),
                "ERROR: can't open file, .*/nopkg/pkg.list");
}

// ---------------------------------------------------------------- sandbox

class PkgListSandbox : public PkgListTest {
  protected:
    void SetUp() override {
        struct statfs fs {};
        if (std::getenv("ORVIK_PKGLIST_SANDBOX") == nullptr || statfs("/usr", &fs) != 0 ||
            fs.f_type != 0x794c7630 /* overlayfs */)
            GTEST_SKIP() << "runs only inside the sandbox (tests/e2e/pkglist_sandbox_test.sh)";
        PkgListTest::SetUp();
    }
};

TEST_F(PkgListSandbox, LauncherScriptStartsTheProgramFromApp) {
    PkgFile("qsf", "#!/bin/sh\necho \"$QPrintFileSourceDir|$(pwd)|$*\"\n");
    ASSERT_EQ(chmod((pkg + "/qsf").c_str(), 0755), 0);
    List("c qsf bat qsfrun\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_EQ(ModeOf("/usr/bin/qsfrun"), 0755u);
    std::string script = ReadFile("/usr/bin/qsfrun");
    EXPECT_EQ(script.rfind("#!/bin/sh\n", 0), 0u) << script;
    EXPECT_PRED2(Has, script, "cd " + app + " || exit 1\n");
    EXPECT_PRED2(Has, script, "exec " + app + "/qsf ");
    std::string out = root + "/out";
    std::string run = "cd " + root + " && /usr/bin/qsfrun a b > " + out;
    ASSERT_EQ(std::system(run.c_str()), 0);
    EXPECT_EQ(ReadFile(out), root + "|" + app + "|a b\n");
}

TEST_F(PkgListSandbox, SystemLinksOwnersAndGroups) {
    PkgFile("qsf");
    PkgDir("lib");
    PkgFile("lib/x");
    List("c qsf link /usr/bin/qsf owner daemon group lp\n"
         "dir lib owner lp\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_EQ(ProcessPkgList("pkg"), 0) << "an upgrade renews the link in /usr/bin";
    EXPECT_EQ(LinkTarget("/usr/bin/qsf"), app + "/qsf");
    struct stat st {};
    ASSERT_EQ(stat((app + "/qsf").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 1u);
    EXPECT_EQ(st.st_gid, 7u);
    ASSERT_EQ(stat((app + "/lib/x").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 7u) << "owner applies to the whole tree";
}

TEST_F(PkgListSandbox, SedKeepsTheOwnerAndSetIdModeOfTheItem) {
    WriteFile(app + "/qsf.cfg", "OLD\n");
    List("m qsf.cfg owner lp mode 4750 sed s/OLD/NEW/\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    struct stat st {};
    ASSERT_EQ(stat((app + "/qsf.cfg").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 7u);
    EXPECT_EQ(st.st_mode & 07777, 04750u);
    EXPECT_EQ(ReadFile(app + "/qsf.cfg"), "NEW\n");
}

TEST_F(PkgListSandbox, PlantedLinkAtTheSetupTemporaryFile) {
    my_name = "setup";
    WriteFile("/etc/pkglist-victim", "root:secret\n");
    ASSERT_EQ(symlink("/etc/pkglist-victim", "/tmp/setup.tmp"), 0);
    WriteFile(app + "/cfg", "OLD\n");
    List("m cfg sed s/OLD/NEW/\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_EQ(ReadFile("/etc/pkglist-victim"), "root:secret\n");
    EXPECT_EQ(ReadFile(app + "/cfg"), "NEW\n");
    EXPECT_FALSE(Exists("/tmp/setup.tmp"));
    my_name = SaveStr_(logName.c_str());
}

TEST_F(PkgListSandbox, QuitAtCheckpsStopsTheList) {
    ASSERT_EQ(std::system("cp /bin/sleep /tmp/qprint"), 0);
    pid_t decoy = fork();
    ASSERT_GE(decoy, 0);
    if (decoy == 0) {
        execl("/tmp/qprint", "qprint", "60", static_cast<char*>(nullptr));
        _exit(127);
    }
    usleep(200 * 1000);
    PkgFile("before");
    PkgFile("after");
    List("c before\ncheckps ,qprint,qsf,\nc after\n");
    WriteFile(root + "/answer", "2\n");
    ASSERT_NE(std::freopen((root + "/answer").c_str(), "r", stdin), nullptr);
    testing::internal::CaptureStdout();
    int result = ProcessPkgList("pkg");
    std::string shown = testing::internal::GetCapturedStdout();
    kill(decoy, SIGKILL);
    waitpid(decoy, nullptr, 0);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(Exists(app + "/before"));
    EXPECT_FALSE(Exists(app + "/after")) << "no line after the quit runs";
    EXPECT_PRED2(Has, shown, "qprint ( " + std::to_string(decoy) + " )");
}

// A continued line whose next physical line is longer than 510 characters
// stays one command: its rest was once read as a line of its own, whose first
// word ("mode" here) copied like "c".
TEST_F(PkgList, LongContinuationStaysPartOfItsLine) {
    PkgFile("data");
    List("c data \\\n" + std::string(600, ' ') + "mode 600\nt after\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_EQ(ModeOf(app + "/data"), 0600u);
    auto cmds = Commands();
    ASSERT_EQ(cmds.size(), 3u) << Log();
    EXPECT_EQ(cmds[0], Logged(CMD_CP, pkg + "/data " + app));
    EXPECT_EQ(cmds[1], Logged(CMD_CHMOD, "600 " + app + "/data"));
    EXPECT_EQ(cmds[2], Logged(CMD_TOUCH, app + "/after"));
}

// A launcher name is a file name in the launcher directory: a name that is a
// path ("../x", "a/b", also when spelt with escapes) is refused with a
// warning, so that a package list cannot overwrite any file of the system.
TEST_F(PkgList, LauncherNamesThatArePathsAreRefused) {
    std::string launchers = root + "/launchers";
    ASSERT_EQ(mkdir(launchers.c_str(), 0755), 0);
    Restore<const char*> saved(PkgListLauncherDir);
    PkgListLauncherDir = launchers.c_str();
    PkgFile("prog", "#!/bin/sh\n");
    List("c prog bat ../escaped\nc prog b\\at sub\\/x\nc prog bat run\nc prog bat .. mode 755\n");
    EXPECT_EQ(ProcessPkgList("pkg"), 0);
    EXPECT_FALSE(Exists(root + "/escaped"));
    EXPECT_FALSE(Exists(launchers + "/sub"));
    EXPECT_EQ(ModeOf(app + "/prog"), 0755u) << "the pairs after a refused name still apply";
    EXPECT_TRUE(Exists(launchers + "/run"));
    std::string log = Log();
    EXPECT_PRED2(Has, log, "line 1: launcher name \"../escaped\" is not a file name");
    EXPECT_PRED2(Has, log, "line 2: launcher name \"sub/x\" is not a file name");
    EXPECT_PRED2(Has, log, "line 4: launcher name \"..\" is not a file name");
}
