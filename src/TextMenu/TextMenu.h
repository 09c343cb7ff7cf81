// TextMenu: the toolkit's data-driven text-menu engine. An application
// describes a menu as a TextMenu record pointing to an array of TextMenuItem
// records; the engine prints it on standard output, reads answers from
// standard input, edits the item values in place, runs the application's
// actions, and stores and loads the values of a menu tree in settings files.
// Every text it shows comes from message set 25 of the core database
// (pDrvCoreDB). Single-threaded, non-reentrant.
#pragma once

#include <cstdint>

#include "utils/utils.h"

struct TextMenu;
struct TextMenuItem;

// ------------------------------------------------------------ limits
constexpr int MENU_TEXT_SIZE = 256;        // buffer of a type 11 or 12 value
constexpr int MENU_WIDTH = 80;             // menus are laid out for 80 columns
constexpr int VALID_TEXT_SIZE = 512;       // the validator's accepted text
constexpr int VALID_SET_SIZE = 80;         // include and exclude sets: 79 characters
constexpr int SCREEN_STRING_SIZE = 512;    // one WriteString
constexpr int SCREEN_LINE_SIZE = 4096;     // CurLineBuf: one printed row
constexpr int PICK_MAX_COLUMNS = 512;      // picker column widths
constexpr int CUR_SELECTION_SIZE = 64;     // the picker's current-selection line
constexpr int COND_OPERAND_SIZE = 80;      // one operand of a submenu condition
constexpr int PASS_PHRASE_MAX = 256;       // characters of a pass phrase
constexpr int PASS_PHRASE_SECONDS = 60;    // time for a whole pass-phrase entry
constexpr int NLSBUF_SIZE = 65535;         // NlsBuf: texts built by ValidateEntryLen
constexpr int PROMPT_YN_MAX = 4095;        // characters of a PromptYN question

// Item types.
enum : int {
    MENU_TEXT = 0,        // text line
    MENU_BREAK = 1,       // line-break group
    MENU_NUMTEXT = 2,     // numbered text
    MENU_GRID = 3,        // grid group of Value columns
    MENU_APPLY = 4,       // apply item
    MENU_LEAVE = 5,       // leave item
    MENU_EXIT = 6,        // exit item
    MENU_COMMAND = 7,     // command item
    MENU_SUBMENU = 8,     // submenu
    MENU_PICKONE = 9,     // pick one
    MENU_PICKMANY = 10,   // pick many (edited in the picker)
    MENU_NAME = 11,       // name text, must be set before applying
    MENU_STRING = 12,     // text
    MENU_INT = 13,        // integer
    MENU_REAL = 14,       // real number
};

// Menu flags.
enum : uint16_t {
    MENU_F_NOEXIT = 0x001,     // an empty answer does not leave the menu
    MENU_F_HELP = 0x002,       // "h" opens the help viewer
    MENU_F_KEEPBUF = 0x004,    // text buffers kept when left through an action or the flag
    MENU_F_STORE = 0x008,      // "s" asks for a settings file and stores the tree
    MENU_F_STOREEXIT = 0x010,  // "s" stores into .settings and ends the program
    MENU_F_REINIT = 0x040,     // InitMenu again after a successful type 7 action
    MENU_F_TYPEBEFORE = 0x080, // leaving is decided by the type before the action
    MENU_F_SINGLE = 0x100,     // single spacing
};

using MenuApplyFunc = int (*)(TextMenu* menu);
using MenuRedrawFunc = void (*)(TextMenu* menu);
using MenuActionFunc = int (*)(TextMenu* menu, TextMenuItem* item);

// The value of an item, by its type: 9 the 0-based choice index, 10 the bit
// mask of picked choices, 13 an integer, 1 and 3 the number of columns (all
// `i`); 14 a 32-bit float (`f`); 11 and 12 a 256-byte text buffer from
// GetMem (`pText`); 8 the submenu (`pMenu`), or, when the item's pFormat
// holds conditions, an array of submenus, one per condition (`ppMenus`).
// Default uses `i`, `f` and, for 11 and 12, `pDefault` (or none).
union TextMenuValue {
    int i;
    float f;
    char* pText;
    const char* pDefault;
    TextMenu* pMenu;
    TextMenu** ppMenus;
};

struct TextMenu {
    const char* pTitle;         // only its first line is measured for centring
    int TitleStyle;             // 0 "title:", 1 centred, 2 right-aligned in 80 columns
    const char* pApplyPrompt;   // asked when a changed menu is left; none: no question
    MenuApplyFunc ApplyFunc;    // applies the values; may be none
    TextMenu* pParent;          // the menu this one was entered from; none at top level
    MenuRedrawFunc RedrawFunc;  // run on entry, after a submenu, after a declined leave
    TextMenuItem* pItems;       // ended by an item whose pLabel is none
    uint16_t Flags;             // MENU_F_...
};

struct TextMenuItem {
    const char* pLabel;         // none ends the array; "~k text" is a hot-key item
    int Type;                   // MENU_...
    int State;                  // 0 normal, 1 shown unnumbered and unselectable, 2 hidden
    const char* pPrompt;        // asked before reading a value of types 11 to 14
    char* pChoices;             // types 9, 10: ","-separated; " x" unavailable, "_x" shows x
    char* pCurChoice;           // types 9, 10: start of the current choice inside pChoices
    TextMenuValue Default;      // initial value
    TextMenuValue Value;        // current value
    int PrevValue;              // value before the last change (types 9, 10)
    MenuActionFunc ActionFunc;  // run when selected or changed; may be none
    int LabelLen;               // set by InitMenu
    const char* pFormat;        // 11-14 validation pattern; 9, 10 state format; 8 conditions
    int SavedValue;             // put aside by an "S" state command; -1 none
    int ChoiceCnt;              // types 9, 10: number of choices, set by InitMenu
    void* pUserData;            // the application's; never touched by the engine
    int Key;                    // 0 below type 4; the hot key; else 1, 2, 3 ...
};

// The screen image the picker composes and prints row by row.
struct TextScreen {
    int Cols;
    int Rows;
    int CurCol;     // where the next WriteString writes, from 0
    int CurRow;     // from 1
    int OvlCol;
    int OvlRow;
    int OvlWidth;   // characters of text per overlay row
    int OvlHeight;  // text rows of the overlay box
    char* pImage;   // Cols x Rows cells, row after row, no terminators
};

// ------------------------------------------------------- engine globals
extern bool flExitTextMenu;    // set to leave the running menus; the readiness check sets it
extern bool flLoadedSettings;  // set by LoadMenu
extern const char MENUVAL_SAVE[];     // "s"
extern const char MENUVAL_CANCEL[];   // "c"
extern const char MENUVAL_DEFAULT[];  // "d"
extern const char* pTtyHtmlName;   // help document handed to the viewer; none by default
extern const char* pTtyHtmlData;
extern const char* pTtyHtmlTitle;  // "Help"
extern const char* pHelpTitle;     // offered to applications, not read by the engine
extern bool flGeneratedHelp;
extern const char setup_053[];  // " or s for store settings in a file"
extern const char setup_054[];  // " or h for help"
extern const char setup_055[];  // " or <Return> to exit"
extern const char setup_056[];  // "Enter the settings file name: "
extern const char textmenu_060[];  // "This number must be between %f to %f."

// ========================================================= data model
int InitMenu(TextMenu* menu, int ignored = 0);  // greatest LabelLen
TextMenuItem* FreeMenu(TextMenu* menu);         // the terminating item
TextMenuItem* FindTextMenuItem(TextMenu* menu, int type);
int MenuItemCount(const TextMenu* menu);        // items before the terminator

// Choices of a type 9 or 10 item: pieces of pChoices between ","; empty
// pieces do not count. ChoiceText gives the start of choice n (0-based)
// inside pChoices, none beyond the last; ChoiceLen its length.
int CountChoices(const char* choices);
char* ChoiceText(char* choices, int n);
int ChoiceLen(const char* choice);

// ====================================================== settings files
// StoreMenu writes to pOut (utils), the output stream shared with file editing.
void StoreMenu(TextMenu* menu);  // to pOut
void LoadMenu(TextMenu* menu);   // from the open input file (pIn)

// An output file written whole (settings files, the tool's values): a
// regular file or a new one is written beside its target and renamed into
// place on close (Replace...); an existing target that is not a regular file
// (a pipe, /dev/fd/N, a terminal) is written straight into. A symbolic link
// in a sticky world-writable directory is followed only when its owner is
// the writer or the directory's owner (else EACCES).
struct MenuOutput {
    FILE* file;
    bool direct;
    Replacement replace;
};
bool MenuOutputOpen(MenuOutput* out, const char* path);  // false with errno
bool MenuOutputClose(MenuOutput* out);  // writes it in place; false with errno
void MenuOutputAbort(MenuOutput* out);  // the target is left as it was

// ======================================================== screen image
extern char CurLineBuf[SCREEN_LINE_SIZE];
extern char* pCurLine;
extern TextScreen* pCurImage;

// The terminal's size (TIOCGWINSZ, else COLUMNS and LINES, else 80 x 24);
// a screen of that size is made (or remade) when `screen` is none or of
// another size. The image is blank.
TextScreen* GetTermInfo(TextScreen* screen);
void FreeScreen(TextScreen* screen);
TextScreen* MakeScreen(int cols, int rows);
void MoveCursor(TextScreen* screen, int col, int row);
void ClearScreen(TextScreen* screen);
void SetPosition(TextScreen* screen, int col, int row);
void SetOvlInfo(TextScreen* screen, int col, int row, int width, int height);
int FillArea(TextScreen* screen, int col, int row, int width, int height, int c);
void WriteString(TextScreen* screen, const char* fmt, ...) ORVIK_PRINTF(2, 3);
int Refresh(TextScreen* screen);
void Overlay(TextScreen* screen, const char* text, bool wait);
void NumberScreen(TextScreen* screen);

// ============================================================= drawing
extern char* QPATTYMENU_SAVE;
extern char* QPATTYMENU_CANCEL;
extern char* QPATTYMENU_CURSEL;
extern char* QPATTYMENU_CURSELTRUNC;
extern char* QPATTYMENU_OPTION;
extern char CurrentSelection[CUR_SELECTION_SIZE];
extern int CurScreenCol;
extern char* ERR_MINTERMSIZE1;
extern char* ERR_MINTERMSIZE2;
extern char* ERR_MINTERMSIZE3;

int PrintMenu(TextMenu* menu, int width, int titleLen);
TextMenuItem* PrintMenuBarItem(TextMenuItem* item, int type, int* index, int* number);
int PrintPickOneManyScreen(TextMenuItem* item, unsigned* hiddenMask, int start);
int GetColumnWidths(TextScreen* screen, TextMenuItem* item, int* widths);
void WriteScreenFrame(TextScreen* screen, TextMenuItem* item, const char* selection);

// ===================================================== run and select
extern char* pOption;  // inside LineBuf: what follows the answer's first word

int RunMenu(TextMenu* menu, const char* settingsPath, bool interactive);
int FindSelection(TextMenu* menu, int ignored, int count);
bool ProcessSelection(TextMenu* menu, int index, const char* option);
void ProcessStateValue(TextMenu* menu, int index, const char* preset);
void UpdateStateSelection(TextMenuItem* item);
void HideStateSelection(TextMenuItem* item, int n);
const char* ShowStateSelection(TextMenuItem* item, int n);

// ==================================================== entry validation
extern char NlsBuf[NLSBUF_SIZE];
extern char* pErrIntRange;
extern char* pErrFloatRange;
extern char* pErrLongRange;

int ValidateEntry(const char* text, const char* pattern);  // 0 accepted, else 1 to 4
int getMinMax(const char* bounds, int* min);
const char* ValidateEntryLen(const char* text, const char* bounds);
int ValidateEntryDigit(const char* text);
int ValidateEntryTty(const char* text, const char* bounds);

// ==================================================== state conditions
int TestState(TextMenu* menu, const char* test, int current);
bool TestStateCondition(TextMenu* menu, const char* condition, int current);
TextMenu* ValidateMenu(TextMenu* menu, int index);
bool TestFormatState(const char* list, int value);
void ProcessStateFormat(TextMenu* menu, int index);
// The item indexes a state format or a submenu condition refers to, for
// checking them against the menu before it is run: calls `visit` with each
// index (relative tests resolved against `current`); false when the text
// cannot be read.
bool ForEachFormatTarget(const char* format, void (*visit)(int index, void* data), void* data);
bool ForEachConditionTarget(const char* condition, int current,
                            void (*visit)(int index, void* data), void* data);

// ============================================================= prompts
int PromptYN(const char* question, ...);  // 1 "y", 0 "n"; end of input ends the program
char* PostMsg(const char* fmt, ...);      // the line read, none at end of input
char* PromptUser(const char* prompt, char* answer);
int TestName(const char* name);
int TestNames(TextMenu* menu);
char* GetPassPhrase(const char* prompt);
void handler(int signal);

// Message 25/number of the core database, an allocated text (the key text
// when missing); released with PutMem.
char* MenuMsg(int number);
// Ends the program as the run loop does at the end of standard input, with
// MenuInputEndStatus (1 unless the application chose another).
[[noreturn]] void MenuInputEnded();
extern int MenuInputEndStatus;
// The last menu left with its apply prompt answered "n" (its values not
// applied); none once it is applied or run again.
extern TextMenu* pUnappliedMenu;
// How the last GetPassPhrase ended: true when the phrase was ended by the
// user (Return, or its full length), false at the end of input, at the time
// limit or after an interruption.
extern bool flPassPhraseEntered;

// ========================================================== menu files
// A menu file describes menus in plain text, one statement a line; the
// textmenu tool runs its first menu. The loaded menus stay until
// FreeMenuFile. Item actions, apply and redraw commands run with /bin/sh -c,
// the terminal as their input, and every named item's current value in
// their environment as NAME=VALUE.
constexpr int MENU_FILE_LINE_SIZE = 4096;  // one statement
constexpr int MENU_FILE_ERROR_SIZE = 512;  // "LINE: reason"

// The first menu of the file, or none with "LINE: reason" (LINE 0 when the
// file cannot be read) in `error`.
TextMenu* LoadMenuFile(const char* path, char* error, int errorSize);
void FreeMenuFile();
// One line NAME=VALUE for every named item, in file order; a value holding
// anything but letters, digits and "_./-" is quoted as a shell word.
// False when writing failed.
bool WriteMenuValues(FILE* out);
// The value of an item as a settings file writes it, into out.
void FormatItemValue(const TextMenuItem* item, char* out, int size);
// Runs a command of the menu file; its exit status (128 + N after signal N).
int RunMenuCommand(const char* command);
