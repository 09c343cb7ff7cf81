// Helpers of the menu-engine fuzz targets: items built field by field and
// an action that only counts its calls.
#pragma once

#include "TextMenu/TextMenu.h"

namespace fuzz {

inline TextMenuItem Item(const char* label, int type) {
    TextMenuItem item{};
    item.pLabel = label;
    item.Type = type;
    item.SavedValue = -1;
    return item;
}

inline int actionCalls = 0;
inline int CountAction(TextMenu*, TextMenuItem*) {
    ++actionCalls;
    return 0;
}

} // namespace fuzz
