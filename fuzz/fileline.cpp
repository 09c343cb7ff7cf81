// The readers of the current input file: GetFileLine with its continued
// lines, GetFileTextLine and the comment-filtering GetLine. The input is a
// file's content; each reader goes through it to its end.
#include <cstring>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::Scratch("input");
    fuzz::WriteBytes(path, data, size);

    // Each call consumes at least one byte, so the loops are bounded by the
    // input's size; more calls than that is a reader that does not advance.
    size_t calls = 0;
    if (!OpenInputFile(path.c_str(), 0)) abort();
    while (GetFileLine()) {
        if (strnlen(LineBuf, LINEBUF_SIZE) >= size_t(LINEBUF_SIZE)) abort();
        if (LineLen < 0 || size_t(LineLen) > strlen(LineBuf)) abort();
        if (++calls > size + 1) abort();
    }
    if (FileStatus != 1 || pIn) abort();

    calls = 0;
    OpenInputFile(path.c_str(), 0);
    while (GetFileTextLine(" \t\n"))
        if (++calls > size + 1) abort();
    CloseInputFile();

    for (bool filter : {true, false}) {
        flInputFilterState = filter;
        OpenInputFile(path.c_str(), 0);
        calls = 0;
        for (int n; (n = GetLine()) > 0;) {
            if (strnlen(Line, 512) >= 512) abort();
            if (++calls > size + 1) abort();
        }
        CloseInputFile();
    }
    flInputFilterState = true;
    return 0;
}
