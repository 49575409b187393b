// The crash report: when a processor exception reaches the host's translation, the
// faulting thread's call stack, each frame with its function, source line, parameters
// and locals, and then the faulting location are appended to "callstack.txt" in the
// working folder. Runs on the main thread inside the exception's handling, before
// anything is unwound.
#pragma once

#include <windows.h>

#include <stddef.h>

// The report text of one call-stack block is built in a heap buffer of this size; a
// report that would not fit ends with kReportCutLine.
const size_t kReportBufferSize = 131072;
extern const char kReportCutLine[];

// Appends the call-stack block and the exception block of the exception to
// "callstack.txt". Binds the debug-help library on first use; writes nothing when it
// cannot be bound.
void ReportException(EXCEPTION_POINTERS* pointers);

// Walks the stack that context describes and appends the call-stack block.
void WriteCallStack(const CONTEXT* context);

// Writes the call-stack text into buffer (kReportBufferSize bytes, NUL-terminated).
// False when reporting is off or not even the first step of the walk succeeds.
bool WalkCallStack(char* buffer, const CONTEXT* context);

// ---- The report text, shared with the variable dump -------------------------------

// Starts a report text in buffer of size bytes (more than sizeof kReportCutLine).
void ReportBegin(char* buffer, size_t size);
// Formats at the cursor. Output that does not fit is cut, kReportCutLine ends the
// text, and every later write is dropped.
void ReportWrite(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;
bool ReportIsCut();
