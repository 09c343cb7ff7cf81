// Menu files of the textmenu tool: the input is a menu file, loaded and
// checked; the loaded menus' values are formatted and written as NAME=VALUE
// lines. Nothing is run: commands are only text here.
#include <cstdio>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "TextMenu/TextMenu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::Scratch("input.menu");
    static const std::string values = fuzz::Scratch("values");
    fuzz::WriteBytes(path, data, size);

    char error[MENU_FILE_ERROR_SIZE];
    memset(error, 'x', sizeof error);
    TextMenu* menu = LoadMenuFile(path.c_str(), error, sizeof error);
    if (!menu) {
        if (!memchr(error, 0, sizeof error)) abort(); // the reason always ends
    } else {
        char value[MENU_TEXT_SIZE + 64];
        for (TextMenuItem* item = menu->pItems; item && item->pLabel; ++item) {
            FormatItemValue(item, value, sizeof value);
            if (!memchr(value, 0, sizeof value)) abort();
        }
        FILE* out = fopen(values.c_str(), "w");
        if (!out) abort();
        WriteMenuValues(out);
        fclose(out);
    }
    FreeMenuFile();
    return 0;
}
