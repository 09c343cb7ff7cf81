// The entry validator with pattern and answer both from the input: the
// pattern runs up to the first zero byte or line end, the answer is the
// rest (up to a zero byte). A refusal posts its message and reads the
// acknowledgement from standard input, which is empty here, as at the end of
// a piped answer; what it prints goes nowhere.
#include <cstdio>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "TextMenu/TextMenu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        if (!freopen("/dev/null", "r", stdin) || !freopen("/dev/null", "w", stdout)) abort();
        return true;
    }();
    (void)ready;
    size_t cut = 0;
    while (cut < size && data[cut] != 0 && data[cut] != '\n')
        ++cut;
    std::string pattern(reinterpret_cast<const char*>(data), cut);
    std::string text;
    if (cut < size) text.assign(reinterpret_cast<const char*>(data) + cut + 1, size - cut - 1);
    text = text.c_str();

    int r = ValidateEntry(text.c_str(), pattern.c_str());
    if (r < 0 || r > 4) abort();
    int min = 0;
    getMinMax(pattern.c_str(), &min);
    ValidateEntryLen(text.c_str(), pattern.c_str());
    if (strnlen(NlsBuf, NLSBUF_SIZE) >= size_t(NLSBUF_SIZE)) abort();
    ValidateEntryTty(text.c_str(), pattern.c_str());
    return 0;
}
