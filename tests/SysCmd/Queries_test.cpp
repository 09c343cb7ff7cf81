// The ps, df and du queries: hand-made output from stub tools in a
// directory of the test's own, and the real tools of this machine.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <string>

#include "MemMgr/MemMgr.h"
#include "SysCmd/TestDirs.h"

using testdirs::LayerGuard;
using testdirs::WriteFile;

namespace {

// ps, df and du are stubs that print STUB.out and note their arguments.
struct StubLayer {
    LayerGuard guard;
    TempDir root;
    StubLayer() {
        for (const char* name : {"ps", "df", "du"})
            testdirs::WriteStub(root, name);
        ResetSysCmdForTests(root.c_str());
    }
    void Output(const std::string& tool, const std::string& text) {
        WriteFile(root / (tool + ".out"), text);
    }
    std::string Calls(const std::string& tool) { return ReadFile(root / (tool + ".calls")); }
};

// The real ps, df and du of this machine.
struct RealLayer {
    LayerGuard guard;
    RealLayer() { ResetSysCmdForTests(); }
};

const char kPs[] = "  PID CLS PRI TTY          TIME CMD\n"
                   "    1 TS   29 ?        00:00:02 init\n"
                   "  812 TS  59 ?  0:00 qprint\n"
                   "\t901\tTS 19 pts/0 00:00:00 qprint\n"
                   " 1000 TS  19 ?        00:00:00 qprint2\n"
                   " 1001 TS  19 ?        00:00:00 /opt/bin/qprint\n"
                   " 1002 TS  19 qprint\n"
                   "   77 TS  19 ?        00:00:00 qpqadmin\n";

} // namespace

TEST(ProcessQueries, MatchTheCommandFieldExactly) {
    StubLayer layer;
    layer.Output("ps", kPs);
    EXPECT_EQ(Take(GetSysPsIdList("qprint")), " 812 901 ");
    EXPECT_EQ(layer.Calls("ps"), "-ace\n");
    EXPECT_EQ(Take(GetSysPsIdList("qpqadmin")), " 77 ");
    EXPECT_EQ(GetSysPsIdList("qpadmin"), nullptr);
    EXPECT_EQ(GetSysPsIdList("CMD"), nullptr); // the header is no process
    EXPECT_EQ(GetSysPsIdList(""), nullptr);
    EXPECT_EQ(GetSysPsIdList(nullptr), nullptr);

    EXPECT_EQ(Take(CheckProcTableForExecs(",qpadmin,qpqadmin,")), "qpqadmin ( 77 )\n");
    EXPECT_EQ(Take(CheckProcTableForExecs(",,qprint,,qpqadmin")),
              "qprint ( 812 901 )\nqpqadmin ( 77 )\n");
    EXPECT_EQ(CheckProcTableForExecs(",qpadmin,QPQ,"), nullptr);
    EXPECT_EQ(CheckProcTableForExecs(",,,"), nullptr);
    EXPECT_EQ(CheckProcTableForExecs(nullptr), nullptr);
}

TEST(ProcessQueries, ReportStaysWithinItsLimit) {
    StubLayer layer;
    std::string ps = "  PID CLS PRI TTY          TIME CMD\n";
    for (int pid = 10000; pid < 10300; ++pid)
        ps += " " + std::to_string(pid) + " TS 19 ? 00:00:00 qprint\n";
    ps += "   5 TS 19 ? 00:00:00 qsf\n";
    layer.Output("ps", ps);
    const std::string longName(600, 'n');
    std::string report =
        Take(CheckProcTableForExecs((",qsf," + longName + ",qprint,qsf,").c_str()));
    EXPECT_EQ(report.size(), 1023u);
    EXPECT_EQ(report.rfind("qsf ( 5 )\nqprint ( 10000 10001 ", 0), 0u) << report;
    EXPECT_EQ(report.substr(report.size() - 4), "...\n");
}

TEST(ProcessQueries, FindAndKillARealProcessByItsName) {
    RealLayer layer;
    TempDir dir;
    // A copy of sleep under a name of this test's own.
    const std::string name = "sck" + std::to_string(getpid() % 100000);
    const std::string program = dir / name;
    ASSERT_EQ(system(("cp /bin/sleep " + program).c_str()), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(program.c_str(), name.c_str(), "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string ids = "(none)";
    for (int i = 0; i < 50 && ids == "(none)"; ++i) {
        usleep(50000); // until the child has become the copy
        ids = Take(GetSysPsIdList(name.c_str()));
    }
    EXPECT_EQ(ids, " " + std::to_string(child) + " ");
    EXPECT_EQ(Take(CheckProcTableForExecs(("," + name + ",").c_str())),
              name + " ( " + std::to_string(child) + " )\n");

    EXPECT_EQ(KillProcessByName(name.c_str()), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(GetSysPsIdList(name.c_str()), nullptr);
    EXPECT_EQ(KillProcessByName(name.c_str()), 0); // nothing left to kill
}

TEST(DiskQueries, AvailableColumnIsFoundByItsHeader) {
    StubLayer layer;
    DfInfo info;
    layer.Output("df", "Filesystem 1k-blocks Used Available Use% Mounted on\n"
                       "/dev/hda1 2000000 1500000 500000 75% /\n");
    EXPECT_TRUE(GetDiskSpace("/some/path", &info));
    EXPECT_EQ(info.dAvail, 500000);
    EXPECT_STREQ(info.szLine, "/dev/hda1 2000000 1500000 500000 75% /\n");
    EXPECT_EQ(layer.Calls("df"), "/some/path\n");

    layer.Output("df", "Filesystem kbytes used avail capacity Mounted on\n"
                       "/dev/dsk/c0t0d0s0 1000 400 600 40% /\n");
    EXPECT_TRUE(GetDiskSpace("/", &info));
    EXPECT_EQ(info.dAvail, 600);

    // A long device name alone on the data line: the fields follow on the
    // next line and the record is read across both.
    layer.Output("df", "Filesystem     1K-blocks     Used Available Use% Mounted on\n"
                       "/dev/mapper/a-very-long-volume-group-name-root\n"
                       "               264212084 16587096  83750092  17% /\n");
    EXPECT_TRUE(GetDiskSpace("/", &info));
    EXPECT_EQ(info.dAvail, 83750092);
    EXPECT_STREQ(info.szLine, "/dev/mapper/a-very-long-volume-group-name-root\n");
}

TEST(DiskQueries, UnusableOutputGivesNothing) {
    StubLayer layer;
    DfInfo info;
    layer.Output("df", "Filesystem Size Used Use% Mounted on\n/dev/hda1 2000 1500 75% /\n");
    EXPECT_FALSE(GetDiskSpace("/", &info));
    EXPECT_EQ(info.dAvail, 0);

    // A header without a data line still answers, with nothing available.
    layer.Output("df", "Filesystem 1k-blocks Used Available Use% Mounted on\n");
    EXPECT_TRUE(GetDiskSpace("/", &info));
    EXPECT_EQ(info.dAvail, 0);

    layer.Output("df", "Filesystem 1k-blocks Used Available Use% Mounted on\n/dev/hda1 2000\n");
    EXPECT_FALSE(GetDiskSpace("/", &info));

    layer.Output("df", "");
    info.dAvail = 5;
    EXPECT_FALSE(GetDiskSpace("/", &info));
    EXPECT_EQ(info.dAvail, 0);
    EXPECT_FALSE(GetDiskSpace("/", nullptr));

    layer.Output("du", "4711\t/usr/Orvik\n");
    EXPECT_EQ(DUPath("/usr/Orvik"), 4711);
    EXPECT_EQ(layer.Calls("du"), "-s /usr/Orvik\n");
    layer.Output("du", "");
    EXPECT_EQ(DUPath("/usr/Orvik"), 0); // nothing printed: nothing in use
}

TEST(DiskQueries, AvailSpaceClimbsToAnExistingParent) {
    StubLayer layer;
    // df answers only for paths that exist, as the real one does.
    WriteFile(layer.root / "df",
              "#!/bin/sh\n"
              "echo \"$1\" >> \"$(dirname \"$0\")/df.calls\"\n"
              "[ -e \"$1\" ] || exit 1\n"
              "printf 'Filesystem 1k-blocks Used Available Use%% Mounted on\\n"
              "/dev/hda1 2000000 1500000 500000 75%% /\\n'\n",
              0755);
    const std::string opt = layer.root / "opt";
    WriteFile(opt + "/old/file", "");
    EXPECT_TRUE(AvailSpace((opt + "/new/dir").c_str(), nullptr, 500000));
    EXPECT_EQ(layer.Calls("df"), opt + "/new/dir\n" + opt + "/new\n" + opt + "\n");
    EXPECT_FALSE(AvailSpace((opt + "/new/dir").c_str(), nullptr, 500001));

    // An existing entry counts what it holds as available.
    layer.Output("du", "8000\t" + opt + "/old\n");
    EXPECT_TRUE(AvailSpace(opt.c_str(), "old", 508000));
    EXPECT_FALSE(AvailSpace(opt.c_str(), "old", 508001));
    EXPECT_EQ(layer.Calls("du"), "-s " + opt + "/old\n-s " + opt + "/old\n");
    EXPECT_FALSE(AvailSpace(opt.c_str(), "absent", 500001));
}

TEST(DiskQueries, AvailSpaceEndsAtTheRoot) {
    StubLayer layer;
    layer.Output("df", ""); // nothing can be measured
    EXPECT_FALSE(AvailSpace("/no/such/dir", nullptr, 1));
    EXPECT_EQ(layer.Calls("df"), "/no/such/dir\n/no/such\n/no\n/\n");
    EXPECT_FALSE(AvailSpace("rel/dir", nullptr, 1));
    EXPECT_EQ(layer.Calls("df"), "/no/such/dir\n/no/such\n/no\n/\nrel/dir\nrel\n.\n");
    EXPECT_FALSE(AvailSpace(nullptr, nullptr, 1));
}

TEST(DiskQueries, ReadTheRealToolsOfThisMachine) {
    RealLayer layer;
    TempDir dir;
    WriteFile(dir / "data", std::string(64 * 1024, 'd'));
    DfInfo info;
    ASSERT_TRUE(GetDiskSpace(dir.c_str(), &info));
    EXPECT_GT(info.dAvail, 0);
    EXPECT_EQ(std::string(info.szLine).back(), '\n');
    EXPECT_GE(DUPath(dir.c_str()), 64);
    EXPECT_TRUE(AvailSpace((dir / "not/yet").c_str(), nullptr, 1));
    EXPECT_FALSE(AvailSpace(dir.c_str(), nullptr, 1e18));
}
