// The log file's life (new on the first message of a run, appended to after
// that, readable and writable by all) and the error reports.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "SysCmd/TestDirs.h"

using testdirs::LayerGuard;
using testdirs::ModeOf;
using testdirs::WriteFile;

TEST(Log, OffWritesNothingAndKeepsTheFirstMessagePending) {
    LayerGuard guard;
    guard.UseLog("off");
    flUseLog = false;
    PutLogMsg("lost\n");
    EXPECT_FALSE(Exists(guard.LogPath()));

    WriteFile(guard.LogPath(), "old run\n");
    flUseLog = true;
    PutLogMsg("a\n");
    EXPECT_EQ(guard.Log(), "a\n");
}

TEST(Log, FirstMessageStartsTheLogAndLaterOnesAppend) {
    LayerGuard guard;
    guard.UseLog("life");
    WriteFile(guard.LogPath(), "a much longer text from an earlier run\n", 0600);
    PutLogMsg("a\n");
    PutLogMsg("%s\n", "b");
    EXPECT_EQ(guard.Log(), "a\nb\n");
    EXPECT_EQ(ModeOf(guard.LogPath()), 0666); // made afresh, not the old file

    // A fresh log is made readable and writable by every user.
    unlink(guard.LogPath().c_str());
    ResetLogForTests();
    mode_t old = umask(022);
    PutLogMsg("c\n");
    umask(old);
    EXPECT_EQ(guard.Log(), "c\n");
    EXPECT_EQ(ModeOf(guard.LogPath()), 0666);
}

TEST(Log, IsNeverWrittenThroughALink) {
    LayerGuard guard;
    TempDir dir;
    guard.UseLog("link");
    const std::string target = dir / "precious";
    WriteFile(target, "keep me\n", 0600);
    ASSERT_EQ(symlink(target.c_str(), guard.LogPath().c_str()), 0);

    PutLogMsg("first\n");
    EXPECT_EQ(ReadFile(target), "keep me\n");
    EXPECT_EQ(ModeOf(target), 0600);
    struct stat st;
    ASSERT_EQ(lstat(guard.LogPath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(guard.Log(), "first\n");

    // A link planted later is refused: logging stops, nothing is misdirected.
    unlink(guard.LogPath().c_str());
    ASSERT_EQ(symlink(target.c_str(), guard.LogPath().c_str()), 0);
    testing::internal::CaptureStderr();
    PutLogMsg("second\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WARNING: " + guard.LogPath() + " is no longer this run's log; logging stopped\n");
    EXPECT_EQ(ReadFile(target), "keep me\n");
    EXPECT_FALSE(flUseLog);
    EXPECT_FALSE(LogReady());
}

// Whatever was at the log's place is never written: a second name of another
// file loses only that name; a file put in the log's place later, or a second
// name given to the log, stops the logging.
TEST(Log, OnlyTheFileThisRunMadeIsWritten) {
    LayerGuard guard;
    TempDir dir;
    guard.UseLog("ident");
    const std::string other = dir / "other";
    WriteFile(other, "keep me\n", 0600);
    ASSERT_EQ(link(other.c_str(), guard.LogPath().c_str()), 0);
    EXPECT_TRUE(LogReady());
    EXPECT_EQ(ReadFile(other), "keep me\n");
    struct stat st;
    ASSERT_EQ(stat(other.c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 1u);
    EXPECT_EQ(ModeOf(guard.LogPath()), 0666);
    PutLogMsg("one\n");
    EXPECT_EQ(guard.Log(), "one\n");

    // Swapped for another regular file.
    const std::string swap = dir / "swap";
    WriteFile(swap, "planted\n", 0666);
    ASSERT_EQ(rename(swap.c_str(), guard.LogPath().c_str()), 0);
    testing::internal::CaptureStderr();
    PutLogMsg("two\n");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("logging stopped"), std::string::npos);
    EXPECT_EQ(guard.Log(), "planted\n");
    EXPECT_FALSE(flUseLog);

    // A second name given to the log after it was made.
    flUseLog = true;
    ResetLogForTests();
    PutLogMsg("three\n");
    const std::string alias = dir / "alias";
    ASSERT_EQ(link(guard.LogPath().c_str(), alias.c_str()), 0);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LogReady());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadFile(alias), "three\n");
}

TEST(ErrorReports, GradedMessagesAndTheirExits) {
    LayerGuard guard;
    testing::internal::CaptureStderr();
    ErrorMsg(0, 1, "quiet %d", 1);
    EXPECT_STREQ(Line, "quiet 1");
    ErrorMsg(1, 1, "careful %s", "now");
    EXPECT_STREQ(Line, "careful now");
    my_name = "tool";
    errormsg("plain %d", 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING: careful now\ntool: plain 3\n");

    EXPECT_EXIT(ErrorMsg(2, 1, "fatal %s", "x"), testing::ExitedWithCode(1), "^ERROR: fatal x\n$");
    EXPECT_EXIT(ErrorMsg(2, 0, "fatal"), testing::ExitedWithCode(0), "ERROR: fatal\n");
    EXPECT_EXIT(exit_app(3), testing::ExitedWithCode(3), "");
    EXPECT_EXIT(
        {
            errno = ENOENT;
            SysError("can't open file, %s", "/x");
        },
        testing::ExitedWithCode(1), "^\ntool: can't open file, /x : No such file or directory\n$");
    EXPECT_EXIT(
        {
            errno = 0;
            SysError("reading from standard input");
        },
        testing::ExitedWithCode(1), "^\ntool: reading from standard input\n$");
}
