// The translation table: the input's first line is the value of LANG ("-"
// for none), the rest is trans.conf in the toolkit directory. The table is
// normalised and the language chosen from it, with every cache forgotten
// before each input.
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        SetToolkitPath(fuzz::ScratchDir());
        return true;
    }();
    (void)ready;
    fuzz::HeadAndBody in = fuzz::SplitHead(data, size, 256);
    fuzz::WriteBytes(fuzz::Scratch("trans.conf"), in.body, in.bodySize);
    if (in.head == "-")
        unsetenv("LANG");
    else
        setenv("LANG", in.head.c_str(), 1);

    char* table = ParseTransFile("trans.conf");
    if (table) {
        // The normalised form holds no tabs or carriage returns.
        if (strchr(table, '\t') || strchr(table, '\r')) abort();
        PutMem(table);
    }
    NlsResetForTests();
    SetToolkitPath(fuzz::ScratchDir());
    const char* lang = GetDesiredNLSLang();
    if (!lang || !lang[0]) abort();
    NlsResetForTests();
    SetToolkitPath(fuzz::ScratchDir());
    return 0;
}
