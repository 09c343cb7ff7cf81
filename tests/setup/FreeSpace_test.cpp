// The free-space decision, driven by stand-in df and du programs: the table
// entries of df and du point at scripts in the test's own directory that
// answer from a map of paths to file systems and sizes.
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

namespace fs = std::filesystem;

namespace {

std::string Format(const char* fmt, const char* a, double d) {
    char buf[8192];
    snprintf(buf, sizeof buf, fmt, a, d);
    return buf;
}

std::string Format(const char* fmt, const char* a, const char* b, double d) {
    char buf[8192];
    snprintf(buf, sizeof buf, fmt, a, b, d);
    return buf;
}

constexpr int RETURNED = 42;

class FreeSpace : public ::testing::Test {
  protected:
    void SetUp() override {
        flUseLog = false;
        my_name = "front_space_test";
        fs::create_directories(dir + "/bin");
        fs::create_directories(dir + "/site");
        fs::create_directories(dir + "/w");
        fs::create_directories(dir + "/t");
        work = dir + "/w/OrvikInstall";
        target = dir + "/t";
        site = dir + "/site";
        pathToSetup = site;
        pPathToSetup = pathToSetup.data();

        // df: the longest mapped prefix of its path names the file system.
        WriteFile(dir + "/bin/df",
                  "#!/bin/sh\n"
                  "for a; do p=$a; done\n"
                  "echo \"df $p\" >> " +
                      dir +
                      "/calls\n"
                      "awk -v p=\"$p\" 'BEGIN { best = -1 }\n"
                      "  index(p, $1) == 1 && length($1) > best { best = length($1); dev = $2 }\n"
                      "  END { if (best < 0 || dev == \"none\") exit 1\n"
                      "        print \"Filesystem 1K-blocks Used Available Use% Mounted on\"\n"
                      "        while ((getline line < \"" +
                      dir +
                      "/avail\") > 0) {\n"
                      "          split(line, f, \" \"); if (f[1] == dev) av = f[2] }\n"
                      "        printf \"/dev/%s 9000000 1000 %s 1%% /mnt/%s\\n\", dev, av, dev }'"
                      " " +
                      dir + "/df.map\n",
                  true);
        // du: the size mapped for exactly this path.
        WriteFile(dir + "/bin/du",
                  "#!/bin/sh\n"
                  "for a; do p=$a; done\n"
                  "echo \"du $p\" >> " +
                      dir +
                      "/calls\n"
                      "awk -v p=\"$p\" '$1 == p { s = $2 } END { printf \"%d\\t%s\\n\", s, p }' " +
                      dir + "/du.map\n",
                  true);
        WriteFile(dir + "/du.map", "");

        // Point the table at the stand-ins; the real ones come back at the end.
        binDir = dir + "/bin";
        ComList[CMD_DF].pPath = binDir.c_str();
        ComList[CMD_DU].pPath = binDir.c_str();
    }

    // PATH lies on file system DEV (by longest prefix).
    void Map(std::map<std::string, std::string> paths, std::map<std::string, long> avail) {
        std::string m, a;
        for (auto& [p, d] : paths)
            m += p + " " + d + "\n";
        for (auto& [d, n] : avail)
            a += d + " " + std::to_string(n) + "\n";
        WriteFile(dir + "/df.map", m);
        WriteFile(dir + "/avail", a);
    }
    void Sizes(const std::string& isize, const std::string& tsize) {
        WriteFile(site + "/isize", isize);
        WriteFile(site + "/tsize", tsize);
    }

    // The check in a child: its exit status (RETURNED when it let the
    // installation go on) and its output in Out().
    void Check() {
        ChildOutput(dir);
        FreeSpaceForInstall(work.c_str(), target.c_str(), DIR_WORD);
        fflush(stdout);
        _exit(RETURNED);
    }
    std::string Out() { return ReadFile(dir + "/stdout"); }
    std::string Calls() { return ReadFile(dir + "/calls"); }

    TempDir tmp{"/tmp/front-space-"};
    Restore<const char*> df{ComList[CMD_DF].pPath}, du{ComList[CMD_DU].pPath};
    std::string dir = tmp.path(), work, target, site, pathToSetup, binDir;
};

#define EXPECT_CHECK(status) EXPECT_EXIT(Check(), testing::ExitedWithCode(status), "")

TEST_F(FreeSpace, MissingOrUnreadableSizesEndTheRun) {
    Map({{"/", "root"}}, {{"root", 1000000}});
    EXPECT_CHECK(SETUP_EXIT_FAILED);
    EXPECT_EQ(Out(), nlsSetupStrCvt(65));
    EXPECT_EQ(Out(), "Could not determine how much space needed for install, missing isize.\n");

    WriteFile(site + "/isize", "100\n"); // tsize missing: the same message
    EXPECT_CHECK(SETUP_EXIT_FAILED);
    EXPECT_EQ(Out(), nlsSetupStrCvt(65));

    Sizes("many\n", "100\n"); // no number: the need is unknown
    EXPECT_CHECK(SETUP_EXIT_FAILED);
    EXPECT_EQ(Out(), nlsSetupStrCvt(65));
    EXPECT_EQ(Calls(), ""); // nothing measured

    Sizes("100 blocks\n", "100");
    EXPECT_CHECK(RETURNED);
    EXPECT_EQ(Out(), "");
}

TEST_F(FreeSpace, SeparateFileSystemsAreCheckedEachAgainstItsOwnNeed) {
    Sizes("20000\n", "10000\n"); // 20040 for the installation, 10040 for the work area
    Map({{"/", "root"}, {dir + "/w", "wfs"}, {dir + "/t", "tfs"}},
        {{"root", 1000000}, {"wfs", 10040}, {"tfs", 20040}});
    EXPECT_CHECK(RETURNED); // exactly enough is enough
    EXPECT_EQ(Out(), "");
    // The work area does not exist yet: measured at its parent, no du.
    EXPECT_NE(Calls().find("df " + dir + "/w\n"), std::string::npos);
    EXPECT_EQ(Calls().find("du "), std::string::npos);

    Map({{"/", "root"}, {dir + "/w", "wfs"}, {dir + "/t", "tfs"}},
        {{"root", 1000000}, {"wfs", 10039}, {"tfs", 20040}});
    EXPECT_CHECK(SETUP_EXIT_FAILED);
    EXPECT_EQ(Out(), Format(nlsSetupStrCvt(49), work.c_str(), 10040.0));
    EXPECT_NE(Out().find("at least 1.004000e+04 bytes"), std::string::npos);

    Map({{"/", "root"}, {dir + "/w", "wfs"}, {dir + "/t", "tfs"}},
        {{"root", 1000000}, {"wfs", 10040}, {"tfs", 20039}});
    EXPECT_CHECK(SETUP_EXIT_FAILED);
    EXPECT_EQ(Out(), Format(nlsSetupStrCvt(55), target.c_str(), 20040.0));

    Sizes("12000\n", "1");
    Map({{"/", "root"}, {dir + "/w", "wfs"}, {dir + "/t", "tfs"}},
        {{"root", 1000000}, {"wfs", 100000}, {"tfs", 100}});
    EXPECT_CHECK(SETUP_EXIT_FAILED);
    EXPECT_NE(Out().find("There isn't enough space in " + target), std::string::npos);
    EXPECT_NE(Out().find("at least 1.204000e+04 bytes"), std::string::npos);
}

TEST_F(FreeSpace, OneFileSystemMustHoldBoth) {
    Sizes("20000", "10000"); // together 30080
    Map({{"/", "root"}}, {{"root", 30000}});
    EXPECT_CHECK(SETUP_EXIT_FAILED);
    EXPECT_EQ(Out(), Format(nlsSetupStrCvt(56), work.c_str(), target.c_str(), 30080.0) + "\n");
    EXPECT_NE(Out().find("requires 3.008000e+04 bytes free"), std::string::npos);

    Map({{"/", "root"}}, {{"root", 30080}});
    EXPECT_CHECK(RETURNED);
    EXPECT_EQ(Out(), "");
}

TEST_F(FreeSpace, SpaceOfTheCopiesBeingReplacedCountsAsFree) {
    // An upgrade in place with a work area left from an earlier run.
    fs::create_directories(target + "/Orvik/qpxx");
    fs::create_directories(work);
    WriteFile(dir + "/du.map", target + "/Orvik/qpxx 8000\n" + work + " 1000\n");
    Sizes("20000", "10000"); // together 30080

    Map({{"/", "root"}}, {{"root", 21080}}); // 21080 + 8000 + 1000
    EXPECT_CHECK(RETURNED);
    EXPECT_NE(Calls().find("du " + work + "\n"), std::string::npos);
    EXPECT_NE(Calls().find("du " + target + "/Orvik/qpxx\n"), std::string::npos);
    EXPECT_NE(Calls().find("df " + target + "/Orvik/qpxx\n"), std::string::npos);

    Map({{"/", "root"}}, {{"root", 21079}});
    EXPECT_CHECK(SETUP_EXIT_FAILED);
    EXPECT_EQ(Out(), Format(nlsSetupStrCvt(56), work.c_str(), target.c_str(), 30080.0) + "\n");

    // On separate file systems each side counts its own copy.
    Map({{"/", "root"}, {target, "tfs"}}, {{"root", 9040}, {"tfs", 12040}});
    EXPECT_CHECK(RETURNED); // 9040 + 1000 >= 10040, 12040 + 8000 >= 20040
    Map({{"/", "root"}, {target, "tfs"}}, {{"root", 9039}, {"tfs", 12040}});
    EXPECT_CHECK(SETUP_EXIT_FAILED);
    EXPECT_EQ(Out(), Format(nlsSetupStrCvt(49), work.c_str(), 10040.0));
}

TEST_F(FreeSpace, FullTargetFileSystemEndsTheRunAt17) {
    Sizes("1", "1");
    fs::create_directories(target + "/Orvik"); // measured at TARGET/Orvik
    Map({{"/", "root"}, {target, "tfs"}}, {{"root", 1000000}, {"tfs", 17}});
    EXPECT_CHECK(SETUP_EXIT_FAILED);
    EXPECT_EQ(Out(), Format(nlsSetupStrCvt(56), work.c_str(), target.c_str(), 82.0) + "\n");
    EXPECT_NE(Calls().find("df " + target + "/Orvik\n"), std::string::npos);

    Map({{"/", "root"}, {target, "tfs"}}, {{"root", 1000000}, {"tfs", 18}});
    EXPECT_EXIT(Check(), testing::ExitedWithCode(SETUP_EXIT_FAILED), ""); // 18 < 41: not full, but short
    EXPECT_EQ(Out(), Format(nlsSetupStrCvt(55), target.c_str(), 41.0));

    Map({{"/", "root"}, {target, "tfs"}}, {{"root", 1000000}, {"tfs", 41}});
    EXPECT_CHECK(RETURNED);
}

TEST_F(FreeSpace, TargetWithoutParentIsMeasuredAtTheRoot) {
    Sizes("1", "1");
    target = dir + "/none/deeper";
    Map({{"/", "root"}, {dir + "/w", "wfs"}}, {{"root", 41}, {"wfs", 41}});
    EXPECT_CHECK(RETURNED);
    EXPECT_NE(Calls().find("df /\n"), std::string::npos);

    Map({{"/", "root"}, {dir + "/w", "wfs"}}, {{"root", 40}, {"wfs", 41}});
    EXPECT_CHECK(SETUP_EXIT_FAILED);
    EXPECT_EQ(Out(), Format(nlsSetupStrCvt(55), target.c_str(), 41.0));
}

TEST_F(FreeSpace, UnmeasurableWorkAreaMeansNoCheck) {
    Sizes("1000000", "1000000");
    Map({{"/", "root"}, {dir + "/w", "none"}}, {{"root", 0}});
    EXPECT_CHECK(RETURNED);
    EXPECT_EQ(Out(), "");
    EXPECT_EQ(Calls(), "df " + dir + "/w\n");
}

} // namespace
