// The error path: the report of an error with the offending source line, and the
// helpers that report, set the error flag and fail in one step.
#include "kvparser.h"

#include "log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

// The message and then the echoed source line are put here; process-wide, like
// the log's own buffers.
static char messageBuffer[kKvMessageSize];

// Writes text as it stands (a '%' stays a '%') in pieces that the log's own
// 2048-byte buffer takes whole, so nothing of the message buffer is cut. The log
// stores an LF that begins a text bare, so a piece that begins with an LF (not
// after a CR) has its CR written first, as the whole text would have had it.
static void LogPlainText(const char* text) {
    const size_t kPiece = 1000; // at most 2000 bytes once every LF has become CR LF
    const char* const start = text;
    size_t length = strlen(text);
    while (length > 0) {
        const size_t piece = length < kPiece ? length : kPiece;
        if (text != start && text[0] == '\n' && text[-1] != '\r')
            LogWrite("\r");
        LogWrite("%.*s", static_cast<int>(piece), text);
        text += piece;
        length -= piece;
    }
}

void CKVParse::ReportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    ReportErrorV(format, args);
    va_end(args);
}

void CKVParse::ReportErrorV(const char* format, va_list args) {
    vsnprintf(messageBuffer, sizeof messageBuffer, format, args);
    messageBuffer[sizeof messageBuffer - 1] = '\0'; // msvcrt may not terminate a cut text

    LogWrite("[CKVParse] ");
    LogPlainText(messageBuffer);
    LogWrite(": in file '%s' in line %d\n", filePath, static_cast<int>(line));

    // The line the cursor stands on, without its line break.
    uint32_t start = pos;
    while (start > 0 && buffer[start - 1] != '\r' && buffer[start - 1] != '\n')
        --start;
    uint32_t end = pos;
    while (end < size && buffer[end] != '\r' && buffer[end] != '\n')
        ++end;
    // An over-long line is echoed from its start, as much as the buffer holds.
    size_t length = end - start;
    if (length > sizeof messageBuffer - 1)
        length = sizeof messageBuffer - 1;
    if (length > 0)
        memcpy(messageBuffer, buffer + start, length);
    messageBuffer[length] = '\0';
    LogPlainText(messageBuffer);
    LogWrite("\n\n");
}

void CKVParse::FailWith(int* error, const char* format, va_list args) {
    ReportErrorV(format, args);
    *error = kKvReported;
}

std::nullptr_t CKVParse::Fail(int* error, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FailWith(error, format, args);
    va_end(args);
    return nullptr;
}

bool CKVParse::Expect(int expected, int* error, const char* format, ...) {
    SkipBlanks();
    if (GetChar() == expected)
        return true;
    va_list args;
    va_start(args, format);
    FailWith(error, format, args);
    va_end(args);
    return false;
}
