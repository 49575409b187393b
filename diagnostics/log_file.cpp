// The run's log: a file created (emptied) by the first LogWrite, every text also
// handed to the debugger output, and the fatal error. The same on every platform;
// log_win32.cpp and log_posix.cpp provide the file and the fatal exit.
// Runs on the main thread only; nothing here allocates.
#include "log.h"
#include "log_backend.h"
#include "log_format.h"

#include "filesystem.h"

#include <stdarg.h>

static bool logOpened = false;
static char messageBuffer[kLogMessageSize];
static char lineEndBuffer[kLogMessageSize];

void LogOpen() {
    const char* name = FS_exists("debug.fnt") ? MakeDatedLogName() : "crash.log";
    if (!LogFileCreate(name))
        LogFileCreate("crash.log");
    logOpened = true; // whatever the outcome: the open is attempted once per run
}

void LogWrite(const char* format, ...) {
    if (!logOpened)
        LogOpen();
    va_list args;
    va_start(args, format);
    LogFormatV(messageBuffer, format, args);
    va_end(args);
    const size_t length = ConvertLineEnds(messageBuffer, lineEndBuffer);
    LogFileWrite(lineEndBuffer, length);
    LogDebugOutput(lineEndBuffer);
}

void LogEcho(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogFormatV(messageBuffer, format, args);
    va_end(args);
}

void FatalError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const size_t length = LogFormatV(messageBuffer, format, args);
    va_end(args);
    // Stored as formatted, without line-end conversion; the log is not opened here,
    // so a run that logged nothing leaves no file.
    if (logOpened) {
        LogFileWrite(messageBuffer, length);
        LogFileFlush();
    }
    LogDebugOutput(messageBuffer);
    LogFatalExit(messageBuffer, length);
}
