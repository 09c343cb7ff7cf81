// The screen image: the picker composes a whole screen of Rows x Cols cells
// in memory and prints it row by row. Output is plain sequential text: the
// cursor hooks do nothing.
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "TextMenu/TextMenu.h"

char CurLineBuf[SCREEN_LINE_SIZE];
char* pCurLine = CurLineBuf;
TextScreen* pCurImage = nullptr;

constexpr int kDefaultCols = 80;
constexpr int kDefaultRows = 24;
constexpr int kMaxSide = 1000;  // sizes beyond this are taken as nonsense

TextScreen* MakeScreen(int cols, int rows) {
    if (cols < 1 || rows < 1 || cols > kMaxSide || rows > kMaxSide) return nullptr;
    auto* screen = static_cast<TextScreen*>(GetMem(int(sizeof(TextScreen))));
    char* image = static_cast<char*>(GetMem(cols * rows));
    if (!screen || !image) SysError("%s", OutOfMem);
    screen->Cols = cols;
    screen->Rows = rows;
    screen->CurCol = 0;
    screen->CurRow = 1;
    screen->pImage = image;
    memset(image, ' ', size_t(cols * rows));
    return screen;
}

void FreeScreen(TextScreen* screen) {
    if (!screen) return;
    PutMem(screen->pImage);
    PutMem(screen);
}

static int EnvSize(const char* name) {
    const char* value = getenv(name);
    int n = value ? atoi(value) : 0;
    return n > 0 && n <= kMaxSide ? n : 0;
}

TextScreen* GetTermInfo(TextScreen* screen) {
    int cols = 0, rows = 0;
    winsize ws;
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        cols = ws.ws_col;
        rows = ws.ws_row;
    } else {
        cols = EnvSize("COLUMNS");
        rows = EnvSize("LINES");
    }
    if (cols <= 0 || cols > kMaxSide) cols = kDefaultCols;
    if (rows <= 0 || rows > kMaxSide) rows = kDefaultRows;
    if (screen && screen->Cols == cols && screen->Rows == rows) {
        memset(screen->pImage, ' ', size_t(cols * rows));
        return screen;
    }
    FreeScreen(screen);
    return MakeScreen(cols, rows);
}

void MoveCursor(TextScreen*, int, int) {}
void ClearScreen(TextScreen*) {}

void SetPosition(TextScreen* screen, int col, int row) {
    screen->CurCol = col;
    screen->CurRow = row;
}

void SetOvlInfo(TextScreen* screen, int col, int row, int width, int height) {
    screen->OvlCol = col;
    screen->OvlRow = row;
    screen->OvlWidth = width;
    screen->OvlHeight = height;
}

int FillArea(TextScreen* screen, int col, int row, int width, int height, int c) {
    for (int r = row; r < row + height; ++r) {
        if (r < 0 || r >= screen->Rows) continue;
        for (int k = col; k < col + width; ++k)
            if (k >= 0 && k < screen->Cols) screen->pImage[r * screen->Cols + k] = char(c);
    }
    return c;
}

void WriteString(TextScreen* screen, const char* fmt, ...) {
    char text[SCREEN_STRING_SIZE];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    if (screen->CurRow <= 0 || screen->CurRow > screen->Rows) screen->CurRow = 1;
    if (screen->CurCol <= 0 || screen->CurCol > screen->Cols) screen->CurCol = 0;
    const long total = long(screen->Cols) * screen->Rows;
    long cell = long(screen->CurRow - 1) * screen->Cols + screen->CurCol;
    for (const char* p = text; *p && cell < total; ++p)
        screen->pImage[cell++] = *p;
}

int Refresh(TextScreen* screen) {
    CurLineBuf[0] = 0;
    const long total = long(screen->Cols) * screen->Rows;
    long cell = 0;
    for (int r = 0; r < screen->Rows; ++r) {
        int n = 0;
        pCurLine = CurLineBuf;
        for (int k = 0; k < screen->Cols && cell < total; ++k) {
            char c = screen->pImage[cell++];
            if (c == '\n') break;
            if (cell == total) break;  // the last cell would scroll the screen
            if (n < SCREEN_LINE_SIZE - 1) CurLineBuf[n++] = c;
        }
        CurLineBuf[n] = 0;
        printf("%s", CurLineBuf);
    }
    fflush(stdout);
    return 0;
}

void Overlay(TextScreen* screen, const char* text, bool wait) {
    const int w = screen->OvlWidth;
    const int h = screen->OvlHeight;
    const char* p = text ? text : "";
    for (int i = 0; i < w + 4; ++i)
        putchar('*');
    putchar('\n');
    bool ended = false;
    for (int i = 1; i <= h + 3 && !ended; ++i) {
        MoveCursor(screen, screen->OvlCol, screen->OvlRow + i);
        fputs("* ", stdout);
        bool lineEnd = false;
        for (int k = 0; k < w; ++k) {
            if (lineEnd || !*p) {
                putchar(' ');
            } else if (*p == '\n') {
                lineEnd = true;
                ++p;
                putchar(' ');
            } else {
                putchar(*p++);
            }
        }
        if (!lineEnd && *p == '\n') ++p;
        fputs(" *", stdout);
        if (!*p) ended = true;
    }
    if (ended) {
        if (wait) {
            fputs("* Press enter", stdout);
            for (int k = 0; k < w - 8; ++k)
                putchar(' ');
            putchar('*');
        }
        for (int i = 0; i < w + 4; ++i)
            putchar('*');
    }
    fflush(stdout);
    if (wait && scanf("%*c") < 0) {
        // end of input: nothing to wait for
    }
}

void NumberScreen(TextScreen* screen) {
    for (int r = 0; r < 24 && r < screen->Rows; ++r)
        for (int c = 0; c < 80 && c < screen->Cols; ++c) {
            int k = r * screen->Cols + c;
            screen->pImage[k] = char('0' + k % 10);
        }
}
