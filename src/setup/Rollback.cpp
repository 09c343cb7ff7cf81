// A failed run leaves the host as it found it. Before anything of the
// previous installation changes, what it consists of (its application
// directory, the link at the fixed place and everything its installation
// record lists) is copied aside with modes, owners and links, and a small
// shell script is written beside the copy that puts it all back: it first
// removes what this run made, then copies the kept files into place. A run
// that ends on an error, at the user's request or on SIGINT, SIGTERM or
// SIGHUP runs that script; a completed run removes the copy. For a fresh
// installation the script only removes what the run made.
//
// The script is complete at every moment, so that the signal handler needs
// nothing but fork, exec and wait to run it.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

namespace {

constexpr const char* ASIDE_DIR = "/var/lib/orvik/qpxx.previous";
constexpr int SCRIPT_PATH_SIZE = 256;
constexpr const char KEPT_MSG[] = ": the previous installation was kept\n";
constexpr const char REMOVED_MSG[] = ": what the failed installation made was removed\n";
constexpr const int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

// Set while a failure must undo the run; read by the signal handler.
volatile sig_atomic_t flArmed = 0;
bool flUpgrade = false;
char RestoreScript[SCRIPT_PATH_SIZE]; // ASIDE/restore.sh
char MadeScript[SCRIPT_PATH_SIZE];    // ASIDE/made.sh: removals of what the run made
char NameForMsg[64];

bool Exists(const char* path) {
    struct stat st;
    return lstat(path, &st) == 0;
}

// Appends a line to a script file; false when it cannot be written.
bool Append(const char* file, const char* text) {
    int fd = open(file, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t len = strlen(text);
    bool ok = write(fd, text, len) == ssize_t(len);
    return close(fd) == 0 && ok;
}

// "rm -rf -- WORD\n" for a path, or a copy of it aside with its parents.
void AppendRemoval(const char* file, const char* path) {
    MemHold<char> word(ShellWord(path));
    MemHold<char> line(SaveStr("rm -rf -- %s\n", word.get()));
    Append(file, line);
}

// Runs the restore script and waits for it; only async-signal-safe calls.
void RunRestore() {
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", RestoreScript, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) return;
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void Say(const char* text, size_t len) {
    ssize_t n = write(STDOUT_FILENO, "\n", 1);
    n = write(STDOUT_FILENO, NameForMsg, strlen(NameForMsg));
    n = write(STDOUT_FILENO, text, len);
    (void)n;
}

void OnSignal(int sig) {
    if (flArmed) {
        flArmed = 0;
        RunRestore();
        if (flUpgrade)
            Say(KEPT_MSG, sizeof KEPT_MSG - 1);
        else
            Say(REMOVED_MSG, sizeof REMOVED_MSG - 1);
    }
    _exit(128 + sig);
}

void Restore() {
    if (!flArmed) return;
    flArmed = 0;
    fflush(stdout);
    RunRestore();
    EndMidLine();
    PutLogMsg("%s", flUpgrade ? "the run failed: the previous installation was put back\n"
                              : "the run failed: what it made was removed\n");
    printf("%s%s", my_name, flUpgrade ? KEPT_MSG : REMOVED_MSG);
    fflush(stdout);
}

int OnExit(int status) {
    if (status != SETUP_EXIT_DONE) Restore();
    return status;
}

// Adds to the script the removal of path and, when it is there now, keeps
// a copy of it below ASIDE/root (at the same path) and adds to back the
// copy back into its directory.
void KeepAside(FILE* script, FILE* back, const char* path) {
    MemHold<char> word(ShellWord(path));
    fprintf(script, "rm -rf -- %s\n", word.get());
    if (!Exists(path)) return; // not there before the run: whatever the run puts there goes
    MemHold<char> parent(SaveStr_(path));
    if (char* slash = strrchr(parent.get(), '/')) *slash = '\0';
    MemHold<char> keptDir(SaveStr("%s/root%s", ASIDE_DIR, parent.get()));
    MemHold<char> keptWord(ShellWord(keptDir));
    MemHold<char> parentWord(ShellWord(parent[0] ? parent.get() : "/"));
    SysCmd(-CMD_MKDIR, 2, "%s", keptWord.get());
    SysCmd(-CMD_CP, 2, "-a %s %s/", word.get(), keptWord.get());
    MemHold<char> kept(SaveStr("%s/%s", keptDir.get(), StripPath(path)));
    MemHold<char> kw(ShellWord(kept));
    fprintf(back, "cp -a -- %s %s/\n", kw.get(), parentWord.get());
}

} // namespace

void NoteMadePath(const char* path) {
    // A path that was not there before the run is removed by the undo.
    if (flArmed && path && path[0] == '/' && !Exists(path)) AppendRemoval(MadeScript, path);
}

void KeepPreviousInstallation() {
    if (flDryRun || RestoreScript[0]) return; // once a run
    flUpgrade = pCurrentInstallDir != nullptr;
    snprintf(NameForMsg, sizeof NameForMsg, "%s", my_name);
    snprintf(RestoreScript, sizeof RestoreScript, "%s/restore.sh", ASIDE_DIR);
    snprintf(MadeScript, sizeof MadeScript, "%s/made.sh", ASIDE_DIR);

    SysCmd(-CMD_RM_R, 0, " %s", ASIDE_DIR);
    if (mkdir(RECORD_DIR, 0755) != 0 && errno != EEXIST)
        ErrorMsg(2, SETUP_EXIT_FAILED, "cannot make %s: %s", RECORD_DIR, strerror(errno));
    MemHold<char> root(SaveStr("%s/root", ASIDE_DIR));
    if (mkdir(ASIDE_DIR, 0700) != 0 || mkdir(root, 0755) != 0)
        ErrorMsg(2, SETUP_EXIT_FAILED, "cannot make %s: %s", ASIDE_DIR, strerror(errno));
    FILE* script = fopen(RestoreScript, "we");
    MemHold<char> backPath(SaveStr("%s/back.sh", ASIDE_DIR));
    FILE* back = fopen(backPath, "we");
    if (!script || !back) ErrorMsg(2, SETUP_EXIT_FAILED, "cannot write %s", RestoreScript);
    fprintf(script, "# Puts back what a failed run of setup changed.\ncd /\n. %s\n", MadeScript);
    Append(MadeScript, "");
    AppendRemoval(MadeScript, pOrvikInstallDir);

    // The application directory at its new place and at the old one, the
    // suite's directories, the fixed place, the spool directory.
    MemHold<char> target(SaveStr("%s/%s", pTargetInstallDir, DIR_WORD));
    MemHold<char> fixedBase(SaveStr("%s/%s", DEFAULT_TARGET, DIR_WORD));
    MemHold<char> spool(SaveStr("/var/spool/%s", DIR_WORD));
    const char* paths[4] = {target.get(), fixedBase.get(), spool.get(), nullptr};
    if (strcmp(target, fixedBase) == 0) paths[1] = nullptr;
    MemHold<char> current;
    if (pCurrentInstallDir) {
        current.reset(SaveStr("%s/%s", pCurrentInstallDir, DIR_WORD));
        if (strcmp(current, target) != 0 && strcmp(current, fixedBase) != 0) paths[3] = current;
    }
    for (const char* path : paths)
        if (path) KeepAside(script, back, path);
    // And what the previous installation put elsewhere, by its record.
    FILE* record = fopen(RECORD_FILE, "re");
    if (record) {
        static char line[2 * PATH_MAX + 256];
        while (fgets(line, sizeof line, record)) {
            line[strcspn(line, "\n")] = '\0';
            // TYPE MODE OWNER GROUP SUM PATH [LINK]: the sixth field.
            char* p = line;
            for (int i = 0; i < 5 && p; ++i)
                p = strchr(p, '\t') ? strchr(p, '\t') + 1 : nullptr;
            if (!p || strlen(line) < 2 || line[1] != '\t') continue;
            p[strcspn(p, "\t")] = '\0';
            bool covered = false;
            for (const char* path : paths)
                if (path && strncmp(p, path, strlen(path)) == 0 &&
                    (p[strlen(path)] == '/' || p[strlen(path)] == '\0'))
                    covered = true;
            if (!covered && line[0] != 'd') KeepAside(script, back, p);
        }
        fclose(record);
        KeepAside(script, back, RECORD_FILE);
    }
    fprintf(script, ". %s\n", backPath.get());
    if ((fclose(back) != 0) | (fclose(script) != 0)) ErrorMsg(2, SETUP_EXIT_FAILED, "cannot write %s", RestoreScript);

    ExitAppHook = OnExit;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigfillset(&sa.sa_mask);
    for (int sig : SIGNALS)
        sigaction(sig, &sa, nullptr);
    flArmed = 1;
}

void KeepPreviousDone(bool failed) {
    if (failed) {
        Restore();
    } else {
        flArmed = 0;
    }
    if (ExitAppHook == OnExit) ExitAppHook = nullptr;
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    for (int sig : SIGNALS)
        sigaction(sig, &sa, nullptr);
    if (RestoreScript[0]) SysCmd(-CMD_RM_R, 0, " %s", ASIDE_DIR);
}
