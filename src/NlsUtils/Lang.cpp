// Choosing the language: the toolkit's data directory, the translation
// table trans.conf, and the opening of a language's databases.
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "setup/setup.h"

#ifndef ORVIK_TOOLKIT_INSTALL_SUBDIR
#define ORVIK_TOOLKIT_INSTALL_SUBDIR "share/orvik"
#endif

char* pNLSLang = nullptr;
DbTHandle* pDrvCoreDB = nullptr;
DbTHandle* pPrtHelpDB = nullptr;

static char* pTransTable = nullptr;  // the normalised translation table, kept once read
static bool flCoreTried = false;     // NlsCoreDB tried to open the core database

// Where a program finds its data, relative to its own directory: installed,
// it lives in PREFIX/bin and its data in PREFIX/share/orvik; in the build
// tree the data is the directory toolkit beside it (the test programs'
// directory holds a link of that name to the build's). Nothing is compiled
// in, so a moved or packaged program carries no trace of where it was built.
static constexpr std::array<const char*, 2> kToolkitBesideProgram = {
    "../" ORVIK_TOOLKIT_INSTALL_SUBDIR,
    "toolkit",
};

// The first of those directories that holds the translation table, resolved
// to its real path; else the installed one, as a name for the errors that
// follow; none when the program's own path cannot be learnt.
static char* ToolkitDirBesideProgram() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return nullptr;
    exe[n] = '\0';
    char* slash = strrchr(exe, '/');
    if (!slash) return nullptr;
    *slash = '\0';
    for (const char* beside : kToolkitBesideProgram) {
        MemHold<char> dir(SaveStr("%s/%s", exe, beside));
        char real[PATH_MAX];
        if (!realpath(dir, real)) continue;
        MemHold<char> table(SaveStr("%s/trans.conf", real));
        if (access(table, R_OK) == 0) return SaveStr_(real);
    }
    return SaveStr("%s/%s", exe, kToolkitBesideProgram[0]);
}

char* SetToolkitPath(const char* dirOption) {
    const char* dir = dirOption;
    if (!dir || !dir[0]) dir = getenv("ORVIK_TOOLKIT_DIR");
    MemHold<char> beside;
    if (!dir || !dir[0]) {
        beside.reset(ToolkitDirBesideProgram());
        dir = beside;
    }
    if (!dir || !dir[0]) dir = ".";
    PutMem(pToolPath);
    pToolPath = SaveStr_(dir);
    return pToolPath;
}

static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The normalised form: every word followed by one blank, "=" as "= ", and a
// line break where a line of the source ends (once, however the line ended:
// after a word, a blank or a comment, with or without a carriage return) and
// after the word that follows Default. Cut to NLS_TRANS_SIZE - 1 bytes.
static char* NormaliseTrans(const char* text) {
    char out[NLS_TRANS_SIZE];
    size_t len = 0;
    auto put = [&](const char* piece, size_t n) {
        if (len + n >= sizeof out) n = sizeof out - 1 - len;
        memcpy(out + len, piece, n);
        len += n;
    };
    auto lineBreak = [&]() {
        if (len > 0 && out[len - 1] != '\n') put("\n", 1);
    };
    bool afterDefault = false;
    for (const char* p = text; *p;) {
        if (*p == '#') {
            p += strcspn(p, "\r\n");
            if (!*p) break;
        } else if (*p == '=') {
            put("= ", 2);
            p++;
        } else if (IsSpace(*p)) {
            if (*p == '\n' || *p == '\r') lineBreak();
            p++;
        } else {
            size_t n = 0;
            while (p[n] && !IsSpace(p[n])) n++;
            put(p, n);
            put(" ", 1);
            bool wasDefault = n == 7 && memcmp(p, "Default", 7) == 0;
            if (afterDefault || p[n] == '\n' || p[n] == '\r') lineBreak();
            afterDefault = wasDefault;
            p += n;
            if (*p) p++;
        }
    }
    out[len] = 0;
    return SaveStr_(out);
}

char* ParseTransFile(const char* name) {
    if (!name || !pToolPath) return nullptr;
    MemHold<char> text(GetSavedFileContent(pToolPath, name));
    if (!text) return nullptr;
    return NormaliseTrans(text);
}

// The word at p, ended by a blank, "=", a line break or the end, copied.
static char* WordAt(const char* p) {
    size_t n = strcspn(p, " =\t\r\n");
    return SaveStr("%.*s", int(n), p);
}

// The word at p, or none when there is no word there (p at a blank, "=" or
// the end): a code is never empty.
static char* CodeAt(const char* p) {
    char* word = WordAt(p);
    if (word && !word[0]) {
        PutMem(word);
        word = nullptr;
    }
    return word;
}

// The default code of a table, or none. Only a line that begins with the
// word "Default" names it: "Default" inside another word, or a line
// "Default" with no code after it, names none.
static char* DefaultCode(const char* table) {
    const char* p = table;
    for (; (p = strstr(p, "Default")); p += 7)
        if ((p == table || p[-1] == '\n') && (p[7] == ' ' || p[7] == '\t')) break;
    if (!p) return nullptr;
    p += strcspn(p, " ");
    p += strspn(p, " \t");
    if (!*p || *p == '\n' || *p == '\r') return nullptr;
    return CodeAt(p);
}

// The code of the line holding the alias matched at match: the first word
// of the line of the nearest "=" before it.
static char* CodeOfMatch(const char* table, const char* match) {
    const char* eq = match;
    while (eq > table && *eq != '=') eq--;
    if (*eq != '=') return nullptr;
    const char* line = eq;
    while (line > table && line[-1] != '\n') line--;
    return CodeAt(line);
}

// The alias search: the search text (" LANG " or, cut at a ".", " LANG")
// where a word starts, also at the start of a continuation line, which has
// no blank before it. The code word of a line and the Default line are not
// aliases.
static const char* FindAlias(const char* table, const char* search) {
    const char* needle = search + 1;
    for (const char* p = strstr(table, needle); p; p = strstr(p + 1, needle)) {
        if (p > table && p[-1] != ' ' && p[-1] != '\n') continue;
        const char* line = p;
        while (line > table && line[-1] != '\n') line--;
        if (strncmp(line, "Default ", 8) == 0) continue;
        size_t w = strcspn(p, " \n");
        if (p == line && p[w] == ' ' && p[w + 1] == '=') continue;
        return p;
    }
    return nullptr;
}

static char* ChooseLang(const char* table) {
    const char* lang = getenv("LANG");
    char search[NLS_MSG_SIZE];
    snprintf(search, sizeof search, " %s ", lang ? lang : "___LANG_NOT_SET___");
    if (char* dot = strchr(search, '.')) *dot = 0;
    MemHold<char> fallback(DefaultCode(table));
    const char* match = FindAlias(table, search);
    if (match) {
        char* code = CodeOfMatch(table, match);
        return code ? code : SaveStr_("en_US");
    }
    return SaveStr_(fallback ? fallback.get() : "en_US");
}

const char* GetDesiredNLSLang() {
    if (pNLSLang) return pNLSLang;
    if (!pToolPath) SetToolkitPath(nullptr);
    if (!pTransTable) pTransTable = ParseTransFile("trans.conf");
    if (!pTransTable) {
        // The core database carries a table of its own for a missing trans.conf.
        if (!pDrvCoreDB) pDrvCoreDB = DbTOpen("en_US/CoreString", 0);
        int n = DbmTGetRecordSize(pDrvCoreDB, "999_1");
        if (n > 0) {
            MemHold<char> text(static_cast<char*>(GetMem(n + 1)));
            if (text && DbmTGetRecord(pDrvCoreDB, "999_1", text.get()) == n)
                pTransTable = NormaliseTrans(text);
        }
    }
    pNLSLang = pTransTable ? ChooseLang(pTransTable) : SaveStr_("en_US");
    return pNLSLang;
}

DbTHandle* NlsOpenDB(const char* name, unsigned flags) {
    if (!name) return nullptr;
    const char* lang = GetDesiredNLSLang();
    // The handle's name below db/ maps to pToolPath/db/LANG/NAME.qdb.
    MemHold<char> dbName(SaveStr("%s/%s", lang, name));
    DbTHandle* h = DbTOpen(dbName, flags);
    if (h && h->dbType == DB_TYPE_NEW && strncmp(lang, "en_US", 5) == 0) {
        fprintf(stderr, "ERROR:  Could not open English database:  %s/db/%s/%s.qdb\n", pToolPath,
                lang, name);
        DbTClose(h);
        return nullptr;
    }
    return h;
}

DbTHandle* NlsCoreDB() {
    if (!pDrvCoreDB && !flCoreTried) {
        flCoreTried = true;
        pDrvCoreDB = NlsOpenDB("CoreString", 0);
    }
    return pDrvCoreDB;
}

void NlsResetForTests() {
    PutMem(pNLSLang);
    pNLSLang = nullptr;
    PutMem(pTransTable);
    pTransTable = nullptr;
    DbTClose(pDrvCoreDB);
    pDrvCoreDB = nullptr;
    flCoreTried = false;
}
