// The text of the "already running" box, read from a small text file.
#include "host_core.h"

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
