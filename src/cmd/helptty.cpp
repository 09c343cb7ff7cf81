// helptty: the terminal help viewer on a help document, or the document's
// laid-out pages or links as plain text.
#include <cstdio>
#include <cstring>

#include "HelpTty/HelpTty.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "utils/utils.h"

static const char Usage[] =
    "usage: helptty [-d DIR] FILE[#NAME]   browse a help document (at page or anchor NAME)\n"
    "       helptty [-d DIR] --dump FILE   write the text of every page, each followed by a form feed line\n"
    "       helptty [-d DIR] --links FILE  write every offered link: page, start, end, kind, target\n"
    "                                      (start and end: offsets in the page text; kind 2: a link)\n"
    "       helptty -h | --help | --version\n"
    "A relative FILE is taken as given when it exists, else from DIR/help (DIR: -d, else\n"
    "ORVIK_TOOLKIT_DIR, else the installed or built toolkit directory).\n";

static int Bad(const char* what) { return ToolBadUsage("%s", what); }

int main(int argc, char** argv) {
    const char* dir = nullptr;
    const char* mode = nullptr;
    const char* name = nullptr;
    ToolStart("helptty", Usage);
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        ToolStandardOption(a);
        if (!strcmp(a, "-d")) {
            if (++i >= argc) return Bad("-d needs a directory");
            dir = argv[i];
        } else if (!strcmp(a, "--dump") || !strcmp(a, "--links")) {
            if (mode) return Bad("only one of --dump and --links");
            mode = a;
        } else if (a[0] == '-' && a[1]) {
            return ToolUnknownOption(a);
        } else if (name) {
            return Bad("only one document");
        } else {
            name = a;
        }
    }
    if (!name) return Bad("no document named");

    HtmlUtf8 = HtmlLocaleIsUtf8();
    MemHold<char> path(HelpFindDocument(name, SetToolkitPath(dir)));
    MemHold<char> document(SaveStr_(path));
    if (char* hash = strchr(document.get(), '#')) *hash = 0;
    FILE* readable = fopen(document, "r");
    if (!readable) return ToolFail(TOOL_FAILED, "cannot read %s", document.get());
    fclose(readable);
    HtmlFile* file = ParseHtmlFile(path, nullptr);
    if (!file || !HelpHasText(file)) return ToolFail(TOOL_FAILED, "%s holds no page", document.get());
    const char* fragment = strchr(path.get(), '#');
    if (fragment && fragment[1] && !HelpHasTarget(file, fragment + 1))
        return ToolFail(TOOL_FAILED, "%s has no page or anchor %s", document.get(), fragment + 1);
    if (mode && !strcmp(mode, "--dump")) {
        HelpWritePages(stdout, file);
    } else if (mode) {
        HelpWriteLinks(stdout, file);
    } else {
        TtyHtmlHelp(path, nullptr, "Orvik");
    }
    return fflush(stdout) == 0 ? 0 : 1;
}
