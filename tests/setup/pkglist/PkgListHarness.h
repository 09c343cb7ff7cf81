// A package list run against a private work area and application directory.
// Each test gets its own temporary directory holding WORK (with the package
// directory "pkg") and APP; logging goes to /tmp/<unique name>.log, read back
// to see the command lines the runner was handed, exactly as logged.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "TestSupport.h"
#include "setup/setup.h"

namespace pkglist {

inline mode_t ModeOf(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

inline std::string LinkTarget(const std::string& path) {
    char buf[4096];
    ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
    return n < 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}

// The tool's full path and default flags as the runner starts it.
inline std::string Tool(int id) {
    char* cmd = GetCmd(id);
    std::string text = cmd ? cmd : "?";
    PutMem(cmd);
    return text;
}

// A command line as the runner logs it: the shell wrapper, the tool with its
// flags, one blank and the caller's text (no redirection, no closing quote).
inline std::string Logged(int id, const std::string& text) {
    char* sh = GetCmdNoFlags(CMD_SH);
    std::string line = std::string(sh ? sh : "?") + " -c \"" + Tool(id) + " " + text;
    PutMem(sh);
    return line;
}

class PkgListTest : public ::testing::Test {
  protected:
    std::string root, work, pkg, app;
    std::string logName, logPath;

    void SetUp() override {
        char templ[] = "/tmp/pkglist_test.XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root = templ;
        work = root + "/work";
        pkg = work + "/pkg";
        app = root + "/app";
        ASSERT_EQ(mkdir(work.c_str(), 0755), 0);
        ASSERT_EQ(mkdir(pkg.c_str(), 0755), 0);
        ASSERT_EQ(mkdir(app.c_str(), 0755), 0);

        logName = "pkglist_test_" + std::to_string(getpid());
        logPath = "/tmp/" + logName + ".log";
        unlink(logPath.c_str());
        my_name = SaveStr_(logName.c_str());
        flUseLog = true;
        ResetLogForTests(); // each case's log is a new one
        static bool located = false;
        if (!located) { // discovery splits its search list in place: once per process
            InitSysCmdList();
            located = true;
        }
        pOrvikInstallDir = SaveStr_(work.c_str());
        pAppDir = SaveStr_(app.c_str());
    }

    void TearDown() override {
        std::string rm = "rm -rf '" + root + "'";
        EXPECT_EQ(std::system(rm.c_str()), 0);
        unlink(logPath.c_str());
        std::string tmp = "/tmp/" + logName + ".tmp";
        EXPECT_FALSE(Exists(tmp)) << "the sed run left " << tmp;
        unlink(tmp.c_str());
    }

    void List(const std::string& text) { WriteFile(pkg + "/pkg.list", text); }
    void PkgFile(const std::string& rel, const std::string& text = "data\n") {
        WriteFile(pkg + "/" + rel, text);
    }
    void PkgDir(const std::string& rel) { ASSERT_EQ(mkdir((pkg + "/" + rel).c_str(), 0755), 0); }
    void AppDir(const std::string& rel) { ASSERT_EQ(mkdir((app + "/" + rel).c_str(), 0755), 0); }

    std::string Log() const { return ReadFile(logPath); }

    // The command lines of the log, in order.
    std::vector<std::string> Commands() const {
        char* sh = GetCmdNoFlags(CMD_SH);
        std::string prefix = std::string(sh ? sh : "?") + " -c \"";
        PutMem(sh);
        std::vector<std::string> lines;
        std::istringstream in(Log());
        for (std::string l; std::getline(in, l);)
            if (l.rfind(prefix, 0) == 0) lines.push_back(l);
        return lines;
    }
};

} // namespace pkglist
