// The single-instance guard: one copy per machine unless the command line says "-ami".
#include "host.h"

#include <stdio.h>
#include <string.h>

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
