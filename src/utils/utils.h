// utils: the services every module shares. Formatted strings and paths,
// the tokenizer and token lists, file reading and file queries, the log file
// and error reporting, file creation and removal, print-subsystem detection,
// configuration-file editing.
// Plain procedures over module-level state; single-threaded, non-reentrant.
#pragma once

#include <cstdio>
#include <dirent.h>
#include <climits>
#include <sys/types.h>

#define ORVIK_PRINTF(f, a) __attribute__((format(printf, f, a)))

// ---------------------------------------------------------------- limits
constexpr int LINEBUF_SIZE = 4096;    // LineBuf: current line, small file, answer
constexpr int LINE_SIZE = 262143;     // Line: scratch for filtered lines, ids, errors
constexpr int TOKEN_BUF_SIZE = 255;   // GetTokenBuf: tokens of at most 254 characters
constexpr int INPUT_NAME_SIZE = 256;  // InputFileName

// ------------------------------------------------------- fixed messages
extern const char common_109[];  // "Unable to allocate memory"
extern const char common_113[];  // "ERROR: can't open file, %s"
extern const char common_114[];  // "ERROR: can't open file, %s\n"
extern const char common_115[];  // "can't open file, %s"

// ============================================================ Strings
// Allocated texts come from the memory manager and belong to the caller.
// Expansions of any length are complete: they are measured, never cut.
char* SaveStr(const char* fmt, ...) ORVIK_PRINTF(1, 2);  // never none
char* SaveStr__(const char* fmt, ...) ORVIK_PRINTF(1, 2);  // none for a null fmt
char* SaveStr_(const char* text);  // exact copy; a null text gives the empty text

// Path pieces; each returns its own static buffer, overwritten by its next call.
// An input longer than the buffer (127 characters, 255 for StripFn, 254 for
// GenName) is cut to it first. None of them uses strtok.
char* StripPath(const char* path);     // last component
char* StripFn(const char* path);       // directory part
char* StripExt(const char* path);      // cut at the first extension dot
char* StripPathExt(const char* path);  // last component, cut at its first dot
char* StripPathName(const char* path);  // without leading './' '../': '../x/y' -> 'x/y'
char* GenName(const char* text);  // 'hello world-2x' -> 'HelloWorld2x'

int StrLen(const char* text);
char* StrChr(const char* text, int c);  // first unescaped c
char* StrNChr(const char* text, int c, int n);
char* StrStr(const char* text, const char* pattern);  // empty pattern: none
char* StrCaseStr(const char* text, const char* pattern);
char* StrNStr(const char* text, const char* pattern, int n);
char* SkipSpace(char* text);
char* StripAllBackslashes(char* text);
char* StripNonPrint(char* text, bool flag);
void SetVarContent(void* dst, const void* src, int len, bool reverse);
float CvtFloatFormat(float value, int from, int to);  // 0 inch, 1 cm, 2 point
double MaxD(double a, double b);

char* GetEnv(const char* name);
char* GetHostname();
char* GetUserName();
char* GetToolPath(const char* startPath);  // absolute directory holding the program

// ========================================================== Tokenizer
// Passing TOKEN_LINE_MODE as the text continues the scan in line mode.
// Escapes of the copying tokenizers: backslash n, r, t; a backslash before
// any other character stands for that character; a backslash before a
// newline (a continued line) stands for nothing; a trailing one is kept.
// Tokens longer than 254 characters are cut, the rest of them is skipped.
inline char* const TOKEN_LINE_MODE = reinterpret_cast<char*>(-1);

extern char* szIn;       // scan position
extern char* szTokenIn;  // just after the last token
extern char GetTokenBuf[TOKEN_BUF_SIZE];
extern char chTokenDel;  // delimiter at which the last call stopped

char* Gets(char* buf, int size);  // one line of standard input; none at its end
void SetTokenBuf(char* text);
char* GetTokenBufInput();
char* GetToken(const char* text, const char* delims);
// out must hold TOKEN_BUF_SIZE bytes.
char* GetTokenD(const char* text, const char* delims, char** cursor, char* out);
char* GetTokenParse(char* text, const char* delims);
int ParseStr(char* text, const char* delims, char** slots, int max);
char* GetTokenN(const char* text, const char* delims, int n);
int GetTokenCount(const char* text, const char* delims);
// Tokens of more than 509 characters are never found.
int FindToken(const char* token, const char* list);   // 1-based, 0 absent
int FindTokenC(const char* token, const char* list);  // ignoring case
// Empty pieces count as elements (',a' holds '' and 'a'); '' holds none.
int FindTokenWithDelim(const char* list, const char* token, char sep);
// Never lengthens the list: a closing separator that would not fit is left out.
void SortTokens(char* list, char sep, bool ignoreCase);

// ======================================================= File reading
extern FILE* pIn;
extern char InputFileName[INPUT_NAME_SIZE];
extern int FileStatus;  // 0 open, 1 closed or ended, 2 could not be opened
extern char LineBuf[LINEBUF_SIZE];
extern int LineLen;
extern char Line[LINE_SIZE];
extern char* pLine;
extern int LineCnt;
extern long InPos;
extern bool flInputFilterState;
extern int SavedFileSize;

// Report levels: 0 silent, 1 message and go on, 2 fatal.
FILE* OpenFile(FILE* old, const char* path, const char* mode, int level);
FILE* OpenFileF(FILE* old, const char* mode, int level, const char* fmt, ...) ORVIK_PRINTF(4, 5);
int OpenRawFile(const char* path, int flags);
bool OpenInputFile(const char* path, int level);
bool OpenInputFileF(int level, const char* fmt, ...) ORVIK_PRINTF(2, 3);
void CloseInputFile();
bool GetFileLine();  // lines ending in backslash-newline continue, within LineBuf
bool GetFileTextLine(const char* delims);
// Filtered: comments removed (a block comment may span lines; its inner
// lines are consumed, not returned), leading blanks and line end dropped.
int GetLine();
int GetLineN(int n);
int GetLinePos(long offset);
char* fgetsp(char* buf, int size, FILE* file, long offset);
bool GetFileContent(const char* dir, const char* name);
bool GetFileContentR(const char* dir, const char* name, char* buf, int size);
char* GetSavedFileContent(const char* dir, const char* name);
char* FileSearch(const char* path, const char* pattern, int level);
long GetFileSize(const char* path);
long GetFileTime(const char* path);
int GetFileType(const char* path);  // 0 none, 1 directory, 2 symbolic link, 3 other
bool FindFile(const char* dir, const char* name);
bool FindFile_(const char* dir, const char* name);
char* FindExistingPath(const char* path, int* exact);  // always ends ('/', '.')

// ================================================ Log and error reports
extern bool flUseLog;        // logging on; main sets it first
extern const char* pLogPath;  // the log's directory, "/tmp" (a dry run's scratch area)
extern FILE* pLog;
extern const char* my_name;  // base name of argument 0; names /tmp/NAME.log

void PutLogMsg(const char* fmt, ...) ORVIK_PRINTF(1, 2);
// Logging is on and /tmp/NAME.log is the file this run made (made now when
// no message has started it yet). A log that cannot be made, or has been
// replaced, turns logging off for the rest of the run, with a line on
// standard error, and gives false.
bool LogReady();
// Progress marks and unanswered prompts leave standard output in mid-line;
// reports on standard error and every ending first finish that line.
extern bool flMidLine;
void EndMidLine();  // a line break when flMidLine, which it clears
[[noreturn]] void SysError(const char* fmt, ...) ORVIK_PRINTF(1, 2);
void ErrorMsg(int level, int status, const char* fmt, ...) ORVIK_PRINTF(3, 4);
void errormsg(const char* fmt, ...) ORVIK_PRINTF(1, 2);
[[noreturn]] void exit_app(int status);
// Called by exit_app before the program ends, with its status; gives the
// status to end with. The installer's undo of a failed upgrade hangs here.
extern int (*ExitAppHook)(int status);
void ResetLogForTests();  // test hook: the next message starts a new log

// ================================================ Command-line tools
// The suite's tools share these conventions. Statuses: 0 done; 1 what was
// asked for failed or is not there; 2 bad usage or bad input; 3 stopped by
// the user, or input ended.
constexpr int TOOL_OK = 0;
constexpr int TOOL_FAILED = 1;
constexpr int TOOL_USAGE = 2;
constexpr int TOOL_STOPPED = 3;
extern const char ToolVersionText[];  // the package's version, "4.10.33"
// Names the tool (my_name) and keeps its usage text for -h/--help.
void ToolStart(const char* name, const char* usage);
void ToolPrintUsage();    // the usage, on standard output
void ToolPrintVersion();  // "NAME VERSION", on standard output
// -h, --help and --version print and end the program with status 0 (1 when
// standard output cannot be written); any other argument gives false.
bool ToolStandardOption(const char* arg);
// "NAME: what" on standard error; returns status.
int ToolFail(int status, const char* fmt, ...) ORVIK_PRINTF(2, 3);
// "NAME: what (NAME -h for usage)" on standard error; returns TOOL_USAGE.
int ToolBadUsage(const char* fmt, ...) ORVIK_PRINTF(1, 2);
int ToolUnknownOption(const char* option);  // "unknown option OPTION", as above

// ============================================ File creation and removal
void CreateFile(const char* path, const char* name, const char* mode, const char* owner,
                const char* group);
bool CreateTextFile(const char* path, const char* mode, int perm, const char* fmt, ...)
    ORVIK_PRINTF(4, 5);
void DeleteFile(const char* dir, const char* name);
void DeleteFile_(const char* path, const char* name);
void RenameFile(const char* dir, const char* name, const char* newName);

// ============================================ Files replaced whole
// TARGET's replacement is written as a new file beside it, TARGET followed by
// suffix ("_new"), and renamed over it on commit, so that a reader sees the
// old file or the new one and a failure leaves the old one. Whatever lies at
// the temporary name is removed first and the file is made with
// O_EXCL|O_NOFOLLOW|O_NONBLOCK: nothing planted there (a file, a link, a
// FIFO) is ever written into. The replacement takes an existing target's
// mode and, as root, its owner and group; a new target gets newMode less the
// umask. A symbolic link target is followed and the file it names replaced,
// so that the link stays. A target that is not a regular file (FIFO, device,
// directory) is refused with EINVAL.
struct Replacement {
    int fd;                   // the new file, open for writing
    char target[PATH_MAX];    // the file replaced (a link's target)
    char temp[PATH_MAX + 16]; // target + suffix
};
// In a sticky world-writable directory, a link may be followed and a FIFO
// or device written into only when its owner is the writer or the
// directory's owner. OwnerTrusted checks node (lstat of path) by that rule;
// PathTrusted every link met on the way to what path names (false, errno
// EACCES, when one fails it). ReplaceBegin checks its target so.
bool OwnerTrusted(const char* path, const struct stat& node);
bool PathTrusted(const char* path);
// False, with errno, when the replacement cannot be begun (nothing is left).
bool ReplaceBegin(Replacement* r, const char* target, const char* suffix, mode_t newMode);
// Closes the file (after fsync when durable) and renames it into place; on
// failure, with errno, the temporary file is removed and the target is as it was.
bool ReplaceCommit(Replacement* r, bool durable);
void ReplaceAbort(Replacement* r);  // closes and removes the temporary file

// ================================================ File checksums
constexpr int SHA256_HEX_SIZE = 65;  // 64 lowercase hex digits and the zero byte
// The SHA-256 of a regular file (never through a link) as hex; false, with
// errno and an empty text, when it cannot be read.
bool Sha256File(const char* path, char hex[SHA256_HEX_SIZE]);

// ========================================== Print-subsystem detection
bool SniffLprng();  // the located lpd reports "LPRng" for -V
bool SniffCUPS();   // a process named cupsd runs

// ========================================== Configuration-file editing
// The file BASE.EXT (BASE alone for an empty extension) is copied piece by
// piece into BASE.EXTout (BASE.out for an empty extension) beside it, and
// the copy, with the original's mode and (as root) owner, replaces it in
// one rename. Each editor returns 0 when the edited copy is in place and
// non-zero when it is not; then the original is untouched (a copy that could
// not be moved stays beside it). A file that cannot be opened, or a name
// longer than 127 characters, ends the program. Lines are handled in pieces
// of at most 510 characters: a longer line counts as several lines, and a
// pattern spanning two pieces is not found. Patterns are plain text, matched
// case-sensitively at their first occurrence in a piece; an empty pattern
// matches nothing.
constexpr int EDIT_NAME_SIZE = 128;   // Fn, FnOut and the editors' names
constexpr int EDIT_PIECE_SIZE = 512;  // line area: pieces of at most 510 characters

extern FILE* pOut;               // output of the manual pair
extern char Fn[EDIT_NAME_SIZE];     // its input name
extern char FnOut[EDIT_NAME_SIZE];  // its output name, Fn followed by "out"

// The first occurrence of pattern in a line becomes replacement.
int FileChange(const char* base, const char* ext, const char* pattern, const char* replacement);
// Every byte whose value is code ("%i" notation, 0 to 255) becomes the byte
// sequence codes (comma-separated "%i" numbers, at most 127, ended by the
// first 0). Bytes above 127 match by their unsigned value. A code or list
// that is not such numbers leaves the file alone and gives 1.
int FileChangeChar(const char* base, const char* ext, const char* code, const char* codes);
// In lines holding pattern, after the first n of them, its first occurrence is cut out.
int FileDel(const char* base, const char* ext, int n, const char* pattern);
// By mode[0]: none, cut the pattern out; 'a', end the line after the
// pattern; 'b', keep the line from the pattern on; 'c', remove every byte
// whose value is the number pattern; 'l', delete lines holding the pattern.
// Another mode (or a 'c' pattern that is no byte value) leaves a non-empty
// file unchanged and gives 1; an empty file is rewritten and gives 0.
int FileDelFormat(const char* base, const char* ext, const char* mode, const char* pattern);
// Lines holding pattern, after the first n of them, are deleted.
int FileDelLine(const char* base, const char* ext, int n, const char* pattern);
// Lines holding open, after the first n of them, are deleted, each with the
// next line (not holding open) that holds close; the lines between stay.
int FileDelLinePair(const char* base, const char* ext, int n, const char* open,
                    const char* close);
// Writes tmpl before every line. "%sN" in tmpl starts the count at N and is
// taken out of the caller's text; "%#V" is replaced by the count minus V as
// five zero-padded digits, and lines counted below V get no template.
int FileInsert(const char* base, const char* ext, char* tmpl);
// As FileInsert, only before lines holding pattern, which alone are counted.
int FileSearchInsert(const char* base, const char* ext, char* tmpl, const char* pattern);
// Opens Fn as pIn and FnOut, a fresh file, as pOut (either closed first
// when open); both fatal on failure. Returns pOut.
FILE* OpenIOFiles(const char* base, const char* ext);
// Closes pIn and pOut (and sets both to none), then puts FnOut in Fn's place
// as the editors do: 0 when it is there.
int ReplaceInputFile();
