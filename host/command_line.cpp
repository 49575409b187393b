// The process-wide argument vector, split from the command-line tail.
#include "host_core.h"

#include <string.h>

char* cmdArgs[kMaxCmdArgs];
int cmdArgCount;
char cmdArgText[kCmdArgTextSize];

namespace {

bool IsArgumentSeparator(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

void SplitArguments(const char* moduleName, const char* commandLine) {
    static_assert(kCmdModuleNameSize < kCmdArgTextSize, "entry 0 always fits the store");
    CopyBounded(cmdArgText, kCmdModuleNameSize, moduleName);
    for (char*& entry : cmdArgs) {
        entry = nullptr;
    }
    cmdArgs[0] = cmdArgText;
    cmdArgCount = 1;
    size_t used = strlen(cmdArgText) + 1;

    const char* p = commandLine != nullptr ? commandLine : "";
    for (;;) {
        while (IsArgumentSeparator(*p)) {
            ++p;
        }
        if (*p == '\0') {
            return;
        }
        size_t length = 0;
        while (p[length] != '\0' && !IsArgumentSeparator(p[length])) {
            ++length;
        }
        // Only whole arguments, in their order: a cut "ini=" path would name some
        // other file, and a gap would reorder what follows.
        if (cmdArgCount == kMaxCmdArgs || length + 1 > kCmdArgTextSize - used) {
            return;
        }
        char* argument = cmdArgText + used;
        memcpy(argument, p, length);
        argument[length] = '\0';
        cmdArgs[cmdArgCount++] = argument;
        used += length + 1;
        p += length;
    }
}
