// The install site's own check, before anything is copied from it: the
// checksum manifest SHA256SUMS names every file of the site with its
// SHA-256, and a detached signature SHA256SUMS.sig over the manifest may
// prove who made it. A site that fails changes nothing on the host.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

namespace {

constexpr const char* SUMS_NAME = "SHA256SUMS";
constexpr const char* SIG_NAME = "SHA256SUMS.sig";
constexpr const char* LIST_DELIMS = " \t\r\n";
constexpr int MANIFEST_MAX = 64 * 1024; // bytes of SHA256SUMS read: thousands of pieces

[[noreturn]] void FailSite(const char* what, const char* name) {
    PutLogMsg("ERROR: the install site fails its %s: %s\n", what, name);
    EndMidLine();
    printf("ERROR: the install site fails its %s: %s\n", what, name);
    fflush(stdout);
    exit_app(SETUP_EXIT_FAILED);
}

bool Exists(const char* dir, const char* name) {
    MemHold<char> path(SaveStr("%s/%s", dir, name));
    struct stat st;
    return lstat(path, &st) == 0;
}

// The manifest's text, read whole; none when it cannot be read.
char* ReadManifest(const char* path) {
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    char* text = static_cast<char*>(GetMem(MANIFEST_MAX + 1));
    ssize_t used = 0;
    while (text && used < MANIFEST_MAX) {
        ssize_t n = read(fd, text + used, size_t(MANIFEST_MAX - used));
        if (n <= 0) break;
        used += n;
    }
    close(fd);
    if (text) text[used] = '\0';
    return text;
}

// The manifest names the file: a line "HEX  NAME" or "HEX *NAME".
bool Names(const char* manifest, const char* name) {
    const size_t len = strlen(name);
    for (const char* line = manifest; *line;) {
        const char* end = strchr(line, '\n');
        const size_t n = end ? size_t(end - line) : strlen(line);
        if (n == 64 + 2 + len && memcmp(line + 66, name, len) == 0 &&
            (line[65] == ' ' || line[65] == '*'))
            return true;
        line += end ? n + 1 : n;
    }
    return false;
}

// Every line of the manifest is a checksum and a plain name of the site:
// nothing outside the site is ever checked or trusted.
const char* BadManifestLine(char* manifest) {
    static char name[TOKEN_BUF_SIZE];
    for (char* line = manifest; *line;) {
        char* end = strchr(line, '\n');
        const size_t n = end ? size_t(end - line) : strlen(line);
        snprintf(name, sizeof name, "%.*s", n > 66 ? int(n - 66) : 0, line + (n > 66 ? 66 : n));
        bool hex = n > 66;
        for (size_t i = 0; hex && i < 64; ++i)
            hex = strchr("0123456789abcdef", line[i]) && line[i];
        if (!hex || line[64] != ' ' || !IsPlainSiteName(name) || strchr(name, '/'))
            return SUMS_NAME;
        line += end ? n + 1 : n;
    }
    return nullptr;
}

} // namespace

void CheckInstallSite(const char* site) {
    MemHold<char> sums(SaveStr("%s/%s", site, SUMS_NAME));
    if (!Exists(site, SUMS_NAME)) {
        if (flRequireChecksums || pKeyring) FailSite("checksums", SUMS_NAME);
        PutLogMsg("the install site has no %s: its files were not checked\n", SUMS_NAME);
        return;
    }

    MemHold<char> siteWord(ShellWord(site));
    if (pKeyring) {
        if (!Exists(site, SIG_NAME)) FailSite("signature check", SIG_NAME);
        MemHold<char> keyring(ShellWord(pKeyring));
        if (SysCmd(-CMD_GPGV, 0, "--keyring %s %s/%s %s/%s", keyring.get(), siteWord.get(),
                   SIG_NAME, siteWord.get(), SUMS_NAME) != 0)
            FailSite("signature check", SIG_NAME);
        PutLogMsg("the install site's %s is signed by a key of %s\n", SUMS_NAME, pKeyring);
    }

    MemHold<char> manifest(ReadManifest(sums));
    if (!manifest) FailSite("checksums", SUMS_NAME);
    if (const char* bad = BadManifestLine(manifest)) FailSite("checksums", bad);

    // Every file the disk list names is copied: each must be in the manifest.
    const char* listName = Exists(site, "disks") ? "disks" : "DISKS";
    if (!Names(manifest, listName)) FailSite("checksums", listName);
    GetDisksData(site);
    char list[LINEBUF_SIZE];
    snprintf(list, sizeof list, "%s", LineBuf);
    char* save = nullptr;
    for (char* word = strtok_r(list, LIST_DELIMS, &save); word;
         word = strtok_r(nullptr, LIST_DELIMS, &save)) {
        if (strcmp(word, END_OF_LIST) == 0) break;
        if (!Names(manifest, word)) FailSite("checksums", word);
    }

    // sha256sum reads the names from the site itself; its report names the
    // first file that is missing or differs.
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) cwd[0] = '\0';
    if (chdir(site) != 0) FailSite("checksums", site);
    MemHold<char> failed(GetCmdResponseStr(CMD_SHA256SUM, nullptr,
                                           "--check --quiet %s 2>/dev/null || echo FAILED",
                                           SUMS_NAME));
    if (cwd[0] && chdir(cwd) != 0) PutLogMsg("WARNING_MSG: cannot change back to %s\n", cwd);
    if (failed) {
        // "NAME: FAILED" or "NAME: FAILED open or read"; a bare FAILED when
        // the tool said no more.
        char* colon = strstr(failed.get(), ": FAILED");
        if (colon) *colon = '\0';
        FailSite("checksums", colon ? failed.get() : SUMS_NAME);
    }

    char hex[SHA256_HEX_SIZE];
    if (!Sha256File(sums, hex)) FailSite("checksums", SUMS_NAME);
    PutMem(pSiteSum);
    pSiteSum = SaveStr_(hex);
    PutLogMsg("the install site passes its checksums (%s %s)\n", SUMS_NAME, hex);
}
