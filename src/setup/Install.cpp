// Installation from the site: the work area is made afresh, the files of
// the site's disk list are copied into it, the package archive is assembled
// and unpacked there, and the suite is put in place either as an upgrade of
// the previous installation or as a fresh installation.
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

static constexpr const char* LINE_DELIMS = "\n\r";
static constexpr const char* WORD_DELIMS = " \t\r\n";
static constexpr const char* PKG_DIR_NAME = "pkg";
static constexpr const char* SPOOL_FORMAT = "/var/spool/%s";
static constexpr const char* DOWNLOAD_FORMAT = "%s/%s/__qpa_download__";
static constexpr const char* SUID_PROGRAMS[] = {"qprqpxxtty", "qsf"};

// Complete shell lines: both output streams go to the run's log (normally
// /tmp/setup.log) while that is still the file the run made; to nowhere once
// logging has stopped. Another file at a log's name is never appended to.
static constexpr const char* UNCOMPRESS_FORMAT = "/usr/bin/uncompress %s/%s.tar.Z";
static constexpr const char* GZIP_FORMAT = "/usr/bin/gzip -dfv %s/%s.tar.Z";
static constexpr const char* TO_LOG_FORMAT = "%s 1>>%s 2>>%s";

// Runs a decompression line (format filled with the work area and the
// archive's base name) with its output to log; its exit status.
static int decompress(const char* format, const char* work, const char* log) {
    MemHold<char> command(SaveStr(format, work, ARCHIVE_BASE));
    MemHold<char> line(SaveStr(TO_LOG_FORMAT, command.get(), log, log));
    NoteShellLine(command, line);
    return system(line);
}


static bool exists(const char* path) {
    struct stat st {};
    return lstat(path, &st) == 0;
}

void PrepareWorkArea(const char* work) {
    if (exists(work)) SysCmd(CMD_RM_R, 1, " %s", work);
    (void)mkdir(work, 0777);
    // The work area may lie in a directory that every user can write to:
    // what stands there now must be the directory just made, not a link or
    // a directory planted by someone else, before anything goes into it.
    struct stat st {};
    if (lstat(work, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
        PutLogMsg("ERROR: the work area %s is not a directory of the installer's own\n", work);
        ErrorMsg(2, SETUP_EXIT_FAILED,
                 "the work area %s is not a directory of the installer's own; nothing was copied",
                 work);
    }
}

// The line's only word is the end marker, blanks around it allowed.
static bool isEndLine(char* line) {
    char* p = line + strspn(line, WORD_DELIMS);
    const size_t n = strlen(END_OF_LIST);
    return strncmp(p, END_OF_LIST, n) == 0 && p[n + strspn(p + n, WORD_DELIMS)] == '\0';
}

void CopySiteFiles(const char* site, const char* work) {
    // The walk works on its own copy: the copies below must not depend on
    // what the command layer does with the shared buffers.
    char list[LINEBUF_SIZE];
    snprintf(list, sizeof list, "%s", LineBuf);

    char* lineSave = nullptr;
    for (char* line = strtok_r(list, LINE_DELIMS, &lineSave); line;
         line = strtok_r(nullptr, LINE_DELIMS, &lineSave)) {
        if (isEndLine(line)) break;
        char* wordSave = nullptr;
        for (char* word = strtok_r(line, WORD_DELIMS, &wordSave); word;
             word = strtok_r(nullptr, WORD_DELIMS, &wordSave)) {
            if (strcmp(word, END_OF_LIST) == 0) break; // the rest of this line only
            // The name goes into a shell line as it is; one that the shell
            // would read as more than a file name is not copied.
            if (!IsPlainSiteName(word))
                ErrorMsg(2, 1, "the disk list names '%s', which is not a plain file name", word);
            SysCmd(CMD_CP, 2, "%s/%s %s", site, word, work);
        }
    }
}

int installFromSite(const char* work) {
    DryRunReal(true); // a dry run copies the site into its scratch area for real
    PrepareWorkArea(work);
    GetDisksData(pPathToSetup);
    CopySiteFiles(pPathToSetup, work);
    DryRunReal(false);
    int status = Install();
    if (status == SETUP_EXIT_STOPPED)
        PutLogMsg("Installation stopped at the package list; the final modes were not set\n");
    return status;
}

// The archive is only ever appended to, and uncompress asks before it
// overwrites: leftovers of an earlier attempt go first.
void RemoveStaleArchive(const char* work) {
    static constexpr const char* SUFFIXES[] = {".tar.Z", ".tar"};
    for (const char* suffix : SUFFIXES) {
        MemHold<char> path(SaveStr("%s/%s%s", work, ARCHIVE_BASE, suffix));
        if (exists(path)) SysCmd(CMD_RM_R, 1, " %s", path.get());
    }
}

static void unpackArchive(const char* work) {
    RemoveStaleArchive(work);
    genZFile();

    MemHold<char> log(LogReady() ? SaveStr("%s/%s.log", pLogPath, my_name) : SaveStr_("/dev/null"));
    // The tar step below reports an archive that neither could decompress.
    if (decompress(UNCOMPRESS_FORMAT, work, log) != 0) (void)decompress(GZIP_FORMAT, work, log);

    if (chdir(work) != 0) PutLogMsg("WARNING_MSG: cannot change to %s\n", work);
    SysCmd(CMD_TAR_X, 2, "%s/%s.tar", work, ARCHIVE_BASE);
    MemHold<char> tar(SaveStr("%s/%s.tar", work, ARCHIVE_BASE));
    if (exists(tar)) SysCmd(CMD_RM_R, 1, " %s", tar.get());
}

int Install() {
    if (!readyForInstallation()) return SETUP_EXIT_FAILED;
    DryRunReal(true);
    unpackArchive(pOrvikInstallDir);
    DryRunReal(false);
    KeepPreviousInstallation(); // nothing outside the work area has changed yet

    MemHold<char> spool(SaveStr(SPOOL_FORMAT, DIR_WORD));
    if (pCurrentInstallDir) {
        // The package's files first: when the package list stops, the flag
        // file and the scripts of the previous installation stay as they were.
        if (ProcessPkgList(PKG_DIR_NAME) != 0) return SETUP_EXIT_STOPPED;
        createPrintingSubsystemFile(pAppDir);
        createQueueScripts(spool);
        FailWhenFull(pAppDir);
    } else {
        createInstallationDirectories(pTargetInstallDir);
        createPrintingSubsystemFile(pAppDir);
        createQueueScripts(spool);
        CreateFile(spool, nullptr, "775", nullptr, nullptr);
        MemHold<char> download(SaveStr(DOWNLOAD_FORMAT, spool.get(), APP_WORD));
        CreateFile(download, nullptr, "777", nullptr, nullptr);
        if (ProcessPkgList(PKG_DIR_NAME) != 0) return SETUP_EXIT_STOPPED;
    }

    SysCmd(CMD_CHMOD, 0, "755 %s/%s", pTargetInstallDir, DIR_WORD);
    for (const char* program : SUID_PROGRAMS)
        SysCmd(CMD_CHMOD, 1, "4755 %s/%s", pAppDir, program);
    return SETUP_EXIT_DONE;
}
