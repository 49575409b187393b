// The source buffer of one script file: the file reader, the parser object's
// construction, the comparison operators and the error report.
#include "kvparse.h"

#include "filesystem.h"
#include "log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <new>

// ---- fs::file_reader ----

namespace fs {

file_reader::file_reader() : handle(0) {}

file_reader::~file_reader() {
    close();
}

void file_reader::open(const char* path, int mode) {
    handle = FS_open(path, mode);
    if (handle == 0) {
        LogEcho("WARNING [file] cannot open file %s\n", path);
        throw file_exception{0};
    }
}

int32_t file_reader::length() {
    // Only -1 is documented as failure; no other negative length is usable either.
    const int32_t result = FS_length(handle);
    if (result < 0)
        throw file_exception{3};
    return result;
}

int32_t file_reader::read(void* destination, int32_t count) {
    const int32_t result = FS_read(handle, destination, count);
    if (result == -1)
        throw file_exception{1};
    return result;
}

void file_reader::close() {
    if (handle != 0)
        FS_close(handle);
    handle = 0;
}

} // namespace fs

// ---- CKVParse construction ----

CKVParse::CKVParse(const char* path)
    : buffer(nullptr), scratch(nullptr), size(0), pos(0), line(1), constants(nullptr),
      intVariable(nullptr), floatVariable(nullptr), stringVariable(nullptr), includer(nullptr),
      blockDepth(0) {
    directory[0] = '\0';
    filePath[0] = '\0';
    if (!path)
        path = "";
    const size_t length = strlen(path);
    if (length >= static_cast<size_t>(kKvPathSize)) {
        // Refused rather than cut: a cut path could name another file.
        LogWrite("[CKVParse] file path longer than %d characters: '%s'\n", kKvPathSize - 1, path);
        return;
    }
    memcpy(filePath, path, length + 1);
    // The last backslash decides, even when a slash follows it.
    const char* separator = strrchr(path, '\\');
    if (!separator)
        separator = strrchr(path, '/');
    if (separator) {
        const size_t directoryLength = static_cast<size_t>(separator - path) + 1;
        memcpy(directory, path, directoryLength);
        directory[directoryLength] = '\0';
    }

    fs::file_reader reader;
    try {
        reader.open(path, 0);
        const int32_t fileLength = reader.length();
        size = static_cast<uint32_t>(fileLength);
        // An empty file still gets (empty) arrays: it is readable, only without text.
        buffer = KvAllocateFileBuffer(size);
        scratch = new unsigned char[size];
        // A short read would leave bytes of no defined value: treat it as a failure.
        if (reader.read(buffer, fileLength) != fileLength)
            throw fs::file_exception{1};
        reader.close();
    } catch (const fs::file_exception&) {
        reader.close();
        delete[] scratch;
        KvReleaseFileBuffer(buffer, size);
        scratch = nullptr;
        buffer = nullptr;
        size = 0;
        LogEcho("WARNING [CKVParse] cannot open %s\n", path);
    } catch (...) {
        // The destructor does not run for a constructor that throws.
        delete[] scratch;
        KvReleaseFileBuffer(buffer, size);
        throw;
    }
}

CKVParse::~CKVParse() {
    delete[] scratch;
    KvReleaseFileBuffer(buffer, size);
    scratch = nullptr;
    buffer = nullptr;
    size = 0;
    pos = 0;
    delete constants;
    constants = nullptr;
}

// ---- Operators ----

int CKVParse::ReadOperator() {
    const int first = GetChar();
    if (first == -1)
        return 0;
    const int second = GetChar();
    if (second == -1)
        return 0;
    switch (first) {
    case '!':
        return second == '=' ? 2 : 0;
    case '=':
        return second == '=' ? 1 : 0;
    case '<':
        if (second == '=')
            return 6;
        UngetChar();
        return 4;
    case '>':
        if (second == '=')
            return 5;
        UngetChar();
        return 3;
    default:
        return 0;
    }
}

// One comparison for both operand types. IEEE rules apply to floats: with a NaN
// operand only "!=" holds.
template <typename T> static bool CompareValues(int code, T first, T second) {
    switch (code) {
    case 1:
        return first == second;
    case 2:
        return first != second;
    case 3:
        return first > second;
    case 4:
        return first < second;
    case 5:
        return first >= second;
    case 6:
        return first <= second;
    default:
        return false;
    }
}

bool CompareInt(int code, int32_t first, int32_t second) {
    return CompareValues(code, first, second);
}

bool CompareFloat(int code, float first, float second) {
    return CompareValues(code, first, second);
}

// ---- Error reports ----

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
    vsnprintf(messageBuffer, sizeof messageBuffer, format, args);
    va_end(args);
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
