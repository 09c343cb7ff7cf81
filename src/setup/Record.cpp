// The installation record, /var/lib/orvik/qpxx.list: what a completed
// installation made or replaced, inside the application directory and out
// of it, so that it can be shown, checked against the disk and removed
// again by any copy of setup, without its install site.
//
// The file is plain text, one entry a line, fields separated by tabs:
//   version<TAB>4.10.33
//   directory<TAB>/usr               the installation directory (holds Orvik/qpxx)
//   installed<TAB>2026-12-09 05:40:00 UTC
//   site<TAB>HEX                     SHA-256 of the site's SHA256SUMS, or "unchecked"
//   TYPE MODE OWNER GROUP SUM PATH [LINKTEXT]
// TYPE is f (file), d (directory) or l (symbolic link); MODE four octal
// digits; SUM the file's SHA-256, "-" for the others; a link's text follows
// its path. A directory comes before what it holds. Paths holding a tab or
// a line end are not recorded.
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "MemMgr/MemMgr.h"
#include "setup/setup.h"

namespace {

constexpr const char* RECORD_SUFFIX = "_new";
constexpr const char* SPOOL_DIR = "/var/spool/Orvik";
constexpr int NAME_SIZE = 64;                     // an owner or group name, or its number
constexpr int ENTRY_SIZE = 2 * PATH_MAX + 256;    // one record line

// Paths outside the application directory that this run made or replaced.
char** NotedPaths = nullptr;
int NotedCount = 0;

bool Recordable(const char* path) {
    return !strchr(path, '\t') && !strchr(path, '\n');
}

void OwnerName(uid_t uid, char* out) {
    const passwd* pw = getpwuid(uid);
    if (pw && Recordable(pw->pw_name) && !strchr(pw->pw_name, ' '))
        snprintf(out, NAME_SIZE, "%s", pw->pw_name);
    else
        snprintf(out, NAME_SIZE, "%u", unsigned(uid));
}

void GroupName(gid_t gid, char* out) {
    const group* gr = getgrgid(gid);
    if (gr && Recordable(gr->gr_name) && !strchr(gr->gr_name, ' '))
        snprintf(out, NAME_SIZE, "%s", gr->gr_name);
    else
        snprintf(out, NAME_SIZE, "%u", unsigned(gid));
}

// What a path is now, in the record's terms. False when it is not there.
struct Entry {
    char type;
    char mode[8];
    char owner[NAME_SIZE];
    char group[NAME_SIZE];
    char sum[SHA256_HEX_SIZE];
    char link[PATH_MAX];
};

bool Describe(const char* path, Entry* e) {
    struct stat st;
    if (lstat(path, &st) != 0) return false;
    e->type = S_ISDIR(st.st_mode) ? 'd' : S_ISLNK(st.st_mode) ? 'l' : S_ISREG(st.st_mode) ? 'f' : '?';
    snprintf(e->mode, sizeof e->mode, "%04o", unsigned(st.st_mode & 07777));
    OwnerName(st.st_uid, e->owner);
    GroupName(st.st_gid, e->group);
    snprintf(e->sum, sizeof e->sum, "-");
    e->link[0] = '\0';
    if (e->type == 'f' && !Sha256File(path, e->sum)) snprintf(e->sum, sizeof e->sum, "-");
    if (e->type == 'l') {
        ssize_t n = readlink(path, e->link, sizeof e->link - 1);
        e->link[n > 0 ? n : 0] = '\0';
    }
    return true;
}

// Writes the entry of path and, for a directory, of everything below it.
bool WriteTree(FILE* out, const char* path) {
    if (!Recordable(path)) {
        PutLogMsg("WARNING_MSG: %s is not recorded: its name holds a tab or a line end\n", path);
        return true;
    }
    Entry e;
    if (!Describe(path, &e) || e.type == '?') return true;
    if (e.type == 'l' && !Recordable(e.link)) return true;
    fprintf(out, "%c\t%s\t%s\t%s\t%s\t%s%s%s\n", e.type, e.mode, e.owner, e.group, e.sum, path,
            e.type == 'l' ? "\t" : "", e.link);
    if (e.type != 'd') return !ferror(out);
    DIR* dir = opendir(path);
    if (!dir) return !ferror(out);
    // Sorted would be nicer to read; the order of the directory is enough
    // for every use of the record, which needs only parents first.
    while (dirent* d = readdir(dir)) {
        if (strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0) continue;
        MemHold<char> child(SaveStr("%s/%s", strcmp(path, "/") == 0 ? "" : path, d->d_name));
        WriteTree(out, child);
    }
    closedir(dir);
    return !ferror(out);
}

bool Inside(const char* path, const char* dir) {
    size_t n = strlen(dir);
    return strncmp(path, dir, n) == 0 && (path[n] == '\0' || path[n] == '/');
}

// One record line split into its fields (in place); false for a header line.
struct RecordLine {
    char type;
    const char* mode;
    const char* owner;
    const char* group;
    const char* sum;
    const char* path;
    const char* link;
};

bool SplitEntry(char* line, RecordLine* r) {
    line[strcspn(line, "\n")] = '\0';
    char* field[7] = {};
    int n = 0;
    for (char* p = line; n < 7;) {
        field[n++] = p;
        char* tab = strchr(p, '\t');
        if (!tab) break;
        *tab = '\0';
        p = tab + 1;
    }
    if (n < 6 || strlen(field[0]) != 1 || !strchr("fdl", field[0][0])) return false;
    *r = {field[0][0], field[1], field[2], field[3], field[4], field[5], n > 6 ? field[6] : ""};
    return true;
}

// The header value of key ("version" ...) in the record, copied to out.
bool HeaderValue(FILE* in, const char* key, char* out, size_t size) {
    static char line[ENTRY_SIZE];
    rewind(in);
    size_t n = strlen(key);
    while (fgets(line, sizeof line, in)) {
        if (strncmp(line, key, n) == 0 && line[n] == '\t') {
            line[strcspn(line, "\n")] = '\0';
            snprintf(out, size, "%s", line + n + 1);
            return true;
        }
    }
    return false;
}

FILE* OpenRecord() {
    FILE* in = fopen(RECORD_FILE, "re");
    if (!in) fprintf(stderr, "%s: nothing is installed\n", my_name);
    return in;
}

// How path differs from its entry: "missing", "changed", "mode changed"
// (mode, owner or group), or none.
const char* Difference(const RecordLine& r, char* detail, size_t size) {
    Entry now;
    detail[0] = '\0';
    if (!Describe(r.path, &now)) return "missing";
    if (now.type != r.type) return "changed";
    if (r.type == 'f' && strcmp(now.sum, r.sum) != 0) return "changed";
    if (r.type == 'l') return strcmp(now.link, r.link) != 0 ? "changed" : nullptr;
    if (strcmp(now.mode, r.mode) != 0 || strcmp(now.owner, r.owner) != 0 ||
        strcmp(now.group, r.group) != 0) {
        snprintf(detail, size, " (recorded %s %s %s, now %s %s %s)", r.mode, r.owner, r.group,
                 now.mode, now.owner, now.group);
        return "mode changed";
    }
    return nullptr;
}

int Status() {
    FILE* in = OpenRecord();
    if (!in) return SETUP_EXIT_FAILED;
    static const char* const KEYS[] = {"version", "directory", "installed", "site"};
    char value[PATH_MAX];
    for (const char* key : KEYS) {
        if (!HeaderValue(in, key, value, sizeof value)) {
            fclose(in);
            fprintf(stderr, "%s: the installation record %s has no %s\n", my_name, RECORD_FILE,
                    key);
            return SETUP_EXIT_FAILED;
        }
        printf("%s: %s\n", key, value);
    }
    fclose(in);
    return SETUP_EXIT_DONE;
}

int Verify() {
    FILE* in = OpenRecord();
    if (!in) return SETUP_EXIT_FAILED;
    static char line[ENTRY_SIZE];
    char detail[256];
    int differ = 0;
    while (fgets(line, sizeof line, in)) {
        RecordLine r;
        if (!SplitEntry(line, &r)) continue;
        if (const char* how = Difference(r, detail, sizeof detail)) {
            printf("%s: %s%s\n", how, r.path, detail);
            ++differ;
        }
    }
    fclose(in);
    return differ == 0 ? SETUP_EXIT_DONE : SETUP_EXIT_FAILED;
}

// The record's entries as lines, for the walk in reverse.
char** ReadEntries(FILE* in, int* count) {
    static char line[ENTRY_SIZE];
    char** lines = nullptr;
    int n = 0;
    rewind(in);
    while (fgets(line, sizeof line, in)) {
        char** grown = static_cast<char**>(AdjustMem(lines, int(sizeof(char*)) * (n + 1)));
        if (!grown) break;
        lines = grown;
        lines[n++] = SaveStr_(line);
    }
    *count = n;
    return lines;
}

int Remove() {
    FILE* in = OpenRecord();
    if (!in) return SETUP_EXIT_FAILED;
    char directory[PATH_MAX] = "";
    HeaderValue(in, "directory", directory, sizeof directory);
    int count = 0;
    char** lines = ReadEntries(in, &count);
    fclose(in);

    // The suite's queue administration tool takes its queues away first.
    MemHold<char> admin(SaveStr("%s/%s/%s/qpqadmin", directory, DIR_WORD, APP_WORD));
    struct stat st;
    if (directory[0] == '/' && lstat(admin, &st) == 0 && S_ISREG(st.st_mode)) {
        MemHold<char> word(ShellWord(admin));
        MemHold<char> line(SaveStr("cd / && %s -clean", word.get()));
        fflush(stdout);
        if (system(line) != 0) fprintf(stderr, "%s: %s -clean failed\n", my_name, admin.get());
    }

    int kept = 0;
    char detail[256];
    for (int i = count - 1; i >= 0; --i) {
        RecordLine r;
        if (!SplitEntry(lines[i], &r)) continue;
        const char* how = Difference(r, detail, sizeof detail);
        if (how && strcmp(how, "missing") == 0) continue;
        if (r.type == 'd') {
            // Only when empty: what others put there stays, and so does the directory.
            if (lstat(r.path, &st) == 0 && S_ISDIR(st.st_mode)) (void)rmdir(r.path);
            continue;
        }
        if (how && !flForceRemove) {
            printf("kept (%s since the installation): %s\n", how, r.path);
            ++kept;
            continue;
        }
        if (lstat(r.path, &st) == 0 && S_ISDIR(st.st_mode)) {
            printf("kept (a directory now): %s\n", r.path);
            ++kept;
            continue;
        }
        if (unlink(r.path) != 0 && errno != ENOENT) {
            fprintf(stderr, "%s: cannot remove %s: %s\n", my_name, r.path, strerror(errno));
            ++kept;
        }
    }
    for (int i = 0; i < count; ++i)
        PutMem(lines[i]);
    PutMem(lines);

    if (kept) {
        fprintf(stderr, "%s: %d file(s) kept; the installation record stays (--force removes them)\n",
                my_name, kept);
        return SETUP_EXIT_FAILED;
    }
    if (unlink(RECORD_FILE) != 0 && errno != ENOENT) {
        fprintf(stderr, "%s: cannot remove %s: %s\n", my_name, RECORD_FILE, strerror(errno));
        return SETUP_EXIT_FAILED;
    }
    (void)rmdir(RECORD_DIR);
    return SETUP_EXIT_DONE;
}

} // namespace

void NoteInstalledPath(const char* path) {
    NoteMadePath(path);
    if (!path || path[0] != '/' || (pAppDir && Inside(path, pAppDir))) return;
    for (int i = 0; i < NotedCount; ++i)
        if (strcmp(NotedPaths[i], path) == 0) return;
    char** grown = static_cast<char**>(AdjustMem(NotedPaths, int(sizeof(char*)) * (NotedCount + 1)));
    if (!grown) return;
    NotedPaths = grown;
    NotedPaths[NotedCount++] = SaveStr_(path);
}

bool WriteInstallRecord() {
    if (flDryRun) {
        DryRunNote("write", RECORD_FILE);
        return true;
    }
    if (mkdir(RECORD_DIR, 0755) != 0 && errno != EEXIST) {
        PutLogMsg("WARNING_MSG: cannot make %s: %s\n", RECORD_DIR, strerror(errno));
        return false;
    }
    Replacement rep;
    if (!ReplaceBegin(&rep, RECORD_FILE, RECORD_SUFFIX, 0644)) {
        PutLogMsg("WARNING_MSG: cannot write %s: %s\n", RECORD_FILE, strerror(errno));
        return false;
    }
    FILE* out = fdopen(dup(rep.fd), "w");
    if (!out) {
        ReplaceAbort(&rep);
        return false;
    }
    char date[64];
    time_t now = time(nullptr);
    struct tm utc;
    strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S UTC", gmtime_r(&now, &utc));
    fprintf(out, "version\t%s\ndirectory\t%s\ninstalled\t%s\nsite\t%s\n", SETUP_VERSION,
            pTargetInstallDir, date, pSiteSum ? pSiteSum : "unchecked");

    // The suite's directory, the application directory and all it holds;
    // the link at the fixed place and the directory holding it; the spool
    // directories; then what the package list put elsewhere.
    MemHold<char> base(SaveStr("%s/%s", pTargetInstallDir, DIR_WORD));
    bool ok = WriteTree(out, base);
    if (strcmp(pAppDir, FIXED_APP_DIR) != 0) {
        MemHold<char> fixedBase(SaveStr("%s/%s", DEFAULT_TARGET, DIR_WORD));
        Entry e;
        if (Describe(fixedBase, &e) && e.type == 'd')
            fprintf(out, "d\t%s\t%s\t%s\t-\t%s\n", e.mode, e.owner, e.group, fixedBase.get());
        ok = WriteTree(out, FIXED_APP_DIR) && ok;
    }
    MemHold<char> spool(SaveStr("%s/%s", SPOOL_DIR, APP_WORD));
    MemHold<char> download(SaveStr("%s/__qpa_download__", spool.get()));
    const char* spoolDirs[] = {SPOOL_DIR, spool.get(), download.get()};
    for (const char* dir : spoolDirs) {
        Entry e;
        if (Describe(dir, &e) && e.type == 'd')
            fprintf(out, "d\t%s\t%s\t%s\t-\t%s\n", e.mode, e.owner, e.group, dir);
    }
    for (int i = 0; i < NotedCount; ++i)
        ok = WriteTree(out, NotedPaths[i]) && ok;

    ok = fclose(out) == 0 && ok;
    if (!ok) {
        ReplaceAbort(&rep);
        PutLogMsg("WARNING_MSG: cannot write %s\n", RECORD_FILE);
        return false;
    }
    if (!ReplaceCommit(&rep, true)) {
        PutLogMsg("WARNING_MSG: cannot write %s: %s\n", RECORD_FILE, strerror(errno));
        return false;
    }
    PutLogMsg("installation record written: %s\n", RECORD_FILE);
    return true;
}

int RunRecordAction(int action) {
    switch (action) {
    case RECORD_STATUS:
        return Status();
    case RECORD_VERIFY:
        return Verify();
    case RECORD_REMOVE:
        return Remove();
    default:
        return SETUP_EXIT_USAGE;
    }
}
