// The package list interpreter. A package carries a small line language,
// pkg.list, that says how its unpacked files are put into the application
// directory: copies, directories, modes, owners, links, launchers, edits,
// release conditions and checks for running programs. Each line is carried
// out at once through the command runner; there is no undo.
//
// A line is: KEYWORD ITEM [command words] [ATTRIBUTE VALUE]...
// Words are separated by blanks, newlines and carriage returns (a tab is part
// of a word). A line that lacks a word its command or attribute needs is
// skipped from that point with a warning in the log: a missing word is never
// handed to the runner.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

int (*PkgListUname)(struct utsname* info) = uname;
const char* PkgListLauncherDir = "/usr/bin";

namespace {

// Command keywords, positions 1 to 10; any other word copies like "c".
constexpr const char* PKG_COMMANDS = ",dir,dirto,t,c,m,#,v,s,newdir,checkps";
enum PkgCommand : int {
    PKG_OTHER = 0,
    PKG_DIR,
    PKG_DIRTO,
    PKG_TOUCH,
    PKG_COPY,
    PKG_MODIFY,
    PKG_COMMENT,
    PKG_VERSION,
    PKG_SELECT,
    PKG_NEWDIR,
    PKG_CHECKPS
};

// Attribute words, positions 1 to 7; any other word is ignored.
constexpr const char* PKG_ATTRIBUTES = ",mode,bat,owner,group,link,name,sed";
enum PkgAttribute : int {
    ATTR_OTHER = 0,
    ATTR_MODE,
    ATTR_BAT,
    ATTR_OWNER,
    ATTR_GROUP,
    ATTR_LINK,
    ATTR_NAME,
    ATTR_SED
};

// Operators of a release condition, positions 1 to 5.
constexpr const char* PKG_OPERATORS = ",<,<=,=,>,>=,";
enum PkgOperator : int { OP_UNKNOWN = 0, OP_LT, OP_LE, OP_EQ, OP_GT, OP_GE };

constexpr const char* WORD_DELIMS = " \n\r"; // not tab
constexpr int SETUP_MSG_NO_RELEASE = 60; // "failed ts get version"

// The line being carried out. The runner, the log and the checks may use
// LineBuf while a line runs, so the interpreter works on its own copy.
struct PkgLine {
    char text[LINEBUF_SIZE];
    char* cursor;     // scan position in text
    int number;       // physical line of the list file on which the line starts
    const char* name; // package directory name
};

// The position of word in a keyword list, 0 when absent. A word holding the
// list's separator would otherwise match a run of several keywords.
int Lookup(const char* word, const char* list) {
    if (std::strchr(word, list[0]) != nullptr) return 0;
    return FindToken(word, list);
}

// The next word of the line into out (TOKEN_BUF_SIZE bytes), none at its end.
char* NextWord(PkgLine& line, char* out) {
    return GetTokenD(nullptr, WORD_DELIMS, &line.cursor, out);
}

// The rest of the line after the current word, without the blanks around
// it, up to the line's end (newline or carriage return). Backslashes are
// kept as written: the text is a sed script. Empty when nothing is left.
void RestOfLine(PkgLine& line, char* out, int size) {
    const char* p = line.cursor;
    while (*p == ' ')
        ++p;
    int n = static_cast<int>(std::strcspn(p, "\n\r"));
    while (n > 0 && p[n - 1] == ' ')
        --n;
    if (n >= size) n = size - 1;
    std::memcpy(out, p, static_cast<size_t>(n));
    out[n] = '\0';
    line.cursor += std::strlen(line.cursor); // the whole rest is taken
}

void WarnMissing(const PkgLine& line, const char* what, const char* keyword) {
    PutLogMsg("WARNING_MSG: pkg.list line %d: missing %s after \"%s\", rest of the line "
              "ignored\n",
              line.number, what, keyword);
}

// The next word into out; when the line has none, the warning about the
// missing WHAT after keyword is logged and false returned.
static bool WordOrWarn(PkgLine& line, char* out, const char* what, const char* keyword) {
    if (NextWord(line, out) != nullptr) return true;
    WarnMissing(line, what, keyword);
    return false;
}

// Edits APP/ITEM in place with the sed arguments value. The edited text goes
// to /tmp/NAME.tmp through the shell's redirection, which follows whatever
// already lies at that path; so that it is written as a new file, anything
// there (a link planted by another user included) is removed first. The copy
// back onto the item takes the temporary file's mode and owner with it, so
// the item's own are put back afterwards.
void EditWithSed(const char* item, const char* value) {
    MemHold<char> tmp(SaveStr("/tmp/%s.tmp", my_name));
    MemHold<char> target(SaveStr("%s/%s", pAppDir, item));
    if (flDryRun) {
        SysCmd(-CMD_SED, 2, "%s %s/%s > /tmp/%s.tmp", value, pAppDir, item, my_name);
        SysCmd(CMD_CP, 0, "/tmp/%s.tmp %s/%s", my_name, pAppDir, item);
        SysCmd(CMD_RM, 0, "/tmp/%s.tmp", my_name);
        return;
    }
    if (unlink(tmp) != 0 && errno != ENOENT)
        PutLogMsg("WARNING_MSG: %s: %s\n", tmp.get(), std::strerror(errno));

    struct stat before {};
    bool known = stat(target, &before) == 0 && S_ISREG(before.st_mode);

    SysCmd(-CMD_SED, 2, "%s %s/%s > /tmp/%s.tmp", value, pAppDir, item, my_name);
    SysCmd(CMD_CP, 0, "/tmp/%s.tmp %s/%s", my_name, pAppDir, item);
    SysCmd(CMD_RM, 0, "/tmp/%s.tmp", my_name);

    struct stat after {};
    if (!known || stat(target, &after) != 0) return;
    // The owner first: changing it clears the set-id bits that chmod restores.
    if ((after.st_uid != before.st_uid || after.st_gid != before.st_gid) &&
        chown(target, before.st_uid, before.st_gid) != 0)
        PutLogMsg("WARNING_MSG: %s: %s\n", target.get(), std::strerror(errno));
    if (chmod(target, before.st_mode & 07777) != 0)
        PutLogMsg("WARNING_MSG: %s: %s\n", target.get(), std::strerror(errno));
}

// Makes value a symbolic link to APP/ITEM. On an upgrade the link made by
// the previous installation is still there and ln would refuse (or, for a
// link to a directory, put the new link inside its target): a symbolic link
// at that place is removed first. Anything else there is left to ln.
void MakeLink(const char* item, const char* value) {
    if (GetFileType(value) == 2) SysCmd(CMD_RM, 1, "%s", value);
    SysCmd(CMD_LN, 2, "-s %s/%s %s", pAppDir, item, value);
}

void ApplyAttribute(int attribute, const char* item, const char* value) {
    switch (attribute) {
    case ATTR_MODE:
        SysCmd(CMD_CHMOD, 2, "%s %s/%s", value, pAppDir, item);
        break;
    case ATTR_BAT: {
        MemHold<char> path(SaveStr("%s/%s", PkgListLauncherDir, value));
        NoteInstalledPath(path);
        GenSimpleScript(path, ScriptShShell, SimpleScript, pAppDir, pAppDir, item);
        break;
    }
    case ATTR_OWNER:
        SysCmd(CMD_CHOWN, 2, "-R %s %s/%s", value, pAppDir, item);
        break;
    case ATTR_GROUP:
        SysCmd(CMD_CHGRP, 2, "-R %s %s/%s", value, pAppDir, item);
        break;
    case ATTR_LINK:
        NoteInstalledPath(value);
        MakeLink(item, value);
        break;
    case ATTR_NAME:
        SysCmd(CMD_MV, 2, "%s/%s %s/%s", pAppDir, item, pAppDir, value);
        break;
    case ATTR_SED:
        EditWithSed(item, value);
        break;
    default: // unknown attributes are ignored
        break;
    }
}

bool IsLauncherName(const char* name) {
    return *name && std::strchr(name, '/') == nullptr && std::strcmp(name, ".") != 0 &&
           std::strcmp(name, "..") != 0;
}

// The attribute pairs of the rest of the line, applied to APP/ITEM in order.
// A "sed" in the first pair takes the whole rest of the line as its value;
// every other value is one word.
void ApplyAttributes(PkgLine& line, const char* item) {
    char attribute[TOKEN_BUF_SIZE];
    char value[LINEBUF_SIZE];
    for (bool first = true; NextWord(line, attribute) != nullptr; first = false) {
        int which = Lookup(attribute, PKG_ATTRIBUTES);
        if (first && which == ATTR_SED)
            RestOfLine(line, value, sizeof value);
        else if (NextWord(line, value) == nullptr)
            value[0] = '\0';
        if (value[0] == '\0') {
            WarnMissing(line, "VALUE", attribute);
            return;
        }
        // A launcher is written as root into the launcher directory: its name
        // must be a file name there, never a path to somewhere else.
        if (which == ATTR_BAT && !IsLauncherName(value)) {
            PutLogMsg("WARNING_MSG: pkg.list line %d: launcher name \"%s\" is not a file name, "
                      "no launcher written\n",
                      line.number, value);
            continue;
        }
        ApplyAttribute(which, item, value);
    }
}

// Whether the running system's release stands to version as op asks; the
// two are compared as texts, byte by byte ("2.2.14" sorts before "2.2.5").
bool ReleaseHolds(const char* release, const char* op, const char* version) {
    int order = std::strcmp(release, version);
    switch (Lookup(op, PKG_OPERATORS)) {
    case OP_LT:
        return order < 0;
    case OP_LE:
        return order <= 0;
    case OP_EQ:
        return order == 0;
    case OP_GT:
        return order > 0;
    case OP_GE:
        return order >= 0;
    default:
        return false;
    }
}

// A dry run copies nothing: an item that the real run would have copied
// already is looked for in the unpacked package.
bool InPackage(const PkgLine& line, const char* item) {
    MemHold<char> dir(SaveStr("%s/%s", pOrvikInstallDir, line.name));
    return FindFile(dir, item);
}

// Carries out one line. Returns 1 when the user chose to quit at a
// "checkps" line, else 0.
int RunLine(PkgLine& line) {
    char keyword[TOKEN_BUF_SIZE];
    char item[TOKEN_BUF_SIZE];
    if (NextWord(line, keyword) == nullptr) return 0; // empty line

    for (;;) { // once per command of the line: a holding condition chains
        int command = Lookup(keyword, PKG_COMMANDS);
        if (command == PKG_COMMENT) return 0;
        if (!WordOrWarn(line, item, command == PKG_VERSION ? "operator" : "ITEM", keyword))
            return 0;

        switch (command) {
        case PKG_DIR:
            SysCmd(CMD_CP_R, 1, "%s/%s/%s %s", pOrvikInstallDir, line.name, item, pAppDir);
            break;
        case PKG_DIRTO: {
            char dest[TOKEN_BUF_SIZE];
            if (!WordOrWarn(line, dest, "DEST", keyword)) return 0;
            if (dest[0] == '/') {
                MemHold<char> copied(SaveStr("%s/%s", dest, StripPath(item)));
                NoteInstalledPath(copied);
            }
            SysCmd(CMD_CP_R, 1, "%s/%s/%s %s", pOrvikInstallDir, line.name, item, dest);
            break;
        }
        case PKG_TOUCH:
            SysCmd(CMD_TOUCH, 1, "%s/%s", pAppDir, item);
            break;
        case PKG_MODIFY:
        case PKG_SELECT:
            if (!FindFile(pAppDir, item) && !(flDryRun && InPackage(line, item))) return 0;
            break;
        case PKG_VERSION: {
            char version[TOKEN_BUF_SIZE];
            if (!WordOrWarn(line, version, "VERSION", keyword)) return 0;
            struct utsname info {};
            if (PkgListUname(&info) != 0) {
                std::perror(nlsSetupStrCvt(SETUP_MSG_NO_RELEASE));
                break; // the rest is read as attribute pairs
            }
            if (!ReleaseHolds(info.release, item, version)) return 0;
            if (NextWord(line, keyword) == nullptr) return 0;
            continue; // the rest of the line is a command of its own
        }
        case PKG_NEWDIR: {
            MemHold<char> path(SaveStr("%s/%s", pAppDir, item));
            if (FindFile(path, nullptr)) return 0;
            CreateFile(path, nullptr, "775", nullptr, nullptr);
            break;
        }
        case PKG_CHECKPS:
            if (QuitForRunningProcesses(item)) return 1;
            break;
        default: // "c" and any other word
            SysCmd(CMD_CP, 1, "%s/%s/%s %s", pOrvikInstallDir, line.name, item, pAppDir);
            break;
        }
        ApplyAttributes(line, item);
        return 0;
    }
}

// Takes the logical line in LineBuf: the continuation marks (a backslash
// directly before a newline) join the physical lines and separate words.
// Returns the number of physical lines it spans.
int TakeLine(PkgLine& line) {
    std::snprintf(line.text, sizeof line.text, "%s", LineBuf);
    int lines = 1;
    for (char* p = line.text; (p = std::strstr(p, "\\\n")) != nullptr; p += 2) {
        p[0] = ' ';
        p[1] = ' ';
        ++lines;
    }
    line.cursor = line.text;
    return lines;
}

} // namespace

void FailWhenFull(const char* dir) {
    struct statvfs fs {};
    if (flDryRun || statvfs(dir, &fs) != 0 || fs.f_blocks == 0 || fs.f_bfree > 0) return;
    PutLogMsg("ERROR: the file system of %s is full\n", dir);
    EndMidLine();
    printf("ERROR: the file system of %s is full\n", dir);
    exit_app(SETUP_EXIT_FAILED);
}

int ProcessPkgList(const char* name) {
    MemHold<char> path(SaveStr("%s/%s/pkg.list", pOrvikInstallDir, name));
    OpenInputFile(path, 2); // ends the program when the list cannot be opened

    static PkgLine line; // 4 KiB: kept off the stack
    line.name = name;
    int next = 1;
    while (GetFileLine()) {
        line.number = next;
        next += TakeLine(line);
        if (RunLine(line) != 0) {
            CloseInputFile();
            return 1;
        }
        FailWhenFull(pAppDir);
    }
    CloseInputFile();
    return 0;
}
