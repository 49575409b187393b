// The run's log on POSIX systems, with the observable behaviour of the Windows log:
// a file created (emptied) by the first LogWrite, every write synchronous, CR LF
// line ends, and a fatal exit with status -1. There is no debugger output and no
// message box: FatalError prints its text to standard error instead.
// Runs on the main thread only; nothing here allocates.
#include "log.h"
#include "log_format.h"

#include "filesystem.h"

#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

// Size of the date and time texts of the dated name.
static const size_t kDateTimeSize = 128;

static int logFile = -1;
static bool logOpened = false;
static char messageBuffer[kLogMessageSize];
static char lineEndBuffer[kLogMessageSize];
static char datedNameBuffer[kLogDatedNameSize];

static int CreateLogFile(const char* name) {
    // O_SYNC: every write reaches the disk before it returns.
    return open(name, O_WRONLY | O_CREAT | O_TRUNC | O_SYNC | O_CLOEXEC, 0644);
}

// Writes all of text, retrying short writes; errors are ignored like the log's others.
static void WriteAll(int file, const char* text, size_t length) {
    while (length > 0) {
        const ssize_t n = write(file, text, length);
        if (n <= 0) {
            return;
        }
        text += n;
        length -= static_cast<size_t>(n);
    }
}

const char* MakeDatedLogName() {
    mkdir("logs", 0755); // may exist already; a failure shows when the file is created
    const time_t now = time(nullptr);
    struct tm local;
    char date[kDateTimeSize] = "";
    char clock[kDateTimeSize] = "";
    if (localtime_r(&now, &local) != nullptr) {
        strftime(date, kDateTimeSize, "%Y-%m-%d", &local);
        strftime(clock, kDateTimeSize, "%H%M", &local);
    }
    snprintf(datedNameBuffer, kLogDatedNameSize, "logs/crash_%s_%s.log", date, clock);
    datedNameBuffer[kLogDatedNameSize - 1] = '\0';
    return datedNameBuffer;
}

void LogOpen() {
    const char* name = FS_exists("debug.fnt") ? MakeDatedLogName() : "crash.log";
    logFile = CreateLogFile(name);
    if (logFile < 0) {
        logFile = CreateLogFile("crash.log");
    }
    logOpened = true; // whatever the outcome: the open is attempted once per run
}

void LogWrite(const char* format, ...) {
    if (!logOpened) {
        LogOpen();
    }
    va_list args;
    va_start(args, format);
    LogFormatV(messageBuffer, format, args);
    va_end(args);
    const size_t length = ConvertLineEnds(messageBuffer, lineEndBuffer);
    if (logFile >= 0) {
        WriteAll(logFile, lineEndBuffer, length);
    }
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
    if (logOpened && logFile >= 0) {
        WriteAll(logFile, messageBuffer, length);
        fsync(logFile);
    }
    WriteAll(STDERR_FILENO, messageBuffer, length);
    // Like ExitProcess: no atexit handlers and no shut-down steps of the program,
    // but what the program printed so far is not lost.
    fflush(nullptr);
    _exit(-1);
}
