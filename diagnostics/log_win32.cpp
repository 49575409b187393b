// The run's log on Windows: a write-through file created by the first LogWrite,
// every text also handed to the debugger output, and the fatal-error box.
// Runs on the main thread only; FatalError also runs inside the exception path,
// so nothing here allocates.
#include "log.h"
#include "log_format.h"

#include "filesystem.h"

#include <windows.h>

#include <direct.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

// Size of the buffers GetDateFormatA and GetTimeFormatA write into.
static const int kDateTimeSize = 128;

static HANDLE logHandle = INVALID_HANDLE_VALUE;
static bool logOpened = false;
static char messageBuffer[kLogMessageSize];
static char lineEndBuffer[kLogMessageSize];
static char datedNameBuffer[kLogDatedNameSize];

static HANDLE CreateLogFile(const char* name) {
    return CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_FLAG_WRITE_THROUGH, nullptr);
}

const char* MakeDatedLogName() {
    _mkdir("logs"); // may exist already; a failure shows when the file is created
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[kDateTimeSize];
    char time[kDateTimeSize];
    if (GetDateFormatA(LOCALE_USER_DEFAULT, 0, &now, "yyyy'-'MM'-'dd", date, kDateTimeSize) == 0) {
        date[0] = '\0';
    }
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT, &now, "hhmm", time,
                       kDateTimeSize) == 0) {
        time[0] = '\0';
    }
    snprintf(datedNameBuffer, kLogDatedNameSize, "logs/crash_%s_%s.log", date, time);
    datedNameBuffer[kLogDatedNameSize - 1] = '\0';
    return datedNameBuffer;
}

void LogOpen() {
    const char* name = FS_exists("debug.fnt") ? MakeDatedLogName() : "crash.log";
    logHandle = CreateLogFile(name);
    if (logHandle == INVALID_HANDLE_VALUE) {
        logHandle = CreateLogFile("crash.log");
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
    if (logHandle != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(logHandle, lineEndBuffer, static_cast<DWORD>(length), &written, nullptr);
    }
    OutputDebugStringA(lineEndBuffer);
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
    if (logOpened && logHandle != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(logHandle, messageBuffer, static_cast<DWORD>(length), &written, nullptr);
        FlushFileBuffers(logHandle);
    }
    OutputDebugStringA(messageBuffer);
    MessageBoxA(GetDesktopWindow(), messageBuffer, "CrashExit...",
                MB_OK | MB_ICONHAND | MB_SYSTEMMODAL);
    ExitProcess(static_cast<UINT>(-1));
}
