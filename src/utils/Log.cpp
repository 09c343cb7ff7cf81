// The log file /tmp/NAME.log and the error reports on the terminal.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

bool flUseLog = false;
const char* pLogPath = "/tmp";
FILE* pLog = nullptr;
const char* my_name = "setup";

// The next message starts a new log (truncates it); every later one appends.
static bool flFirstLogMsg = true;

constexpr int kLogNameSize = 256;
constexpr int kLogPathSize = 512;

// Opens the log for one message. The log lives in a directory every user
// may write to, so it is never followed through a symbolic link: on the first
// message of a run a link or other non-regular entry in its place is removed
// and a fresh file made, and later opens refuse a link.
static FILE* OpenLog(const char* path, bool truncate) {
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (truncate ? O_TRUNC : O_APPEND);
    int fd = open(path, flags, 0666);
    if (fd < 0) return nullptr;
    FILE* stream = fdopen(fd, truncate ? "w" : "a");
    if (!stream) close(fd);
    return stream;
}

void PutLogMsg(const char* fmt, ...) {
    if (!flUseLog) return;
    pLogPath = "/tmp";
    const bool truncate = flFirstLogMsg;
    flFirstLogMsg = false;

    const char* name = my_name ? my_name : "setup";
    char fileName[kLogNameSize];
    char path[kLogPathSize];
    int n1 = snprintf(fileName, sizeof fileName, "%s.log", name);
    int n2 = snprintf(path, sizeof path, "%s/%s.log", pLogPath, name);
    if (n1 < 0 || n1 >= int(sizeof fileName) || n2 < 0 || n2 >= int(sizeof path)) {
        fprintf(stderr, "ERROR: couldn't open %s/%s.log\n", pLogPath, name);
        return;
    }

    struct stat st;
    if (truncate && lstat(path, &st) == 0 && !S_ISREG(st.st_mode)) unlink(path);

    // A new log is made readable and writable by every user. Neither command
    // logs anything (severity 0), and a missing tool only skips its step.
    if (!FindFile(pLogPath, fileName)) {
        if (TestCmd(CMD_TOUCH)) SysCmd(CMD_TOUCH, 0, "%s/%s", pLogPath, fileName);
        if (TestCmd(CMD_CHMOD)) SysCmd(CMD_CHMOD, 0, "666 %s/%s", pLogPath, fileName);
    }

    pLog = OpenLog(path, truncate);
    if (!pLog) {
        fprintf(stderr, "ERROR: couldn't open %s\n", path);
        return;
    }
    va_list ap;
    va_start(ap, fmt);
    vfprintf(pLog, fmt, ap);
    va_end(ap);
    fclose(pLog);
    pLog = nullptr;
}

void SysError(const char* fmt, ...) {
    const int error = errno;
    fprintf(stderr, "\n%s: ", my_name ? my_name : "setup");
    va_list ap;
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
    fprintf(stderr, " : %s\n", strerror(error));
    exit_app(1);
}

void ErrorMsg(int level, int status, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(Line, sizeof Line, fmt, ap);
    va_end(ap);
    if (level == 1) {
        fprintf(stderr, "WARNING: %s\n", Line);
    } else if (level == 2) {
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

void exit_app(int status) {
    fflush(stdout);
    exit(status);
}

void ResetLogForTests() {
    flFirstLogMsg = true;
}
