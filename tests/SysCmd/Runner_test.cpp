// The runner: the exact line built for each kind of call, the echo and log,
// the failure reports at each severity, the waits; and the captures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "MemMgr/MemMgr.h"
#include "SysCmd/TestDirs.h"

using testdirs::LayerGuard;
using testdirs::WriteFile;

namespace {

// A layer whose tools live in a directory of the test's own: "sh", "rm",
// "chmod", "cat" and "echo" as dummies (the line is only built, not run).
struct DryLayer {
    LayerGuard guard;
    TempDir root;
    std::string bin = root / "bin";

    explicit DryLayer(bool log, const char* tag = "runner") {
        for (const char* name : {"sh", "rm", "chmod", "cat", "echo", "cancel"})
            WriteFile(bin + "/" + name, "");
        ResetSysCmdForTests(bin.c_str());
        setenv("PATH", bin.c_str(), 1);
        if (log) guard.UseLog(tag);
        InitSysCmdList();
        flSysCmdDryRun = true;
    }
};

std::string Collect(RespLine* list) {
    std::string all;
    for (RespLine* line = list; line; line = line->pNext)
        all += std::string("[") + line->pText + "]";
    FreeResponseList(list);
    return all;
}

} // namespace

TEST(Runner, TableCommandAtSeverityOneIsEchoedLoggedAndRedirectedToTheLog) {
    DryLayer layer(true);
    const std::string log = layer.guard.LogName();
    testing::internal::CaptureStdout();
    EXPECT_EQ(SysCmd(CMD_RM_R, 1, " %s", "/usr/Orvik/qpxx"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ".");
    EXPECT_EQ(std::string(SysCmdLastLine), layer.bin + "/sh -c \"" + layer.bin +
                                               "/rm -rf  /usr/Orvik/qpxx 1>>/tmp/" + log +
                                               ".log 2>>/tmp/" + log + ".log\"");
    // The log holds the line as built before the redirection and the quote.
    EXPECT_EQ(layer.guard.Log(), "initializing system\n" + layer.bin + "/sh -c \"" + layer.bin +
                                     "/rm -rf  /usr/Orvik/qpxx\n");
}

TEST(Runner, SeverityZeroDiscardsOutputAndShowsNothing) {
    DryLayer layer(true);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SysCmd(CMD_CHMOD, 0, "755 %s", "/x/y"), 0);
    EXPECT_EQ(std::string(SysCmdLastLine),
              layer.bin + "/sh -c \"" + layer.bin + "/chmod  755 /x/y 1>/dev/null 2>/dev/null\"");
    // Negative ids and id 0 are discarded the same way at severity 0.
    EXPECT_EQ(SysCmd(-CMD_CAT, 0, "a"), 0);
    EXPECT_EQ(std::string(SysCmdLastLine),
              layer.bin + "/sh -c \"" + layer.bin + "/cat  a 1>/dev/null 2>/dev/null\"");
    EXPECT_EQ(SysCmd(CMD_RAW, 0, "ls"), 0);
    EXPECT_STREQ(SysCmdLastLine, "ls 1>/dev/null 2>/dev/null");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(layer.guard.Log(), "initializing system\n");
}

TEST(Runner, NegativeIdKeepsTheCallersOwnRedirection) {
    DryLayer layer(true);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SysCmd(-CMD_CAT, 2, "%s/%s >> %s/%s.tar.Z", "/site", "pkg_tar.1", "/w", "L"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(std::string(SysCmdLastLine),
              layer.bin + "/sh -c \"" + layer.bin + "/cat  /site/pkg_tar.1 >> /w/L.tar.Z\"");
    EXPECT_EQ(layer.guard.Log(), "initializing system\n");
}

TEST(Runner, RawLogIdIsEchoedAndRedirectedWithoutTheWrapper) {
    DryLayer layer(true);
    const std::string log = layer.guard.LogName();
    testing::internal::CaptureStdout();
    EXPECT_EQ(SysCmd(CMD_RAW_LOG, 1, "echo %s", "hi"), 0);
    EXPECT_EQ(SysCmd(CMD_RAW, 1, "echo quiet"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ".");
    EXPECT_STREQ(SysCmdLastLine, "echo quiet");
    EXPECT_EQ(layer.guard.Log(), "initializing system\necho hi\n");
    EXPECT_EQ(SysCmdLastWait, 0); // ids 0 and 1 never wait
}

TEST(Runner, WithLoggingOffTheOutputIsDiscardedAndNothingEchoed) {
    DryLayer layer(false);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SysCmd(CMD_RM_R, 2, " %s", "/a"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(std::string(SysCmdLastLine),
              layer.bin + "/sh -c \"" + layer.bin + "/rm -rf  /a 1>>/dev/null 2>>/dev/null\"");
    EXPECT_FALSE(flSysCmdLog);
}

TEST(Runner, WrapperUsesBinShWhenShIsNotLocated) {
    LayerGuard guard;
    TempDir root;
    WriteFile(root / "bin/rm", "");
    const std::string bin = root / "bin";
    ResetSysCmdForTests(bin.c_str());
    setenv("PATH", bin.c_str(), 1);
    InitSysCmdList();
    flSysCmdDryRun = true;
    EXPECT_EQ(SysCmd(CMD_RM, 0, "x"), 0);
    EXPECT_EQ(std::string(SysCmdLastLine),
              "/bin/sh -c \"" + bin + "/rm -f x 1>/dev/null 2>/dev/null\"");
}

TEST(Runner, LineThatDoesNotFitIsRefusedNotCut) {
    DryLayer layer(true);
    // " 1>/dev/null 2>/dev/null" is 24 characters: 4071 more fill the buffer.
    const std::string fits(4071, 'x'), over(4072, 'x');
    EXPECT_EQ(SysCmd(CMD_RAW, 0, "%s", fits.c_str()), 0);
    EXPECT_EQ(std::string(SysCmdLastLine).size(), 4095u);

    SysCmdLastLine[0] = '\0';
    testing::internal::CaptureStderr();
    EXPECT_NE(SysCmd(CMD_RAW, 0, "%s", over.c_str()), 0);
    EXPECT_NE(SysCmd(CMD_RM_R, 1, "%s", fits.c_str()), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("ERROR: command line too long"), std::string::npos) << err;
    EXPECT_STREQ(SysCmdLastLine, ""); // nothing was handed to the shell
    EXPECT_NE(layer.guard.Log().find("WARNING_MSG: command line too long"), std::string::npos);

    EXPECT_EXIT(
        {
            dup2(2, 1);
            SysCmd(CMD_RM_R, 2, "%s", fits.c_str());
        },
        testing::ExitedWithCode(1), "ERROR: command line too long");

    const std::string pfits(511, 'y'), pover(512, 'y');
    EXPECT_EQ(SysCmdP(0, "%s", pfits.c_str()), 0);
    testing::internal::CaptureStderr();
    EXPECT_NE(SysCmdP(0, "%s", pover.c_str()), 0);
    testing::internal::GetCapturedStderr();
}

TEST(Runner, BadIdsAreRefused) {
    DryLayer layer(false);
    testing::internal::CaptureStderr();
    EXPECT_NE(SysCmd(CMD_END, 0, "x"), 0);
    EXPECT_NE(SysCmd(-CMD_END, 0, "x"), 0);
    EXPECT_EQ(GetCmdResponse(CMD_END, nullptr, "x"), nullptr);
    EXPECT_EQ(GetCmdResponse(-CMD_CAT, nullptr, "x"), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("invalid system command id"),
              std::string::npos);
    EXPECT_EXIT(SysCmd(CMD_END, 2, "x"), testing::ExitedWithCode(1), "");
}

TEST(Runner, UnlocatedToolEndsTheProgramWithAnError) {
    DryLayer layer(false);
    EXPECT_EXIT(SysCmd(CMD_FILE, 0, "x"), testing::ExitedWithCode(1),
                "ERROR: unable to locate system command 'file'");
    EXPECT_EXIT(GetCmdResponse(CMD_PS, nullptr, "%s", ""), testing::ExitedWithCode(1),
                "ERROR: unable to locate system command 'ps'");
    EXPECT_EXIT(GetCmdResponseStr(CMD_DF, nullptr, "%s", "/"), testing::ExitedWithCode(1),
                "ERROR: unable to locate system command 'df'");
}

// Real, harmless command lines: success and failure come from the exit
// status of the line, never from a left-over error number.
TEST(Runner, FailureIsTheExitStatusReportedBySeverity) {
    LayerGuard guard;
    guard.UseLog("failure");
    InitSysCmdList();

    errno = EIO;
    EXPECT_EQ(SysCmd(CMD_RAW, 1, "true"), 0);
    errno = 0;
    EXPECT_EQ(SysCmd(CMD_RAW, 0, "exit 3"), 3);
    EXPECT_EQ(guard.Log(), "initializing system\n");

    EXPECT_EQ(SysCmd(CMD_RAW, 1, "exit 4"), 4);
    EXPECT_EQ(SysCmd(CMD_RAW, 1, "kill -9 $$"), 128 + 9);
    EXPECT_EQ(guard.Log(), "initializing system\n"
                           "WARNING_MSG: command exited with status 4\n"
                           "WARNING_MSG: command killed by signal 9\n");

    EXPECT_EXIT(
        {
            SysCmd(CMD_RAW, 2, "exit 5");
            exit(7); // not reached
        },
        testing::ExitedWithCode(1), "");
    EXPECT_NE(guard.Log().find("ERROR: exit 5: exited with status 5\n"), std::string::npos);
}

// The report names the tool and the start of its arguments, at the start of
// a line after the progress marks, and points at the log.
TEST(Runner, SeverityTwoFailureNamesTheCommandOnStandardOutput) {
    LayerGuard guard;
    TempDir root;
    WriteFile(root / "bin/cp", "#!/bin/sh\necho \"cp: cannot stat $2\" >&2\nexit 1\n", 0755);
    const std::string dirs = root / "bin" + ":/usr/bin:/bin";
    ResetSysCmdForTests(dirs.c_str());
    guard.UseLog("failure2");
    InitSysCmdList();
    const std::string out = root / "out";
    const std::string see = " (see " + guard.LogPath() + ")\n";
    auto fail = [&](const std::string& arg) {
        EXPECT_EXIT(
            {
                if (!freopen(out.c_str(), "w", stdout)) _exit(99);
                SysCmd(CMD_ECHO, 1, "ok");
                SysCmd(CMD_CP, 2, "%s /tmp/OrvikInstall", arg.c_str());
            },
            testing::ExitedWithCode(1), "");
        return ReadFile(out);
    };
    const std::string cp = root / "bin/cp";
    EXPECT_EQ(fail("/srv/site/pkg_tar.ab"),
              "..\nERROR: " + cp + " -p /srv/site/pkg_tar.ab /tmp/OrvikInstall: exited with status 1" +
                  see);
    EXPECT_NE(guard.Log().find("cp: cannot stat /srv/site/pkg_tar.ab\n"), std::string::npos);

    // Long arguments are cut so that the report stays under 200 characters.
    const std::string report = fail("/srv/" + std::string(400, 'x'));
    const std::string last = report.substr(report.rfind('\n', report.size() - 2) + 1);
    EXPECT_LT(last.size(), 201u) << last;
    EXPECT_EQ(last.rfind("ERROR: " + cp + " -p /srv/xxx", 0), 0u) << last;
    EXPECT_NE(last.find("...: exited with status 1" + see), std::string::npos) << last;

    EXPECT_EXIT(
        {
            dup2(2, 1);
            SysCmd(CMD_RAW, 2, "exit 6");
        },
        testing::ExitedWithCode(1), "ERROR: exit 6: exited with status 6 \\(see ");
}

TEST(Runner, TableToolOutputGoesToTheLogAndTheWaitFollows) {
    LayerGuard guard;
    TempDir root;
    // "cancel" is a stub that fails; it asks for two seconds after it ran.
    WriteFile(root / "bin/cancel", "#!/bin/sh\necho cancelled \"$@\"\nexit 1\n", 0755);
    const std::string dirs = root / "bin" + ":/usr/bin:/bin";
    ResetSysCmdForTests(dirs.c_str());
    guard.UseLog("tool");
    InitSysCmdList();
    testing::internal::CaptureStdout();
    EXPECT_EQ(SysCmd(CMD_ECHO, 1, "hello"), 0);
    EXPECT_EQ(SysCmdLastWait, 0);
    EXPECT_EQ(SysCmd(CMD_CANCEL, 1, "q1"), 1);
    EXPECT_EQ(SysCmdLastWait, 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "..");
    const std::string sh = std::string(GetShellDir()) + "/sh -c \"";
    const std::string echo = std::string(ComList[CMD_ECHO].pPath) + "/echo";
    EXPECT_EQ(guard.Log(), "initializing system\n" + sh + echo + "  hello\nhello\n" + sh +
                               root.path() + "/bin/cancel  q1\ncancelled q1\n" +
                               "WARNING_MSG: command exited with status 1\n");
}

TEST(Runner, SysCmdPRunsTheLineAsItStandsAndReportsItsRealStatus) {
    LayerGuard guard;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(SysCmdP(0, "exit %d", 2), 2);
    EXPECT_EQ(SysCmdP(1, "exit %d", 3), 3);
    EXPECT_EQ(SysCmdP(1, "true"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "exit 3\ntrue\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WARNING_MSG: command exited with status 3\n");
    EXPECT_EXIT(SysCmdP(2, "exit 1"), testing::ExitedWithCode(1),
                "ERROR: exit 1: exited with status 1\n");
}

TEST(Capture, KeepsMatchingLinesWithTheirNewlines) {
    LayerGuard guard;
    EXPECT_EQ(Collect(GetCmdResponse(CMD_RAW, "lpd", "printf 'a lpd\\nb\\nc lpd'")),
              "[a lpd\n][c lpd]");
    EXPECT_EQ(Collect(GetCmdResponse(CMD_RAW, "", "printf 'x\\ny\\n'")), "[x\n][y\n]");
    EXPECT_EQ(Collect(GetCmdResponse(CMD_RAW, nullptr, "printf 'x\\ny\\n'")), "[x\n][y\n]");
    EXPECT_EQ(GetCmdResponse(CMD_RAW, "zzz", "printf 'x\\ny\\n'"), nullptr);
    EXPECT_EQ(GetCmdResponse(CMD_RAW, nullptr, "true"), nullptr);

    // A line of 5000 characters arrives in two pieces.
    RespLine* list = GetCmdResponse(CMD_RAW, nullptr, "printf '%%5000s\\n' | tr ' ' q");
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->pNext, nullptr);
    EXPECT_EQ(std::string(list->pText), std::string(4095, 'q'));
    EXPECT_EQ(std::string(list->pNext->pText), std::string(905, 'q') + "\n");
    EXPECT_EQ(list->pNext->pNext, nullptr);
    FreeResponseList(list);

    char* text = GetCmdResponseStr(CMD_RAW, "lpd", "printf 'a lpd\\nb\\nc lpd'");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "a lpd\nc lpd\n");
    PutMem(text);
    EXPECT_EQ(GetCmdResponseStr(CMD_RAW, "zzz", "printf 'x\\n'"), nullptr);
    EXPECT_EQ(FreeResponseList(nullptr), nullptr);
}

TEST(Capture, TableCommandRunsWithItsFlags) {
    LayerGuard guard;
    TempDir root;
    testdirs::WriteStub(root, "ps");
    WriteFile(root / "ps.out", "  PID CMD\n   7 x\n");
    ResetSysCmdForTests(root.c_str());
    EXPECT_EQ(Collect(GetCmdResponse(CMD_PS, "x", "%s", "")), "[   7 x\n]");
    EXPECT_EQ(std::string(SysCmdLastLine), root / "ps -ace ");
    EXPECT_EQ(ReadFile(root / "ps.calls"), "-ace\n");
}

// The dry run's listing: a shown line is printed as "run: COMMAND" and logged
// whether it then runs (the site's copies into the scratch area) or not,
// with no progress mark and nothing echoed for a line without echo.
TEST(Runner, ShownLinesAreRunUnlessTheDryRunHoldsThem) {
    LayerGuard guard;
    TempDir root;
    ResetSysCmdForTests("/usr/bin:/bin");
    guard.UseLog("shown");
    InitSysCmdList();
    const std::string made = root / "made", held = root / "held";
    const std::string touch = std::string(ComList[CMD_TOUCH].pPath) + "/touch " +
                              ComList[CMD_TOUCH].pFlags + " ";
    flSysCmdDryRunShow = true;
    testing::internal::CaptureStdout();
    for (bool dry : {false, true}) {
        flSysCmdDryRun = dry;
        EXPECT_EQ(SysCmd(CMD_TOUCH, 1, "%s", (dry ? held : made).c_str()), 0);
        EXPECT_EQ(SysCmd(-CMD_TOUCH, 2, "%s", (dry ? held : made).c_str()), 0);
    }
    flSysCmdDryRunShow = false;
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "run: " + touch + made + "\nrun: " + touch + made + "\nrun: " + touch + held +
                  "\nrun: " + touch + held + "\n");
    EXPECT_TRUE(std::filesystem::exists(made));
    EXPECT_FALSE(std::filesystem::exists(held));
}
