// File creation and removal: the commands each operation runs (read back
// from the log, where the runner writes every logged command line) and what
// they leave on disk, all inside a directory of the test's own.
#include <gtest/gtest.h>

#include <string>

#include "SysCmd/TestDirs.h"

using testdirs::LayerGuard;
using testdirs::ModeOf;
using testdirs::WriteFile;

namespace {

// Logging on under the test's own name, the real tools of this machine.
struct LoggedLayer {
    LayerGuard guard;
    TempDir dir;
    explicit LoggedLayer(const char* tag) {
        guard.UseLog(tag);
        InitSysCmdList();
        testing::internal::CaptureStdout(); // the runner's echo
    }
    ~LoggedLayer() { testing::internal::GetCapturedStdout(); }
    // The full command line the runner logs for a table tool.
    static std::string Cmd(int id, const std::string& args) {
        const SysCmdEntry& e = ComList[id];
        return std::string(GetShellDir()) + "/sh -c \"" + e.pPath + "/" + e.pName + " " + e.pFlags +
               " " + args + "\n";
    }
    std::string Logged() const {
        std::string log = guard.Log();
        const std::string first = "initializing system\n";
        return log.rfind(first, 0) == 0 ? log.substr(first.size()) : log;
    }
};

} // namespace

TEST(CreateFile, MakesTheDirectoryChainAndSetsTheModeOnTheTargetOnly) {
    LoggedLayer layer("create");
    const std::string b = layer.dir / "A/B";
    CreateFile(b.c_str(), nullptr, "775", nullptr, nullptr);
    EXPECT_EQ(layer.Logged(),
              LoggedLayer::Cmd(CMD_MKDIR, b) + LoggedLayer::Cmd(CMD_CHMOD, "775 " + b));
    EXPECT_EQ(ModeOf(b), 0775);
    EXPECT_NE(ModeOf(layer.dir / "A"), 0775);

    // An existing directory with nothing to apply: no command at all.
    const std::string before = layer.Logged();
    CreateFile(b.c_str(), nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(layer.Logged(), before);

    const std::string db = layer.dir / "db";
    CreateFile(db.c_str(), "x", "666", "root", "0");
    EXPECT_EQ(layer.Logged(), before + LoggedLayer::Cmd(CMD_MKDIR, db) +
                                  LoggedLayer::Cmd(CMD_TOUCH, db + "/x") +
                                  LoggedLayer::Cmd(CMD_CHMOD, "666 " + db + "/x") +
                                  LoggedLayer::Cmd(CMD_CHOWN, "root " + db + "/x") +
                                  LoggedLayer::Cmd(CMD_CHGRP, "0 " + db + "/x"));
    EXPECT_EQ(ModeOf(db + "/x"), 0666);
}

TEST(CreateFile, AFailingStepEndsTheProgram) {
    LoggedLayer layer("createfail");
    const std::string target = layer.dir / "d";
    EXPECT_EXIT(
        {
            dup2(2, 1);
            CreateFile(target.c_str(), "f", nullptr, "no_such_user_zq9", nullptr);
        },
        testing::ExitedWithCode(1), "ERROR: .*/chown +no_such_user_zq9 .*/d/f: exited with status 1");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            CreateFile(target.c_str(), std::string(600, 'n').c_str(), nullptr, nullptr, nullptr);
        },
        testing::ExitedWithCode(1), "ERROR: path too long");
}

TEST(CreateTextFile, ReplacesOrAppendsAndSetsThePermission) {
    LayerGuard guard;
    TempDir dir;
    const std::string path = dir / "flag";
    WriteFile(path, "old content that is longer\n", 0600);
    EXPECT_TRUE(CreateTextFile(path.c_str(), "wt", 0644, "%s\n", "lpd"));
    EXPECT_EQ(ReadFile(path), "lpd\n");
    EXPECT_EQ(ModeOf(path), 0644);
    EXPECT_TRUE(CreateTextFile(path.c_str(), "at", 0, "more\n"));
    EXPECT_EQ(ReadFile(path), "lpd\nmore\n");
    EXPECT_EQ(ModeOf(path), 0644);

    testing::internal::CaptureStderr();
    const std::string bad = dir / "no/such/file";
    EXPECT_FALSE(CreateTextFile(bad.c_str(), "wt", 0644, "x"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: couldn't open " + bad + "\n");
}

TEST(DeleteAndRename, RunOnlyForPresentTargets) {
    LoggedLayer layer("delete");
    const std::string d = layer.dir.path();
    DeleteFile(d.c_str(), "none");
    DeleteFile_((d + "/none").c_str(), nullptr);
    RenameFile(d.c_str(), "a", "b");
    RenameFile(nullptr, (d + "/a").c_str(), (d + "/b").c_str());
    EXPECT_EQ(layer.Logged(), "");

    WriteFile(d + "/sub/deep/f", "");
    DeleteFile(d.c_str(), "sub");
    EXPECT_FALSE(Exists(d + "/sub"));
    WriteFile(d + "/whole", "");
    DeleteFile(nullptr, (d + "/whole").c_str());
    EXPECT_FALSE(Exists(d + "/whole"));
    WriteFile(d + "/x1", "");
    WriteFile(d + "/x2", "");
    DeleteFile_((d + "/x1").c_str(), nullptr);
    DeleteFile_(d.c_str(), "x2");
    EXPECT_FALSE(Exists(d + "/x1"));
    EXPECT_FALSE(Exists(d + "/x2"));
    EXPECT_EQ(layer.Logged(),
              LoggedLayer::Cmd(CMD_RM_R, d + "/sub") + LoggedLayer::Cmd(CMD_RM_R, d + "/whole") +
                  LoggedLayer::Cmd(CMD_RM_R, d + "/x1") + LoggedLayer::Cmd(CMD_RM_R, d + "/x2"));

    // Renaming runs without a logged line.
    const std::string before = layer.Logged();
    WriteFile(d + "/a", "A");
    RenameFile(d.c_str(), "a", "b");
    EXPECT_EQ(ReadFile(d + "/b"), "A");
    RenameFile(nullptr, (d + "/b").c_str(), (d + "/c").c_str());
    EXPECT_EQ(ReadFile(d + "/c"), "A");
    EXPECT_FALSE(Exists(d + "/a"));
    EXPECT_FALSE(Exists(d + "/b"));
    EXPECT_EQ(layer.Logged(), before);
}
