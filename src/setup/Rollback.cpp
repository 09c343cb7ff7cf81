// A failed run leaves the host as it found it. Before anything of the
// previous installation changes, what it consists of (its application
// directory, the link at the fixed place and everything its installation
// record lists) is copied aside with modes, owners and links, and a small
// shell script is written beside the copy that puts it all back: it first
// removes what this run made, then copies the kept files into place, and
// removes the copy only when every step of that went through. A run that
// ends on an error, at the user's request or on SIGINT, SIGTERM or SIGHUP
// runs that script; a completed run removes the copy. For a fresh
// installation the script only removes what the run made.
//
// The script is complete at every moment, so that the signal handler needs
// nothing but fork, exec and wait to run it. Before it runs, the handler
// ends the commands that setup is running at that moment (and whatever
// they started), found through /proc, so that none of them goes on
// changing the host under the restored installation.
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
#include <ctime>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

namespace {

constexpr const char* ASIDE_DIR = "/var/lib/orvik/qpxx.previous";
constexpr int SCRIPT_PATH_SIZE = 256;
constexpr const char KEPT_MSG[] = ": the previous installation was kept\n";
constexpr const char REMOVED_MSG[] = ": what the failed installation made was removed\n";
constexpr const char UNDONE_MSG[] =
    ": the failed run could not be wholly undone; what was kept stays in "
    "/var/lib/orvik/qpxx.previous (restore.sh puts it back)\n";
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

// A line of a restore script: a failing step marks the undo as incomplete.
// A directory that is a mount point of its own cannot go; emptied, it has
// gone as far as it can, and what was kept is copied back into it.
constexpr const char* REMOVAL_LINE =
    "rm -rf -- %s 2>/dev/null || [ -z \"$(ls -A -- %s 2>/dev/null)\" ] || ok=1\n";

// "rm -rf -- WORD" for a path, or a copy of it aside with its parents.
void AppendRemoval(const char* file, const char* path) {
    MemHold<char> word(ShellWord(path));
    MemHold<char> line(SaveStr(REMOVAL_LINE, word.get(), word.get()));
    Append(file, line);
}

// Runs the restore script and waits for it; only async-signal-safe calls.
// True when it put everything back (and so removed the copy).
bool RunRestore() {
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", RestoreScript, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// ------------------------------------------ ending the running commands
// Everything below is async-signal-safe: the signal handler calls it.
constexpr int MAX_DESCENDANTS = 128;
constexpr int PROC_PATH_SIZE = 64;

char* PutNumber(char* p, long n) {
    char digits[24];
    int k = 0;
    do {
        digits[k++] = char('0' + n % 10);
        n /= 10;
    } while (n > 0);
    while (k > 0)
        *p++ = digits[--k];
    return p;
}

// "/proc/PID/TAIL" into path.
void ProcPath(char* path, pid_t pid, const char* tail) {
    char* p = path;
    for (const char* s = "/proc/"; *s; ++s)
        *p++ = *s;
    p = PutNumber(p, pid);
    *p++ = '/';
    for (const char* s = tail; *s && p < path + PROC_PATH_SIZE - 1; ++s)
        *p++ = *s;
    *p = '\0';
}

// A file of /proc read whole (at most size - 1 bytes); its length, or -1.
ssize_t ReadProc(pid_t pid, const char* tail, char* buf, size_t size) {
    char path[PROC_PATH_SIZE];
    ProcPath(path, pid, tail);
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    ssize_t got = 0;
    for (;;) {
        ssize_t n = read(fd, buf + got, size - 1 - size_t(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += n;
        if (size_t(got) == size - 1) break;
    }
    close(fd);
    buf[got] = '\0';
    return got;
}

bool Listed(const pid_t* ids, int n, pid_t id) {
    for (int i = 0; i < n; ++i)
        if (ids[i] == id) return true;
    return false;
}

// Adds the children of pid (its task's list) to ids, each stopped first so
// that it starts nothing more while the tree is walked.
void AddChildren(pid_t pid, pid_t* ids, int* n) {
    char tail[PROC_PATH_SIZE] = "task/";
    char* p = PutNumber(tail + 5, pid);
    for (const char* s = "/children"; *s; ++s)
        *p++ = *s;
    *p = '\0';
    char buf[2048];
    if (ReadProc(pid, tail, buf, sizeof buf) <= 0) return;
    for (const char* q = buf; *q;) {
        long id = 0;
        while (*q >= '0' && *q <= '9')
            id = id * 10 + (*q++ - '0');
        while (*q && (*q < '0' || *q > '9'))
            ++q;
        if (id > 0 && *n < MAX_DESCENDANTS && !Listed(ids, *n, pid_t(id))) {
            kill(pid_t(id), SIGSTOP);
            ids[(*n)++] = pid_t(id);
        }
    }
}

// The process is gone or a zombie.
bool Gone(pid_t id) {
    char buf[512];
    if (ReadProc(id, "stat", buf, sizeof buf) <= 0) return true;
    const char* end = nullptr; // the name in parentheses may hold ")" itself
    for (const char* q = buf; *q; ++q)
        if (*q == ')') end = q;
    return !end || end[1] != ' ' || end[2] == 'Z' || end[2] == 'X';
}

// Ends every process that setup started and that still runs, with SIGTERM
// and, after five seconds, SIGKILL; returns when they are all gone.
void EndRunningCommands() {
    pid_t ids[MAX_DESCENDANTS];
    int n = 0;
    // Twice over: a process that was starting a child as it was stopped
    // shows that child only afterwards.
    for (int pass = 0; pass < 2; ++pass) {
        AddChildren(getpid(), ids, &n);
        for (int i = 0; i < n; ++i)
            AddChildren(ids[i], ids, &n);
    }
    for (int i = 0; i < n; ++i) {
        kill(ids[i], SIGTERM);
        kill(ids[i], SIGCONT);
    }
    const struct timespec tick = {0, 100 * 1000 * 1000};
    for (int round = 0; round < 60; ++round) {
        int status;
        while (waitpid(-1, &status, WNOHANG) > 0) {
        }
        bool all = true;
        for (int i = 0; i < n && all; ++i)
            all = Gone(ids[i]);
        if (all) return;
        if (round == 50)
            for (int i = 0; i < n; ++i)
                kill(ids[i], SIGKILL);
        nanosleep(&tick, nullptr);
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
        EndRunningCommands();
        if (!RunRestore())
            Say(UNDONE_MSG, sizeof UNDONE_MSG - 1);
        else if (flUpgrade)
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
    const bool whole = RunRestore();
    EndMidLine();
    if (!whole)
        PutLogMsg("ERROR: the run failed and could not be wholly undone; see %s\n", ASIDE_DIR);
    else
        PutLogMsg("%s", flUpgrade ? "the run failed: the previous installation was put back\n"
                                  : "the run failed: what it made was removed\n");
    printf("%s%s", my_name, !whole ? UNDONE_MSG : flUpgrade ? KEPT_MSG : REMOVED_MSG);
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
    fprintf(script, REMOVAL_LINE, word.get(), word.get());
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
    fprintf(back, "cp -a -- %s %s/ || ok=1\n", kw.get(), parentWord.get());
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
    const bool madeRecordDir = !Exists(RECORD_DIR);
    if (mkdir(RECORD_DIR, 0755) != 0 && errno != EEXIST)
        ErrorMsg(2, SETUP_EXIT_FAILED, "cannot make %s: %s", RECORD_DIR, strerror(errno));
    MemHold<char> root(SaveStr("%s/root", ASIDE_DIR));
    if (mkdir(ASIDE_DIR, 0700) != 0 || mkdir(root, 0755) != 0)
        ErrorMsg(2, SETUP_EXIT_FAILED, "cannot make %s: %s", ASIDE_DIR, strerror(errno));
    FILE* script = fopen(RestoreScript, "we");
    MemHold<char> backPath(SaveStr("%s/back.sh", ASIDE_DIR));
    FILE* back = fopen(backPath, "we");
    if (!script || !back) ErrorMsg(2, SETUP_EXIT_FAILED, "cannot write %s", RestoreScript);
    fprintf(script, "# Puts back what a failed run of setup changed.\ncd / || exit 1\nok=0\n. %s\n",
            MadeScript);
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
    // The copy goes only once everything is back in place.
    fprintf(script, ". %s\n[ $ok = 0 ] || exit 1\nrm -rf -- %s\n", backPath.get(), ASIDE_DIR);
    if (madeRecordDir) fprintf(script, "rmdir -- %s 2>/dev/null\n", RECORD_DIR);
    fputs("exit 0\n", script);
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
    // After a failure the restore script removes the copy itself, and only
    // when it put everything back: a copy that is still needed stays.
    const bool armed = flArmed;
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
    if (RestoreScript[0] && armed && !failed) SysCmd(-CMD_RM_R, 0, " %s", ASIDE_DIR);
}
