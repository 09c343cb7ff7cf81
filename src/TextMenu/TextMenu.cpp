#include "TextMenu/TextMenu.h"

bool flExitTextMenu = false;
