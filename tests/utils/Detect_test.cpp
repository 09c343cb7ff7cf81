// Print-subsystem detection against stand-in programs in a private
// directory: a stub lpd placed in the command table, and a copy of sleep
// started under the name cupsd.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "SysCmd/SysCmd.h"
#include "TestSupport.h"
#include "utils/utils.h"

namespace fs = std::filesystem;

namespace {

class DetectTest : public ::testing::Test {
  protected:
    // An lpd that records each call in ran.log and answers -V with body.
    void stubLpd(const std::string& body) {
        const std::string path = dir_ + "/lpd";
        std::ofstream(path) << "#!/bin/sh\necho \"$@\" >>" << dir_ << "/ran.log\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        ComList[CMD_LPD].pPath = dir_.c_str();
    }
    bool ran() const { return fs::exists(dir_ + "/ran.log"); }

    TempDir tmp_{"/tmp/detect_test."};
    Restore<const char*> lpd_{ComList[CMD_LPD].pPath};
    std::string dir_ = tmp_.path();
};

TEST_F(DetectTest, LprngIsRecognisedByItsVersionReportOnStandardError) {
    stubLpd("echo 'lpd (LPRng) 3.8.35' >&2");
    EXPECT_TRUE(SniffLprng());
    EXPECT_TRUE(ran());
}

TEST_F(DetectTest, AnotherLpdOrNoneIsNotLprng) {
    stubLpd("echo 'lpd: BSD line printer daemon 5.9' >&2; exit 1");
    EXPECT_FALSE(SniffLprng());
    EXPECT_TRUE(ran());

    // Not located, and start-up discovery already done: nothing runs.
    fs::remove(dir_ + "/ran.log");
    ComList[CMD_LPD].pPath = nullptr;
    const bool savedInit = flInitSysCmd;
    flInitSysCmd = false;
    EXPECT_FALSE(SniffLprng());
    flInitSysCmd = savedInit;
    EXPECT_FALSE(ran());
}

TEST_F(DetectTest, CupsCountsOnlyWhileAProcessOfThatNameRuns) {
    const std::string decoy = dir_ + "/cupsd";
    fs::copy_file("/bin/sleep", decoy);
    fs::permissions(decoy, fs::perms::owner_all);
    EXPECT_FALSE(SniffCUPS()) << "the program file alone must not count";

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(decoy.c_str(), "cupsd", "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Give the decoy a moment to be in the process table.
    bool seen = false;
    for (int i = 0; i < 50 && !seen; ++i) {
        seen = SniffCUPS();
        if (!seen) usleep(100 * 1000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(SniffCUPS());
}

} // namespace
