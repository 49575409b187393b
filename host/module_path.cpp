// The executable's own path: entry 0 of the argument vector and the working folder.
#include "host.h"

#include <stdio.h>
#include <stdlib.h>

void SplitCommandLine(const char* commandLine, HINSTANCE instance) {
    char moduleName[kCmdModuleNameSize];
    const DWORD length = GetModuleFileNameA(instance, moduleName, kCmdModuleNameSize);
    // Older systems leave a cut name without its NUL.
    moduleName[length < kCmdModuleNameSize ? length : kCmdModuleNameSize - 1] = '\0';
    SplitArguments(moduleName, commandLine);
}

// A path too long for the buffer is not used at all, since a cut path names another
// folder.
void EnterExecutableFolder() {
    char modulePath[kModulePathSize];
    const DWORD length = GetModuleFileNameA(nullptr, modulePath, kModulePathSize);
    if (length == 0 || length >= kModulePathSize) {
        return;
    }
    char drive[_MAX_DRIVE];
    char directory[kModulePathSize]; // no part is longer than the whole path
    _splitpath(modulePath, drive, directory, nullptr, nullptr);
    char workingFolder[kModulePathSize];
    snprintf(workingFolder, sizeof workingFolder, "%s%s", drive, directory);
    workingFolder[kModulePathSize - 1] = '\0';
    SetCurrentDirectoryA(workingFolder);
}
