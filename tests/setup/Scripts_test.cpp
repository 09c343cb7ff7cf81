// The generated queue scripts and launchers, written into a temporary
// application directory and run under dash with stub suite programs that
// record how they were called (tests/setup/scripts/suite_stub.sh).
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

namespace fs = std::filesystem;

namespace {

const std::string kStub = std::string(ORVIK_SOURCE_DIR) + "/tests/setup/scripts/suite_stub.sh";

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int Shell(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

int ThisYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

// One call of a stub suite program.
struct Call {
    std::string name, cwd, in;
    std::vector<std::string> args;
    std::map<std::string, std::string> env, files;
};

using Args = std::vector<std::string>;

class ScriptsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvik-scripts-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        savedAppDir = pAppDir;
        savedTarget = pTargetInstallDir;
        target = (root / "target").string();
        pTargetInstallDir = target.data();
        UseApp("app");
        spool = root / "spool";
        queue = root / "lpd" / "laserBSD";
        fs::create_directories(queue);
        fs::create_directories(spool / "qpxx" / "laserBSD");
        fs::create_directories(root / "interfaces");
    }

    void TearDown() override {
        pAppDir = savedAppDir;
        pTargetInstallDir = savedTarget;
        fs::remove_all(root);
    }

    // Makes ROOT/name the application directory, with the stub programs in it.
    void UseApp(const std::string& name) {
        app = (root / name).string();
        fs::create_directories(app);
        pAppDir = app.data();
        for (const char* program : {"qprqpxxtty", "qsf", "driver", "AixInterface"})
            InstallStub(program);
    }

    void InstallStub(const std::string& name) {
        fs::copy_file(kStub, fs::path(app) / name, fs::copy_options::overwrite_existing);
        fs::permissions(fs::path(app) / name, fs::perms(0755));
    }

    fs::path Script(const char* name) const { return fs::path(app) / name; }

    void GenerateAll() {
        ASSERT_EQ(generateOrvikPrintqpxxScript(Script("OrvikPrintqpxx").c_str(), ScriptShShell,
                                               OrvikPrintqpxxScript),
                  1);
        ASSERT_EQ(generatev4DriverScript(Script("v4DriverScript").c_str(), ScriptShShell,
                                         pv4DriverScript),
                  1);
        ASSERT_EQ(generateOrvikQSFScript(Script("OrvikQSF").c_str(), ScriptShShell, OrvikQSFScript,
                                         spool.c_str()),
                  1);
    }

    // The flag file's content; none removes it.
    void SetFlags(const std::optional<std::string>& content) {
        fs::path flags = fs::path(app) / ".qp_cfg";
        if (content)
            WriteFile(flags, *content);
        else
            fs::remove(flags);
    }

    void SetFailures(int n) { WriteFile(fs::path(app) / "failures", std::to_string(n) + "\n"); }

    // Runs the script under dash in `cwd` with a clean environment plus `env`.
    // The script is reached under `as` (its $0) when given. Returns the status.
    int Run(const fs::path& script, const Args& args, const Args& env = {},
            const std::string& input = "", const fs::path& cwd = {}, const char* as = nullptr) {
        fs::path invoked = script;
        if (as) {
            invoked = root / "interfaces" / as;
            fs::copy_file(script, invoked, fs::copy_options::overwrite_existing);
        }
        WriteFile(root / "stdin", input);
        std::string command = "cd " + Quote((cwd.empty() ? queue : cwd).string()) +
                              " && timeout 30 env -i PATH=/usr/bin:/bin";
        for (const auto& e : env)
            command += " " + Quote(e);
        command += " dash " + Quote(invoked.string());
        for (const auto& a : args)
            command += " " + Quote(a);
        command += " <" + Quote((root / "stdin").string());
        command += " >" + Quote((root / "stdout").string());
        command += " 2>" + Quote((root / "stderr").string());
        return Shell(command);
    }

    // The calls recorded since the last look, oldest first.
    std::vector<Call> Calls() {
        fs::path log = fs::path(app) / "calls.log";
        std::vector<Call> calls;
        for (const std::string& line : Lines(ReadFile(log))) {
            auto space = line.find(' ');
            std::string key = line.substr(0, space);
            std::string value = space == std::string::npos ? "" : line.substr(space + 1);
            if (key == "call") {
                calls.push_back(Call{});
                calls.back().name = value;
            } else if (calls.empty()) {
                continue;
            } else if (key == "cwd") {
                calls.back().cwd = value;
            } else if (key == "arg") {
                calls.back().args.push_back(value);
            } else if (key == "stdin") {
                calls.back().in = value;
            } else if (key == "env" || key == "file") {
                auto eq = value.find('=');
                auto& map = key == "env" ? calls.back().env : calls.back().files;
                map[value.substr(0, eq)] = value.substr(eq + 1);
            }
        }
        fs::remove(log);
        return calls;
    }

    // Runs a script once and returns its only call (an empty one when the
    // number of calls is not one).
    Call RunOnce(const fs::path& script, const Args& args, const Args& env = {},
                 const std::string& input = "", const fs::path& cwd = {},
                 const char* as = nullptr) {
        Run(script, args, env, input, cwd, as);
        std::vector<Call> calls = Calls();
        EXPECT_EQ(calls.size(), 1u) << ReadFile(root / "stderr");
        return calls.size() == 1 ? calls[0] : Call{};
    }

    fs::path root, spool, queue;
    std::string app, target;
    char* savedAppDir = nullptr;
    char* savedTarget = nullptr;
};

// Arguments that every branch can take: LPRng's six words and a file.
const Args kMixed = {"-PlaserLPRng", "-d/spool", "-efile1", "-Zo1", "-nuser", "-hhost", "file9"};

// Which branch of each script served a job called with kMixed.
std::string PrintqpxxBranch(const Call& c) {
    if (c.name == "AixInterface") return "AIX";
    if (c.args.size() < 2) return "?";
    if (c.args[1] == "-f") return c.args[0] == "-dlaserBSD" ? "BSD" : "LPRng";
    if (c.args[1] == "-i") return c.args[0] == "-dlaserV5" ? "V5" : "CUPS";
    return "?";
}

std::string DriverBranch(const Call& c) {
    if (c.args.size() >= 2 && c.args[0] == "-f" && c.args[1] == "AIX") return "AIX";
    if (c.args.empty()) return "?";
    if (c.args[0] == "-dlaserLPRng") return "LPRng"; // BSD too
    if (c.args[0] == "-dlaserV5") return "V5";
    if (c.args[0] == "-dlaserCUPS") return "CUPS";
    return "?";
}

std::string QsfBranch(const Call& c, const std::string& app) {
    if (c.args.size() == 7) return "AIX";
    if (c.args.size() == 1 && c.args[0].find("/spool/qpxx/laserBSD/laserBSD.") != std::string::npos)
        return "BSD";
    if (c.args.empty() && c.cwd != app) return "LPRng";
    if (c.args == Args{"-hhost", "file9"} && c.env.count("QPrintPrinter"))
        return c.env.at("QPrintPrinter") == "laserV5" ? "V5" : "CUPS";
    return "?";
}

TEST_F(ScriptsTest, QueueScriptsAreShellWithThisYearsBannerAndNoFinalLineBreak) {
    GenerateAll();
    const std::string hashes(63, '#');
    const std::string blankFrame = "##" + std::string(59, ' ') + "##";
    for (const char* name : {"OrvikPrintqpxx", "v4DriverScript", "OrvikQSF"}) {
        SCOPED_TRACE(name);
        std::string text = ReadFile(Script(name));
        std::vector<std::string> lines = Lines(text);
        ASSERT_GT(lines.size(), 10u);
        EXPECT_EQ(lines[0], "#!/bin/sh");
        EXPECT_EQ(lines[1], hashes);
        EXPECT_EQ(lines[2], blankFrame);
        EXPECT_EQ(lines[3].size(), 63u);
        EXPECT_EQ(lines[3].substr(0, 4), "##  ");
        EXPECT_EQ(lines[3].substr(59), "  ##");
        EXPECT_NE(lines[3].find(std::to_string(ThisYear())), std::string::npos);
        EXPECT_EQ(lines[4], blankFrame);
        EXPECT_EQ(lines[5], hashes);
        EXPECT_EQ(lines[6], "");
        EXPECT_EQ(lines[7], "ToolPath=" + app);
        EXPECT_EQ(text.substr(text.size() - 5), "\nesac");
        EXPECT_EQ(Shell("sh -n " + Quote(Script(name).string())), 0);
        EXPECT_EQ(Shell("dash -n " + Quote(Script(name).string())), 0);
        struct stat info {};
        ASSERT_EQ(stat(Script(name).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0755u);
    }
    EXPECT_EQ(Lines(ReadFile(Script("OrvikQSF")))[8], "SpoolDir=" + (spool / "qpxx").string());
}

TEST_F(ScriptsTest, GeneratingAgainOverwritesAndAnUnopenableFileIsReported) {
    GenerateAll();
    std::string fresh = ReadFile(Script("OrvikQSF"));
    WriteFile(Script("OrvikQSF"), std::string(20000, 'x') + "\nOLD SCRIPT\n");
    ASSERT_EQ(generateOrvikQSFScript(Script("OrvikQSF").c_str(), ScriptShShell, OrvikQSFScript,
                                     spool.c_str()),
              1);
    EXPECT_EQ(ReadFile(Script("OrvikQSF")), fresh);

    std::string missing = (root / "no-such-dir" / "OrvikPrintqpxx").string();
    testing::internal::CaptureStderr();
    EXPECT_EQ(generateOrvikPrintqpxxScript(missing.c_str(), ScriptShShell, OrvikPrintqpxxScript),
              0);
    EXPECT_EQ(generatev4DriverScript(missing.c_str(), ScriptShShell, pv4DriverScript), 0);
    EXPECT_EQ(generateOrvikQSFScript(missing.c_str(), ScriptShShell, OrvikQSFScript, "/s"), 0);
    GenSimpleScript(missing.c_str(), ScriptShShell, SimpleScript, "/a", "/a", "p");
    std::string line = "ERROR: can't open file, " + missing + "\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), line + line + line + line);
    EXPECT_FALSE(fs::exists(root / "no-such-dir"));
}

// Writes the QSF script while files may not grow beyond 100 bytes; exits 0
// when the generator reported the failure and left the file not executable.
[[noreturn]] void WriteQsfWithinLimit(const std::string& path) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    int written = generateOrvikQSFScript(path.c_str(), ScriptShShell, OrvikQSFScript, "/var/spool");
    struct stat info {};
    stat(path.c_str(), &info);
    std::exit(written == 0 && (info.st_mode & 0111) == 0 ? 0 : 1);
}

// A script cut off by a write failure is reported, and not made executable.
TEST_F(ScriptsTest, AScriptThatCannotBeWrittenWhollyIsReported) {
    const std::string path = Script("OrvikQSF").string();
    EXPECT_EXIT(WriteQsfWithinLimit(path), testing::ExitedWithCode(0),
                "ERROR: can't write file, " + path + "\n");
}

TEST_F(ScriptsTest, TheFlagFileChoosesTheBranchAndItsLastKnownWordCounts) {
    GenerateAll();
    const std::vector<std::pair<std::optional<std::string>, std::string>> cases = {
        {" AIX ", "AIX"},
        {" BSD ", "BSD"},
        {" LPRng ", "LPRng"},
        {" V5 ", "V5"},
        {" CUPS ", "CUPS"},
        {" CUPS BSD AIX ", "AIX"},
        {" AIX LPRng junk ", "LPRng"},
        {"BSD\nV5\tCUPS\n", "CUPS"},
        {"", "V5"},
        {std::nullopt, "V5"},
        {" lprng cups * ", "V5"},
    };
    const Args env = {"PRINTER=laserCUPS", "SPOOL_DIR=" + queue.string()};
    for (const auto& [flags, branch] : cases) {
        SCOPED_TRACE(flags ? "flags [" + *flags + "]" : "no flag file");
        SetFlags(flags);
        EXPECT_EQ(
            PrintqpxxBranch(RunOnce(Script("OrvikPrintqpxx"), kMixed, env, "", {}, "laserV5")),
            branch);
        std::string driverBranch = branch == "BSD" ? "LPRng" : branch;
        EXPECT_EQ(DriverBranch(RunOnce(Script("v4DriverScript"), kMixed, env, "", {}, "laserV5")),
                  driverBranch);
        EXPECT_EQ(QsfBranch(RunOnce(Script("OrvikQSF"), kMixed, env, "job", {}, "laserV5"), app),
                  branch);
    }
}

TEST_F(ScriptsTest, PrintqpxxHandsTheJobOverAsEachSpoolerExpects) {
    GenerateAll();
    const fs::path tool = Script("OrvikPrintqpxx");

    SetFlags(" AIX ");
    Call c = RunOnce(tool, {"-x", "two words", "f"});
    EXPECT_EQ(c.name, "AixInterface");
    EXPECT_EQ(c.cwd, app);
    EXPECT_EQ(c.args, (Args{"-x", "two words", "f"}));

    // BSD: the queue is the spool directory lpd runs the filter in; the job
    // comes on standard input; both output streams go to the log there.
    SetFlags(" BSD ");
    c = RunOnce(tool, {"-w132", "-l66"}, {}, "job data");
    EXPECT_EQ(c.cwd, queue.string());
    EXPECT_EQ(c.args, (Args{"-dlaserBSD", "-f"}));
    EXPECT_EQ(c.in, "job data");
    EXPECT_TRUE(fs::exists(queue / "qprintqpxx.log"));
    EXPECT_NE(ReadFile(queue / "qprintqpxx.log").find("stub error"), std::string::npos);
    EXPECT_EQ(ReadFile(root / "stdout"), "");

    // LPRng: data files become paths in the spool directory, -Z options one
    // -o each; the outcome is always success and nothing is printed.
    SetFlags(" LPRng ");
    SetFailures(1);
    EXPECT_EQ(Run(tool, {"-Pq", "-d/spool", "-efile1,file2", "-Zopt1,opt2", "-nuser", "-hhost"}),
              0);
    std::vector<Call> calls = Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args,
              (Args{"-dq", "-f", "-oopt1", "-oopt2", "/spool/file1", "/spool/file2"}));
    EXPECT_EQ(calls[0].cwd, app);
    EXPECT_EQ(calls[0].env["QPrintFileSourceDir"], queue.string());
    EXPECT_EQ(ReadFile(root / "stdout"), "");
    c = RunOnce(tool, {"-Pq", "-d/sp", "-edfA1", "-Z", "-nuser", "-hhost"});
    EXPECT_EQ(c.args, (Args{"-dq", "-f", "/sp/dfA1"}));

    // V5: the printer is the name the interface was called by; the title
    // loses the spooler's "###" tail; the job's values travel as variables.
    SetFlags(" V5 ");
    c = RunOnce(tool, {"42", "alice", "Report of May###1 x", "2", "nobanner", "f1", "f 2"}, {}, "",
                {}, "laserV5");
    EXPECT_EQ(c.cwd, app);
    EXPECT_EQ(c.args, (Args{"-dlaserV5", "-i", "f1", "f 2"}));
    EXPECT_EQ(c.env["QPrintPrinter"], "laserV5");
    EXPECT_EQ(c.env["QPrintRequest_id"], "42");
    EXPECT_EQ(c.env["QPrintUser_name"], "alice");
    EXPECT_EQ(c.env["QPrintTitle"], "Report of May");
    EXPECT_EQ(c.env["QPrintCopies"], "2");
    EXPECT_EQ(c.env["QPrintOption_list"], "nobanner");
    EXPECT_EQ(c.env["PATH"], "/usr/sbin:/usr/bin");
    for (const auto& [title, kept] :
         std::vector<std::pair<std::string, std::string>>{{"C# ###notes", "C# "},
                                                          {"a## b", "a## b"},
                                                          {"x#### y", "x"},
                                                          {"back\\slash", "back\\slash"}}) {
        c = RunOnce(tool, {"1", "u", title, "1", ""}, {}, "", {}, "laserV5");
        EXPECT_EQ(c.env["QPrintTitle"], kept);
        EXPECT_EQ(c.args, (Args{"-dlaserV5", "-i"}));
    }
    c = RunOnce(tool, {"1", "u"}, {}, "", {}, "laserV5"); // too few words: no files
    EXPECT_EQ(c.args, (Args{"-dlaserV5", "-i"}));

    // CUPS: the printer comes from the environment, the title as given.
    SetFlags(" CUPS ");
    c = RunOnce(tool, {"7", "bob", "T###1", "1", "o=1", "/tmp/f"}, {"PRINTER=laserCUPS"});
    EXPECT_EQ(c.args, (Args{"-dlaserCUPS", "-i", "/tmp/f"}));
    EXPECT_EQ(c.env["QPrintPrinter"], "laserCUPS");
    EXPECT_EQ(c.env["QPrintTitle"], "T###1");
    EXPECT_EQ(c.env["QPrintRequest_id"], "7");
}

TEST_F(ScriptsTest, DriverInterfaceBuildsTheDriverCommandLine) {
    GenerateAll();
    const fs::path tool = Script("v4DriverScript");

    SetFlags(" AIX ");
    SetFailures(1);
    EXPECT_EQ(Run(tool, {"-a", "b c"}), 0);
    std::vector<Call> calls = Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (Args{"-f", "AIX", "-a", "b c"}));
    EXPECT_EQ(calls[0].cwd, app);
    EXPECT_EQ(calls[0].env["PANGO_RC_FILE"], app + "/lib/gtk/modules/etc/pango/pangorc");
    EXPECT_EQ(calls[0].env["GTK_IM_MODULE_FILE"],
              app + "/lib/gtk/modules/etc/gtk-2.0/gtk.immodules");
    EXPECT_EQ(calls[0].env["GDK_PIXBUF_MODULE_FILE"],
              app + "/lib/gtk/modules/etc/gtk-2.0/gdk-pixbuf.loaders");
    EXPECT_EQ(ReadFile(root / "stdout"), "");

    for (const char* flags : {" LPRng ", " BSD "}) {
        SCOPED_TRACE(flags);
        SetFlags(flags);
        Call c =
            RunOnce(tool, {"-Pq1", "-d/spool", "-efile1,file2", "-Zopt1,opt2", "-nuser", "-hh"});
        EXPECT_EQ(c.args, (Args{"-dq1", "-oopt1", "-oopt2", "/spool/file1", "/spool/file2"}));
        EXPECT_EQ(c.cwd, app);
        EXPECT_EQ(c.env["QPrintFileSourceDir"], queue.string());
        EXPECT_EQ(ReadFile(root / "stdout"), "");
    }

    SetFlags(" V5 ");
    Call c = RunOnce(tool, {"42", "alice@host", "My doc###1 x", "2", "opt", "f1", "f2"}, {}, "", {},
                     "laserV5");
    EXPECT_EQ(c.args, (Args{"-dlaserV5", "-ualice", "-t", "My doc-t ", "f1", "f2"}));
    EXPECT_EQ(c.env["PRINTER"], "laserV5");
    EXPECT_EQ(c.env["QPrintRequest_id"], "-o JobID=42");
    EXPECT_EQ(c.env["QPrintCopies"], "-o Copies=2");
    EXPECT_EQ(c.env["UserName"], "-ualice");
    EXPECT_EQ(c.env["OptList"], "opt");
    EXPECT_EQ(c.env["DISPLAY"], ":0.0");
    EXPECT_EQ(c.env["PATH"], "/usr/sbin:/usr/bin:/bin");
    c = RunOnce(tool, {"1", "carol", "Plain title", "1", "", "f"}, {"DISPLAY=:5"}, "", {},
                "laserV5");
    EXPECT_EQ(c.args, (Args{"-dlaserV5", "-ucarol", "-t", "Plain title", "f"}));
    EXPECT_EQ(c.env["DISPLAY"], ":5");

    SetFlags(" CUPS ");
    c = RunOnce(tool, {"9", "\"dave\"", "\"T\"", "3", "a=1 b=\"x\"", "f1"},
                {"PRINTER=laserCUPS", "DISPLAY=:5"});
    EXPECT_EQ(c.args, (Args{"-dlaserCUPS", "-o", "a=1", "-o", "b=x", "f1"}));
    EXPECT_EQ(c.env["DISPLAY"], ":0.0");
    EXPECT_EQ(c.env["PATH"], "/usr/sbin:/usr/bin:/bin");
    EXPECT_EQ(c.cwd, app);
    c = RunOnce(tool, {"9", "dave", "T", "3", "", "f1"}, {"PRINTER=laserCUPS"});
    EXPECT_EQ(c.args, (Args{"-dlaserCUPS", "f1"}));
}

TEST_F(ScriptsTest, QsfIsRunAgainUntilItTakesTheJob) {
    GenerateAll();
    const fs::path filter = Script("OrvikQSF");

    SetFlags(" AIX ");
    SetFailures(2);
    EXPECT_EQ(Run(filter, {"-a", "b c"}), 0);
    std::vector<Call> calls = Calls();
    ASSERT_EQ(calls.size(), 3u);
    for (const Call& c : calls) {
        EXPECT_EQ(c.args, (Args{"-a", "b c"}));
        EXPECT_EQ(c.cwd, app);
    }

    // BSD: standard input is kept as SPOOL/qpxx/PRINTER/PRINTER.PID for
    // every run and removed afterwards.
    SetFlags(" BSD ");
    SetFailures(2);
    EXPECT_EQ(Run(filter, {"-w132"}, {}, "the job"), 0);
    calls = Calls();
    ASSERT_EQ(calls.size(), 3u);
    const std::string prefix = (spool / "qpxx" / "laserBSD" / "laserBSD.").string();
    for (const Call& c : calls) {
        ASSERT_EQ(c.args.size(), 1u);
        EXPECT_EQ(c.args[0], calls[0].args[0]);
        ASSERT_EQ(c.args[0].substr(0, prefix.size()), prefix);
        std::string pid = c.args[0].substr(prefix.size());
        EXPECT_FALSE(pid.empty());
        EXPECT_EQ(pid.find_first_not_of("0123456789"), std::string::npos);
        EXPECT_EQ(c.files.at(c.args[0]), "the job");
        EXPECT_EQ(c.cwd, queue.string());
    }
    EXPECT_FALSE(fs::exists(calls[0].args[0]));

    // A job that cannot be kept is refused instead of fed to qsf for ever.
    fs::remove_all(spool / "qpxx" / "laserBSD");
    EXPECT_NE(Run(filter, {}, {}, "the job"), 0);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ScriptsTest, QsfOnLprngTakesTheFilesOfTheFOptions) {
    GenerateAll();
    const fs::path filter = Script("OrvikQSF");
    SetFlags(" LPRng ");
    const fs::path lprngSpool = root / "lprng-spool";
    fs::create_directories(lprngSpool);
    const Args env = {"SPOOL_DIR=" + lprngSpool.string()};

    SetFailures(1);
    EXPECT_EQ(Run(filter, {"-Apr", "-Plaser", "-f(stdin)", "-nuser", "/acct"}, env, "piped job"),
              0);
    std::vector<Call> calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    const std::string prefix = (lprngSpool / "laserBSD.").string();
    ASSERT_EQ(calls[1].args.size(), 1u);
    EXPECT_EQ(calls[1].args[0].substr(0, prefix.size()), prefix);
    EXPECT_EQ(calls[1].files.at(calls[1].args[0]), "piped job");
    EXPECT_FALSE(fs::exists(calls[1].args[0]));
    EXPECT_EQ(calls[1].cwd, queue.string());

    WriteFile(lprngSpool / "dfA1", "one");
    WriteFile(lprngSpool / "dfA2", "two");
    Call c = RunOnce(filter,
                     {"-Plaser", "-f" + (lprngSpool / "dfA1").string(), "-J", "job",
                      "-f" + (lprngSpool / "dfA2").string()},
                     env);
    EXPECT_EQ(c.args, (Args{(lprngSpool / "dfA1").string(), (lprngSpool / "dfA2").string()}));
    EXPECT_TRUE(fs::exists(lprngSpool / "dfA1"));
    EXPECT_TRUE(fs::exists(lprngSpool / "dfA2"));

    // V5 and CUPS pass the files behind the spooler's five words.
    SetFlags(" V5 ");
    c = RunOnce(filter, {"12", "eve", "T", "1", "o", "f1", "f 2"}, {}, "", {}, "laserV5");
    EXPECT_EQ(c.args, (Args{"f1", "f 2"}));
    EXPECT_EQ(c.cwd, app);
    EXPECT_EQ(c.env["QPrintPrinter"], "laserV5");
    EXPECT_EQ(c.env["QPrintTitle"], "T");
    EXPECT_EQ(c.env["QPrintRequest_id"], "12");
    SetFlags(" CUPS ");
    c = RunOnce(filter, {"12", "eve", "T###1", "1", "o"}, {"PRINTER=laserCUPS"}, "", {}, "laserV5");
    EXPECT_TRUE(c.args.empty());
    EXPECT_EQ(c.env["QPrintPrinter"], "laserCUPS");
    EXPECT_EQ(c.env["QPrintTitle"], "T###1");
}

TEST_F(ScriptsTest, LauncherRecordsTheCallersDirectoryAndStartsTheProgram) {
    UseApp("my app"); // a blank in the directory must survive the shell
    InstallStub("prog");
    fs::create_directories(root / "bin");
    const fs::path launcher = root / "bin" / "prog";
    GenSimpleScript(launcher.c_str(), ScriptShShell, SimpleScript, pAppDir, pAppDir, "prog");
    std::string text = ReadFile(launcher);
    std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "#!/bin/sh");
    EXPECT_EQ(lines[1], std::string(63, '#'));
    EXPECT_NE(lines[3].find(std::to_string(ThisYear())), std::string::npos);
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[8], "QPrintFileSourceDir=`pwd`");
    EXPECT_EQ(lines[9], "export QPrintFileSourceDir");
    EXPECT_EQ(lines[10], "");
    EXPECT_EQ(lines[11], "cd '" + app + "' || exit 1");
    EXPECT_EQ(lines[12], "exec '" + app + "'/prog \"$@\"");
    EXPECT_EQ(Shell("dash -n " + Quote(launcher.string())), 0);
    struct stat info {};
    ASSERT_EQ(stat(launcher.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);

    fs::create_directories(root / "work");
    Call c = RunOnce(launcher, {"one two", "*", "three"}, {}, "", root / "work");
    EXPECT_EQ(c.name, "prog");
    EXPECT_EQ(c.cwd, app);
    EXPECT_EQ(c.args, (Args{"one two", "*", "three"}));
    EXPECT_EQ(c.env["QPrintFileSourceDir"], (root / "work").string());

    // The queue scripts work from such a directory too.
    GenerateAll();
    SetFlags(" V5 ");
    c = RunOnce(Script("OrvikPrintqpxx"), {"1", "u", "t", "1", "", "f"}, {}, "", {}, "laserV5");
    EXPECT_EQ(c.args, (Args{"-dlaserV5", "-i", "f"}));
    EXPECT_EQ(c.cwd, app);
}

TEST_F(ScriptsTest, CreateQueueScriptsWritesAllThreeIntoTheApplicationDirectory) {
    createQueueScripts(spool.c_str());
    for (const char* name : {"OrvikPrintqpxx", "v4DriverScript", "OrvikQSF"})
        EXPECT_EQ(Lines(ReadFile(Script(name)))[7], "ToolPath=" + app) << name;
    EXPECT_EQ(Lines(ReadFile(Script("OrvikQSF")))[8], "SpoolDir=" + (spool / "qpxx").string());
}

// Runs inside the sandbox only, where /usr is a private overlay: the link
// into LPRng's printconf directory is made once, through TARGET/Orvik/qpxx,
// and only on an LPRng host that has the directory.
TEST(PrintconfLink, LprngHostsGetTheInterfaceLinkedOnce) {
    const std::string util = "/usr/share/printconf/util";
    if (!std::getenv("ORVIK_SCRIPTS_IN_SANDBOX")) {
        const std::string sandbox = std::string(ORVIK_SOURCE_DIR) + "/tools/sandbox";
        if (Shell(Quote(sandbox) + " --probe >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "the sandbox cannot be made here";
        char out[] = "/tmp/orvik-printconf-XXXXXX";
        ASSERT_NE(mkdtemp(out), nullptr);
        const std::string log = std::string(out) + "/out";
        int status = Shell("timeout 120 " + Quote(sandbox) + " -- env ORVIK_SCRIPTS_IN_SANDBOX=1 " +
                           Quote(fs::read_symlink("/proc/self/exe").string()) +
                           " --gtest_filter=PrintconfLink.* >" + Quote(log) + " 2>&1");
        EXPECT_EQ(status, 0) << ReadFile(log);
        EXPECT_NE(ReadFile(log).find("[  PASSED  ] 1 test"), std::string::npos) << ReadFile(log);
        fs::remove_all(out);
        return;
    }
    char pattern[] = "/tmp/orvik-printconf-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    std::string target = (dir / "target").string();
    std::string app = target + "/Orvik/qpxx";
    fs::create_directories(app);
    fs::create_directories(dir / "lpd");
    pTargetInstallDir = target.data();
    pAppDir = app.data();
    const std::string lpdDir = (dir / "lpd").string();
    ComList[CMD_LPD].pPath = lpdDir.c_str();
    auto lpdSays = [&](const std::string& version) {
        WriteFile(dir / "lpd" / "lpd", "#!/bin/sh\necho '" + version + "'\n");
        fs::permissions(dir / "lpd" / "lpd", fs::perms(0755));
    };
    const fs::path link = fs::path(util) / "OrvikPrintqpxx";

    lpdSays("lpd (LPRng-3.8.28)");
    createQueueScripts((dir / "spool").c_str()); // no printconf directory: nothing to do
    EXPECT_TRUE(fs::exists(fs::path(app) / "OrvikQSF"));
    EXPECT_FALSE(fs::exists(util));

    fs::create_directories(util);
    lpdSays("lpd 0.48 BSD");
    createQueueScripts((dir / "spool").c_str()); // not LPRng: no link
    EXPECT_FALSE(fs::is_symlink(link));

    lpdSays("lpd (LPRng-3.8.28)");
    createQueueScripts((dir / "spool").c_str());
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link).string(), target + "/Orvik/qpxx/OrvikPrintqpxx");

    fs::remove(link);
    fs::create_symlink("/elsewhere", link);
    createQueueScripts((dir / "spool").c_str()); // an entry is there already: kept
    EXPECT_EQ(fs::read_symlink(link).string(), "/elsewhere");
    ComList[CMD_LPD].pPath = nullptr;
    pTargetInstallDir = nullptr;
    pAppDir = nullptr;
    fs::remove_all(dir);
}

TEST(ShellWord, QuotesOnlyWhatTheShellWouldInterpret) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"/usr/Orvik/qpxx", "/usr/Orvik/qpxx"},
        {"qprint-2.1_x+y,z:w@h%", "qprint-2.1_x+y,z:w@h%"},
        {"/opt/my app", "'/opt/my app'"},
        {"it's", "\"it's\""},
        {"it's $HOME \"x\" `y` \\z", "\"it's \\$HOME \\\"x\\\" \\`y\\` \\\\z\""},
        {"$HOME", "'$HOME'"},
        {"~root", "'~root'"},
        {"", "''"},
    };
    for (const auto& [text, word] : cases) {
        MemHold<> result(ShellWord(text));
        EXPECT_STREQ(result.get(), word);
    }
}

TEST(ScriptTemplates, DaemonTemplatesAreShellAndAnswerTheirCases) {
    char pattern[] = "/tmp/orvik-daemon-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const std::string d = dir.string();
    auto fill = [&](const char* tmpl, auto... args) {
        char text[4096];
        int n = std::snprintf(text, sizeof text, tmpl, args...);
        EXPECT_LT(n, static_cast<int>(sizeof text));
        WriteFile(dir / "script", std::string(ScriptShShell) + "\n" + text + ScriptTail);
        return "dash " + Quote((dir / "script").string());
    };
    auto output = [&](const std::string& command) {
        Shell(command + " >" + Quote(d + "/out") + " 2>&1 </dev/null");
        return ReadFile(dir / "out");
    };
    // QPrintDStop stands in for the daemon's stop program.
    WriteFile(dir / "QPrintDStop", "#!/bin/sh\necho stopped\n");
    fs::permissions(dir / "QPrintDStop", fs::perms(0755));

    std::string run =
        fill(DemonScript, "Orvik", d.c_str(), d.c_str(), "Orvik", d.c_str(), d.c_str());
    EXPECT_EQ(Shell("dash -n " + Quote(d + "/script")), 0);
    EXPECT_EQ(output(run + " start"), "Starting Orvik Print Daemon.\n");
    EXPECT_EQ(output(run + " stop"), "Stoping Orvik Print Daemon.\nstopped\n");

    run = fill(SimpleHPOrvikDemonScript, "Orvik", d.c_str(), d.c_str(), "Orvik", d.c_str(),
               d.c_str(), "Orvik", "Orvik");
    EXPECT_EQ(Shell("dash -n " + Quote(d + "/script")), 0);
    EXPECT_EQ(output(run + " stop"), "Stoping Orvik Print Daemon.\nstopped\n");
    EXPECT_EQ(output(run + " start_msg"), "Starting Orvik Print Daemon.\n");
    EXPECT_EQ(output(run + " stop_msg"), "Stoping Orvik Print Daemon.\n");
    EXPECT_EQ(output(run + " restart"), "usage: " + d + "/script {start|stop}\n");

    fill(SimpleQePrScript, "Orvik", d.c_str(), d.c_str());
    EXPECT_EQ(Shell("dash -n " + Quote(d + "/script")), 0);
    EXPECT_NE(ReadFile(dir / "script").find("sleep 180"), std::string::npos);
    EXPECT_TRUE(std::string(ScriptTail).ends_with("\n\n## Exit Script\nexit 0\n"));
    fs::remove_all(dir);
}

} // namespace
