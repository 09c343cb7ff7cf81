// Helpers shared by the fuzz targets: a scratch directory of the fuzzing
// process's own, input written to a file in it, stub tools, and the command
// layer set up so that nothing a parser asks for is ever run.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

namespace fuzz {

// /tmp/orvik-fuzz-XXXXXX, made at the first call and removed when the
// process ends normally (a crash leaves it for the post-mortem). The name
// lives in a plain array: the removal runs at exit, after destructors of
// statics made later may have run.
inline const char* ScratchDir() {
    static char dir[] = "/tmp/orvik-fuzz-XXXXXX";
    static bool made = false;
    if (!made) {
        if (!mkdtemp(dir)) {
            perror("mkdtemp");
            abort();
        }
        made = true;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        });
    }
    return dir;
}

inline std::string Scratch(const std::string& name) {
    return std::string(ScratchDir()) + "/" + name;
}

inline void WriteBytes(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), std::streamsize(size));
}

// The input cut at its first line end: the head picks parameters (a name to
// look for, a release), the rest is the text under test.
struct HeadAndBody {
    std::string head;
    const uint8_t* body;
    size_t bodySize;
};
inline HeadAndBody SplitHead(const uint8_t* data, size_t size, size_t maxHead) {
    size_t n = 0;
    while (n < size && data[n] != '\n')
        ++n;
    HeadAndBody out{std::string(reinterpret_cast<const char*>(data), n < maxHead ? n : maxHead),
                    data + (n < size ? n + 1 : n), n < size ? size - n - 1 : 0};
    return out;
}

// A stub tool in the scratch directory that prints the file NAME.out when
// there is one and exits 0.
inline void WriteStub(const std::string& name) {
    std::string out = Scratch(name + ".out");
    std::string text = "#!/bin/sh\n[ -f '" + out + "' ] && exec cat '" + out + "'\nexit 0\n";
    WriteBytes(Scratch(name), text.data(), text.size());
    chmod(Scratch(name).c_str(), 0755);
}

// The command layer with the scratch directory searched before PATH (so the
// stubs stand in for ps, df and du), with SysCmd in its dry-run mode (lines
// are built, nothing is handed to the shell) and with the log and the echo
// off.
inline void QuietLayer() {
    ResetSysCmdForTests(ScratchDir());
    flSysCmdDryRun = true;
    flSysCmdLog = false;
    flUseLog = false;
    my_name = "orvik-fuzz";
}

} // namespace fuzz
