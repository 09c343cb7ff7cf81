// The disk list: read from a work area as "disks" or, on media that show
// names in capitals, "DISKS" (the first byte's low bit picks which), the
// archive pieces it names joined, and the site's files copied. SysCmd runs
// dry: the lines are built and nothing runs.
#include <cctype>
#include <cstring>

#include "FuzzSupport.h"
#include "setup/setup.h"

static bool OnlyPlainWords(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        unsigned char c = data[i];
        if (c == 0) break; // the list ends at a NUL
        if (!isalnum(c) && !strchr(" \t\r\n._-+,=@%:/", c)) return false;
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string work = [] {
        fuzz::QuietLayer();
        std::string dir = fuzz::Scratch("work");
        mkdir(dir.c_str(), 0700);
        // Two pieces that are there, so the join finds some.
        fuzz::WriteBytes(dir + "/pkg_tar.aa", "a", 1);
        fuzz::WriteBytes(dir + "/PKG_TAR.AB", "b", 1);
        return dir;
    }();
    static char* workText = SaveStr_(work.c_str());
    if (size == 0) return 0;
    bool caps = data[0] & 1;
    unlink((work + "/disks").c_str());
    unlink((work + "/DISKS").c_str());
    fuzz::WriteBytes(work + (caps ? "/DISKS" : "/disks"), data + 1, size - 1);

    pOrvikInstallDir = workText;
    genZFile();
    if (strnlen(LineBuf, LINEBUF_SIZE) >= size_t(LINEBUF_SIZE)) abort();
    // A list that names something the shell would read as more than a file
    // name ends the program by design; only plain lists are copied.
    GetDisksData(workText);
    if (OnlyPlainWords(data + 1, size - 1)) CopySiteFiles("/nonexistent-site", workText);
    return 0;
}
