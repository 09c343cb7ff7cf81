// Script templates and the generation of the queue scripts and launchers.
//
// The host's print subsystem hands every job for a suite printer to one of
// three shell scripts in the application directory: OrvikPrintqpxx (the
// terminal print tool's interface), v4DriverScript (the print driver's
// interface) and OrvikQSF (the filter in front of qsf). Each script reads the
// print-subsystem flag file .qp_cfg at every job and takes the branch of the
// subsystem named there, so one set of scripts serves every spooler; V5 is
// taken when the file is missing or names no known subsystem.
//
// The templates are printf formats: every "%" the shell needs is written
// "%%". The placeholder counts are checked at compile time below, because a
// template with one conversion more than its generator passes would read
// past the arguments.
#include "setup/setup.h"

#include <cstring>
#include <ctime>
#include <sys/stat.h>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"

// --------------------------------------------------------------- templates

constexpr char ScriptShShell[] = "#!/bin/sh";

// Five comment lines 63 columns wide (with a four-digit year) and one empty line.
constexpr char ScriptCopyRight[] =
    "###############################################################\n"
    "##                                                           ##\n"
    "##  Orvik print suite, copyright (c) %d Orvik.             ##\n"
    "##                                                           ##\n"
    "###############################################################\n"
    "\n";

// Placeholders: tool path; middle of the BSD tool name; BSD standard-output
// log and standard-error log (without .log); middle of the V5 tool name; the
// same for CUPS.
constexpr char OrvikPrintqpxxScript[] = R"SH(ToolPath=%s
set -f
CfgFlags=$(cat "${ToolPath}/.qp_cfg" 2>/dev/null)

# Configuration: the last print-subsystem word of the flag file counts
flConfig=
for CfgWord in ${CfgFlags}
do
    case "${CfgWord}" in
    LPRng|V5|AIX|BSD|CUPS) flConfig=${CfgWord} ;;
    esac
done

# Main section: hand the job to the terminal print tool
case "${flConfig:-V5}" in
AIX)
    # AIX: native lpd subsystems
    cd "${ToolPath}" || exit 1
    "${ToolPath}/AixInterface" "$@"
    ;;
BSD)
    # BSD: SunOS, DEC-UX and native Linux lpd
    QPrintQueue=$(pwd)
    QPrintPrinter=${QPrintQueue##*/}
    "${ToolPath}/qpr%stty" -d"${QPrintPrinter}" -f >%s.log 2>%s.log
    ;;
LPRng)
    # LPRng: a BSD subsystem with additional quirks
    QPrintFileSourceDir=$(pwd)
    export QPrintFileSourceDir
    QPrintQueue=${1#-P}
    SPOOL_DIR=${2#-d}
    FFL=
    options=
    IFS=,
    for JobFile in ${3#-e}
    do
        if [ -n "${JobFile}" ]; then FFL="${FFL} ${SPOOL_DIR}/${JobFile}"; fi
    done
    for JobOption in ${4#-Z}
    do
        if [ -n "${JobOption}" ]; then options="${options} -o${JobOption}"; fi
    done
    unset IFS
    QPrintUser_name=${5#-n}
    # shellcheck disable=SC2034 # the host is read but not handed on
    QPrintHost_name=${6#-h}
    cd "${ToolPath}" || exit 1
    "${ToolPath}/qprqpxxtty" -d"${QPrintQueue}" -f ${options} ${FFL} >>/dev/null 2>>/dev/null
    exit 0
    ;;
V5)
    # V5: Solaris, HP-UX, SGI and SCO native lpd
    PATH=/usr/sbin:/usr/bin
    QPrintPrinter=$(/usr/bin/basename "$0")
    QPrintRequest_id=$1
    QPrintUser_name=$2
    QPrintTitle=$(printf '%%s\n' "$3" | sed "s/###[ 0-9A-z#].*//")
    QPrintCopies=$4
    QPrintOption_list=$5
    export PATH QPrintPrinter QPrintRequest_id QPrintUser_name QPrintTitle QPrintCopies QPrintOption_list
    if [ $# -ge 5 ]; then shift 5; else set --; fi
    cd "${ToolPath}" || exit 1
    "${ToolPath}/qpr%stty" -d"${QPrintPrinter}" -i "$@"
    ;;
CUPS)
    # CUPS: Common Unix Printing System
    PATH=/usr/sbin:/usr/bin
    QPrintPrinter=${PRINTER}
    QPrintRequest_id=$1
    QPrintUser_name=$2
    QPrintTitle=$3
    QPrintCopies=$4
    QPrintOption_list=$5
    export PATH QPrintPrinter QPrintRequest_id QPrintUser_name QPrintTitle QPrintCopies QPrintOption_list
    if [ $# -ge 5 ]; then shift 5; else set --; fi
    cd "${ToolPath}" || exit 1
    "${ToolPath}/qpr%stty" -d"${QPrintPrinter}" -i "$@"
    ;;
esac)SH";

// Placeholder: the tool path.
constexpr char pv4DriverScript[] = R"SH(ToolPath=%s
set -f
CfgFlags=$(cat "${ToolPath}/.qp_cfg" 2>/dev/null)

# Configuration: the last print-subsystem word of the flag file counts
flConfig=
for CfgWord in ${CfgFlags}
do
    case "${CfgWord}" in
    LPRng|V5|AIX|BSD|CUPS) flConfig=${CfgWord} ;;
    esac
done

# Main section: hand the job to the print driver
case "${flConfig:-V5}" in
AIX)
    # AIX: native lpd subsystems
    cd "${ToolPath}" || exit 1
    PANGO_RC_FILE=${ToolPath}/lib/gtk/modules/etc/pango/pangorc
    GTK_IM_MODULE_FILE=${ToolPath}/lib/gtk/modules/etc/gtk-2.0/gtk.immodules
    GDK_PIXBUF_MODULE_FILE=${ToolPath}/lib/gtk/modules/etc/gtk-2.0/gdk-pixbuf.loaders
    export PANGO_RC_FILE GTK_IM_MODULE_FILE GDK_PIXBUF_MODULE_FILE
    "${ToolPath}/driver" -f AIX "$@" >>/dev/null 2>>/dev/null
    exit 0
    ;;
LPRng|BSD)
    # LPRng: a BSD subsystem with additional quirks
    # BSD: SunOS, DEC-UX and native Linux lpd, served the LPRng way
    QPrintFileSourceDir=$(pwd)
    export QPrintFileSourceDir
    PRINTER=${1#-P}
    SPOOL_DIR=${2#-d}
    FFL=
    OptionList=
    IFS=,
    for JobFile in ${3#-e}
    do
        if [ -n "${JobFile}" ]; then FFL="${FFL} ${SPOOL_DIR}/${JobFile}"; fi
    done
    for JobOption in ${4#-Z}
    do
        if [ -n "${JobOption}" ]; then OptionList="${OptionList} -o${JobOption}"; fi
    done
    unset IFS
    UserName="-u ${5#-n}"
    # shellcheck disable=SC2034 # the host is read but not handed on
    QPrintHost_name=${6#-h}
    cd "${ToolPath}" || exit 1
    "${ToolPath}/driver" -d"${PRINTER}" ${OptionList} ${FFL} >>/dev/null 2>>/dev/null
    exit 0
    ;;
V5)
    # V5: Solaris, HP-UX, SGI and SCO native lpd
    PATH=/usr/sbin:/usr/bin:/bin
    PRINTER=$(basename "$0")
    QPrintRequest_id="-o JobID=$1"
    UserName="-u$(printf '%%s\n' "$2" | sed 's/@.*//')"
    Title="-t $(printf '%%s\n' "$3" | sed "s/###[ 0-9A-z#].*/-t /")"
    QPrintCopies="-o Copies=$4"
    OptList=$5
    export PATH PRINTER QPrintRequest_id UserName Title QPrintCopies OptList
    if [ $# -ge 5 ]; then shift 5; else set --; fi
    case $(uname -s) in
    HP-UX)
        OptionList=$(printf '%%s\n' "${OptList}" | sed -e "s/ -oBSD[A-z0-9].*//g" -e "s/ / -o/g" -e "s/^/ -o/")
        ;;
    SunOS)
        OptionList=$(printf '%%s\n' "${OptList}" | sed -e "s/flist=['A-z0-9].*//g" -e "s/ -oBSD[A-z0-9].*//g" -e "s/ / -o/g" -e "s/^/ -o/")
        ;;
    *)
        OptionList=
        ;;
    esac
    # a job without options must not leave a bare -o in front of its files
    if [ "${OptionList}" = " -o" ]; then OptionList=; fi
    DISPLAY=${DISPLAY:-:0.0}
    export DISPLAY
    cd "${ToolPath}" || exit 1
    "${ToolPath}/driver" -d"${PRINTER}" "${UserName}" -t "${Title#-t }" ${OptionList} "$@" >>/dev/null 2>>/dev/null
    exit 0
    ;;
CUPS)
    # CUPS: Common Unix Printing System
    PATH=/usr/sbin:/usr/bin:/bin
    export PATH
    # shellcheck disable=SC2034 # job number and copies do not reach driver here
    RequestID="-o JobID=$1"
    UserName="-u $(printf '%%s\n' "$2" | sed 's/"//g')"
    Title="-t $(printf '%%s\n' "$3" | sed 's/"//g')"
    # shellcheck disable=SC2034
    Copies="-o Copies=$4"
    OptionList=
    for JobOption in $(printf '%%s\n' "$5" | sed 's/"//g')
    do
        OptionList="${OptionList} -o ${JobOption}"
    done
    if [ $# -ge 5 ]; then shift 5; else set --; fi
    cd "${ToolPath}" || exit 1
    DISPLAY=:0.0
    export DISPLAY
    "${ToolPath}/driver" -d"${PRINTER}" ${OptionList} "$@" >>/dev/null 2>>/dev/null
    exit 0
    ;;
esac)SH";

// Placeholders: the tool path, the queue spool directory. qsf is run again at
// once until it ends with status 0.
constexpr char OrvikQSFScript[] = R"SH(ToolPath=%s
SpoolDir=%s
set -f
CfgFlags=$(cat "${ToolPath}/.qp_cfg" 2>/dev/null)

# Configuration: the last print-subsystem word of the flag file counts
flConfig=
for CfgWord in ${CfgFlags}
do
    case "${CfgWord}" in
    LPRng|V5|AIX|BSD|CUPS) flConfig=${CfgWord} ;;
    esac
done

# Main section: feed the job to qsf until it is taken
case "${flConfig:-V5}" in
AIX)
    # AIX: native lpd subsystems
    cd "${ToolPath}" || exit 1
    until "${ToolPath}/qsf" "$@"; do :; done
    ;;
BSD)
    # BSD: SunOS, DEC-UX and native Linux lpd
    QPrintQueue=$(pwd)
    QPrintPrinter=${QPrintQueue##*/}
    QPrintJob=${SpoolDir}/${QPrintPrinter}/${QPrintPrinter}.$$
    cat >"${QPrintJob}" || exit 1
    until "${ToolPath}/qsf" "${QPrintJob}"; do :; done
    rm -f "${QPrintJob}"
    ;;
LPRng)
    # LPRng: a BSD subsystem with additional quirks
    QPrintQueue=$(pwd)
    QPrintPrinter=${QPrintQueue##*/}
    files=
    while getopts "C:A:F:H:J:L:P:Q:a:d:e:f:h:j:k:l:n:s:w:y:t:x:" QPrintOpt
    do
        case "${QPrintOpt}" in
        f) files="${files} ${OPTARG}" ;;
        *) ;; # the other options of the string are read and passed over
        esac
    done
    pJob=
    flRemoveJob=
    StdinJob=
    for JobFile in ${files}
    do
        if [ "${JobFile}" = "(stdin)" ]; then
            StdinJob=${SPOOL_DIR:-${QPrintQueue}}/${QPrintPrinter}.$$
            cat >"${StdinJob}" || exit 1
            pJob=${StdinJob}
            flRemoveJob="True"
        else
            pJob="${pJob} ${JobFile}"
        fi
    done
    until "${ToolPath}/qsf" ${pJob}; do :; done
    if [ "${flRemoveJob}" = "True" ]; then rm -f "${StdinJob}"; fi
    ;;
V5)
    # V5: Solaris, HP-UX, SGI and SCO native lpd
    PATH=/usr/sbin:/usr/bin
    QPrintPrinter=$(/usr/bin/basename "$0")
    QPrintRequest_id=$1
    QPrintUser_name=$2
    QPrintTitle=$3
    QPrintCopies=$4
    QPrintOption_list=$5
    export PATH QPrintPrinter QPrintRequest_id QPrintUser_name QPrintTitle QPrintCopies QPrintOption_list
    if [ $# -ge 5 ]; then shift 5; else set --; fi
    cd "${ToolPath}" || exit 1
    until "${ToolPath}/qsf" "$@"; do :; done
    ;;
CUPS)
    # CUPS: Common Unix Printing System
    PATH=/usr/sbin:/usr/bin
    QPrintPrinter=${PRINTER}
    QPrintRequest_id=$1
    QPrintUser_name=$2
    QPrintTitle=$3
    QPrintCopies=$4
    QPrintOption_list=$5
    export PATH QPrintPrinter QPrintRequest_id QPrintUser_name QPrintTitle QPrintCopies QPrintOption_list
    if [ $# -ge 5 ]; then shift 5; else set --; fi
    cd "${ToolPath}" || exit 1
    until "${ToolPath}/qsf" "$@"; do :; done
    ;;
esac)SH";

// Placeholders: directory to change to, directory of the program, program name.
constexpr char SimpleScript[] = R"SH(
QPrintFileSourceDir=`pwd`
export QPrintFileSourceDir

cd %s || exit 1
exec %s/%s "$@"
)SH";

// Placeholders: start message name, QPrintD directory (test, start); stop
// message name, QPrintDStop directory (test, run).
constexpr char DemonScript[] = R"SH(
case "$1" in
'start')
    echo "Starting %s Print Daemon."
    if [ -f %s/QPrintD ]; then
        %s/QPrintD &
    fi
    ;;
'stop')
    echo "Stoping %s Print Daemon."
    if [ -f %s/QPrintDStop ]; then
        %s/QPrintDStop
    fi
    ;;
esac
)SH";

// Placeholders: the stop case (name, directory twice), the start case (name,
// directory twice), the start_msg name, the stop_msg name.
constexpr char SimpleHPOrvikDemonScript[] = R"SH(
case "$1" in
'stop')
    echo "Stoping %s Print Daemon."
    if [ -f %s/QPrintDStop ]; then
        %s/QPrintDStop
    fi
    ;;
'start')
    echo "Starting %s Print Daemon."
    if [ -f %s/QPrintD ]; then
        %s/QPrintD &
    fi
    ;;
'start_msg')
    echo "Starting %s Print Daemon."
    ;;
'stop_msg')
    echo "Stoping %s Print Daemon."
    ;;
*)
    echo "usage: $0 {start|stop}"
    ;;
esac
)SH";

// Placeholders: the daemon's name, QPrintD directory (test, start).
constexpr char SimpleQePrScript[] = R"SH(
while :
do
    sleep 180
    if ps -ae | grep QPrintD >/dev/null 2>&1; then
        :
    else
        echo "Starting %s Print Daemon." >/dev/console
        if [ -f %s/QPrintD ]; then
            %s/QPrintD &
        fi
    fi
done
)SH";

constexpr char ScriptTail[] = R"SH(

## Exit Script
exit 0
)SH";

// -------------------------------------------------- compile-time checks

// Number of conversions `c` in the printf format `text`; -1 when the format
// holds any conversion other than "%s", "%d" or "%%".
constexpr int Conversions(const char* text, char c) {
    int n = 0;
    for (const char* p = text; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        if (*p != 's' && *p != 'd') return -1;
        if (*p == c) ++n;
    }
    return n;
}

// True when `text` holds exactly `s` "%s" and `d` "%d" conversions.
constexpr bool Takes(const char* text, int s, int d) {
    return Conversions(text, 's') == s && Conversions(text, 'd') == d;
}

// True when `text` ends in "esac" with no line end after it.
constexpr bool EndsInEsac(const char* text) {
    int n = 0;
    while (text[n])
        ++n;
    return n >= 4 && text[n - 4] == 'e' && text[n - 3] == 's' && text[n - 2] == 'a' &&
           text[n - 1] == 'c';
}

// True when every line of the banner is 63 columns wide once "%d" holds a
// four-digit year.
constexpr bool BannerIs63Wide(const char* text) {
    int width = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n') {
            if (width != 63 && width != 0) return false;
            width = 0;
        } else if (*p == '%' && p[1] == 'd') {
            width += 4;
            ++p;
        } else {
            ++width;
        }
    }
    return width == 0;
}

static_assert(Takes(ScriptShShell, 0, 0));
static_assert(Takes(ScriptCopyRight, 0, 1) && BannerIs63Wide(ScriptCopyRight));
static_assert(Takes(OrvikPrintqpxxScript, 6, 0) && EndsInEsac(OrvikPrintqpxxScript));
static_assert(Takes(pv4DriverScript, 1, 0) && EndsInEsac(pv4DriverScript));
static_assert(Takes(OrvikQSFScript, 2, 0) && EndsInEsac(OrvikQSFScript));
static_assert(Takes(SimpleScript, 3, 0));
static_assert(Takes(DemonScript, 6, 0));
static_assert(Takes(SimpleHPOrvikDemonScript, 8, 0));
static_assert(Takes(SimpleQePrScript, 3, 0));
static_assert(Takes(ScriptTail, 0, 0));

// ------------------------------------------------------------ generation

// Where the LPRng print configuration tool looks for interface programs.
static constexpr const char* PRINTCONF_UTIL_DIR = "/usr/share/printconf/util";
constexpr int BANNER_SIZE = 1024; // GenSimpleScript's banner buffer

// Characters that stand for themselves in a shell word.
static bool IsPlainShellChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("/._-+,:@%", c) != nullptr;
}

// A text holding a single quote goes into double quotes, with a backslash
// before each of $ ` " and \ (the characters special there): a value written
// as 'it'\''s' would be the same word, but readers of the script (and lint
// tools) take the escaped quote for one that is meant literally.
char* ShellWord(const char* text) {
    if (!text) text = "";
    int len = 0;
    int special = 0; // characters that need a backslash inside double quotes
    bool quote = false;
    bool plain = *text != '\0';
    for (const char* p = text; *p; ++p) {
        ++len;
        if (*p == '\'') quote = true;
        if (std::strchr("$`\"\\", *p)) ++special;
        if (!IsPlainShellChar(*p)) plain = false;
    }
    if (plain) return SaveStr_(text);
    char* word = static_cast<char*>(GetMem(len + (quote ? special : 0) + 3));
    if (!word) SysError("%s", OutOfMem);
    char* out = word;
    *out++ = quote ? '"' : '\'';
    for (const char* p = text; *p; ++p) {
        if (quote && std::strchr("$`\"\\", *p)) *out++ = '\\';
        *out++ = *p;
    }
    *out++ = quote ? '"' : '\'';
    *out = '\0';
    return word;
}

// The current year in local time.
static int CurrentYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local)) return 1970;
    return local.tm_year + 1900;
}

// Closes a script that has been written and makes it executable. A write that
// failed (a full disk) is reported, so that a cut-off script does not pass
// for a good one; the result is 1 when the whole script reached the file.
static int FinishScript(FILE* file, const char* path) {
    bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0) failed = true;
    if (failed) {
        std::fprintf(stderr, "ERROR: can't write file, %s\n", path);
        return 0;
    }
    SysCmd(CMD_CHMOD, 0, "755 %s", path);
    return 1;
}

// Opens a queue script for writing and puts the shell line and the banner in.
static FILE* StartQueueScript(const char* path, const char* shell) {
    if (flDryRun) {
        DryRunNote("write", path);
        return nullptr;
    }
    FILE* file = OpenFile(nullptr, path, "w+", 1);
    if (!file) return nullptr;
    int year = CurrentYear();
    std::fprintf(file, "%s\n", shell);
    std::fprintf(file, ScriptCopyRight, year);
    return file;
}

int generateOrvikPrintqpxxScript(const char* path, const char* shell, const char* tmpl) {
    FILE* file = StartQueueScript(path, shell);
    if (!file) return 0;
    MemHold<> tool(ShellWord(pAppDir));
    // The seventh text has no place in the template; it is passed and ignored.
    std::fprintf(file, tmpl, tool.get(), APP_WORD, "qprintqpxx", "qprintqpxx", APP_WORD, APP_WORD,
                 APP_WORD);
    return FinishScript(file, path);
}

int generatev4DriverScript(const char* path, const char* shell, const char* tmpl) {
    FILE* file = StartQueueScript(path, shell);
    if (!file) return 0;
    MemHold<> tool(ShellWord(pAppDir));
    std::fprintf(file, tmpl, tool.get());
    return FinishScript(file, path);
}

int generateOrvikQSFScript(const char* path, const char* shell, const char* tmpl,
                           const char* spool) {
    FILE* file = StartQueueScript(path, shell);
    if (!file) return 0;
    MemHold<> tool(ShellWord(pAppDir));
    MemHold<> queueSpool(SaveStr("%s/%s", spool, APP_WORD));
    MemHold<> spoolWord(ShellWord(queueSpool));
    std::fprintf(file, tmpl, tool.get(), spoolWord.get());
    return FinishScript(file, path);
}

void GenSimpleScript(const char* path, const char* shell, const char* tmpl, const char* a,
                     const char* b, const char* c) {
    char banner[BANNER_SIZE];
    std::snprintf(banner, sizeof banner, ScriptCopyRight, CurrentYear());
    if (flDryRun) {
        DryRunNote("write", path);
        return;
    }
    FILE* file = OpenFile(nullptr, path, "w+", 1);
    if (!file) return;
    std::fprintf(file, "%s\n%s", shell, banner);
    MemHold<> wordA(ShellWord(a));
    MemHold<> wordB(ShellWord(b));
    MemHold<> wordC(ShellWord(c));
    std::fprintf(file, tmpl, wordA.get(), wordB.get(), wordC.get());
    FinishScript(file, path);
}

// True when `path` names a directory (a link to one counts).
static bool IsDirectory(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

void createQueueScripts(const char* spool) {
    MemHold<> path(SaveStr("%s/%s", pAppDir, "OrvikPrintqpxx"));
    generateOrvikPrintqpxxScript(path, ScriptShShell, OrvikPrintqpxxScript);
    path.reset(SaveStr("%s/%s", pAppDir, "v4DriverScript"));
    generatev4DriverScript(path, ScriptShShell, pv4DriverScript);
    path.reset(SaveStr("%s/%s%s", pAppDir, DIR_WORD, "QSF"));
    generateOrvikQSFScript(path, ScriptShShell, OrvikQSFScript, spool);

    // LPRng's print configuration tool offers the interface programs of its
    // util directory; the link goes through TARGET/Orvik/qpxx itself.
    if (SniffLprng() && IsDirectory(PRINTCONF_UTIL_DIR) &&
        !FindFile(PRINTCONF_UTIL_DIR, "OrvikPrintqpxx")) {
        NoteInstalledPath("/usr/share/printconf/util/OrvikPrintqpxx");
        SysCmd(CMD_LN, 1, "-s %s/%s/%s/OrvikPrintqpxx /usr/share/printconf/util/OrvikPrintqpxx",
               pTargetInstallDir, DIR_WORD, APP_WORD);
    }
}
