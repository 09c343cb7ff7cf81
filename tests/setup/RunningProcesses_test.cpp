// The running-process prompt against the real process table: a decoy, a
// copy of sleep under a name of its own, stands in for a suite program.
// The waits of 30 seconds are covered by the sandboxed end-to-end runs.
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "setup/setup.h"

namespace fs = std::filesystem;

namespace {

constexpr int RETURNED = 40; // + the result

class RunningProcesses : public ::testing::Test {
  protected:
    void SetUp() override {
        flUseLog = false;
        flMidLine = false;
        my_name = "front_procs_test";
        name = "qpdk" + std::to_string(getpid()); // within the 15 characters ps shows
    }
    void TearDown() override {
        if (decoy > 0) {
            kill(decoy, SIGKILL);
            waitpid(decoy, nullptr, 0);
        }
    }

    // Starts the decoy and waits until the process table shows its name.
    void StartDecoy() {
        std::string path = dir + "/" + name;
        fs::copy_file("/bin/sleep", path);
        fs::permissions(path, fs::perms::owner_all);
        decoy = fork();
        ASSERT_GE(decoy, 0);
        if (decoy == 0) {
            execl(path.c_str(), name.c_str(), "120", static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 200; ++i) {
            if (ReadFile("/proc/" + std::to_string(decoy) + "/comm") == name + "\n") return;
            usleep(10000);
        }
        FAIL() << "the decoy did not start";
    }

    // The prompt in a child with INPUT on standard input; the exit status
    // carries the result, the output is in Out().
    void Ask(const std::string& input, const std::string& names) {
        ChildInput(dir, input);
        ChildOutput(dir);
        bool quit = QuitForRunningProcesses(names.c_str());
        fflush(stdout);
        // Nothing may have been read when nothing runs.
        if (!quit && ftell(stdin) != 0) _exit(92);
        _exit(RETURNED + quit);
    }
    std::string Out() { return ReadFile(dir + "/stdout"); }
    std::string Report() { return name + " ( " + std::to_string(decoy) + " )\n"; }
    std::string Prompt() {
        std::string p = nlsSetupStrCvt(66) + Report() + "\n";
        for (int i = 67; i <= 70; ++i)
            p += nlsSetupStrCvt(i);
        return p;
    }

    TempDir tmp{"/tmp/front-procs-"};
    std::string dir = tmp.path(), name;
    pid_t decoy = 0;
};

TEST_F(RunningProcesses, NothingRunningAsksNothing) {
    EXPECT_EXIT(Ask("2\n", "," + name + ",qpnone" + std::to_string(getpid()) + ","),
                testing::ExitedWithCode(RETURNED + 0), "");
    EXPECT_EQ(Out(), "");
}

TEST_F(RunningProcesses, QuitShowsTheReportOnce) {
    StartDecoy();
    EXPECT_EXIT(Ask("2\n", ",qpnone," + name + ","), testing::ExitedWithCode(RETURNED + 1), "");
    EXPECT_EQ(Out(), Prompt() + "\n"); // the piped answer is not echoed: the line is ended
    EXPECT_NE(Out().find("The following processes are running."), std::string::npos);
    EXPECT_NE(Out().find(Report() + "\nWould you like to:\n1.  Wait 30 seconds"),
              std::string::npos);
    EXPECT_NE(Out().find("2.  Quit the installation\n\nEnter a selection:  "), std::string::npos);
}

TEST_F(RunningProcesses, OtherAnswersAskAgainAndEndOfInputQuits) {
    StartDecoy();
    // "x" asks again; so does an empty line, whose selection is its line end
    // and which takes the next character with it; then "2".
    EXPECT_EXIT(Ask("x\n\n\n2\n", name), testing::ExitedWithCode(RETURNED + 1), "");
    EXPECT_EQ(Out(), Prompt() + Prompt() + Prompt() + "\n");

    // A letter without its line end at the end of the input, then nothing.
    EXPECT_EXIT(Ask("x", name), testing::ExitedWithCode(RETURNED + 1), "");
    EXPECT_EQ(Count(Out(), Report()), 2);

    EXPECT_EXIT(Ask("", name), testing::ExitedWithCode(RETURNED + 1), "");
    EXPECT_EQ(Out(), Prompt() + "\n");
}

} // namespace
