// The package list interpreter: line reading with continued lines, keyword
// and attribute words, and the release conditions of "v" lines. The input's
// first line is the release the system reports, the rest the package list.
// SysCmd runs dry (lines are built, nothing runs), ps is a stub that prints
// nothing, so "checkps" finds no running program and asks nothing.
// Launchers ("bat") go into a directory of the scratch area; a launcher
// name that is a path is refused by the interpreter itself.
#include <sys/utsname.h>

#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "setup/setup.h"

static std::string release;

static int FakeUname(struct utsname* info) {
    memset(info, 0, sizeof *info);
    if (release == "-") return -1; // the query fails
    snprintf(info->release, sizeof info->release, "%s", release.c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        fuzz::QuietLayer();
        fuzz::WriteStub("ps");
        std::string work = fuzz::Scratch("work");
        std::string app = fuzz::Scratch("app");
        mkdir(work.c_str(), 0700);
        mkdir((work + "/pkg").c_str(), 0700);
        mkdir(app.c_str(), 0700);
        static std::string launchers = fuzz::Scratch("launchers");
        mkdir(launchers.c_str(), 0700);
        PkgListLauncherDir = launchers.c_str();
        fuzz::WriteBytes(app + "/present", "x\n", 2); // for "m" and "s" lines
        pOrvikInstallDir = SaveStr_(work.c_str());
        pAppDir = SaveStr_(app.c_str());
        PkgListUname = FakeUname;
        return true;
    }();
    (void)ready;

    fuzz::HeadAndBody in = fuzz::SplitHead(data, size, 64);
    release = in.head.c_str();
    fuzz::WriteBytes(std::string(pOrvikInstallDir) + "/pkg/pkg.list", in.body, in.bodySize);
    ProcessPkgList("pkg");
    if (pIn) abort(); // the list is closed at its end
    return 0;
}
