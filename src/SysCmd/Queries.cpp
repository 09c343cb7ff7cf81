// The system queries: the process table through "ps", free space through
// "df" and space in use through "du". Each runs its tool through a capture
// and reads the fields of the lines it prints.
#include "SysCmd/SysCmd.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

namespace {

constexpr char kFieldDelims[] = " \t\n";
constexpr int kNamesSize = 512;   // one name of CheckProcTableForExecs
constexpr int kReportSize = 1024; // the running-program report

// One field of an output line: where it starts and how long it is.
struct Field {
    const char* start = nullptr;
    size_t len = 0;
};

} // namespace

// The n-th field (from 1) of a line whose fields are separated by runs of
// blanks, tabs and newlines, leading ones ignored. The line itself is only
// read: no shared tokenizer state is touched.
static bool GetField(const char* line, int n, Field* field) {
    const char* p = line;
    for (int i = 1;; ++i) {
        p += strspn(p, kFieldDelims);
        if (!*p) return false;
        size_t len = strcspn(p, kFieldDelims);
        if (i == n) {
            field->start = p;
            field->len = len;
            return true;
        }
        p += len;
    }
}

static int CountFields(const char* line) {
    int n = 0;
    for (const char* p = line + strspn(line, kFieldDelims); *p; p += strspn(p, kFieldDelims)) {
        p += strcspn(p, kFieldDelims);
        ++n;
    }
    return n;
}

static bool FieldIs(const Field& field, const char* text) {
    return field.len == strlen(text) && memcmp(field.start, text, field.len) == 0;
}

static bool AllDigits(const Field& field) {
    for (size_t i = 0; i < field.len; ++i)
        if (!isdigit(static_cast<unsigned char>(field.start[i]))) return false;
    return field.len > 0;
}

char* GetSysPsIdList(const char* name) {
    Line[0] = '\0';
    if (!name || !*name) return nullptr;
    RespLine* list = GetCmdResponse(CMD_PS, name, "%s", "");
    size_t used = 0;
    for (RespLine* line = list; line; line = line->pNext) {
        Field command, id;
        if (!GetField(line->pText, 6, &command) || !FieldIs(command, name)) continue;
        // A process id is a number; this also passes over the header line.
        if (!GetField(line->pText, 1, &id) || !AllDigits(id)) continue;
        if (used + 1 + id.len + 2 > sizeof Line) break; // the id, the closing blank, the end
        Line[used++] = ' ';
        memcpy(Line + used, id.start, id.len);
        used += id.len;
        Line[used] = '\0';
    }
    FreeResponseList(list);
    if (!used) return nullptr;
    Line[used++] = ' ';
    Line[used] = '\0';
    return SaveStr_(Line);
}

char* CheckProcTableForExecs(const char* names) {
    if (!names) return nullptr;
    char report[kReportSize] = "";
    constexpr char kMore[] = "...\n";
    size_t used = 0;
    int count = 0;
    char name[kNamesSize];
    for (const char* p = names; *p;) {
        p += strspn(p, ",");
        if (!*p) break;
        size_t len = strcspn(p, ",");
        const char* start = p;
        p += len;
        if (len >= sizeof name) continue; // no command name is that long
        memcpy(name, start, len);
        name[len] = '\0';

        char* ids = GetSysPsIdList(name);
        if (!ids) continue;
        ++count;
        // Every entry leaves room for the mark that says the report is cut;
        // an entry that does not fit whole is cut before the mark.
        const size_t room = sizeof report - used;
        int n = snprintf(report + used, room - (sizeof kMore - 1), "%s (%s)\n", name, ids);
        PutMem(ids);
        if (n >= 0 && size_t(n) + sizeof kMore <= room) {
            used += size_t(n);
            continue;
        }
        used = strlen(report);
        memcpy(report + used, kMore, sizeof kMore);
        break;
    }
    return count ? SaveStr_(report) : nullptr;
}

int KillProcessByName(const char* name) {
    char* ids = GetSysPsIdList(name);
    if (ids) {
        const pid_t self = getpid();
        for (char* p = ids;;) {
            char* end = nullptr;
            long pid = strtol(p, &end, 10);
            if (end == p) break;
            p = end;
            if (pid <= 0 || pid == self) continue;
            if (kill(pid_t(pid), SIGKILL) == -1 && errno == EPERM) break;
        }
        PutMem(ids);
    }
    sleep(1);
    return 0;
}

bool GetDiskSpace(const char* path, DfInfo* info) {
    Line[0] = '\0';
    if (!info) return false;
    info->dAvail = 0;
    info->szLine[0] = '\0';
    if (!path) return false;
    RespLine* list = GetCmdResponse(CMD_DF, "", "%s", path);
    if (!list) return false;

    int column = 0;
    Field field;
    for (int i = 1; GetField(list->pText, i, &field); ++i) {
        if (field.len >= 5 && strncasecmp(field.start, "avail", 5) == 0) {
            column = i;
            break;
        }
    }
    bool found = column > 0;
    const RespLine* data = list->pNext;
    if (found && data) {
        snprintf(info->szLine, sizeof info->szLine, "%s", data->pText);
        // A long device name may stand alone on the data line; the record's
        // other fields then follow on the next line.
        int have = CountFields(data->pText);
        if (have >= column)
            found = GetField(data->pText, column, &field);
        else
            found = data->pNext && GetField(data->pNext->pText, column - have, &field);
        if (found) info->dAvail = strtod(field.start, nullptr);
    }
    FreeResponseList(list);
    return found;
}

double DUPath(const char* path) {
    if (!path) return 0;
    RespLine* list = GetCmdResponse(CMD_DU, "", "%s", path);
    double used = list ? strtod(list->pText, nullptr) : 0;
    FreeResponseList(list);
    return used;
}

// The directory that holds path, worked out in place ("/a" gives "/", "a/b"
// gives "a", "a" gives "."); false when path is already "/" or ".".
static bool ClimbToParent(char* path) {
    size_t len = strlen(path);
    while (len > 1 && path[len - 1] == '/')
        path[--len] = '\0';
    if (strcmp(path, "/") == 0 || strcmp(path, ".") == 0 || len == 0) return false;
    char* slash = strrchr(path, '/');
    if (!slash)
        strcpy(path, ".");
    else if (slash == path)
        path[1] = '\0';
    else
        *slash = '\0';
    return true;
}

bool AvailSpace(const char* dir, const char* name, double needed) {
    if (!dir) return false;
    char work[CMDLINE_SIZE];
    if (snprintf(work, sizeof work, "%s", dir) >= int(sizeof work)) return false;
    DfInfo info;
    for (const char* entry = name;; entry = nullptr) {
        if (entry && *entry && FindFile(work, entry)) {
            char path[CMDLINE_SIZE];
            double inUse = 0;
            if (snprintf(path, sizeof path, "%s/%s", work, entry) < int(sizeof path))
                inUse = DUPath(path);
            GetDiskSpace(work, &info); // a failed query counts as nothing available
            return info.dAvail + inUse >= needed;
        }
        if (GetDiskSpace(work, &info)) return info.dAvail >= needed;
        // Not measurable (typically not made yet): ask its parent, up to the root.
        if (!ClimbToParent(work)) return false;
    }
}
