// Translated output: formatted messages, the menu texts, "%s" expansion and
// the checksum text.
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "TextMenu/TextMenu.h"
#include "utils/utils.h"

void Nlsfprintf(FILE* stream, DbTHandle* handle, int set, int number, ...) {
    if (!stream) return;
    char key[32];
    snprintf(key, sizeof key, "%d_%d", set, number);
    char* text = NlsFetchString(handle, nullptr, 1, key);
    if (strcmp(text, key) == 0) {
        fputs("Error", stream);
    } else {
        va_list ap;
        va_start(ap, number);
        vfprintf(stream, text, ap);
        va_end(ap);
    }
    PutMem(text);
}

static void FormatMessage(char* buffer, int size, DbTHandle* handle, int set, int number,
                          va_list ap) {
    char key[32];
    snprintf(key, sizeof key, "%d_%d", set, number);
    char* text = NlsFetchString(handle, nullptr, 0, set, number);
    if (buffer && size > 0) {
        if (strcmp(text, key) == 0)
            snprintf(buffer, size_t(size), "%s", "Error");
        else
            vsnprintf(buffer, size_t(size), text, ap);
    }
    PutMem(text);
}

void Nlssprintf(char* buffer, DbTHandle* handle, int set, int number, ...) {
    va_list ap;
    va_start(ap, number);
    FormatMessage(buffer, NLS_MSG_SIZE, handle, set, number, ap);
    va_end(ap);
}

void Nlssnprintf(char* buffer, int size, DbTHandle* handle, int set, int number, ...) {
    va_list ap;
    va_start(ap, number);
    FormatMessage(buffer, size, handle, set, number, ap);
    va_end(ap);
}

char* NlsTtyMenuCvt(char** text, int number) {
    char work[NLS_MENU_TEXT_SIZE];
    char* fetched = NlsFetchString(NlsCoreDB(), nullptr, 0, NLS_SET_MENU, number);
    snprintf(work, sizeof work, "%s", fetched);
    PutMem(fetched);
    char* copy = SaveStr_(work);
    if (text) *text = copy;
    return copy;
}

// The item record belongs to the menu engine; these conversions fill its
// text fields once its header defines the record, and convert nothing while
// it is only declared.
enum class ItemField { Label, Choices, Prompt };

template <class Item> static int ItemCvt(Item* items, int first, int count, ItemField field) {
    if constexpr (requires { sizeof(Item); }) {
        if (!items) return 0;
        for (int i = 0; i < count; i++) {
            char* text = nullptr;
            NlsTtyMenuCvt(&text, first + i);
            if (field == ItemField::Label) items[i].pLabel = text;
            if (field == ItemField::Choices) items[i].pChoices = text;
            if (field == ItemField::Prompt) items[i].pPrompt = text;
        }
        return count > 0 ? count : 0;
    } else {
        (void)items, (void)first, (void)count, (void)field;
        return 0;
    }
}

int NlsTtyMenuItemCvt(TextMenuItem* items, int first, int count) {
    return ItemCvt(items, first, count, ItemField::Label);
}
int NlsTtyMenuItemStateCvt(TextMenuItem* items, int first, int count) {
    return ItemCvt(items, first, count, ItemField::Choices);
}
int NlsTtyMenuItemPromptCvt(TextMenuItem* items, int first, int count) {
    return ItemCvt(items, first, count, ItemField::Prompt);
}

char* NlsGuiStrCvt(const char* text, int set, char* output, int size) {
    if (!output || size <= 0) return output;
    memset(output, 0, size_t(size));
    if (!text) return output;
    char work[NLS_GUI_MSG_SIZE];
    int len = 0;
    auto append = [&](const char* piece, size_t n) {
        if (size_t(len) + n > size_t(size - 1)) n = size_t(size - 1 - len);
        memcpy(output + len, piece, n);
        len += int(n);
    };
    int k = 1;
    for (const char* p = text; *p;) {
        if (p[0] == '%' && p[1] == 's') {
            char* fetched = NlsFetchString(NlsCoreDB(), nullptr, 0, set, k++);
            snprintf(work, sizeof work, "%s", fetched);
            PutMem(fetched);
            append(work, strlen(work));
            p += 2;
        } else {
            append(p, 1);
            p++;
        }
    }
    return output;
}

char* NlsCalcStrVal(const char* text) {
    static char value[32];
    uint32_t sum = 0, weighted = 0;
    uint32_t pos = 1;
    for (const char* p = text ? text : ""; *p; p++, pos++) {
        uint32_t byte = uint32_t(int32_t(static_cast<signed char>(*p)));
        sum += byte;
        weighted += pos * pos * byte;
    }
    snprintf(value, sizeof value, "%08X%08X", weighted, sum);
    return value;
}
