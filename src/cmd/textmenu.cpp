// textmenu: runs a menu described in a menu file and reports the values
// chosen, or asks one yes/no question, or reads one pass phrase.
#include <unistd.h>

#include <csignal>

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
    "-d names the toolkit's data directory (the message catalogue).\n"
    "Exit status: 0 left normally (and applied, where the menu applies changed\n"
    "values); 1 an error, a name left empty under -n, or -y answered n; 2 bad\n"
    "usage or a bad menu file; 3 the apply question answered n, end of input,\n"
    "the time limit of -p or an interruption (then nothing is written).\n";

[[noreturn]] static void BadUsage(const char* what) { exit(ToolBadUsage("%s", what)); }

// OUT is opened before the menu is shown and written in place only when the
// menu was left with values to report; any other end leaves it as it was.
static MenuOutput output;
static bool outputOpen = false;

static void DropOutput() {
    if (outputOpen) MenuOutputAbort(&output);
    outputOpen = false;
}

// An interruption ends the tool with status 3; a replacement begun is removed.
static void Interrupted(int) {
    if (outputOpen && !output.direct) unlink(output.replace.temp);
    if (write(STDERR_FILENO, "\n", 1) < 0) {
        // the line end is cosmetic
    }
    _exit(TOOL_STOPPED);
}

static void CatchInterruptions() {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = Interrupted;
    sigemptyset(&action.sa_mask);
    static constexpr int kSignals[] = {SIGINT, SIGHUP, SIGTERM, SIGQUIT};
    for (int sig : kSignals)
        sigaction(sig, &action, nullptr);
}

// The top menu's apply, wrapped: under -n every name must be set first, as
// the menu itself demands before applying; the apply command's status is kept.
static MenuApplyFunc fileApply = nullptr;
static bool applyChecksNames = false;
static bool namesMissing = false;
static int applyStatus = 0;

static int ToolApply(TextMenu* menu) {
    if (applyChecksNames) {
        for (TextMenuItem* item = menu->pItems; item->pLabel; ++item) {
            if (item->Type != MENU_NAME || item->State == 2) continue;
            if (item->Value.pText && item->Value.pText[0]) continue;
            char* text = MenuMsg(1011);
            const char* line = text + strspn(text, "\n");
            ToolFail(TOOL_FAILED, "%.*s", int(strcspn(line, "\n")), line);
            PutMem(text);
            namesMissing = true;
            return TOOL_FAILED;
        }
    }
    const int status = fileApply ? fileApply(menu) : 0;
    if (status != 0) applyStatus = status;
    return status;
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
        case ':': {
            char what[48];
            snprintf(what, sizeof what, "option -%c needs its value", optopt);
            BadUsage(what);
        }
        default: {
            // "--name" after the first argument: getopt is still on it
            if (optopt == '-' && optind < argc && !strncmp(argv[optind], "--", 2)) exit(ToolUnknownOption(argv[optind]));
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
    CatchInterruptions();
    MenuInputEndStatus = TOOL_STOPPED;
    if (prompt) {
        char* phrase = GetPassPhrase(prompt);
        const bool entered = flPassPhraseEntered;
        if (entered) printf("%s\n", phrase);
        PutMem(phrase);
        return entered ? TOOL_OK : TOOL_STOPPED;
    }
    pDrvCoreDB = NlsOpenDB("CoreString", 0);
    if (question) return PromptYN("%s", question) ? TOOL_OK : TOOL_FAILED;
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
        return TOOL_USAGE;
    }
    // A settings file asked for must be there: the engine would otherwise
    // leave the menu without showing it.
    if (settings && access(settings, R_OK) != 0)
        return ToolFail(TOOL_FAILED, "cannot read %s: %s", settings, strerror(errno));
    if (outPath) {
        if (!MenuOutputOpen(&output, outPath))
            return ToolFail(TOOL_FAILED, "cannot write %s: %s", outPath, strerror(errno));
        outputOpen = true;
    }
    atexit(DropOutput);
    fileApply = menu->ApplyFunc;
    applyChecksNames = !interactive;
    menu->ApplyFunc = ToolApply;
    RunMenu(menu, settings, interactive);
    if (namesMissing) return TOOL_FAILED;
    if (pUnappliedMenu == menu) return TOOL_STOPPED;
    const bool written = outPath ? WriteMenuValues(output.file) : WriteMenuValues(stderr);
    if (outPath) {
        outputOpen = false;
        if (!written || !MenuOutputClose(&output)) {
            const int cause = errno;
            if (!written) MenuOutputAbort(&output);
            return ToolFail(TOOL_FAILED, "cannot write %s: %s", outPath, strerror(cause));
        }
    } else if (!written) {
        return TOOL_FAILED;
    }
    if (applyStatus != 0) return ToolFail(TOOL_FAILED, "the apply command failed with status %d", applyStatus);
    return TOOL_OK;
}
