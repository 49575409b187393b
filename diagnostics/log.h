// The run's log: one plain-text file, created by the first LogWrite of the run and
// written straight through to disk, every text also handed to the debugger output.
// All state is process-wide and static; callers run on the main thread only.
#pragma once

#include <stddef.h>

// Sizes of the log's static buffers.
const size_t kLogMessageSize = 2048;
const size_t kLogDatedNameSize = 1024;

// Opens "crash.log", or the dated name when the archive file system holds
// "debug.fnt". Called by LogWrite on its first use; attempted once per run.
void LogOpen();
// Formats and appends a text; LF line ends are stored as CR LF.
void LogWrite(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// The warning channel: formats the text and records it nowhere.
void LogEcho(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Records the text (when the log is open), shows the fatal box and ends the
// process with exit code -1. Never returns.
[[noreturn]] void FatalError(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// "logs/crash_<yyyy-MM-dd>_<hhmm>.log" in a static buffer, valid until the next call.
const char* MakeDatedLogName();

// Shared by the backends, and callable by tests over buffers of their own.
// Converts LF to CR LF into out (kLogMessageSize bytes) with the log's bounds:
// stops before taking a character once 2046 bytes are out; an LF that is the
// first character, or that follows a CR, is copied bare. Returns the byte count.
size_t ConvertLineEnds(const char* text, char* out);
