// The log's platform part on POSIX systems, with the observable behaviour of the
// Windows log: every write synchronous and a fatal exit with status -1. There is
// no debugger output and no message box: the fatal text goes to standard error.
#include "log.h"
#include "log_backend.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

// Size of the date and time texts of the dated name.
static const size_t kDateTimeSize = 128;

static int logFile = -1;
static char datedNameBuffer[kLogDatedNameSize];

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

bool LogFileCreate(const char* name) {
    // O_SYNC: every write reaches the disk before it returns.
    logFile = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_SYNC | O_CLOEXEC, 0644);
    return logFile >= 0;
}

void LogFileWrite(const char* text, size_t length) {
    if (logFile >= 0)
        WriteAll(logFile, text, length);
}

void LogFileFlush() {
    if (logFile >= 0)
        fsync(logFile);
}

void LogDebugOutput(const char*) {}

void LogFatalExit(const char* text, size_t length) {
    WriteAll(STDERR_FILENO, text, length);
    // Like ExitProcess: no atexit handlers and no shut-down steps of the program,
    // but what the program printed so far is not lost.
    fflush(nullptr);
    _exit(-1);
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
