// Every script the installer writes, checked by the shell tools as a reader
// of the host's shell would: sh -n and dash -n for syntax, and shellcheck
// (when installed, at its warning level) for the faults that parse but
// misbehave, in both the sh and the dash dialect. Each is generated for an application directory that
// needs no quoting and for one that does.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "MemMgr/MemMgr.h"
#include "TestSupport.h"
#include "setup/setup.h"

namespace {

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The exit status of a shell command, and what it printed.
int RunShell(const std::string& command, std::string* output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;)
        output->append(buf, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveShellcheck() {
    std::string ignored;
    return RunShell("shellcheck --version", &ignored) == 0;
}

// A daemon template filled in and closed with the tail, as a script of its own.
void WriteTemplate(const std::string& path, const char* tmpl, const std::string& dir, int texts) {
    std::vector<const char*> args;
    for (int i = 0; i < texts; ++i)
        args.push_back(i % 3 == 0 ? "Orvik" : dir.c_str());
    char text[4096];
    if (texts == 6)
        std::snprintf(text, sizeof text, tmpl, args[0], args[1], args[2], args[3], args[4], args[5]);
    else if (texts == 8)
        std::snprintf(text, sizeof text, tmpl, args[0], args[1], args[2], args[3], args[4], args[5],
                      args[6], args[7]);
    else
        std::snprintf(text, sizeof text, tmpl, args[0], args[1], args[2]);
    WriteFile(path, std::string(ScriptShShell) + "\n" + text + ScriptTail);
}

} // namespace

TEST(ScriptLint, EveryGeneratedScriptPassesTheShellsAndShellcheck) {
    bool lint = HaveShellcheck();
    for (const char* appName : {"app", "my app's dir"}) {
        TempDir root("/tmp/orvik-lint-");
        std::string app = root / appName;
        std::filesystem::create_directories(app);
        Restore<char*> savedApp(pAppDir);
        pAppDir = app.data();

        std::vector<std::string> scripts;
        auto add = [&](const std::string& name) {
            scripts.push_back(app + "/" + name);
            return scripts.back();
        };
        ASSERT_EQ(generateOrvikPrintqpxxScript(add("OrvikPrintqpxx").c_str(), ScriptShShell,
                                               OrvikPrintqpxxScript),
                  1);
        ASSERT_EQ(generatev4DriverScript(add("v4DriverScript").c_str(), ScriptShShell,
                                         pv4DriverScript),
                  1);
        ASSERT_EQ(generateOrvikQSFScript(add("OrvikQSF").c_str(), ScriptShShell, OrvikQSFScript,
                                         (root / "spool").c_str()),
                  1);
        GenSimpleScript(add("launcher").c_str(), ScriptShShell, SimpleScript, pAppDir, pAppDir,
                        "qprqpxxtty");
        // The daemon templates are filled with plain words, as their users do.
        std::string plain = root / "daemon";
        WriteTemplate(add("daemon"), DemonScript, plain, 6);
        WriteTemplate(add("hp-daemon"), SimpleHPOrvikDemonScript, plain, 8);
        WriteTemplate(add("qepr"), SimpleQePrScript, plain, 3);

        for (const std::string& script : scripts) {
            SCOPED_TRACE(script);
            std::string out;
            EXPECT_EQ(RunShell("sh -n " + Quote(script), &out), 0) << out;
            EXPECT_EQ(RunShell("dash -n " + Quote(script), &out), 0) << out;
            if (!lint) continue;
            for (const char* dialect : {"sh", "dash"}) {
                out.clear();
                EXPECT_EQ(RunShell(std::string("shellcheck -S warning -s ") + dialect + " " + Quote(script),
                                   &out),
                          0)
                    << out;
            }
        }
    }
    if (!lint) GTEST_SKIP() << "shellcheck is not installed: syntax checked only";
}

// Every word ShellWord makes reads back, in the shell, as the text it quotes.
TEST(ScriptLint, ShellWordsReadBackAsTheirText) {
    for (const char* text : {"/usr/Orvik/qpxx", "/opt/my app", "it's", "a'b'c", "$HOME",
                             "it's $HOME", "\"q\" `w` \\e", "'", "x\ny", "~root", "*", ""}) {
        MemHold<> word(ShellWord(text));
        std::string out;
        EXPECT_EQ(RunShell(std::string("dash -c ") + Quote(std::string("printf %s ") + word.get()),
                           &out),
                  0);
        EXPECT_EQ(out, text) << word.get();
    }
}

// When the application directory cannot be entered, a queue script ends
// with status 1 at once: before, qsf was retried without end from wherever
// the spooler had started the filter.
TEST(ScriptLint, AnUnreachableApplicationDirectoryEndsTheScript) {
    TempDir root("/tmp/orvik-lint-");
    std::string gone = root / "gone";
    Restore<char*> savedApp(pAppDir);
    pAppDir = gone.data();
    std::string qsf = root / "OrvikQSF";
    std::string printqpxx = root / "OrvikPrintqpxx";
    ASSERT_EQ(generateOrvikQSFScript(qsf.c_str(), ScriptShShell, OrvikQSFScript, root.c_str()), 1);
    ASSERT_EQ(generateOrvikPrintqpxxScript(printqpxx.c_str(), ScriptShShell, OrvikPrintqpxxScript),
              1);
    for (const std::string& script : {qsf, printqpxx}) {
        std::string out;
        EXPECT_EQ(RunShell("cd " + Quote(root.path()) + " && timeout 20 dash " + Quote(script) +
                               " 1 user title 1 '' file </dev/null",
                           &out),
                  1)
            << script << ": " << out;
    }
}
