// The disk list and the archive assembly. The disk list of an install site
// names the site's files, among them the list itself and the pieces of the
// package archive; genZFile joins the pieces, in list order, into one
// compressed archive in the work area.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

static constexpr const char* DISKS_NAME = "disks";
static constexpr const char* DISKS_NAME_CAPS = "DISKS";
static constexpr const char* PIECE_PREFIX = "pkg_tar.";
static constexpr const char* PIECE_PREFIX_CAPS = "PKG_TAR.";
static constexpr size_t PIECE_PREFIX_LEN = 8;
static constexpr const char* PIECE_DELIMS = " \n\r"; // not tabs
static constexpr int MSG_NO_DISK_LIST = 21;          // "can't open file, %sInstall/disks"

bool IsPlainSiteName(const char* word) {
    if (!word || !*word) return false;
    for (const char* p = word; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (isalnum(c)) continue;
        if (!strchr("._-+,=@%:/", c)) return false;
    }
    return true;
}

bool IsArchivePiece(const char* word) {
    return word && (strncmp(word, PIECE_PREFIX, PIECE_PREFIX_LEN) == 0 ||
                    strncmp(word, PIECE_PREFIX_CAPS, PIECE_PREFIX_LEN) == 0);
}

// A list longer than LineBuf would be read cut short, and the pieces past
// the cut left out of the archive without a word: such a list is refused.
static void RefuseLongList(const char* dir, const char* name) {
    if (strlen(LineBuf) < size_t(LINEBUF_SIZE - 1)) return;
    char path[LINEBUF_SIZE];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    if (GetFileSize(path) <= long(LINEBUF_SIZE - 1)) return;
    PutLogMsg("ERROR: the disk list %s is longer than %d bytes\n", path, LINEBUF_SIZE - 1);
    ErrorMsg(2, 1, "the disk list %s is longer than %d bytes", path, LINEBUF_SIZE - 1);
}

void GetDisksData(const char* dir) {
    if (GetFileContent(dir, DISKS_NAME)) {
        RefuseLongList(dir, DISKS_NAME);
        return;
    }
    if (!GetFileContent(dir, DISKS_NAME_CAPS))
        ErrorMsg(2, 1, nlsSetupStrCvt(MSG_NO_DISK_LIST), DIR_WORD);
    RefuseLongList(dir, DISKS_NAME_CAPS);

    // Media that show names in capitals: the names before the end marker are
    // turned to capitals; the marker keeps its lower case and still ends the
    // list.
    for (char* p = LineBuf; *p && strncmp(p, END_OF_LIST, strlen(END_OF_LIST)) != 0; ++p)
        *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
}

void genZFile() {
    const char* work = pOrvikInstallDir;
    if (chdir(work) != 0) PutLogMsg("WARNING_MSG: cannot change to %s\n", work);
    GetDisksData(work);

    char* save = nullptr;
    for (char* word = strtok_r(LineBuf, PIECE_DELIMS, &save); word;
         word = strtok_r(nullptr, PIECE_DELIMS, &save)) {
        if (strcmp(word, END_OF_LIST) == 0) break;
        if (!IsArchivePiece(word)) continue;
        // The name goes into a shell line; one that would need quoting is not
        // a piece this installer made and is passed over.
        if (!IsPlainSiteName(word) || !FindFile(work, word)) {
            PutLogMsg("WARNING_MSG: archive piece %s is not in %s\n", word, work);
            continue;
        }
        SysCmd(-CMD_CAT, 2, "%s/%s >> %s/%s.tar.Z", work, word, work, ARCHIVE_BASE);
        // Not echoed (its output is the archive), yet logged as it ran, less
        // the shell's closing quote as the echoed lines are.
        size_t len = strlen(SysCmdLastLine);
        if (len > 0 && SysCmdLastLine[len - 1] == '"') --len;
        if (!flDryRun) PutLogMsg("%.*s\n", int(len), SysCmdLastLine);
    }
}
