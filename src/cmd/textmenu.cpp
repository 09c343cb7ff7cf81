// textmenu: runs a menu described in a menu file and reports the values
// chosen, or asks one yes/no question, or reads one pass phrase.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "TextMenu/TextMenu.h"
#include "utils/utils.h"

static const char kUsage[] =
    "usage: textmenu [-d DIR] [-s SETTINGS] [-n] [-o OUT] FILE\n"
    "       textmenu [-d DIR] -y QUESTION\n"
    "       textmenu [-d DIR] -p PROMPT\n"
    "       textmenu -h | --help | --version\n"
    "Runs the first menu of the menu file FILE and writes NAME=VALUE for every\n"
    "named item to OUT (standard error without -o). -s loads the settings file\n"
    "SETTINGS first; -n applies without showing the menu. -y asks QUESTION and\n"
    "exits 0 for y, 1 for n; -p reads a pass phrase without echo and prints it.\n"
    "-d names the toolkit's data directory (the message catalogue).\n";

[[noreturn]] static void BadUsage(const char* what) { exit(ToolBadUsage("%s", what)); }

static int WriteValues(const char* outPath) {
    if (!outPath) return WriteMenuValues(stderr) ? 0 : 1;
    FILE* out = fopen(outPath, "w");
    if (!out) {
        fprintf(stderr, "textmenu: cannot write %s: %s\n", outPath, strerror(errno));
        return 1;
    }
    bool ok = WriteMenuValues(out);
    ok = fclose(out) == 0 && ok;
    if (!ok) {
        fprintf(stderr, "textmenu: cannot write %s: %s\n", outPath, strerror(errno));
        unlink(outPath);
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    ToolStart("textmenu", kUsage);
    const char* dir = nullptr;
    const char* settings = nullptr;
    const char* outPath = nullptr;
    const char* question = nullptr;
    const char* prompt = nullptr;
    bool interactive = true;
    if (argc > 1 && !strncmp(argv[1], "--", 2)) {
        ToolStandardOption(argv[1]);
        exit(ToolUnknownOption(argv[1]));
    }
    int opt;
    while ((opt = getopt(argc, argv, ":hd:s:no:y:p:")) != -1) {
        switch (opt) {
        case 'h': ToolStandardOption("-h"); break;
        case 'd': dir = optarg; break;
        case 's': settings = optarg; break;
        case 'n': interactive = false; break;
        case 'o': outPath = optarg; break;
        case 'y': question = optarg; break;
        case 'p': prompt = optarg; break;
        case ':': BadUsage("an option needs its value");
        default: {
            char what[32];
            snprintf(what, sizeof what, "unknown option -%c", optopt);
            BadUsage(what);
        }
        }
    }
    const int rest = argc - optind;
    if ((question || prompt) && (rest != 0 || (question && prompt) || settings || outPath || !interactive))
        BadUsage("-y and -p take no menu file and no other option but -d");

    SetToolkitPath(dir);
    if (prompt) {
        char* phrase = GetPassPhrase(prompt);
        printf("%s\n", phrase);
        PutMem(phrase);
        return 0;
    }
    pDrvCoreDB = NlsOpenDB("CoreString", 0);
    if (question) return PromptYN("%s", question) ? 0 : 1;
    if (rest != 1) BadUsage("one menu file is needed");
    if (!pDrvCoreDB) {
        fprintf(stderr, "textmenu: the message catalogue cannot be opened\n");
        return 1;
    }
    const char* file = argv[optind];
    char error[MENU_FILE_ERROR_SIZE];
    TextMenu* menu = LoadMenuFile(file, error, sizeof error);
    if (!menu) {
        fprintf(stderr, "textmenu: %s:%s\n", file, error);
        return 2;
    }
    // A settings file asked for must be there: the engine would otherwise
    // leave the menu without showing it.
    if (settings && access(settings, R_OK) != 0) {
        fprintf(stderr, "textmenu: cannot read %s: %s\n", settings, strerror(errno));
        return 1;
    }
    int status = RunMenu(menu, settings, interactive);
    if (status < 0 || status > 255) status = 1;
    int written = WriteValues(outPath);
    return status ? status : written;
}
