// Fetching messages by set and number or by key text, and redirect markers.
#include <strings.h>

#include <cstdarg>
#include <cstring>

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/NlsUtils.h"
#include "utils/utils.h"

static char MsgBuf[NLS_MSG_SIZE];       // data of fetch modes 0 to 2
static char KeyBuf[32];                 // the key built from set and number
static char RedirectKey[NLS_REDIRECT_SIZE];
// Not allocated, so that a caller's PutMem of a fetch result leaves it be.
static char ErrorText[] = "Error";

// The record of key into MsgBuf, terminated; a record longer than the
// buffer is cut. False when there is none.
static bool FetchIntoBuffer(DbTHandle* h, const char* key) {
    int n = DbmTGetRecordSize(h, key);
    if (n <= 0) return false;
    if (n <= NLS_MSG_SIZE) {
        DbmTGetRecord(h, key, MsgBuf);
    } else {
        MemHold<char> whole(static_cast<char*>(GetMem(n)));
        if (!whole || DbmTGetRecord(h, key, whole.get()) != n) return false;
        memcpy(MsgBuf, whole.get(), NLS_MSG_SIZE);
    }
    MsgBuf[n < NLS_MSG_SIZE ? n : NLS_MSG_SIZE - 1] = 0;
    return true;
}

char* NlsFetchString(DbTHandle* h, char* output, int mode, ...) {
    va_list ap;
    va_start(ap, mode);
    const char* key;
    bool numbered = mode == 0 || mode == 3;
    if (numbered) {
        int set = va_arg(ap, int);
        int number = va_arg(ap, int);
        snprintf(KeyBuf, sizeof KeyBuf, "%d_%d", set, number);
        key = KeyBuf;
    } else {
        key = va_arg(ap, const char*);
    }
    va_end(ap);
    if (!key || (!h && !numbered)) return ErrorText;

    if (mode == 3) {
        int n = h ? DbmTGetRecordSize(h, key) : 0;
        char* text = n > 0 ? static_cast<char*>(GetMem(n + 1)) : nullptr;
        if (!text || DbmTGetRecord(h, key, text) != n) {
            PutMem(text);
            return const_cast<char*>(key);
        }
        return text;
    }
    if (!h || !FetchIntoBuffer(h, key)) {
        if (output) {
            if (output != key) memmove(output, key, strlen(key) + 1);
        }
        return const_cast<char*>(key);
    }
    if (!output) return SaveStr_(MsgBuf);
    memcpy(output, MsgBuf, strlen(MsgBuf) + 1);
    return output;
}

char* FindRedirect(char* text) {
    if (!text) return nullptr;
    char* marker = strstr(text, "$$");
    if (!marker) return nullptr;
    char* dot = strchr(marker + 2, '.');
    if (!dot || strncasecmp(dot, ".redirect", 9) != 0) return nullptr;
    *dot = 0;
    return marker + 2;
}

char* CheckForRedirect(char* text) {
    char* name = FindRedirect(text);
    if (!name) return nullptr;
    snprintf(RedirectKey, sizeof RedirectKey, "%s", name);
    NlsFetchString(pPrtHelpDB, text, 1, RedirectKey);
    return RedirectKey;
}
