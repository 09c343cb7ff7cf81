// The readers of ps, df and du output. The input's first line is the
// program name looked for in the process table; the rest is what the stub
// ps, df and du print. Nothing is ever killed: only the readers run.
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "MemMgr/MemMgr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        fuzz::QuietLayer();
        for (const char* tool : {"ps", "df", "du"})
            fuzz::WriteStub(tool);
        return true;
    }();
    (void)ready;

    fuzz::HeadAndBody in = fuzz::SplitHead(data, size, 200);
    std::string name = in.head.c_str();
    for (const char* tool : {"ps", "df", "du"})
        fuzz::WriteBytes(fuzz::Scratch(std::string(tool) + ".out"), in.body, in.bodySize);

    if (char* ids = GetSysPsIdList(name.c_str())) {
        // " ID ID ... ": blank-led, blank-closed, digits only between.
        size_t n = strlen(ids);
        if (n < 3 || ids[0] != ' ' || ids[n - 1] != ' ' || strspn(ids, " 0123456789") != n)
            abort();
        PutMem(ids);
    }
    std::string names = "," + name + ",qprint,";
    if (char* report = CheckProcTableForExecs(names.c_str())) {
        if (strlen(report) >= 1024) abort();
        PutMem(report);
    }

    DfInfo info;
    GetDiskSpace("/", &info);
    if (strnlen(info.szLine, DF_LINE_SIZE) >= size_t(DF_LINE_SIZE)) abort();
    DUPath("/");
    return 0;
}
