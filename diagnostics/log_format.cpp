// Formatting and line-end conversion shared by the log backends.
#include "log.h"
#include "log_format.h"

#include <stdio.h>
#include <string.h>

// The line-end copy stops before taking a character once this many bytes are out,
// so a CR LF begun at the last position still fits with its NUL.
static const size_t kLineEndStop = kLogMessageSize - 2;

size_t LogFormatV(char* out, const char* format, va_list args) {
    // Some C runtimes leave the buffer unterminated on truncation, or untouched on
    // a format error: start empty and put the NUL ourselves.
    out[0] = '\0';
    vsnprintf(out, kLogMessageSize, format, args);
    out[kLogMessageSize - 1] = '\0';
    return strlen(out);
}

size_t ConvertLineEnds(const char* text, char* out) {
    size_t i = 0;
    size_t o = 0;
    while (text[i] != '\0') {
        if (o >= kLineEndStop) {
            break;
        }
        const char c = text[i];
        if (c == '\n' && i > 0 && text[i - 1] != '\r') {
            out[o++] = '\r';
            out[o++] = '\n';
        } else {
            out[o++] = c;
        }
        ++i;
    }
    out[o] = '\0';
    return o;
}
