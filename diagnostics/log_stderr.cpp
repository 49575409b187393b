// The log of command-line tools: every text goes to standard error as formatted, and
// no file. On Windows standard error is in text mode, as the tool's other output is,
// so each LF reaches it as CR LF. Warnings go there too, since the tool's user must
// see them; a fatal error ends the tool with status 2.
#include "log.h"
#include "log_format.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

static char messageBuffer[kLogMessageSize];

static void WriteToStderr(const char* format, va_list args) {
    const size_t length = LogFormatV(messageBuffer, format, args);
    fwrite(messageBuffer, 1, length, stderr);
    fflush(stderr);
}

// There is no file to open.
void LogOpen() {}

void LogWrite(const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteToStderr(format, args);
    va_end(args);
}

void LogEcho(const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteToStderr(format, args);
    va_end(args);
}

// The status a tool ends with after a fatal error.
static const int kFatalExitStatus = 2;

void FatalError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteToStderr(format, args);
    va_end(args);
    exit(kFatalExitStatus);
}
