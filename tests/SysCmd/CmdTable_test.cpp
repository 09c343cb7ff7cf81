// The command table, start-up and first-use discovery, and the directory
// listings, against directories of the test's own.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>

#include "MemMgr/MemMgr.h"
#include "SysCmd/TestDirs.h"

using testdirs::LayerGuard;
using testdirs::WriteFile;

namespace {

std::string S(const char* text) {
    return text ? text : "(none)";
}

// Every tool name of the table, once.
std::set<std::string> AllToolNames() {
    std::set<std::string> names;
    for (int id = CMD_CANCEL; id <= CMD_LAST; ++id)
        names.insert(ComList[id].pName);
    return names;
}

} // namespace

TEST(CmdTable, HoldsEveryToolWithItsFlagsAndWait) {
    EXPECT_EQ(SYSCMD_COUNT, 86);
    EXPECT_STREQ(ComList[CMD_RAW].pName, "");
    EXPECT_STREQ(ComList[CMD_RAW_LOG].pFlags, "");
    EXPECT_EQ(ComList[CMD_END].pName, nullptr);
    EXPECT_EQ(ComList[CMD_END].pFlags, nullptr);
    EXPECT_EQ(ComList[CMD_END].iWait, 0);

    EXPECT_STREQ(ComList[CMD_CP_R].pFlags, "-pr");
    EXPECT_STREQ(ComList[CMD_PS].pFlags, "-ace");
    EXPECT_EQ(ComList[CMD_CANCEL].iWait, 2);
    EXPECT_STREQ(ComList[CMD_LSSRC].pName, "lssrc");
    int waiting = 0;
    for (int id = CMD_RAW; id <= CMD_LAST; ++id) {
        ASSERT_NE(ComList[id].pName, nullptr) << id;
        ASSERT_NE(ComList[id].pFlags, nullptr) << id;
        EXPECT_TRUE(ComList[id].iWait >= 0 && ComList[id].iWait <= 2) << id;
        waiting += ComList[id].iWait != 0;
    }
    EXPECT_EQ(waiting, 23); // the tools that are given time to settle
    EXPECT_STREQ(SearchPaths, "/usr/sbin:/usr/bin:/bin:/sbin:/etc:/usr/etc");
}

TEST(DirListing, ListsEveryEntryOnceBetweenBlanks) {
    TempDir dir;
    std::string empty = Take(GetDirFileList(dir.c_str()));
    EXPECT_TRUE(empty == " . .. " || empty == " .. . ") << empty;

    WriteFile(dir / "a.tar.gz", "");
    WriteFile(dir / "b.gz.txt", "");
    WriteFile(dir / "c", "");
    std::string all = Take(GetDirFileList(dir.c_str()));
    EXPECT_EQ(all.size(), std::string(" . .. a.tar.gz b.gz.txt c ").size());
    for (const char* name : {" . ", " .. ", " a.tar.gz ", " b.gz.txt ", " c "})
        EXPECT_NE(all.find(name), std::string::npos) << name;

    EXPECT_EQ(Take(SearchDirFileList(dir.c_str(), "gz")), " a.tar.gz ");
    std::string plain = Take(SearchDirFileList(dir.c_str(), nullptr));
    EXPECT_EQ(plain.size(), std::string(" a.tar.gz b.gz.txt c ").size());
    EXPECT_EQ(plain.find(" . "), std::string::npos);
    EXPECT_EQ(plain.find(" .. "), std::string::npos);
    EXPECT_EQ(SearchDirFileList(dir.c_str(), "zip"), nullptr);

    EXPECT_EQ(GetDirFileList((dir / "missing").c_str()), nullptr);
    EXPECT_EQ(SearchDirFileList((dir / "missing").c_str(), nullptr), nullptr);
    EXPECT_EQ(ReadDir(nullptr), nullptr);
}

// The listing is sized by one pass and filled by a second; a directory that
// grows in between must never make the second pass run past the allocation
// (the sanitizer build catches any overrun).
TEST(DirListing, StaysWellFormedWhileTheDirectoryGrows) {
    TempDir dir;
    std::atomic<bool> stop{false};
    std::thread grower([&] {
        std::string longName(200, 'x');
        for (int i = 0; i < 1500 && !stop; ++i)
            WriteFile(dir / (longName + std::to_string(i)), "");
    });
    for (int round = 0; round < 300; ++round) {
        char* listing = GetDirFileList(dir.c_str());
        ASSERT_NE(listing, nullptr);
        std::string text = listing;
        PutMem(listing);
        ASSERT_GE(text.size(), 2u);
        EXPECT_EQ(text.front(), ' ');
        EXPECT_EQ(text.back(), ' ');
    }
    stop = true;
    grower.join();
}

TEST(Discovery, FirstDirectoryWinsAndPathComesAfterTheSystemDirectories) {
    LayerGuard guard;
    TempDir root;
    const std::string a = root / "a", b = root / "b", c = root / "c";
    WriteFile(a + "/cat", "");
    WriteFile(b + "/cat", "");
    WriteFile(b + "/ls", "");
    WriteFile(b + "/du", "", 0600); // presence is a name test only
    WriteFile(c + "/whoami", "");
    WriteFile(c + "/cat", "");
    WriteFile(c + "/sh", "");

    ResetSysCmdForTests((a + ":" + b).c_str());
    setenv("PATH", (c + ":.:" + b + ":" + c + "/").c_str(), 1);
    InitSysCmdList();

    EXPECT_FALSE(flInitSysCmd);
    EXPECT_STREQ(FullSearchPath, (a + ":" + b + ":" + c + ":.:" + b + ":" + c + "/").c_str());
    EXPECT_EQ(S(ComList[CMD_CAT].pPath), a);
    EXPECT_EQ(S(ComList[CMD_LS].pPath), b);
    EXPECT_EQ(S(ComList[CMD_WHOAMI].pPath), c);
    // Commands found in one directory share its very text.
    EXPECT_EQ(ComList[CMD_LS].pPath, ComList[CMD_DU].pPath);
    EXPECT_EQ(Take(GetCmd(CMD_WHOAMI)), c + "/whoami ");
    EXPECT_EQ(Take(GetCmd(CMD_DU)), b + "/du -s");
    EXPECT_EQ(Take(GetCmdNoFlags(CMD_DU)), b + "/du");
    // Each directory is listed once: the repeated and the relative PATH
    // entries are passed over.
    EXPECT_STREQ(SysCmdScanTraceForTests(), (a + "\n" + b + "\n" + c + "\n").c_str());
    EXPECT_STREQ(getenv("SHELL"), (c + "/sh ").c_str());

    // The table is fixed now: a tool that appears later is not found.
    EXPECT_EQ(TestCmd(CMD_FILE), 0);
    WriteFile(a + "/file", "");
    EXPECT_EQ(TestCmd(CMD_FILE), 0);
    EXPECT_EQ(GetCmd(CMD_FILE), nullptr);

    EXPECT_EQ(TestCmd(CMD_RAW), 0);
    EXPECT_EQ(TestCmd(CMD_RAW_LOG), 0);
    EXPECT_EQ(TestCmd(CMD_END), 0);
    EXPECT_EQ(TestCmd(-CMD_CAT), 0);
    EXPECT_EQ(GetCmd(CMD_RAW), nullptr);
    EXPECT_EQ(GetCmdNoFlags(CMD_END), nullptr);
}

TEST(Discovery, StopsAsSoonAsNothingIsMissing) {
    LayerGuard guard;
    TempDir root;
    for (const std::string& name : AllToolNames())
        WriteFile(root / ("all/" + name), "");
    WriteFile(root / "later/cat", "");
    const std::string all = root / "all";

    ResetSysCmdForTests((all + ":" + (root / "later")).c_str());
    setenv("PATH", (root / "later").c_str(), 1);
    InitSysCmdList();
    EXPECT_STREQ(SysCmdScanTraceForTests(), (all + "\n").c_str());
    for (int id = CMD_CANCEL; id <= CMD_LAST; ++id)
        EXPECT_EQ(S(ComList[id].pPath), all) << id;
    EXPECT_STREQ(getenv("SHELL"), (all + "/sh ").c_str());
}

TEST(Discovery, WithoutPathOnlyTheSystemDirectoriesAreSearched) {
    LayerGuard guard;
    TempDir root;
    WriteFile(root / "a/cat", "");
    ResetSysCmdForTests((root / "a").c_str());
    unsetenv("PATH");
    InitSysCmdList();
    EXPECT_STREQ(FullSearchPath, (root / "a:").c_str());
    EXPECT_STREQ(SysCmdScanTraceForTests(), (root / "a\n").c_str());
    EXPECT_EQ(S(ComList[CMD_CAT].pPath), root / "a");

    // The real system directory list, PATH unset: the trailing colon stays.
    ResetSysCmdForTests();
    FillCmdPath(CMD_SH);
    EXPECT_STREQ(FullSearchPath, "/usr/sbin:/usr/bin:/bin:/sbin:/etc:/usr/etc:");
}

TEST(Discovery, ShellFallsBackToBinShWhenShIsNotFound) {
    LayerGuard guard;
    TempDir root;
    WriteFile(root / "a/rm", "");
    ResetSysCmdForTests((root / "a").c_str());
    setenv("PATH", (root / "a").c_str(), 1);
    InitSysCmdList();
    EXPECT_EQ(TestCmd(CMD_SH), 0);
    EXPECT_STREQ(getenv("SHELL"), "/bin/sh ");
    EXPECT_STREQ(GetShellDir(), "/bin");
}

TEST(Discovery, FirstUseSearchesTheFullListUntilStartUpDiscoveryRuns) {
    LayerGuard guard;
    TempDir root;
    const std::string a = root / "a", b = root / "b", c = root / "c";
    WriteFile(b + "/ls", "");
    WriteFile(c + "/ls", "");
    WriteFile(c + "/whoami", "");
    ResetSysCmdForTests((a + ":" + b).c_str());
    setenv("PATH", c.c_str(), 1);

    EXPECT_EQ(TestCmd(CMD_LS), 1);
    EXPECT_EQ(S(ComList[CMD_LS].pPath), b);
    EXPECT_STREQ(FullSearchPath, (a + ":" + b + ":" + c).c_str());
    EXPECT_EQ(Take(GetCmd(CMD_WHOAMI)), c + "/whoami ");
    EXPECT_STREQ(SysCmdScanTraceForTests(), ""); // no start-up scan

    // Not found now, searched again at the next use.
    EXPECT_EQ(TestCmd(CMD_SED), 0);
    EXPECT_EQ(ComList[CMD_SED].pPath, nullptr);
    WriteFile(a + "/sed", "");
    EXPECT_EQ(TestCmd(CMD_SED), 1);
    EXPECT_EQ(S(ComList[CMD_SED].pPath), a);

    // The search list is built once: a later PATH is not read.
    WriteFile(root / "d/zcat", "");
    setenv("PATH", (root / "d").c_str(), 1);
    EXPECT_EQ(TestCmd(CMD_ZCAT), 0);
    EXPECT_TRUE(FillCmdPath(CMD_LS)); // already located
    EXPECT_FALSE(FillCmdPath(CMD_RAW_LOG));
    EXPECT_FALSE(FillCmdPath(CMD_END));
}

TEST(Discovery, FillCmdPathsReportsWhatIsStillMissing) {
    LayerGuard guard;
    TempDir root;
    // The directory texts are kept by the table, so they live as long as it.
    const std::string a = root / "a", b = root / "b", missing = root / "missing";
    WriteFile(a + "/tar", "");
    EXPECT_TRUE(FillCmdPaths(missing.c_str()));
    EXPECT_TRUE(FillCmdPaths(a.c_str()));
    EXPECT_EQ(S(ComList[CMD_TAR_C].pPath), a);
    EXPECT_EQ(S(ComList[CMD_TAR_X].pPath), a);

    for (const std::string& name : AllToolNames())
        WriteFile(b + "/" + name, "");
    EXPECT_FALSE(FillCmdPaths(b.c_str()));
    EXPECT_EQ(S(ComList[CMD_TAR_C].pPath), a); // never changed once set
    EXPECT_EQ(ComList[CMD_RAW].pPath, nullptr);
}
