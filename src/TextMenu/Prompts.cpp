// The engine's small dialogues, also offered to applications: a yes/no
// question, a message that waits for Return, a one-line answer, checks of
// name values, and the entry of a secret text without echo.
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <sys/select.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "TextMenu/TextMenu.h"

constexpr int kPromptUserSize = 1024;  // an answer PromptUser allocates: 1023 characters

int PromptYN(const char* question, ...) {
    char fmt[PROMPT_YN_MAX + 16];
    snprintf(fmt, sizeof fmt, "%.*s? [y/n] ", PROMPT_YN_MAX, question ? question : "");
    for (;;) {
        va_list ap;
        va_start(ap, question);
        vprintf(fmt, ap);
        va_end(ap);
        fflush(stdout);
        if (!Gets(LineBuf, LINEBUF_SIZE)) MenuInputEnded();
        if (LineBuf[0] == 'y') return 1;
        if (LineBuf[0] == 'n') return 0;
    }
}

char* PostMsg(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vprintf(fmt, ap);
    va_end(ap);
    char* cont = MenuMsg(1001);
    fputs(cont, stdout);
    PutMem(cont);
    fflush(stdout);
    return Gets(LineBuf, LINEBUF_SIZE);
}

char* PromptUser(const char* prompt, char* answer) {
    if (prompt) fputs(prompt, stdout);
    fflush(stdout);
    if (answer) return Gets(answer, LINEBUF_SIZE);
    char line[kPromptUserSize];
    if (!Gets(line, sizeof line)) return nullptr;
    return SaveStr_(line);
}

int TestName(const char* name) {
    for (const char* p = name; p && *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (isalnum(c) || c == '_' || c == '-') continue;
        Nlsfprintf(stdout, pDrvCoreDB, NLS_SET_MENU, 1002, c);
        Nlsfprintf(stdout, pDrvCoreDB, NLS_SET_MENU, 1000);
        fflush(stdout);
        Gets(LineBuf, LINEBUF_SIZE);
        return 0;
    }
    return 1;
}

int TestNames(TextMenu* menu) {
    for (TextMenuItem* item = menu->pItems; item && item->pLabel && item->State != 2; ++item) {
        if (item->Type == MENU_NAME && (!item->Value.pText || !item->Value.pText[0])) {
            Nlsfprintf(stdout, pDrvCoreDB, NLS_SET_MENU, 1011);
            fflush(stdout);
            Gets(LineBuf, LINEBUF_SIZE);
            return 0;
        }
    }
    return 1;
}

// ------------------------------------------------------- pass phrases
static char buf[PASS_PHRASE_MAX + 1];
bool flPassPhraseEntered = false;
static volatile sig_atomic_t signo = 0;

void handler(int signal) {
    signo = signal;
}

static constexpr int kCaught[] = {SIGINT, SIGHUP, SIGQUIT, SIGTERM, SIGTSTP, SIGTTIN, SIGTTOU};
constexpr int kCaughtCount = int(sizeof kCaught / sizeof kCaught[0]);

static double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Reads up to PASS_PHRASE_MAX characters into buf; the whole entry has
// PASS_PHRASE_SECONDS. A failed wait (other than EAGAIN), a time-out, a read
// that gives no character, a newline or a carriage return ends it.
static void ReadSecret(int in) {
    int n = 0;
    flPassPhraseEntered = false;
    const double deadline = Now() + PASS_PHRASE_SECONDS;
    while (n < PASS_PHRASE_MAX) {
        double left = deadline - Now();
        if (left <= 0) break;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(in, &set);
        timeval tv;
        tv.tv_sec = long(left);
        tv.tv_usec = long((left - double(tv.tv_sec)) * 1e6);
        int ready = select(in + 1, &set, nullptr, nullptr, &tv);
        if (ready < 0 && errno == EAGAIN) continue;
        if (ready <= 0) break;
        char c;
        if (read(in, &c, 1) != 1) break;
        if (c == '\n' || c == '\r') {
            flPassPhraseEntered = true;
            break;
        }
        buf[n++] = c;
    }
    if (n == PASS_PHRASE_MAX) flPassPhraseEntered = true;
    buf[n] = 0;
}

char* GetPassPhrase(const char* prompt) {
    for (;;) {
        signo = 0;
        buf[0] = 0;
        int tty = open("/dev/tty", O_RDWR | O_NOCTTY);
        int in = tty >= 0 ? tty : STDIN_FILENO;
        int out = tty >= 0 ? tty : STDERR_FILENO;
        if (prompt && write(out, prompt, strlen(prompt)) < 0) {
            // nothing to do: the entry goes on without its prompt
        }
        struct sigaction action, previous[kCaughtCount];
        memset(&action, 0, sizeof action);
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < kCaughtCount; ++i)
            sigaction(kCaught[i], &action, &previous[i]);

        termios saved, quiet;
        if (tcgetattr(in, &saved) == 0) {
            quiet = saved;
            quiet.c_lflag &= ~tcflag_t(ECHO | ECHONL);
            tcsetattr(in, TCSAFLUSH, &quiet);
        } else {
            memset(&saved, 0, sizeof saved);
            memset(&quiet, 0, sizeof quiet);
        }
        ReadSecret(in);
        const int error = errno;
        if (!(quiet.c_lflag & ECHO)) {
            if (write(out, "\n", 1) < 0) {
                // the line end is cosmetic
            }
        }
        if (memcmp(&quiet, &saved, sizeof saved) != 0) tcsetattr(in, TCSAFLUSH, &saved);
        for (int i = 0; i < kCaughtCount; ++i)
            sigaction(kCaught[i], &previous[i], nullptr);
        if (tty >= 0) close(tty);

        const int caught = signo;
        if (caught) {
            flPassPhraseEntered = false;
            kill(getpid(), caught);
            if (caught == SIGTSTP || caught == SIGTTIN || caught == SIGTTOU) continue;
        }
        errno = error;
        return SaveStr("%s", buf);
    }
}
