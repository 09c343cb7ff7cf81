// HelpTty: the terminal help viewer. An HTML help document is laid out as
// text pages and browsed through a text menu of its links.
#pragma once

// Opens the viewer on document name (read from its file when data is null,
// else parsed from data) and runs the help menu until the user leaves it.
// Does nothing when name or title is null or the document cannot be loaded.
void TtyHtmlHelp(const char* name, const char* data, const char* title);
