// Helpers of the menu-engine tests: the message catalogue opened once, a
// subject run in a child process with given standard input and captured
// standard output, and items built field by field.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "NlsUtils/NlsUtils.h"
#include "TestSupport.h"
#include "TextMenu/TextMenu.h"

// The build's catalogue as the core database; every test of the module
// needs its texts.
inline void OpenCatalogue() {
    if (pDrvCoreDB) return;
    SetToolkitPath(nullptr);
    pDrvCoreDB = NlsOpenDB("CoreString", 0);
    ASSERT_NE(pDrvCoreDB, nullptr) << "the build's catalogue is missing";
}

class MenuTest : public ::testing::Test {
  protected:
    void SetUp() override { OpenCatalogue(); }
};

struct ChildRun {
    int status;       // exit status, 128 + N after signal N
    std::string out;  // standard output
};

// Runs body in a child whose standard input reads `input`; the child ends
// with body's result. A child that hangs is ended after 20 seconds.
inline ChildRun InChild(const std::string& input, const std::function<int()>& body) {
    TempDir dir("/tmp/textmenu_test.");
    WriteFile(dir / "stdin", input);
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        if (!freopen((dir / "stdin").c_str(), "r", stdin)) _exit(90);
        if (!freopen((dir / "stdout").c_str(), "w", stdout)) _exit(91);
        alarm(20);
        int r = body();
        fflush(stdout);
        _exit(r);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ChildRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadFile(dir / "stdout");
    return run;
}

inline TextMenuItem Item(const char* label, int type) {
    TextMenuItem item{};
    item.pLabel = label;
    item.Type = type;
    item.SavedValue = -1;
    return item;
}

inline TextMenuItem End() {
    return TextMenuItem{};
}

inline std::string Blanks(int n) {
    return std::string(size_t(n > 0 ? n : 0), ' ');
}
