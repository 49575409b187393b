// The stand-in archive file system: plain folders joined into one space of file
// names. Archive files (.pak) are accepted as sources and yield no files; later
// mounts win when several sources hold a name. Every call can be recorded as one
// JSON line in the file named by TARVEX_FS_LOG. All state is process-wide and
// static; callers run on one thread. The same code is filesystem.dll on win32 and
// a static library natively.
#include "filesystem.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <direct.h>
#define getcwd _getcwd
#else
#include <unistd.h>
#endif

// Longest full path of a source root or of a file inside one, NUL included.
static const size_t kFsPathSize = 1024;
// The host mounts 66 sources; room for a few more.
static const int kMaxSources = 128;
// Files open at the same time; handles are index + 1 into this table.
static const int kMaxOpenFiles = 64;

struct Source {
    char root[kFsPathSize]; // absolute folder, no trailing separator
};

struct OpenFile {
    FILE* file; // null when the slot is free
    int32_t length;
};

static Source sources[kMaxSources];
static int sourceCount = 0;
static OpenFile openFiles[kMaxOpenFiles];

// ---- The call log ----------------------------------------------------------

// The call log opened for one line, or null when TARVEX_FS_LOG is not set. The
// name is taken relative to the working folder at the time of the call.
static FILE* OpenCallLog() {
    const char* name = getenv("TARVEX_FS_LOG");
    if (name == nullptr || name[0] == '\0') {
        return nullptr;
    }
    return fopen(name, "ab");
}

// The field writers and the close do nothing for a null log, so each export
// writes its line without a test of its own.
static void CloseCallLog(FILE* log) {
    if (log == nullptr) {
        return;
    }
    fputs("}\n", log);
    fclose(log);
}

// Writes text as a JSON string. The text is narrow 8-bit: bytes outside printable
// ASCII are written as \u00XX (their Latin-1 reading), so every line is valid JSON.
static void WriteJsonString(FILE* log, const char* text) {
    if (text == nullptr) {
        fputs("null", log);
        return;
    }
    fputc('"', log);
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        const unsigned char c = *p;
        if (c == '"' || c == '\\') {
            fputc('\\', log);
            fputc(c, log);
        } else if (c == '\n') {
            fputs("\\n", log);
        } else if (c == '\r') {
            fputs("\\r", log);
        } else if (c == '\t') {
            fputs("\\t", log);
        } else if (c < 0x20 || c >= 0x7F) {
            fprintf(log, "\\u%04x", static_cast<unsigned>(c));
        } else {
            fputc(c, log);
        }
    }
    fputc('"', log);
}

// Starts a line: {"call":"NAME"
static FILE* BeginCall(const char* call) {
    FILE* log = OpenCallLog();
    if (log != nullptr) {
        fprintf(log, "{\"call\":\"%s\"", call);
    }
    return log;
}

static void WriteStringField(FILE* log, const char* key, const char* value) {
    if (log == nullptr) {
        return;
    }
    fprintf(log, ",\"%s\":", key);
    WriteJsonString(log, value);
}

static void WriteNumberField(FILE* log, const char* key, long long value) {
    if (log != nullptr) {
        fprintf(log, ",\"%s\":%lld", key, value);
    }
}

// ---- Paths -----------------------------------------------------------------

static bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

static bool IsAbsolute(const char* name) {
#ifdef _WIN32
    if (name[0] != '\0' && name[1] == ':') {
        return true;
    }
#endif
    return IsSeparator(name[0]);
}

// True when name ends in ".pak", in any case.
static bool IsArchiveName(const char* name) {
    const size_t length = strlen(name);
    if (length < 4) {
        return false;
    }
    const char* ext = name + length - 4;
    return ext[0] == '.' && (ext[1] == 'p' || ext[1] == 'P') && (ext[2] == 'a' || ext[2] == 'A') &&
           (ext[3] == 'k' || ext[3] == 'K');
}

static bool IsFolder(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// Joins root and a normalised relative path into out; false when it does not fit.
static bool JoinPath(char* out, const char* root, const char* relative) {
    const int n = snprintf(out, kFsPathSize, "%s/%s", root, relative);
    return n > 0 && static_cast<size_t>(n) < kFsPathSize;
}

// The normalised form: components joined by single '/', no leading or trailing
// separator, no "." components, each "dir/.." pair removed, and a ".." with no
// component before it dropped, so the path never climbs above a source's root.
// The result is never longer than src; dest may be src itself (or a buffer apart).
static void NormalizePath(char* dest, const char* src) {
    // Each byte written maps to a byte of src at or before it, and the reading
    // position runs ahead of the writing one, so in-place use is safe.
    size_t i = 0;
    size_t o = 0;
    while (src[i] != '\0') {
        while (IsSeparator(src[i])) {
            ++i;
        }
        if (src[i] == '\0') {
            break;
        }
        const size_t start = i;
        while (src[i] != '\0' && !IsSeparator(src[i])) {
            ++i;
        }
        const size_t length = i - start;
        if (length == 1 && src[start] == '.') {
            continue;
        }
        if (length == 2 && src[start] == '.' && src[start + 1] == '.') {
            while (o > 0 && dest[o - 1] != '/') {
                --o;
            }
            if (o > 0) {
                --o; // the separator before the removed component
            }
            continue;
        }
        if (o > 0) {
            dest[o++] = '/';
        }
        memmove(dest + o, src + start, length);
        o += length;
    }
    dest[o] = '\0';
}

// True when some component of a normalised path ends in a dot or a blank. Windows
// strips those when it opens a file, so "a/.. /b" would climb there; such names
// cannot be made on Windows anyway, and are refused on every target alike.
static bool HasTrimmedComponent(const char* normalized) {
    for (const char* p = normalized; *p != '\0'; ++p) {
        if ((*p == '.' || *p == ' ') && (p[1] == '/' || p[1] == '\0')) {
            return true;
        }
    }
    return false;
}

// Normalises path into out (kFsPathSize bytes) for a lookup; false when it is too
// long, names no file at all (the empty path would be a source's root), or holds
// a component that Windows would trim.
static bool NormalizeLookup(char* out, const char* path) {
    if (path == nullptr || strlen(path) >= kFsPathSize) {
        return false;
    }
    NormalizePath(out, path);
    return out[0] != '\0' && !HasTrimmedComponent(out);
}

// Finds the normalised path in the sources, the latest mount first. On success
// full holds the file's full path and info its status.
static bool FindFile(const char* normalized, char* full, struct stat* info) {
    for (int s = sourceCount - 1; s >= 0; --s) {
        if (!JoinPath(full, sources[s].root, normalized)) {
            continue;
        }
        if (stat(full, info) == 0 && S_ISREG(info->st_mode)) {
            return true;
        }
    }
    return false;
}

static OpenFile* FileOf(FS_HANDLE handle) {
    if (handle == 0 || handle > static_cast<FS_HANDLE>(kMaxOpenFiles)) {
        return nullptr;
    }
    OpenFile* entry = &openFiles[handle - 1];
    return entry->file != nullptr ? entry : nullptr;
}

static void CloseAll() {
    for (int i = 0; i < kMaxOpenFiles; ++i) {
        if (openFiles[i].file != nullptr) {
            fclose(openFiles[i].file);
            openFiles[i].file = nullptr;
        }
    }
    sourceCount = 0;
}

// ---- The exports -----------------------------------------------------------

int FS_init(void) {
    CloseCallLog(BeginCall("FS_init"));
    CloseAll(); // a second start begins afresh
    return 1;
}

// Returns 1 when a folder was mounted, 0 when the source was accepted and yields
// nothing (an archive file, a name that is no folder, a path too long, a full table).
int FS_add_source(const char* name, int flag, int reserved1, int reserved2) {
    FILE* log = BeginCall("FS_add_source");
    WriteStringField(log, "name", name);
    WriteNumberField(log, "flag", flag);
    WriteNumberField(log, "arg3", reserved1);
    WriteNumberField(log, "arg4", reserved2);
    CloseCallLog(log);
    if (name == nullptr || name[0] == '\0' || IsArchiveName(name) || sourceCount >= kMaxSources) {
        return 0;
    }
    // Resolved now, so a later change of the working folder does not move the source.
    char root[kFsPathSize];
    if (IsAbsolute(name)) {
        if (strlen(name) >= kFsPathSize) {
            return 0;
        }
        strcpy(root, name);
    } else {
        char cwd[kFsPathSize];
        if (getcwd(cwd, sizeof cwd) == nullptr || !JoinPath(root, cwd, name)) {
            return 0;
        }
    }
    // No trailing separators, so joins give one separator (a bare "/" or drive root stays).
    size_t length = strlen(root);
    while (length > 1 && IsSeparator(root[length - 1]) && root[length - 2] != ':') {
        root[--length] = '\0';
    }
    if (!IsFolder(root)) {
        return 0;
    }
    strcpy(sources[sourceCount].root, root);
    ++sourceCount;
    return 1;
}

FS_HANDLE FS_open(const char* path, int mode) {
    FS_HANDLE result = 0;
    char normalized[kFsPathSize];
    char full[kFsPathSize];
    struct stat info;
    int slot = 0;
    while (slot < kMaxOpenFiles && openFiles[slot].file != nullptr) {
        ++slot;
    }
    // A file longer than a length can tell is refused rather than misreported.
    if (slot < kMaxOpenFiles && NormalizeLookup(normalized, path) &&
        FindFile(normalized, full, &info) && info.st_size <= INT32_MAX) {
        FILE* file = fopen(full, "rb");
        if (file != nullptr) {
            openFiles[slot].file = file;
            openFiles[slot].length = static_cast<int32_t>(info.st_size);
            result = static_cast<FS_HANDLE>(slot + 1);
        }
    }
    FILE* log = BeginCall("FS_open");
    WriteStringField(log, "path", path);
    WriteNumberField(log, "mode", mode);
    WriteNumberField(log, "result", result);
    CloseCallLog(log);
    return result;
}

int32_t FS_length(FS_HANDLE handle) {
    const OpenFile* entry = FileOf(handle);
    const int32_t result = entry != nullptr ? entry->length : -1;
    FILE* log = BeginCall("FS_length");
    WriteNumberField(log, "handle", handle);
    WriteNumberField(log, "result", result);
    CloseCallLog(log);
    return result;
}

int32_t FS_read(FS_HANDLE handle, void* dest, int32_t count) {
    int32_t result = -1;
    OpenFile* entry = FileOf(handle);
    if (entry != nullptr && count >= 0 && (dest != nullptr || count == 0)) {
        const size_t got = fread(dest, 1, static_cast<size_t>(count), entry->file);
        result = ferror(entry->file) ? -1 : static_cast<int32_t>(got);
    }
    FILE* log = BeginCall("FS_read");
    WriteNumberField(log, "handle", handle);
    WriteNumberField(log, "count", count);
    WriteNumberField(log, "result", result);
    CloseCallLog(log);
    return result;
}

void FS_close(FS_HANDLE handle) {
    OpenFile* entry = FileOf(handle);
    if (entry != nullptr) {
        fclose(entry->file);
        entry->file = nullptr;
    }
    FILE* log = BeginCall("FS_close");
    WriteNumberField(log, "handle", handle);
    CloseCallLog(log);
}

int FS_exists(const char* name) {
    char normalized[kFsPathSize];
    char full[kFsPathSize];
    struct stat info;
    const int result =
        NormalizeLookup(normalized, name) && FindFile(normalized, full, &info) ? 1 : 0;
    FILE* log = BeginCall("FS_exists");
    WriteStringField(log, "name", name);
    WriteNumberField(log, "result", result);
    CloseCallLog(log);
    return result;
}

void FS_path_normalize(char* dest, const char* src) {
    if (dest == nullptr) {
        return;
    }
    if (src == nullptr) {
        dest[0] = '\0';
        return;
    }
    // The source text is recorded before dest, which may be the same buffer, changes.
    FILE* log = BeginCall("FS_path_normalize");
    WriteStringField(log, "source", src);
    NormalizePath(dest, src);
    WriteStringField(log, "result", dest);
    CloseCallLog(log);
}

void FS_shutdown(void) {
    CloseAll();
    CloseCallLog(BeginCall("FS_shutdown"));
}
