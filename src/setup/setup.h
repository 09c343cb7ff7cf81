// setup: the installer driver and its pre-installation checks. main runs one
// pass: configuration, checks, optional relocation, installation from the
// site, clean-up. Every step reads the global installation state below.
#pragma once

#include "utils/utils.h"

// ------------------------------------------------------- fixed words
constexpr const char* SETUP_VERSION = "4.10.33";
constexpr const char* DIR_WORD = "Orvik";      // the suite's directory word
constexpr const char* APP_WORD = "qpxx";       // the application directory's name
constexpr const char* ARCHIVE_BASE = "Linuxi386Qpxx";
constexpr const char* DEFAULT_TARGET = "/usr";

// ------------------------------------------ global installation state
extern char* pOrvikInstallDir;    // work area, default /tmp/OrvikInstall
extern char* pPathToSetup;        // install site: directory of the running program
extern char* pCmdLineInstallDir;  // installation directory from the command line, or none
extern char* pCurrentInstallDir;  // holds the previous installation's Orvik/qpxx, or none
extern char* pTargetInstallDir;   // will hold Orvik/qpxx
extern char* pAppDir;             // TARGET/Orvik/qpxx
extern bool flCreatedTmpDir;      // the installer created the work-area parent
extern const char* InstallInfo[6];
extern const char* InstallSiteInfo[5];
extern const char* pBinaryInstanceCheckList;
extern const char* pPathToInstallf;
extern char* pToolPath;

// ------------------------------------------------ setup message table
constexpr int SETUP_MSG_COUNT = 71;
extern const char* const NLS_ENGLISH[SETUP_MSG_COUNT];
extern const char* const NLS_SPANISH[SETUP_MSG_COUNT];
extern const char* const NLS_ITALIAN[SETUP_MSG_COUNT];
extern const char* const NLS_FRENCH[SETUP_MSG_COUNT];
extern const char* const NLS_GERMAN[SETUP_MSG_COUNT];
extern const char* const NLS_PORTUGUESE[SETUP_MSG_COUNT];

// Setup message n in the language LANG chose at the first lookup. The text
// is constant and owned by the table; on a UTF-8 terminal it is the text
// converted from ISO 8859-1.
const char* nlsSetupStrCvt(int n);

// ------------------------------------ command line, previous installation
void parseCommandLineOptions(int argc, char** argv);
char* locatePreviousInstallation();
char* StripToBaseName(char* text);

// ----------------------------------------------------------- checks
void FreeSpaceForInstall(const char* work, const char* target, const char* word);
bool QuitForRunningProcesses(const char* names);
bool readyForInstallation();

// ------------------------------------------- disk list and archive
void GetDisksData(const char* dir);
void genZFile();

// --------------------------- installation directories and flag file
void createInstallationDirectories(const char* target);
int createPrintingSubsystemFile(const char* appDir);

// ------------------------------------------------ scripts
extern const char* const ScriptShShell;
extern const char* const ScriptCopyRight;
extern const char* const OrvikPrintqpxxScript;
extern const char* const pv4DriverScript;
extern const char* const OrvikQSFScript;
extern const char* const SimpleScript;
extern const char* const DemonScript;
extern const char* const SimpleHPOrvikDemonScript;
extern const char* const SimpleQePrScript;
extern const char* const ScriptTail;

void createQueueScripts(const char* spool);
int generateOrvikPrintqpxxScript(const char* path, const char* shell, const char* tmpl);
int generatev4DriverScript(const char* path, const char* shell, const char* tmpl);
int generateOrvikQSFScript(const char* path, const char* shell, const char* tmpl,
                           const char* spool);
void GenSimpleScript(const char* path, const char* shell, const char* tmpl, const char* a,
                     const char* b, const char* c);

// ------------------------------------------------ package list
// Carries out the package list WORK/name/pkg.list line by line. 0 when the
// whole list was processed, 1 when the user chose to quit at a "checkps"
// line. A list that cannot be opened ends the program.
int ProcessPkgList(const char* name);
// The release query of the "v" lines: uname, unless a test puts its own here.
struct utsname;
extern int (*PkgListUname)(struct utsname* info);

// --------------------------------------- installation from the site
int installFromSite(const char* work);
int Install();

// ------------------------------------------- relocation and clean-up
void relocatePreviousInstallation();
void OrvikClean(const char* work);
