// The conventions every command-line tool of the suite keeps: a usage on
// -h/--help, the package's version on --version, errors on standard error as
// one line "PROG: what went wrong", and the statuses scripts rely on.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "utils/utils.h"

#ifndef ORVIK_VERSION
#define ORVIK_VERSION "4.10.33"
#endif

const char ToolVersionText[] = ORVIK_VERSION;

static const char* toolUsage = "";

void ToolStart(const char* name, const char* usage) {
    my_name = name;
    toolUsage = usage ? usage : "";
}

void ToolPrintUsage() { fputs(toolUsage, stdout); }

void ToolPrintVersion() { printf("%s %s\n", my_name, ToolVersionText); }

bool ToolStandardOption(const char* arg) {
    if (!strcmp(arg, "-h") || !strcmp(arg, "--help")) {
        ToolPrintUsage();
        exit(fflush(stdout) == 0 ? TOOL_OK : TOOL_FAILED);
    }
    if (!strcmp(arg, "--version")) {
        ToolPrintVersion();
        exit(fflush(stdout) == 0 ? TOOL_OK : TOOL_FAILED);
    }
    return false;
}

static void ToolReport(const char* fmt, va_list ap, const char* tail) {
    fflush(stdout);
    fprintf(stderr, "%s: ", my_name);
    vfprintf(stderr, fmt, ap);
    fputs(tail, stderr);
}

int ToolFail(int status, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    ToolReport(fmt, ap, "\n");
    va_end(ap);
    return status;
}

int ToolBadUsage(const char* fmt, ...) {
    char tail[64];
    snprintf(tail, sizeof tail, " (%s -h for usage)\n", my_name);
    va_list ap;
    va_start(ap, fmt);
    ToolReport(fmt, ap, tail);
    va_end(ap);
    return TOOL_USAGE;
}

int ToolUnknownOption(const char* option) { return ToolBadUsage("unknown option %s", option); }
