// The archive file system as the host and the parser see it: the exports of
// filesystem.dll (C linkage, cdecl, undecorated names). The same declarations
// serve our stand-in, which is linked statically in the native build.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// A handle is a 32-bit value, non-zero when valid.
typedef uint32_t FS_HANDLE;

// Comes first, before every other call. The result is not relied on.
int FS_init(void);
// Mounts an archive file or a folder, relative to the working folder. A name that
// does not exist is accepted without harm. The result is not relied on.
int FS_add_source(const char* name, int flag, int reserved1, int reserved2);
// Opens a file for reading; 0 when it cannot be opened.
FS_HANDLE FS_open(const char* path, int mode);
// Length of the open file in bytes, or -1.
int32_t FS_length(FS_HANDLE handle);
// Reads up to count bytes into dest; -1 on failure. Any other result is success and
// need not be the count read (a file system may answer with a status).
int32_t FS_read(FS_HANDLE handle, void* dest, int32_t count);
void FS_close(FS_HANDLE handle);
// Non-zero when the file exists in some source.
int FS_exists(const char* name);
// Writes the normalised form of src into dest. The normalised path is never longer
// than src, so dest may be src itself (the parser rewrites its paths in place).
void FS_path_normalize(char* dest, const char* src);
// Comes last, after every other call.
void FS_shutdown(void);

#ifdef __cplusplus
}
#endif
