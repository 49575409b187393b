// The log's platform part on Windows: a write-through file, the debugger output
// and the fatal-error box.
#include "log.h"
#include "log_backend.h"

#include <windows.h>

#include <direct.h>
#include <stdio.h>

// Size of the buffers GetDateFormatA and GetTimeFormatA write into.
static const int kDateTimeSize = 128;

static HANDLE logHandle = INVALID_HANDLE_VALUE;
static char datedNameBuffer[kLogDatedNameSize];

bool LogFileCreate(const char* name) {
    logHandle = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_FLAG_WRITE_THROUGH, nullptr);
    return logHandle != INVALID_HANDLE_VALUE;
}

void LogFileWrite(const char* text, size_t length) {
    if (logHandle == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(logHandle, text, static_cast<DWORD>(length), &written, nullptr);
}

void LogFileFlush() {
    if (logHandle != INVALID_HANDLE_VALUE)
        FlushFileBuffers(logHandle);
}

void LogDebugOutput(const char* text) {
    OutputDebugStringA(text);
}

void LogFatalExit(const char* text, size_t) {
    MessageBoxA(GetDesktopWindow(), text, "CrashExit...", MB_OK | MB_ICONHAND | MB_SYSTEMMODAL);
    ExitProcess(static_cast<UINT>(-1));
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
