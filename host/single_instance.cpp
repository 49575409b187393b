// The single-instance guard: one copy per machine unless the command line says "-ami".
#include "host.h"

#include <string.h>

namespace {

// Turns every CR and LF into a NUL, so the text ends at its first line break.
void CutAtLineBreak(char* text) {
    for (char* p = text; *p != '\0'; ++p) {
        if (*p == '\r' || *p == '\n') {
            *p = '\0';
            break;
        }
    }
}

// Reads the next line (at most size - 1 characters, stopping after a line feed) over
// dest; dest keeps what it held when the read meets the end of the file or fails.
void ReadLineOver(FILE* file, char* dest, size_t size) {
    char line[kRunningTextSize];
    if (fgets(line, static_cast<int>(size), file) != nullptr) {
        CopyBounded(dest, size, line);
    }
}

} // namespace

void ReadRunningMessage(FILE* file, char* caption, char* text) {
    static_assert(kRunningCaptionSize <= kRunningTextSize, "the line buffer holds both");
    CopyBounded(caption, kRunningCaptionSize, "Error");
    CopyBounded(text, kRunningTextSize, "Tarvex already running");
    ReadLineOver(file, caption, kRunningCaptionSize);
    ReadLineOver(file, text, kRunningTextSize);
    CutAtLineBreak(caption);
    CutAtLineBreak(text);
}

bool CheckSingleInstance(const char* commandLine) {
    // Made before anything else, so even a copy started with "-ami" holds the name
    // and later copies without the switch are refused while it runs. Never closed:
    // the end of the process releases it.
    HANDLE mutex = CreateMutexA(nullptr, TRUE, kInstanceMutexName);
    const DWORD createError = GetLastError();

    if (commandLine != nullptr && strstr(commandLine, kMultipleInstanceSwitch) != nullptr) {
        return true;
    }
    if (mutex == nullptr) {
        return true; // cannot guard: start unguarded rather than not at all
    }
    if (createError != ERROR_ALREADY_EXISTS) {
        return true;
    }

    FILE* file = fopen(kRunningMessageFile, "rt");
    if (file == nullptr) {
        return false;
    }
    char caption[kRunningCaptionSize];
    char text[kRunningTextSize];
    ReadRunningMessage(file, caption, text);
    fclose(file);
    MessageBoxA(nullptr, text, caption, MB_ICONERROR);
    return false;
}
