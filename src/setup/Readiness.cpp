// The readiness check, first step of the installation proper: only the
// superuser installs, and an application directory that still holds the
// print daemon of an older generation needs the user's consent.
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "TextMenu/TextMenu.h"
#include "setup/setup.h"

namespace {

constexpr const char* SUPERUSER = "root";
constexpr int ANSWER_MAX = 510; // characters of one answer line
constexpr const char* OLD_DAEMON = "QPrintD";
constexpr const char* OLD_DAEMON_STOP = "QPrintDStop";

// The user declined, or there is no answer: the program ends at once and
// leaves everything as it is.
[[noreturn]] void EndUnconfirmed() {
    fflush(stdout);
    exit_app(SETUP_EXIT_STOPPED);
}

// A whole word of the list; a word holding the list's separator is none.
bool IsAnswer(const char* word, const char* list) {
    return word && !strchr(word, list[0]) && FindToken(word, list) != 0;
}

// Reads one answer line into LineBuf; false at end of input. The rest of a
// line longer than the answer limit is dropped, so it cannot be taken for
// the next answer.
bool ReadAnswer() {
    // The prompt leaves the line open; a terminal's echo of the answer ends it.
    flMidLine = true;
    if (!fgets(LineBuf, ANSWER_MAX + 1, stdin)) return false;
    if (isatty(STDIN_FILENO)) flMidLine = false;
    if (!strchr(LineBuf, '\n')) {
        int c;
        while ((c = getchar()) != EOF && c != '\n') {
        }
    }
    return true;
}

} // namespace

bool readyForInstallation() {
    MemHold<char> user(GetUserName());
    if (!user || strcmp(user, SUPERUSER) != 0) {
        // Without a name the user is shown by number, as whoami's absence is.
        if (!user) user.reset(SaveStr("User ID:  %d", int(getuid())));
        EndMidLine();
        printf(nlsSetupStrCvt(35), user.get(), my_name);
        fflush(stdout);
        flExitTextMenu = true;
        return false;
    }

    if (!FindFile(pAppDir, OLD_DAEMON) && !FindFile(pAppDir, OLD_DAEMON_STOP)) return true;

    printf(nlsSetupStrCvt(62), DIR_WORD, DIR_WORD, DIR_WORD, APP_WORD);
    // Unattended: -y answers for the administrator; a dry run only says
    // that the question would come.
    if (flAssumeYes) {
        fputs(nlsSetupStrCvt(63), stdout);
        fputs("y (-y)\n", stdout);
        fflush(stdout);
        flMidLine = false;
        PutLogMsg("the old-daemon question answered yes (-y)\n");
        return true;
    }
    if (flDryRun) {
        EndMidLine();
        printf("%s: dry run: the old-daemon question would be asked here (-y answers yes)\n",
               my_name);
        return true;
    }
    for (;;) {
        fputs(nlsSetupStrCvt(63), stdout);
        fflush(stdout);
        if (!ReadAnswer()) EndUnconfirmed();
        const char* word = GetToken(LineBuf, " \t\r\n");
        const SetupAnswers& answers = nlsSetupAnswers();
        if (IsAnswer(word, answers.pYes)) {
            EndMidLine();
            return true;
        }
        if (IsAnswer(word, answers.pNo)) EndUnconfirmed();
    }
}
