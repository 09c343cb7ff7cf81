// HelpTty: the terminal help viewer. An HTML help document (html) is shown
// page by page as the head of a text menu (TextMenu) that offers the page's
// links as numbered items, with Exit Help, Contents and Back.
#pragma once

#include <cstdio>

#include "TextMenu/TextMenu.h"
#include "html/html.h"

extern const char common_004[];  // "~e Exit Help"
extern const char common_005[];  // "~c Contents"
extern const char common_006[];  // "~b Back"

constexpr int HELP_LABEL_SIZE = 128;  // a link's menu label: at most 127 characters
constexpr int HELP_FIXED_ITEMS = 6;   // two grid groups, three commands, the terminator

extern TextMenu HelpMenu;
extern TextMenuItem* HelpMenuItems;
extern int HelpMenuItemCnt;  // capacity of HelpMenuItems
extern const TextMenuItem HelpCommonItems[HELP_FIXED_ITEMS];

// Opens the viewer on document name (read from its file when data is null,
// else parsed from data) and runs the help menu until the user leaves it.
// A relative name that is not found as given is looked for below the
// toolkit directory's help folder (HelpFindDocument).
// Does nothing when name or title is null or the document cannot be loaded.
void TtyHtmlHelp(const char* name, const char* data, const char* title);
// Loads the document and makes its first page (or the fragment after '#')
// current; clears the history. Reports a failure on standard output.
bool HtmlHelp(const char* name, const char* data);
void TtyHelpBuildMenuItems();  // the help menu for the current page
int TtyHelpGotoLink(TextMenu* menu, TextMenuItem* item);
// Follows a link of the menu and rebuilds the menu for where it led; how it
// ended (HTML_LINK_...).
int HelpFollowLink(HtmlLink* link);
int TtyHelpContents(TextMenu* menu, TextMenuItem* item);
int TtyHelpBack(TextMenu* menu, TextMenuItem* item);

// The viewer's run of the help menu, as the engine runs a menu with its
// flags, besides: an answer that names no item, or a link whose #NAME names
// nothing or whose document cannot be read, is told in one line above the
// menu before it asks again; and when standard output is a terminal, a page
// that does not fit on it is shown a screen at a time (Return or "+" for
// the next screen, "-" for the one before), the page's title at the top of
// each and a status line that tells the screen's number and the last.
// `told`, when given, is the first such line.
void HelpRunMenu(const char* told = nullptr);
// One screen of a page: the page's title is the text before TitleEnd, the
// screen's lines those from First to End; screen Number of Count; Spare rows
// of the terminal are left below its lines.
struct HelpScreen {
    int TitleEnd, First, End, Number, Count, Spare;
};
// The screen that holds offset `at` of the current page's text, on a
// terminal of cols x rows, for the menu as built.
HelpScreen HelpFindScreen(const TextMenu* menu, const HtmlPage* page, int cols, int rows, int at);
// The line that tells an answer names nothing of the menu.
void HelpAnswerMessage(char* out, int size, const char* answer, const TextMenu* menu, bool paged);

// The helptty tool's outputs: every page's text followed by a line holding
// only a form feed; every offered link as "page\tStart\tEnd\tKind\ttarget".
void HelpWritePages(FILE* out, HtmlFile* file);
void HelpWriteLinks(FILE* out, HtmlFile* file);
// Where a help document named on the command line is: the name as given
// when it is there (or absolute), else below the toolkit directory's help
// folder. Allocated; the fragment after '#' is kept.
char* HelpFindDocument(const char* name, const char* toolkitDir);
bool HelpHasText(HtmlFile* file);                     // some page shows more than blanks
bool HelpHasTarget(HtmlFile* file, const char* name);  // a page or anchor of that name
