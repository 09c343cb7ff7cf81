// qdb: looks into and changes the toolkit's record databases, and builds
// message databases from catalogue text.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "setup/setup.h"
#include "utils/utils.h"

namespace {

constexpr int EXIT_MISSING = 1;
constexpr int EXIT_USAGE = 2;
constexpr int ERR_SIZE = 512;

constexpr char Usage[] =
    "usage: qdb [-d DIR] COMMAND ARGS...\n"
    "       qdb -h | --help | --version\n"
    "  get DB KEY                      print the record's data\n"
    "  put DB KEY TEXT                 store TEXT followed by a zero byte\n"
    "  put DB KEY -f FILE              store the file's bytes exactly\n"
    "  del DB KEY                      remove the record of KEY\n"
    "  delprefix DB PREFIX             remove every record whose key begins with PREFIX\n"
    "  keys DB [PREFIX,PREFIX...]      list the keys in file order\n"
    "  import [--check REF] DB [FILE]  store the records of a catalogue (standard input\n"
    "                                  without FILE); with REF, every text must keep the\n"
    "                                  printf conversions of REF's text of its key\n"
    "  export DB                       write every record as catalogue text\n"
    "  check DB                        report the file's format and records\n"
    "  salvage DB OUT                  write the records before a damaged one to the new file OUT\n"
    "  lang                            print the language chosen for LANG\n"
    "  msg NAME SET NUMBER [ARG...]    print message SET/NUMBER of language database NAME\n"
    "DB is a path beginning with \"/\" (\".qdb\" added when it holds no \".\") or \".\",\n"
    "or a name below DIR/db (DIR/db/DB.qdb).\n"
    "DIR is the -d option's, else $ORVIK_TOOLKIT_DIR, else the installed or built toolkit directory.\n";

int Fail(int status, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
int Fail(int status, const char* fmt, ...) {
    char what[ERR_SIZE];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(what, sizeof what, fmt, ap);
    va_end(ap);
    return ToolFail(status, "%s", what);
}

int BadUsage(const char* what) { return ToolBadUsage("%s", what); }

bool DbExists(const char* name) {
    char path[DB_PATH_SIZE];
    struct stat st;
    return DbmFilePath(name, path, sizeof path) && stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

// Why the database name is not there, in words a user can act on.
int NoDatabase(const char* name) {
    char path[DB_PATH_SIZE];
    struct stat st;
    if (!DbmFilePath(name, path, sizeof path)) return Fail(EXIT_MISSING, "no database %s: name too long", name);
    if (stat(path, &st) == 0) return Fail(EXIT_MISSING, "%s: not a regular file", path);
    if (name[0] == '/' || name[0] == '.') return Fail(EXIT_MISSING, "no database %s", path);
    MemHold<char> db(SaveStr("%s/db", pToolPath));
    if (stat(pToolPath, &st) != 0) return Fail(EXIT_MISSING, "no database %s: no directory %s", name, pToolPath);
    if (stat(db, &st) != 0)
        return Fail(EXIT_MISSING, "no database %s: %s holds no db directory", name, pToolPath);
    if (stat(name, &st) == 0)
        return Fail(EXIT_MISSING, "no database %s (looked for %s; for the file here write ./%s)", name,
                    path, name);
    return Fail(EXIT_MISSING, "no database %s (looked for %s)", name, path);
}

int Damaged(const char* name, long offset) {
    return Fail(EXIT_MISSING, "%s: damaged: the record at offset %ld runs past the end", name, offset);
}

// The handle of an existing database; none, with the message, when missing.
DbTHandle* OpenExisting(const char* name, unsigned flags) {
    if (!DbExists(name)) {
        NoDatabase(name);
        return nullptr;
    }
    return DbTOpen(name, flags);
}

// A write that failed, in the words of what stood in its way.
int WriteFailed(DbTHandle* h, const char* name, const char* what) {
    if (h && h->damagedAt >= 0) return Damaged(name, h->damagedAt);
    if (errno == EINVAL) {
        char path[DB_PATH_SIZE];
        struct stat st;
        bool db = DbmFilePath(name, path, sizeof path) && stat(path, &st) == 0 && !S_ISREG(st.st_mode);
        return Fail(EXIT_MISSING, db ? "%s: not a regular file" : "%s_new: not a regular file", name);
    }
    if (errno == EWOULDBLOCK)
        return Fail(EXIT_MISSING, "%s: another process has held the database's write lock for %d seconds",
                    what, iDbmLockWait);
    return Fail(EXIT_MISSING, "%s: %s", what, strerror(errno));
}

// Standard output is a terminal: control characters are shown, not sent.
bool ToTerminal() { return isatty(STDOUT_FILENO) == 1; }

void WriteOut(const char* p, size_t n) {
    if (ToTerminal()) NlsWriteShown(stdout, p, n);
    else fwrite(p, 1, n, stdout);
}

// A put's arguments that no database can hold.
int CheckRecord(const char* key, long n) {
    if (!key[0]) return BadUsage("empty key");
    if (strlen(key) > size_t(DB_MAX_KEY)) return Fail(EXIT_USAGE, "key longer than %d characters", DB_MAX_KEY);
    if (n <= 0) return Fail(EXIT_USAGE, "empty data");
    if (long(strlen(key)) + 1 + n + 2 > DB_MAX_L)
        return Fail(EXIT_USAGE, "key and data longer than a record holds (%d bytes)", DB_MAX_L - 3);
    return 0;
}

int CmdGet(char** args) {
    DbTHandle* h = OpenExisting(args[0], DB_KEEP);
    if (!h) return EXIT_MISSING;
    MemHold<char> data(static_cast<char*>(GetMem(DB_COPY_SIZE)));
    int n = data ? DbmTGetRecord(h, args[1], data.get()) : 0;
    if (n <= 0 && h->damagedAt >= 0) return Damaged(args[0], h->damagedAt);
    if (n <= 0) return Fail(EXIT_MISSING, "no key %s in %s", args[1], args[0]);
    if (data[n - 1] == 0) n--;  // the zero byte of a text record
    WriteOut(data.get(), size_t(n));
    return 0;
}

// The whole content of a file, at most DB_MAX_L bytes (more is refused).
char* ReadInput(const char* path, long* len) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail(EXIT_USAGE, "cannot read %s: %s", path, strerror(errno));
        return nullptr;
    }
    char* data = static_cast<char*>(GetMem(DB_MAX_L + 1));
    long got = 0;
    ssize_t r = 0;
    while (data && got <= DB_MAX_L && (r = read(fd, data + got, size_t(DB_MAX_L + 1 - got))) > 0)
        got += r;
    close(fd);
    if (!data || r < 0) {
        Fail(EXIT_USAGE, "cannot read %s", path);
        PutMem(data);
        return nullptr;
    }
    *len = got;
    return data;
}

int CmdPut(int argc, char** args) {
    MemHold<char> file;
    const char* data;
    long n;
    if (argc == 4 && strcmp(args[2], "-f") == 0) {
        file.reset(ReadInput(args[3], &n));
        if (!file) return EXIT_USAGE;
        data = file.get();
    } else if (argc == 3 && strcmp(args[2], "-f") == 0) {
        return BadUsage("-f needs a file");
    } else if (argc == 3) {
        data = args[2];
        n = long(strlen(args[2])) + 1;
    } else {
        return BadUsage("put takes DB KEY TEXT or DB KEY -f FILE");
    }
    if (int bad = CheckRecord(args[1], n)) return bad;
    DbTHandle* h = DbTOpen(args[0], 0);
    if (!h) return Fail(EXIT_MISSING, "%s", common_109);
    if (!DbmTPutRecord(h, args[1], data, int(n))) {
        MemHold<char> what(SaveStr("cannot store %s in %s", args[1], args[0]));
        return WriteFailed(h, args[0], what);
    }
    return 0;
}

int CmdDel(char** args, bool prefix) {
    if (!args[1][0]) return BadUsage(prefix ? "empty prefix" : "empty key");
    DbTHandle* h = OpenExisting(args[0], DB_DEFER);
    if (!h) return EXIT_MISSING;
    if (!DbmBeginWrite(h)) return WriteFailed(h, args[0], "cannot write");
    if (!PurgeTRecord(h, args[1], prefix)) {
        return Fail(EXIT_MISSING, prefix ? "no key begins with %s in %s" : "no key %s in %s", args[1],
                    args[0]);
    }
    if (!DbmTArchiveDb(h)) return WriteFailed(h, args[0], "cannot write");
    return 0;
}

int CmdKeys(int argc, char** args) {
    DbTHandle* h = OpenExisting(args[0], DB_KEEP);
    if (!h) return EXIT_MISSING;
    MemHold<char> list(argc == 2 ? DbmTGetRecordListS(h, args[1], "\n", "\n")
                                 : DbmTGetRecordList(h, "\n", "\n"));
    if (list) WriteOut(list.get() + 1, strlen(list.get() + 1));
    if (h->damagedAt >= 0) return Damaged(args[0], h->damagedAt);
    return 0;
}

int CmdImport(int argc, char** args) {
    const char* ref = nullptr;
    if (argc >= 1 && strcmp(args[0], "--check") == 0) {
        if (argc < 2) return BadUsage("--check needs a reference database");
        ref = args[1];
        args += 2;
        argc -= 2;
    }
    if (argc < 1 || argc > 2) return BadUsage("import takes [--check REF] DB [FILE]");
    DbTHandle* refDb = nullptr;
    if (ref && !(refDb = OpenExisting(ref, DB_KEEP))) return EXIT_MISSING;
    const char* source = argc == 2 ? args[1] : "(standard input)";
    FILE* in = argc == 2 ? fopen(args[1], "r") : stdin;
    if (!in) return Fail(EXIT_USAGE, "cannot read %s: %s", args[1], strerror(errno));
    DbTHandle* h = DbTOpen(args[0], DB_DEFER | DB_KEEP);
    char err[ERR_SIZE];
    int records = h ? CatalogueImport(h, in, source, refDb, err, sizeof err) : -1;
    if (in != stdin) fclose(in);
    if (records < 0 && h && h->damagedAt >= 0) return Damaged(args[0], h->damagedAt);
    if (records < 0) {
        DbTClose(h);  // lets go of the lock, writing nothing
        return Fail(EXIT_USAGE, "%s", h ? err : "out of memory");
    }
    if (!DbmTArchiveDb(h)) return WriteFailed(h, args[0], "cannot write");
    return 0;
}

int CmdExport(char** args) {
    DbTHandle* h = OpenExisting(args[0], DB_KEEP);
    if (!h) return EXIT_MISSING;
    char err[ERR_SIZE];
    if (CatalogueExport(h, stdout, err, sizeof err, ToTerminal()) < 0) return Fail(EXIT_MISSING, "%s: %s", args[0], err);
    return 0;
}

int CmdCheck(char** args) {
    DbCheckReport r;
    if (!DbmCheckFile(args[0], &r)) return NoDatabase(args[0]);
    static constexpr const char* Formats[] = {"empty", "headerless", "headed"};
    printf("format: %s\nrecords: %ld\n", Formats[r.format], r.records);
    if (r.format == 2) printf("header count: %ld\n", r.headerCount);
    if (r.badOffset >= 0) return Damaged(args[0], r.badOffset);
    return 0;
}

int CmdSalvage(char** args) {
    if (!DbExists(args[0])) return NoDatabase(args[0]);
    DbCheckReport r;
    if (!DbmSalvageFile(args[0], args[1], &r))
        return Fail(EXIT_MISSING, "cannot write %s: %s", args[1], strerror(errno));
    printf("records: %ld\n", r.records);
    if (r.badOffset >= 0) printf("dropped: the bytes from offset %ld on\n", r.badOffset);
    return 0;
}

bool ParseInt(const char* text, int* value) {
    char* end;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (end == text || *end || errno || v < INT32_MIN || v > INT32_MAX) return false;
    *value = int(v);
    return true;
}

int CmdMsg(int argc, char** args) {
    int set, number;
    if (!ParseInt(args[1], &set) || !ParseInt(args[2], &number))
        return BadUsage("SET and NUMBER are whole numbers");
    const char* lang = GetDesiredNLSLang();
    MemHold<char> name(SaveStr("%s/%s", lang, args[0]));
    if (!DbExists(name)) return NoDatabase(name);
    DbTHandle* h = NlsOpenDB(args[0], DB_KEEP);
    char key[32];
    snprintf(key, sizeof key, "%d_%d", set, number);
    char* text = h ? NlsFetchString(h, nullptr, 3, set, number) : nullptr;
    if (!text || strcmp(text, key) == 0)
        return Fail(EXIT_MISSING, "no message %d/%d in %s", set, number, name.get());
    char err[ERR_SIZE];
    if (!NlsPrintArgs(stdout, text, argc - 3, args + 3, err, sizeof err))
        return Fail(EXIT_USAGE, "message %d/%d: %s", set, number, err);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* dir = nullptr;
    int i = 1;
    ToolStart("qdb", Usage);
    for (; i < argc && argv[i][0] == '-'; i++) {
        ToolStandardOption(argv[i]);
        if (strcmp(argv[i], "-d") == 0 && i + 1 < argc) {
            dir = argv[++i];
            continue;
        }
        if (strcmp(argv[i], "-d") == 0) return BadUsage("-d needs a directory");
        return ToolUnknownOption(argv[i]);
    }
    struct stat st;
    if (dir && (stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)))
        return Fail(EXIT_USAGE, "-d %s: no such directory", dir);
    SetToolkitPath(dir);
    flDbmQuiet = true;  // failed writes are told in qdb's own words
    if (i >= argc) return BadUsage("no command");
    const char* cmd = argv[i];
    char** args = argv + i + 1;
    int n = argc - i - 1;
    auto need = [&](int least, int most) { return n >= least && n <= most; };
    if (strcmp(cmd, "get") == 0 && need(2, 2)) return CmdGet(args);
    if (strcmp(cmd, "put") == 0 && need(3, 4)) return CmdPut(n, args);
    if (strcmp(cmd, "del") == 0 && need(2, 2)) return CmdDel(args, false);
    if (strcmp(cmd, "delprefix") == 0 && need(2, 2)) return CmdDel(args, true);
    if (strcmp(cmd, "keys") == 0 && need(1, 2)) return CmdKeys(n, args);
    if (strcmp(cmd, "import") == 0) return CmdImport(n, args);
    if (strcmp(cmd, "export") == 0 && need(1, 1)) return CmdExport(args);
    if (strcmp(cmd, "check") == 0 && need(1, 1)) return CmdCheck(args);
    if (strcmp(cmd, "salvage") == 0 && need(2, 2)) return CmdSalvage(args);
    if (strcmp(cmd, "lang") == 0 && need(0, 0)) {
        printf("%s\n", GetDesiredNLSLang());
        return 0;
    }
    if (strcmp(cmd, "msg") == 0 && n >= 3) return CmdMsg(n, args);
    static constexpr const char* Commands = ",get,put,del,delprefix,keys,import,export,check,salvage,lang,msg,";
    char probe[64];
    snprintf(probe, sizeof probe, ",%s,", cmd);
    if (strstr(Commands, probe)) return ToolBadUsage("%s: wrong number of arguments", cmd);
    return ToolBadUsage("unknown command %s", cmd);
}
