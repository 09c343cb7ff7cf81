// The log file /tmp/NAME.log and the error reports on the terminal.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "utils/utils.h"

bool flUseLog = false;
const char* pLogPath = "/tmp";
FILE* pLog = nullptr;
const char* my_name = "setup";

// The next message starts a new log; every later one appends.
static bool flFirstLogMsg = true;
// The file this run made as its log: a later open must find that very file.
static struct stat LogId;

bool flMidLine = false;

constexpr int kLogNameSize = 256;
constexpr int kLogPathSize = 512;
// Tries at making the log while something else keeps re-appearing in its place.
constexpr int kLogCreateTries = 10;

// The log lives in a directory every user may write to. Whatever lies in its
// place when a run starts (an old log, a file planted by another user, a
// link, a second name of some other file) is removed and a new file is made
// by this process alone: O_EXCL with O_NOFOLLOW never opens anything that
// was there. Owned by the installer in a sticky directory, it can then be
// neither removed nor swapped by other users; later opens still check that
// it is the same file, for directories that are not sticky.
static int CreateLog(const char* path) {
    for (int i = 0; i < kLogCreateTries; ++i) {
        (void)unlink(path);
        int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // Readable and writable by every user, whatever the umask.
            if (fchmod(fd, 0666) != 0 || fstat(fd, &LogId) != 0) {
                close(fd);
                return -1;
            }
            return fd;
        }
        if (errno != EEXIST) break;
    }
    return -1;
}

static bool IsOwnLog(const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_dev == LogId.st_dev && st.st_ino == LogId.st_ino &&
           st.st_uid == LogId.st_uid && st.st_nlink == 1;
}

// A log that cannot be made, or that is no longer the file this run made, is
// given up for the rest of the run: the runner's redirections would
// otherwise append to whatever now lies in its place.
static int GiveUpLog(int fd, const char* what, const char* path) {
    if (fd >= 0) close(fd);
    flUseLog = false;
    EndMidLine();
    fprintf(stderr, what, path);
    return -1;
}

// The log's descriptor for one message (append mode), or -1 with logging off.
static int OpenLog() {
    const char* name = my_name ? my_name : "setup";
    char path[kLogPathSize];
    int n = snprintf(path, sizeof path, "%s/%s.log", pLogPath, name);
    if (n < 0 || n >= int(sizeof path) || strlen(name) + 4 >= size_t(kLogNameSize))
        return GiveUpLog(-1, "ERROR: couldn't open %s\n", path);

    if (flFirstLogMsg) {
        flFirstLogMsg = false;
        int fd = CreateLog(path);
        if (fd < 0) return GiveUpLog(-1, "ERROR: couldn't open %s\n", path);
        return fd;
    }
    int fd = open(path, O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !IsOwnLog(st))
        return GiveUpLog(fd, "WARNING: %s is no longer this run's log; logging stopped\n", path);
    return fd;
}

bool LogReady() {
    if (!flUseLog) return false;
    int fd = OpenLog();
    if (fd < 0) return false;
    close(fd);
    return true;
}

void PutLogMsg(const char* fmt, ...) {
    if (!flUseLog) return;
    int fd = OpenLog();
    if (fd < 0) return;
    pLog = fdopen(fd, "a");
    if (!pLog) {
        close(fd);
        return;
    }
    va_list ap;
    va_start(ap, fmt);
    vfprintf(pLog, fmt, ap);
    va_end(ap);
    fclose(pLog);
    pLog = nullptr;
}

void EndMidLine() {
    if (!flMidLine) return;
    flMidLine = false;
    fputc('\n', stdout);
    fflush(stdout);
}

void SysError(const char* fmt, ...) {
    const int error = errno;
    fprintf(stderr, "\n%s: ", my_name ? my_name : "setup");
    va_list ap;
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
    // No system error stands behind an end of input: "Success" would be a lie.
    if (error)
        fprintf(stderr, " : %s\n", strerror(error));
    else
        fputc('\n', stderr);
    exit_app(1);
}

void ErrorMsg(int level, int status, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(Line, sizeof Line, fmt, ap);
    va_end(ap);
    if (level == 1) {
        EndMidLine();
        fprintf(stderr, "WARNING: %s\n", Line);
    } else if (level == 2) {
        EndMidLine();
        fprintf(stderr, "ERROR: %s\n", Line);
        exit_app(status);
    }
}

void errormsg(const char* fmt, ...) {
    fprintf(stderr, "%s: ", my_name ? my_name : "setup");
    va_list ap;
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
    fputc('\n', stderr);
}

int (*ExitAppHook)(int status) = nullptr;

void exit_app(int status) {
    if (ExitAppHook) {
        int (*hook)(int) = ExitAppHook;
        ExitAppHook = nullptr; // once: the hook may itself end the program
        status = hook(status);
    }
    EndMidLine();
    fflush(stdout);
    exit(status);
}

void ResetLogForTests() {
    flFirstLogMsg = true;
    LogId = {};
}
