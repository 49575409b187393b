// The source buffer of one script file: the file reader and the parser object's
// construction, which reads the whole file.
#include "kvparser.h"
#include "kvpool.h"

#include "filesystem.h"
#include "log.h"

#include <string.h>

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
        // The file system's read need not give back a byte count, so a short read
        // cannot be told from a full one: the buffer comes cleared, so that a byte the
        // read did not fill is a NUL, never what the heap held before.
        reader.read(buffer, fileLength);
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
