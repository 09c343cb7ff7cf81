// The command line and the previous installation: where the temporary work
// area lies, which installation directory the user named, and where an
// earlier installation of the suite is reachable. Every installation
// directory is kept in its base form, the directory above its Orvik directory.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

namespace {

constexpr const char* OPTION_LIST = ",install,-v";
constexpr int OPT_INSTALL = 1;
constexpr int OPT_VERSION = 2;
constexpr const char* WORK_AREA_FORMAT = "%s/%sInstall";
constexpr int LINK_BUF_SIZE = 256; // a link text of at most 255 bytes fits
constexpr const char* HELP_OPTIONS = ",-h,--help";

// The usage; each "%s" is the program's name.
constexpr const char USAGE[] =
    "usage: %s [WORKDIR] [INSTALLDIR]\n"
    "       %s [WORKDIR] install INSTALLDIR\n"
    "       %s --status | --verify | --remove [--force]\n"
    "       %s -v | --version | -h | --help\n"
    "Installs the Orvik print suite from the install site that holds this program;\n"
    "run it as root from there. WORKDIR is the parent of the temporary work area\n"
    "(default /tmp); INSTALLDIR is the directory to hold Orvik/qpxx (default the\n"
    "previous installation's, else /usr). -v prints the version, -h this text.\n"
    "Options, before the directories:\n"    "  -n                      dry run: check, and print what would be run and written\n"
    "  -y                      answer yes to the old-daemon question\n"
    "  --wait-running SECONDS  wait that long for running suite programs, then stop\n"
    "  --keyring FILE          the site's SHA256SUMS.sig must be good for a key of FILE\n"
    "  --require-checksums     refuse a site without SHA256SUMS\n"
    "  --status                the installed version, directory, date and site checksum\n"
    "  --verify                the installed files that differ from the record\n"
    "  --remove [--force]      remove the installation (--force: changed files too)\n"
    "Exit status: 0 installed or upgraded (also -v, -h); 1 the run ended on an\n"
    "error; 2 a bad command line; 3 stopped at the user's request, or at the end\n"
    "of input at a question.\n";

// The longest wait --wait-running takes: a day.
constexpr long WAIT_RUNNING_MAX = 86400;

bool IsDirectory(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// A directory from the command line that the installer cannot use: setup
// message 3 and a blank line, status 2. Nothing has been changed yet.
[[noreturn]] void RefuseDirectory(const char* path) {
    EndMidLine();
    printf(nlsSetupStrCvt(3), path);
    printf("\n\n");
    fflush(stdout);
    exit_app(2);
}

// The installation directory must be a full path: every later step changes
// the current directory, so a relative one would put the suite into the work
// area, which the clean-up removes. The explanation is the one main keeps in
// InstallInfo.
[[noreturn]] void RefuseRelativeInstallDir() {
    for (int i = 0; i < 5; ++i) {
        const char* text = InstallInfo[i] ? InstallInfo[i] : nlsSetupStrCvt(10 + i);
        fputs(text, stdout);
        if (i > 0) fputs("\n", stdout); // rows 11 to 14 are lines without their end
    }
    fflush(stdout);
    exit_app(2);
}

// Keeps the outermost of the directories that the making of dir (a full
// path) will create, so that the clean-up can remove them all again.
void NoteCreatedTop(const char* dir) {
    MemHold<char> top(SaveStr_(dir));
    MemHold<char> up(SaveStr_(dir));
    for (;;) {
        char* slash = strrchr(up.get(), '/');
        if (!slash || slash == up.get()) break;
        *slash = '\0';
        struct stat st;
        if (lstat(up, &st) == 0) break;
        top.reset(SaveStr_(up));
    }
    PutMem(pCreatedTmpDirTop);
    pCreatedTmpDirTop = top.release();
}

// An argument that names the parent of the work area. A relative parent is
// taken from the current directory, so that the work area stays the same
// place when later steps change directory. A missing parent is created with
// all its missing parents.
void SetWorkAreaParent(const char* arg) {
    size_t len = strlen(arg);
    if (len > 0 && arg[len - 1] == '/') --len;
    if (len > size_t(SETUP_PATH_MAX)) RefuseDirectory(arg);

    MemHold<char> dir;
    if (len > 0 && arg[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) RefuseDirectory(arg);
        dir.reset(SaveStr("%s/%.*s", cwd, int(len), arg));
    } else {
        dir.reset(SaveStr("%.*s", int(len), arg));
    }
    if (strlen(dir) + strlen("/Install") + strlen(DIR_WORD) > size_t(SETUP_PATH_MAX))
        RefuseDirectory(dir);

    PutMem(pOrvikInstallDir);
    pOrvikInstallDir = SaveStr(WORK_AREA_FORMAT, dir.get(), DIR_WORD);

    // An empty parent (the argument "/" or "") is the root directory.
    const char* probe = dir[0] ? dir.get() : "/";
    flCreatedTmpDir = false;
    if (!IsDirectory(probe) && flDryRun) {
        DryRunNote("make", dir); // a real run makes it
    } else if (!IsDirectory(probe)) {
        flCreatedTmpDir = true;
        NoteCreatedTop(dir);
        CreateFile(dir, nullptr, nullptr, nullptr, nullptr);
        if (!IsDirectory(probe)) RefuseDirectory(dir);
    }
}

} // namespace

namespace {

[[noreturn]] void BadUsage(const char* fmt, const char* arg) {
    fprintf(stderr, "%s: ", my_name);
    fprintf(stderr, fmt, arg);
    fputc('\n', stderr);
    fprintf(stderr, USAGE, my_name, my_name, my_name, my_name);
    exit_app(SETUP_EXIT_USAGE);
}

void SetRecordAction(int action, const char* arg) {
    if (iRecordAction != RECORD_NONE && iRecordAction != action)
        BadUsage("'%s' goes with no other of --status, --verify and --remove", arg);
    iRecordAction = action;
}

} // namespace

int checkCommandLineOptions(int argc, char** argv) {
    static char versionArg[] = "-v";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        char* arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg[0] != '-' || strcmp(arg, "-v") == 0) {
            argv[kept++] = arg;
        } else if (strcmp(arg, "--version") == 0) {
            argv[kept++] = versionArg;
        } else if (strcmp(arg, "-n") == 0) {
            flDryRun = true;
        } else if (strcmp(arg, "-y") == 0) {
            flAssumeYes = true;
        } else if (strcmp(arg, "--require-checksums") == 0) {
            flRequireChecksums = true;
        } else if (strcmp(arg, "--force") == 0) {
            flForceRemove = true;
        } else if (strcmp(arg, "--status") == 0) {
            SetRecordAction(RECORD_STATUS, arg);
        } else if (strcmp(arg, "--verify") == 0) {
            SetRecordAction(RECORD_VERIFY, arg);
        } else if (strcmp(arg, "--remove") == 0) {
            SetRecordAction(RECORD_REMOVE, arg);
        } else if (strcmp(arg, "--wait-running") == 0) {
            if (!more) BadUsage("'%s' needs a number of seconds", arg);
            const char* value = argv[++i];
            char* end = nullptr;
            long seconds = strtol(value, &end, 10);
            if (!*value || *end || seconds < 0 || seconds > WAIT_RUNNING_MAX || value[0] == '-')
                BadUsage("--wait-running takes a number of seconds (0 to 86400), not '%s'", value);
            iWaitRunning = int(seconds);
        } else if (strcmp(arg, "--keyring") == 0) {
            if (!more || !argv[i + 1][0]) BadUsage("'%s' needs a keyring file", arg);
            const char* file = argv[++i];
            char cwd[PATH_MAX];
            if (file[0] == '/')
                pKeyring = SaveStr_(file);
            else if (getcwd(cwd, sizeof cwd))
                pKeyring = SaveStr("%s/%s", cwd, file);
            else
                BadUsage("cannot take the keyring '%s' from the current directory", file);
        } else if (!strchr(arg, HELP_OPTIONS[0]) && FindToken(arg, HELP_OPTIONS) != 0) {
            printf(USAGE, my_name, my_name, my_name, my_name);
            exit_app(SETUP_EXIT_DONE);
        } else {
            fprintf(stderr, "%s: unknown option '%s'\n", my_name, arg);
            fprintf(stderr, USAGE, my_name, my_name, my_name, my_name);
            exit_app(SETUP_EXIT_USAGE);
        }
    }
    if (flForceRemove && iRecordAction != RECORD_REMOVE)
        BadUsage("'%s' goes only with --remove", "--force");
    if (kept < argc) argv[kept] = nullptr;
    return kept;
}

void parseCommandLineOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        switch (FindToken(argv[i], OPTION_LIST)) {
        case OPT_INSTALL:
            if (i + 1 < argc) {
                ++i;
                pCmdLineInstallDir = StripToBaseName(argv[i]);
            }
            break;
        case OPT_VERSION:
            fprintf(stderr, "%s %s\n", my_name, SETUP_VERSION);
            exit_app(0);
        default:
            if (i == 2)
                pCmdLineInstallDir = StripToBaseName(argv[i]);
            else
                SetWorkAreaParent(argv[i]);
            break;
        }
    }

    if (pCmdLineInstallDir) {
        if (pCmdLineInstallDir[0] != '/') RefuseRelativeInstallDir();
        // TARGET/Orvik/qpxx must stay a path the installer can join and split.
        if (strlen(pCmdLineInstallDir) + strlen(DIR_WORD) + strlen(APP_WORD) + 2 >
            size_t(SETUP_PATH_MAX))
            RefuseDirectory(pCmdLineInstallDir);
    }
}

char* StripToBaseName(char* text) {
    if (!text) return nullptr;
    if (char* p = strstr(text, APP_WORD)) *p = '\0';
    if (char* p = strstr(text, DIR_WORD)) *p = '\0';
    size_t len = strlen(text);
    if (len > 1 && text[len - 1] == '/') text[len - 1] = '\0';
    return text;
}

// Every installation is reachable at /usr/Orvik/qpxx, directly or through a
// symbolic link that the installer made. A link that leads nowhere is left
// over from a removed installation and goes; the run is then a fresh one.
char* locatePreviousInstallation() {
    MemHold<char> probe(SaveStr("%s/%s/%s", DEFAULT_TARGET, DIR_WORD, APP_WORD));

    switch (GetFileType(probe)) {
    case 0:
        return nullptr;
    case 2:
        break;
    default:
        // A real directory at the fixed place: the installation is in /usr,
        // whatever it holds (also one without its queue database yet).
        return SaveStr_(DEFAULT_TARGET);
    }

    char link[LINK_BUF_SIZE] = {};
    ssize_t len = readlink(probe, link, LINK_BUF_SIZE - 1);

    // The link is followed from where it lies, so that a relative text is
    // taken relative to /usr/Orvik, as the system itself resolves it.
    if (!IsDirectory(probe)) {
        SysCmd(CMD_RM, 1, "%s", probe.get());
        return nullptr;
    }

    char* result;
    if (len > 0 && len < LINK_BUF_SIZE - 1 && link[0] == '/') {
        result = SaveStr_(link);
    } else {
        // A relative text, or one too long for the link buffer: the real path.
        char real[PATH_MAX];
        if (!realpath(probe, real)) return nullptr;
        result = SaveStr_(real);
    }
    return StripToBaseName(result);
}
