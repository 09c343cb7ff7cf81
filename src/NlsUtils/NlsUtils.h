// NlsUtils: the toolkit's message-translation database. The language is
// chosen once per process from LANG and the translation table trans.conf;
// messages are fetched from record databases (Dbm) of that language by set
// and number (key "SET_NUMBER") or by key text. A lookup never fails: a
// missing message shows as its key, a key lookup without a database as
// "Error".
#pragma once

#include <cstdio>

#include "utils/utils.h"

struct DbTHandle;     // an opened record database, Dbm/Dbm.h
struct TextMenuItem;  // a text-menu item, TextMenu/TextMenu.h

constexpr int NLS_MSG_SIZE = 2048;      // the message buffer of fetch modes 0 to 2
constexpr int NLS_MENU_TEXT_SIZE = 128;  // one menu text: at most 127 characters
constexpr int NLS_GUI_MSG_SIZE = 1024;   // one message inserted by NlsGuiStrCvt
constexpr int NLS_REDIRECT_SIZE = 64;    // the redirect key
constexpr int NLS_TRANS_SIZE = 8192;     // the normalised translation table

// The message set of the text menus and the other sets the toolkit uses.
constexpr int NLS_SET_MENU = 25;
constexpr int NLS_SET_HELP = 30;
constexpr int NLS_SET_HELPMENU = 20;

extern char* pNLSLang;         // the chosen language code; none before the first choice
extern DbTHandle* pDrvCoreDB;  // the core string database, en_US/CoreString or LANG's
extern DbTHandle* pPrtHelpDB;  // the printer-help database; the application sets it

// The toolkit's data directory (pToolPath): the option's directory when one is
// given, else the environment variable ORVIK_TOOLKIT_DIR, else share/orvik
// beside the installed program's bin directory when it holds trans.conf,
// else the directory toolkit beside the program in the build tree when it
// does (both found from the running program's own path, never compiled in),
// else the installed one. Sets pToolPath and returns it.
char* SetToolkitPath(const char* dirOption);

const char* GetDesiredNLSLang();
char* ParseTransFile(const char* name);  // allocated normalised text, or none
DbTHandle* NlsOpenDB(const char* name, unsigned flags);

// Modes: 0 (set, number) and 1, 2 (key text) fetch through the 2048-byte
// message buffer; 3 (set, number) fetches data of any length. The result is
// released by the caller with PutMem, which also accepts the key texts and
// buffers returned for missing messages.
char* NlsFetchString(DbTHandle* handle, char* output, int mode, ...);
char* FindRedirect(char* text);
char* CheckForRedirect(char* text);

void Nlsfprintf(FILE* stream, DbTHandle* handle, int set, int number, ...);
// The buffer must hold the formatted message; at most NLS_MSG_SIZE bytes
// are written. Nlssnprintf writes at most size bytes.
void Nlssprintf(char* buffer, DbTHandle* handle, int set, int number, ...);
void Nlssnprintf(char* buffer, int size, DbTHandle* handle, int set, int number, ...);
// Message set NLS_SET_MENU of the core database, cut to 127 characters.
char* NlsTtyMenuCvt(char** text, int number);
int NlsTtyMenuItemCvt(TextMenuItem* items, int first, int count);
int NlsTtyMenuItemStateCvt(TextMenuItem* items, int first, int count);
int NlsTtyMenuItemPromptCvt(TextMenuItem* items, int first, int count);
// "%s" markers replaced by messages set/1, set/2 ... of the core database,
// each cut to 1023 characters, the whole to size - 1.
char* NlsGuiStrCvt(const char* text, int set, char* output, int size);
char* NlsCalcStrVal(const char* text);  // "%08X%08X" of the weighted sum and the sum

// The core database, pDrvCoreDB, opened (NlsOpenDB "CoreString") at its
// first use when the application has not set it; none when it cannot be.
DbTHandle* NlsCoreDB();
// Test hook: forget the language, the translation table and the core database.
void NlsResetForTests();

// ---------------------------------------------------------- catalogues
// The text form of a message database, one record a line: the key, one tab,
// the text. A "#" at a line's start begins a comment; empty lines are
// skipped. In the text \n, \t, \r, \\ and \xHH stand for their bytes; the
// text is stored followed by a zero byte, except when the line ends with \c,
// which stores the bytes as they are.

// The printf conversions of fmt as a signature: each conversion's length
// modifier and letter ("*" for a star width or precision; %i counts as %d),
// followed by a blank. The number of conversions, or -1 for a conversion
// that is cut off or unknown (and for %n).
int NlsFormatSignature(const char* fmt, char* sig, int size);
// Prints fmt with one command-line word for each conversion, each converted
// to the type its conversion takes. False, with why in err and nothing
// printed, when the words do not suit the conversions.
bool NlsPrintArgs(FILE* out, const char* fmt, int argc, char** argv, char* err, int errSize);
// Stores every record of the catalogue text read from in into db (opened
// with deferred writes; the caller archives). With ref, a text record whose
// key ref holds must have the conversions of ref's text. The number of
// records, or -1 with "SOURCE:LINE: what" in err.
int CatalogueImport(DbTHandle* db, FILE* in, const char* source, DbTHandle* ref, char* err,
                    int errSize);
// Writes every record of db as catalogue text, in file order; the number of
// records, or -1 with why in err (nothing written) when a key cannot be
// written as catalogue text or the file is damaged.
// Keys are written as they stand (the catalogue takes them so); to a
// terminal (shown true) their control characters are shown as \xHH.
int CatalogueExport(DbTHandle* db, FILE* out, char* err, int errSize, bool shown = false);

// Text for a terminal. The length of the character at p (n > 0 bytes left):
// a whole UTF-8 sequence, else one byte; control is set for a control
// character: C0 but tab and line feed, DEL, C1 as a byte or as UTF-8
// U+0080 to U+009F.
size_t NlsNextChar(const char* p, size_t n, bool* control);
// Writes n bytes with every control character shown as \xHH of its bytes.
void NlsWriteShown(FILE* out, const char* p, size_t n);
