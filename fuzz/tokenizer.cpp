// The tokenizer and the token lists. The input's first line is the
// delimiter set (or the list separator), the rest the text: every way of
// scanning it must stay inside the text and the 255-byte token buffer, and
// every scan must end.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::HeadAndBody in = fuzz::SplitHead(data, size, 16);
    std::string delims = in.head.c_str(); // up to the first NUL
    if (delims.empty()) delims = " \n";
    // The text as the parsers meet it: NUL-terminated, nothing past it.
    std::vector<char> text(reinterpret_cast<const char*>(in.body),
                           reinterpret_cast<const char*>(in.body) + in.bodySize);
    text.push_back('\0');
    const size_t len = strlen(text.data());

    for (char* t = GetToken(text.data(), delims.c_str()); t; t = GetToken(nullptr, delims.c_str()))
        if (strlen(t) >= TOKEN_BUF_SIZE) abort();

    char out[TOKEN_BUF_SIZE];
    char* cursor = nullptr;
    for (char* t = GetTokenD(text.data(), delims.c_str(), &cursor, out); t;
         t = GetTokenD(nullptr, delims.c_str(), &cursor, out))
        if (cursor < text.data() || cursor > text.data() + len) abort();

    // Line mode over the same text, then the splitting tokenizers, which cut
    // their (own) copy in place.
    std::vector<char> copy = text;
    SetTokenBuf(copy.data());
    for (int i = 0; i < 4096 && GetToken(TOKEN_LINE_MODE, delims.c_str()); ++i) {
    }
    copy = text;
    for (char* t = GetTokenParse(copy.data(), delims.c_str()); t;
         t = GetTokenParse(nullptr, delims.c_str())) {
    }
    copy = text;
    char* slots[16];
    if (ParseStr(copy.data(), delims.c_str(), slots, 16) > 16) abort();
    int count = GetTokenCount(text.data(), delims.c_str());
    for (int n = 0; n <= count + 1 && n < 64; ++n)
        GetTokenN(text.data(), delims.c_str(), n);

    // Token lists: the text is the list, the delimiter line's first
    // character the separator; each of its words is looked up in it.
    char sep = delims[0];
    std::string list = std::string(1, sep) + text.data();
    copy.assign(list.begin(), list.end());
    copy.push_back('\0');
    for (char* w = GetTokenParse(copy.data(), delims.c_str()); w;
         w = GetTokenParse(nullptr, delims.c_str())) {
        FindToken(w, list.c_str());
        FindTokenC(w, list.c_str());
        FindTokenWithDelim(list.c_str(), w, sep);
    }
    FindToken("", list.c_str());
    copy.assign(list.begin(), list.end());
    copy.push_back('\0');
    SortTokens(copy.data(), sep, false);
    if (strlen(copy.data()) > list.size()) abort(); // sorting never lengthens
    copy.assign(list.begin(), list.end());
    copy.push_back('\0');
    SortTokens(copy.data(), sep, true);
    if (strlen(copy.data()) > list.size()) abort();
    return 0;
}
