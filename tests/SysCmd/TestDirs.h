// Helpers of the command-layer tests: small files and stub tools in a
// private temporary directory (TempDir, from TestSupport.h), and a guard
// that puts the layer, the log switches and PATH back after each test.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "SysCmd/SysCmd.h"
#include "TestSupport.h"
#include "utils/utils.h"

namespace testdirs {

// Writes a file with the given mode, making the directories above it.
inline void WriteFile(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
    chmod(path.c_str(), mode);
}

inline int ModeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// A stub tool: a shell script that appends its arguments to NAME.calls and
// prints NAME.out (when present) from its own directory.
inline void WriteStub(const TempDir& dir, const std::string& name) {
    WriteFile(dir / name,
              "#!/bin/sh\n"
              "here=$(dirname \"$0\")\n"
              "echo \"$*\" >> \"$here/" +
                  name +
                  ".calls\"\n"
                  "[ -f \"$here/" +
                  name + ".out\" ] && cat \"$here/" + name +
                  ".out\"\n"
                  "exit 0\n",
              0755);
}

// Puts the command layer and the log switches into their start state, and
// PATH, my_name and the switches back as they were when the test ends.
class LayerGuard {
  public:
    LayerGuard() {
        const char* path = getenv("PATH");
        hadPath_ = path != nullptr;
        if (path) path_ = path;
        savedName_ = my_name;
        Reset();
    }
    ~LayerGuard() {
        if (hadPath_)
            setenv("PATH", path_.c_str(), 1);
        else
            unsetenv("PATH");
        if (!logName_.empty()) unlink(LogPath().c_str());
        Reset();
        my_name = savedName_;
    }
    LayerGuard(const LayerGuard&) = delete;
    LayerGuard& operator=(const LayerGuard&) = delete;

    // Turns logging on under a name of this test's own: /tmp/NAME.log.
    void UseLog(const std::string& tag) {
        logName_ = "syscmd_" + tag + "_" + std::to_string(getpid());
        my_name = logName_.c_str();
        unlink(LogPath().c_str());
        flUseLog = true;
    }
    std::string LogPath() const { return "/tmp/" + logName_ + ".log"; }
    std::string Log() const { return ReadFile(LogPath()); }
    const std::string& LogName() const { return logName_; }

  private:
    static void Reset() {
        ResetSysCmdForTests();
        ResetLogForTests();
        flUseLog = false;
        flSysCmdDryRun = false;
        SysCmdLastLine[0] = '\0';
        SysCmdLastWait = 0;
    }
    bool hadPath_ = false;
    std::string path_;
    const char* savedName_ = nullptr;
    std::string logName_;
};

} // namespace testdirs
