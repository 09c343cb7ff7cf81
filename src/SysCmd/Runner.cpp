// The command runner: builds the shell line for a table command, echoes and
// logs it, runs it, reports a failure by severity and waits as the table
// entry asks. The captures run a command and read its standard output as
// lines.
#include "SysCmd/SysCmd.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

bool flSysCmdDryRun = false;
bool flSysCmdDryRunShow = false;
void (*SysCmdDryRunShowHook)(const char* line, int len) = nullptr;
char SysCmdLastLine[CMDLINE_SIZE];
int SysCmdLastWait = 0;

namespace {

// A command line being built in a fixed buffer. Once a piece does not fit,
// the line is marked spoilt and nothing more is added: a line cut short is
// never run.
struct CmdLine {
    char* buf;
    int size;
    int used = 0;
    bool fits = true;

    CmdLine(char* b, int s) : buf(b), size(s) { buf[0] = '\0'; }

    void AddV(const char* fmt, va_list ap) {
        if (!fits) return;
        int n = vsnprintf(buf + used, size_t(size - used), fmt, ap);
        if (n < 0 || n >= size - used) {
            fits = false;
            buf[used] = '\0';
            return;
        }
        used += n;
    }
    ORVIK_PRINTF(2, 3) void Add(const char* fmt, ...) {
        va_list ap;
        va_start(ap, fmt);
        AddV(fmt, ap);
        va_end(ap);
    }
};

constexpr int kReasonSize = 256;

} // namespace

// The longest failure line on standard output, line end not counted.
constexpr int kReportMax = 199;

// What a severity-2 report names: the start of the command as run, blanks
// run together, cut with "..." so that the whole report stays within
// kReportMax characters beside the given room.
static void NameCommand(const char* cmd, int len, int room, char* out, size_t size) {
    int budget = kReportMax - room;
    if (budget < 8) budget = 8;
    if (budget > int(size) - 1) budget = int(size) - 1;
    int n = 0;
    bool blank = true; // leading blanks go
    for (int i = 0; i < len && cmd[i]; ++i) {
        char c = cmd[i] == '\t' ? ' ' : cmd[i];
        if (c == ' ' && blank) continue;
        blank = c == ' ';
        if (n == budget) {
            n = budget - 3;
            memcpy(out + n, "...", 3);
            n += 3;
            break;
        }
        out[n++] = c;
    }
    while (n > 0 && out[n - 1] == ' ')
        --n;
    out[n] = '\0';
}

// The failure line of a command: "WARNING_MSG: command TEXT" in the log at
// severity 1; at severity 2 "ERROR: COMMAND: TEXT" in the log and on
// standard output, pointing at the log where the tool's own message is, and
// the end of the program with status 1. cmd (len characters) is the command
// as run, without the shell around it.
static void ReportFailure(int severity, const char* text, const char* cmd, int len) {
    if (severity == 1) {
        PutLogMsg("%s: command %s\n", "WARNING_MSG", text);
    } else if (severity == 2) {
        char see[kReasonSize] = "";
        if (flUseLog) snprintf(see, sizeof see, " (see %s/%s.log)", pLogPath, my_name);
        char name[kReportMax + 1];
        int room = int(strlen("ERROR: ") + strlen(": ") + strlen(text) + strlen(see));
        NameCommand(cmd, len, room, name, sizeof name);
        PutLogMsg("%s: %s: %s\n", "ERROR", name, text);
        EndMidLine();
        printf("%s: %s: %s%s\n", "ERROR", name, text, see);
        fflush(stdout);
        exit_app(1);
    }
}

// A command that is not run at all (its line does not fit, its id names no
// entry). Severity 2 ends the program as a failed command does; otherwise the
// refusal is printed on standard error, logged as a warning at severity 1,
// and the caller gets a non-zero result.
static int Refuse(int severity, const char* text) {
    if (severity == 2) {
        PutLogMsg("%s: %s\n", "ERROR", text);
        EndMidLine();
        printf("%s: %s\n", "ERROR", text);
        exit_app(1);
    }
    EndMidLine();
    fprintf(stderr, "ERROR: %s\n", text);
    if (severity == 1) PutLogMsg("%s: %s\n", "WARNING_MSG", text);
    return -1;
}

static void RefuseLong(int severity, int limit) {
    char text[kReasonSize];
    snprintf(text, sizeof text, "command line too long (more than %d characters), not run",
             limit - 1);
    Refuse(severity, text);
}

// Reads the status system() gave back. 0 when the shell ran the line and it
// exited with status 0. Otherwise a non-zero result and its text: the
// system's error text when the shell could not be started, else the exit
// status or the signal that ended the command line.
static int ShellResult(int status, int error, char* text, size_t size) {
    if (status == -1) {
        snprintf(text, size, "%s", strerror(error));
        return -1;
    }
    if (WIFEXITED(status)) {
        int code = WEXITSTATUS(status);
        if (code == 0) return 0;
        // 127 is also what the C library reports when it could not execute
        // /bin/sh at all; only then is it the shell's failure, not the line's.
        if (code == 127 && access("/bin/sh", X_OK) != 0) {
            snprintf(text, size, "%s", strerror(errno));
            return code;
        }
        snprintf(text, size, "exited with status %d", code);
        return code;
    }
    if (WIFSIGNALED(status)) {
        snprintf(text, size, "killed by signal %d", WTERMSIG(status));
        return 128 + WTERMSIG(status);
    }
    snprintf(text, size, "ended with wait status %d", status);
    return -1;
}

// Runs a finished line through the system shell; the result as ShellResult.
static int RunLine(const char* line, char* text, size_t size) {
    snprintf(SysCmdLastLine, sizeof SysCmdLastLine, "%s", line);
    if (flSysCmdDryRun) return 0;
    fflush(stdout);
    fflush(stderr);
    errno = 0;
    int status = system(line);
    int error = errno;
    return ShellResult(status, error, text, size);
}

static void SleepSeconds(unsigned seconds) {
    while (seconds > 0)
        seconds = sleep(seconds);
}

// What a table entry asks for after its command has finished.
static void WaitAfter(int id) {
    const SysCmdEntry& entry = ComList[id];
    SysCmdLastWait = entry.iWait;
    if (flSysCmdDryRun || entry.iWait == 0) return;
    if (entry.iWait > 0) {
        SleepSeconds(unsigned(entry.iWait));
        return;
    }
    // A started daemon: look for it in the process table, then ten more times
    // one second apart.
    for (int look = 0; look <= 10; ++look) {
        if (char* ids = GetSysPsIdList(entry.pName)) {
            PutMem(ids);
            return;
        }
        if (look < 10) SleepSeconds(1);
    }
    PutLogMsg("ERROR: Time out for command %s\n", entry.pName);
}

// The run cannot do what it set out to do without the tool: an error, status 1.
[[noreturn]] static void Unlocated(const char* name) {
    EndMidLine();
    fprintf(stderr, "ERROR: unable to locate system command '%s'\n", name);
    exit_app(1);
}

int SysCmd(int id, int severity, const char* fmt, ...) {
    bool echo = true;
    if (id < 0) {
        id = -id;
        echo = false;
    }
    if (id == CMD_RAW) echo = false;
    if (id > CMD_LAST) {
        char text[kReasonSize];
        snprintf(text, sizeof text, "invalid system command id %d, not run", id);
        return Refuse(severity, text);
    }
    const bool tool = id >= CMD_CANCEL;
    const bool logged = severity == 1 || severity == 2;

    if (tool) {
        LookUpCmd(id);
        LookUpCmd(CMD_SH);
    }

    char buf[CMDLINE_SIZE];
    CmdLine line(buf, sizeof buf);
    int named = 0; // where the command starts, after the shell around it
    if (tool) {
        const SysCmdEntry& entry = ComList[id];
        if (!entry.pPath) Unlocated(entry.pName);
        line.Add("%s/%s -c \"", GetShellDir(), ComList[CMD_SH].pName);
        named = line.used;
        line.Add("%s/%s %s ", entry.pPath, entry.pName, entry.pFlags);
    }
    va_list ap;
    va_start(ap, fmt);
    line.AddV(fmt, ap);
    va_end(ap);
    const int shown = line.used; // the echoed part: no redirection, no closing quote

    if (severity == 0) {
        line.Add(" 1>/dev/null 2>/dev/null");
    } else if (echo && logged) {
        if (LogReady())
            line.Add(" 1>>%s/%s.log 2>>%s/%s.log", pLogPath, my_name, pLogPath, my_name);
        else
            line.Add(" 1>>/dev/null 2>>/dev/null");
    }
    if (tool) line.Add("\"");
    if (!line.fits) {
        RefuseLong(severity, CMDLINE_SIZE);
        return -1;
    }

    if (flSysCmdDryRunShow) {
        if (SysCmdDryRunShowHook) {
            SysCmdDryRunShowHook(buf + named, shown - named);
        } else {
            EndMidLine();
            printf("run: %.*s\n", shown - named, buf + named);
            fflush(stdout);
        }
        PutLogMsg("%.*s\n", shown, buf);
    } else if (echo && flSysCmdLog && logged) {
        fputs(".", stdout);
        fflush(stdout);
        flMidLine = true;
        PutLogMsg("%.*s\n", shown, buf);
    }

    char reason[kReasonSize] = "";
    int result = RunLine(buf, reason, sizeof reason);
    if (result != 0) ReportFailure(severity, reason, buf + named, shown - named);

    if (tool)
        WaitAfter(id);
    else
        SysCmdLastWait = 0;
    return result;
}

int SysCmdP(int severity, const char* fmt, ...) {
    char buf[CMDLINE_P_SIZE];
    CmdLine line(buf, sizeof buf);
    va_list ap;
    va_start(ap, fmt);
    line.AddV(fmt, ap);
    va_end(ap);
    if (!line.fits) {
        RefuseLong(severity, CMDLINE_P_SIZE);
        return -1;
    }
    const bool reported = severity == 1 || severity == 2;
    if (reported) printf("%s\n", buf);

    char reason[kReasonSize] = "";
    int result = RunLine(buf, reason, sizeof reason);
    if (result != 0 && severity == 1) fprintf(stderr, "WARNING_MSG: command %s\n", reason);
    if (result != 0 && severity == 2) {
        char name[kReportMax + 1];
        NameCommand(buf, int(strlen(buf)), int(strlen("ERROR: : ") + strlen(reason)), name,
                    sizeof name);
        fprintf(stderr, "ERROR: %s: %s\n", name, reason);
        exit_app(1);
    }
    if (!flSysCmdDryRun) {
        if (system("/usr/bin/sleep 1") == -1) SleepSeconds(1);
    }
    return result;
}

// Builds a capture line ("DIR/NAME FLAGS " and the caller's text, or the
// caller's text alone for ids 0 and 1) and starts it with a pipe from its
// standard output. None when the line cannot be built or started.
static FILE* OpenCapture(int id, const char* fmt, va_list ap) {
    if (id < 0 || id > CMD_LAST) {
        fprintf(stderr, "ERROR: invalid system command id %d, not run\n", id);
        return nullptr;
    }
    char buf[CMDLINE_SIZE];
    CmdLine line(buf, sizeof buf);
    if (id >= CMD_CANCEL) {
        LookUpCmd(id);
        const SysCmdEntry& entry = ComList[id];
        if (!entry.pPath) Unlocated(entry.pName);
        line.Add("%s/%s %s ", entry.pPath, entry.pName, entry.pFlags);
    }
    line.AddV(fmt, ap);
    if (!line.fits) {
        fprintf(stderr, "ERROR: command line too long (more than %d characters), not run\n",
                CMDLINE_SIZE - 1);
        return nullptr;
    }
    snprintf(SysCmdLastLine, sizeof SysCmdLastLine, "%s", buf);
    fflush(stdout);
    fflush(stderr);
    return popen(buf, "r");
}

static bool Kept(const char* piece, const char* pattern) {
    return !pattern || !*pattern || strstr(piece, pattern);
}

RespLine* GetCmdResponse(int id, const char* pattern, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    FILE* pipe = OpenCapture(id, fmt, ap);
    va_end(ap);
    if (!pipe) return nullptr;

    RespLine* head = nullptr;
    RespLine** tail = &head;
    char piece[RESP_PIECE];
    while (fgets(piece, sizeof piece, pipe)) {
        size_t len = strlen(piece);
        if (!len || !Kept(piece, pattern)) continue;
        auto* node = static_cast<RespLine*>(GetMem(int(sizeof(RespLine) + len + 1)));
        if (!node) continue; // dropped: no room for it
        node->pText = reinterpret_cast<char*>(node + 1);
        memcpy(node->pText, piece, len + 1);
        *tail = node;
        tail = &node->pNext;
    }
    pclose(pipe);
    return head;
}

char* GetCmdResponseStr(int id, const char* pattern, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    FILE* pipe = OpenCapture(id, fmt, ap);
    va_end(ap);
    if (!pipe) return nullptr;

    // When the text cannot grow, the lines collected so far are kept and the
    // rest of the output is read and dropped, so the command can finish.
    char* text = nullptr;
    int used = 0;
    bool full = false;
    char piece[RESP_PIECE];
    while (fgets(piece, sizeof piece, pipe)) {
        int len = int(strlen(piece));
        if (full || !len || !Kept(piece, pattern)) continue;
        char* grown = static_cast<char*>(AdjustMem(text, used + len + 2));
        if (!grown) {
            full = true;
            continue;
        }
        text = grown;
        memcpy(text + used, piece, size_t(len));
        used += len;
        if (text[used - 1] != '\n') text[used++] = '\n';
        text[used] = '\0';
    }
    pclose(pipe);
    return text;
}

RespLine* FreeResponseList(RespLine* list) {
    while (list) {
        RespLine* next = list->pNext;
        PutMem(list);
        list = next;
    }
    return nullptr;
}
