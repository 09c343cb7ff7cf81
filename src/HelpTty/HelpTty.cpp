// Placeholder until the viewer lands: the text-menu engine can already link
// against TtyHtmlHelp, which opens nothing yet.
#include "HelpTty/HelpTty.h"

void TtyHtmlHelp(const char*, const char*, const char*) {}
