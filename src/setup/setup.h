// setup: the installer driver and its pre-installation checks. main runs one
// pass: configuration, checks, optional relocation, installation from the
// site, clean-up. Every step reads the global installation state below.
#pragma once

#include "utils/utils.h"

// ------------------------------------------------------- fixed words
constexpr const char* SETUP_VERSION = ToolVersionText;  // the package's version
constexpr const char* DIR_WORD = "Orvik";      // the suite's directory word
constexpr const char* APP_WORD = "qpxx";       // the application directory's name
constexpr const char* ARCHIVE_BASE = "Linuxi386Qpxx";
constexpr const char* DEFAULT_TARGET = "/usr";

// ------------------------------------------------------ exit statuses
constexpr int SETUP_EXIT_DONE = 0;     // installed or upgraded; also -v and -h
constexpr int SETUP_EXIT_FAILED = 1;   // the run ended on an error
constexpr int SETUP_EXIT_USAGE = 2;    // a bad command line
constexpr int SETUP_EXIT_STOPPED = 3;  // stopped at the user's request or at the end of input

// ------------------------------------------ global installation state
extern char* pOrvikInstallDir;    // work area, default /tmp/OrvikInstall
extern char* pPathToSetup;        // install site: directory of the running program
extern char* pCmdLineInstallDir;  // installation directory from the command line, or none
extern char* pCurrentInstallDir;  // holds the previous installation's Orvik/qpxx, or none
extern char* pTargetInstallDir;   // will hold Orvik/qpxx
extern char* pAppDir;             // TARGET/Orvik/qpxx
extern bool flCreatedTmpDir;      // the installer created the work-area parent
extern char* pCreatedTmpDirTop;   // the outermost directory that creation made, or none
extern const char* InstallInfo[6];
extern const char* InstallSiteInfo[5];
extern const char* pBinaryInstanceCheckList;
extern const char* pPathToInstallf;
extern char* pToolPath;

// --------------------------------------- options for many machines
extern bool flDryRun;            // -n: checks and the list of what would be done
extern bool flDryRunWaits;       // a dry run found suite programs the run would wait for
extern bool flAssumeYes;         // -y: yes to the old-daemon question
extern int iWaitRunning;         // --wait-running SECONDS; -1 when not given
extern char* pKeyring;           // --keyring FILE (absolute), or none
extern bool flRequireChecksums;  // --require-checksums
extern bool flForceRemove;       // --force with --remove
// --status, --verify or --remove, which need no install site.
enum RecordAction : int { RECORD_NONE = 0, RECORD_STATUS, RECORD_VERIFY, RECORD_REMOVE };
extern int iRecordAction;

// ------------------------------------------------ setup message table
constexpr int SETUP_MSG_COUNT = 71;
extern const char* const NLS_ENGLISH[SETUP_MSG_COUNT];
extern const char* const NLS_SPANISH[SETUP_MSG_COUNT];
extern const char* const NLS_ITALIAN[SETUP_MSG_COUNT];
extern const char* const NLS_FRENCH[SETUP_MSG_COUNT];
extern const char* const NLS_GERMAN[SETUP_MSG_COUNT];
extern const char* const NLS_PORTUGUESE[SETUP_MSG_COUNT];

// Setup message n in the language LANG chose at the first lookup. The text
// is constant and owned by the table: the caller neither changes nor frees
// it. When the codeset of LANG (after its first ".", before any "@") is
// UTF-8 or utf8 in any letter case, it is the row converted from ISO 8859-1,
// made once per row and kept for the run. A number outside 0 to 70 gives
// the empty text.
const char* nlsSetupStrCvt(int n);
// The answers that the readiness question takes in the chosen language, as
// token lists: the English "y", "yes", "n", "no" and the letters and words
// of the language whose letters the question shows.
struct SetupAnswers {
    const char* pYes;
    const char* pNo;
};
const SetupAnswers& nlsSetupAnswers();
void ResetLanguageForTests();  // test hook: the next lookup chooses afresh
// An allocated copy of an ISO 8859-1 text in UTF-8, owned by the caller
// (PutMem); none for a null text or when memory cannot be had.
char* Latin1ToUtf8(const char* text);

// ------------------------------------ command line, previous installation
// The longest work area, or TARGET/Orvik/qpxx, that the command line may
// name: the path routines join and split paths of at most 255 characters.
constexpr int SETUP_PATH_MAX = 255;

// -h and --help print the usage on standard output, status 0; any other
// argument beginning with "-" but "-v" is refused with the usage on
// standard error, status 2. Runs before anything is made.
// The options of the list above are taken out of argv wherever they stand
// before the positional arguments; --version becomes -v. Returns the count
// of the arguments left (argument 0 included).
int checkCommandLineOptions(int argc, char** argv);
void parseCommandLineOptions(int argc, char** argv);
char* locatePreviousInstallation();
char* StripToBaseName(char* text);

// ----------------------------------------------------------- checks
void FreeSpaceForInstall(const char* work, const char* target, const char* word);
bool QuitForRunningProcesses(const char* names);
bool readyForInstallation();

// ------------------------------------------- disk list and archive
constexpr const char* END_OF_LIST = "end_of_list";  // ends a disk list

// Reads the disk list "disks" of dir into LineBuf; else "DISKS", whose text is
// turned to capitals up to the end marker. Neither readable: setup message 21
// as an error, status 1.
void GetDisksData(const char* dir);
// Joins the archive pieces that the work area's disk list names, in list
// order, onto WORK/Linuxi386Qpxx.tar.Z; leaves the work area current.
void genZFile();
// A site file name that goes into a shell line as it is: letters, digits and
// "._-+,=@%:/" only.
bool IsPlainSiteName(const char* word);
// The word begins with "pkg_tar." or "PKG_TAR.".
bool IsArchivePiece(const char* word);

// --------------------------- installation directories and flag file
// The fixed place at which every installation is reachable.
constexpr const char* FIXED_APP_DIR = "/usr/Orvik/qpxx";

// Fresh installation: the application directory of target and, for a target
// other than "/usr", the link at the fixed place.
void createInstallationDirectories(const char* target);
// Writes " BSD ", " LPRng " or " CUPS " to APPDIR/.qp_cfg (mode 0644);
// 1 when written, 0 when the file could not be opened.
int createPrintingSubsystemFile(const char* appDir);
// Something other than a link stands at fixed and is not appDir itself, so
// no link to appDir can be made there.
bool FixedPlaceInTheWay(const char* fixed, const char* appDir);
// Makes fixed a symbolic link to appDir: a link that already names appDir is
// kept, another link is replaced, and nothing is done when fixed is appDir
// itself. Anything else in the way ends the program with status 1.
void LinkFixedPlace(const char* fixed, const char* appDir);
// Two paths name one and the same existing file (links followed).
bool SameFile(const char* a, const char* b);

// ------------------------------------------------ scripts
// Script templates: printf formats compiled into the installer. The three
// queue scripts end in "esac" without a line end.
extern const char ScriptShShell[];             // "#!/bin/sh", first line of every script
extern const char ScriptCopyRight[];           // banner; "%d": the year
extern const char OrvikPrintqpxxScript[];      // six "%s"
extern const char pv4DriverScript[];           // "%s": the application directory
extern const char OrvikQSFScript[];            // application directory, queue spool directory
extern const char SimpleScript[];              // directory to change to, program directory, name
extern const char DemonScript[];               // six "%s"
extern const char SimpleHPOrvikDemonScript[];  // eight "%s"
extern const char SimpleQePrScript[];          // three "%s"
extern const char ScriptTail[];

// Writes APPDIR/OrvikPrintqpxx, APPDIR/v4DriverScript and APPDIR/OrvikQSF
// (SPOOL/qpxx as its spool directory); on LPRng hosts links the first into
// /usr/share/printconf/util when it is not there yet.
void createQueueScripts(const char* spool);
// Each writes the shell line, the banner with the current year and the
// template filled for pAppDir, then sets mode 755. 1 when written; 0 when the
// file could not be opened ("ERROR: can't open file, %s\n" on standard error)
// or not wholly written. The QSF script's spool directory is `spool`/qpxx.
int generateOrvikPrintqpxxScript(const char* path, const char* shell, const char* tmpl);
int generatev4DriverScript(const char* path, const char* shell, const char* tmpl);
int generateOrvikQSFScript(const char* path, const char* shell, const char* tmpl,
                           const char* spool);
// Writes a script from a template of exactly three "%s", each filled with one
// of a, b, c as a shell word, and sets mode 755.
void GenSimpleScript(const char* path, const char* shell, const char* tmpl, const char* a,
                     const char* b, const char* c);
// The text as one shell word, allocated: unchanged when every character
// stands for itself in the shell, otherwise in single quotes.
char* ShellWord(const char* text);

// ------------------------------------------------ package list
// Carries out the package list WORK/name/pkg.list line by line. 0 when the
// whole list was processed, 1 when the user chose to quit at a "checkps"
// line. A list that cannot be opened ends the program.
int ProcessPkgList(const char* name);
// A file system filled up (no free block left) ends the run as a failure:
// copies cut short by it are not an installation.
void FailWhenFull(const char* dir);
// The release query of the "v" lines: uname, unless a test puts its own here.
struct utsname;
extern int (*PkgListUname)(struct utsname* info);
// Where "bat" writes its launchers: /usr/bin, unless a test puts its own here.
extern const char* PkgListLauncherDir;

// --------------------------------------- installation from the site
// Makes the work area afresh, copies the files of the site's disk list into
// it and installs; the run's exit status, as Install gives it.
int installFromSite(const char* work);
// Readiness, archive, then upgrade or fresh installation and final modes;
// SETUP_EXIT_DONE when done, SETUP_EXIT_FAILED when not ready (not the
// superuser), SETUP_EXIT_STOPPED when the user quit at the package list.
int Install();
// Inner steps of installFromSite, visible for the tests.
void PrepareWorkArea(const char* work);                 // removed if there, made afresh
void CopySiteFiles(const char* site, const char* work);  // the words of LineBuf
void RemoveStaleArchive(const char* work);  // WORK/Linuxi386Qpxx.tar.Z and .tar

// ------------------------------------------- relocation and clean-up
// Moves CURRENT/Orvik/qpxx to TARGET/Orvik/qpxx and points the fixed place
// at it; nothing is moved when the two name the same directory.
void relocatePreviousInstallation();
// Removes the work area, runs qpqadmin -upgrade and -clean when the
// application directory holds it; removes the directories that the making
// of the work area's parent created, innermost first, each when empty.
void OrvikClean(const char* work);

// ------------------------------------------------ install-site checks
// Before anything is copied: with SHA256SUMS in the site, every file it
// names and every file of the disk list must match it (sha256sum), and with
// a keyring its signature SHA256SUMS.sig must hold (gpgv). A site without
// SHA256SUMS is logged as not checked, or refused with --require-checksums.
// Failures end the run with status 1. The SHA-256 of SHA256SUMS, when the
// site was checked, stays in pSiteSum for the installation record.
void CheckInstallSite(const char* site);
extern char* pSiteSum;

// ------------------------------------------------ installation record
// The record of a completed installation: what it made, with modes, owners
// and checksums, in one plain text file.
constexpr const char* RECORD_DIR = "/var/lib/orvik";
constexpr const char* RECORD_FILE = "/var/lib/orvik/qpxx.list";
// Notes a path outside the application directory that the installation
// made or replaced (a launcher, a link, a copied tree); the record lists it.
void NoteInstalledPath(const char* path);
// Writes the record of the installation just completed; false when it could
// not be written (a warning; the installation stands).
bool WriteInstallRecord();
// --status, --verify, --remove: the run's exit status.
int RunRecordAction(int action);

// ------------------------------------------------ dry run
// Prints what a dry run would write or run instead of doing it.
void DryRunNote(const char* what, const char* path);
// Makes the dry run's scratch area in /tmp and logs there; runs before the
// first message. DryRunWorkArea, after the checks of the work area's
// space, moves the work area into the scratch area.
void StartDryRun();
void DryRunWorkArea();
// In a dry run, on: the commands that follow are run (in the scratch area)
// as well as shown; off: shown, not run. Nothing outside a dry run.
void DryRunReal(bool on);
// A command line that runs outside the command layer: a real run logs line,
// a dry run shows shown (the command without its redirections) instead.
void NoteShellLine(const char* shown, const char* line);

// ------------------------------------------- failed upgrades
// Keeps what the previous installation's record lists (and its application
// directory) aside before anything changes; a run that ends on a failure or
// a signal from then on puts it back; KeepPreviousDone drops the copy after
// success. A fresh installation that fails removes what it made.
void KeepPreviousInstallation();
void KeepPreviousDone(bool failed);  // failed: put back (or remove) first
// A path this run is about to make or replace outside the kept directories;
// the undo removes it when it was not there before.
void NoteMadePath(const char* path);

// ------------------------------------- Solaris package registration
// Upgrades the registration of the installed Solaris package pkg from the
// new package in dir (its map DIR/TLMRqpxx/pkgmap; its files below
// WORK/PKG/root and WORK/PKG/reloc): makes APPDIR/lib and its library tree
// when APPDIR has no "lib", registers and copies every plain-file entry of
// the map with installf, finalises the registration and sets the VERSION of
// /var/sadm/pkg/PKG/pkginfo to 4.10.33. Returns 1. A map that cannot be
// opened, or a library directory that cannot be made, ends the program.
int upgradeSolarisPackage(const char* pkg, const char* dir);
// The registration and copy lines of one map entry (split in place),
// allocated for the caller. False, with nothing made, for an entry that is
// not a plain file ("f") with all seven words, and for one whose class,
// path, mode, owner or group holds a blank or shell-special character (a
// warning in the log): such a word never reaches the shell.
bool SolarisMapLines(char* entry, const char* pkg, char** reg, char** copy);
