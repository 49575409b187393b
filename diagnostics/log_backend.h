// What the run's log file needs of its platform. log_file.cpp keeps the control
// flow, the buffers and the line-end conversion; a backend only moves bytes.
// Nothing here allocates: FatalError also runs inside the exception path.
#pragma once

#include <stddef.h>

// Creates (empties) the log file; false when it cannot.
bool LogFileCreate(const char* name);
// Appends length bytes when a file is open; errors are ignored.
void LogFileWrite(const char* text, size_t length);
// Brings what was written to the disk, when a file is open.
void LogFileFlush();
// Hands a text to the debugger output, where the platform has one.
void LogDebugOutput(const char* text);
// Shows a fatal error's text to the user and ends the process with exit code -1.
[[noreturn]] void LogFatalExit(const char* text, size_t length);
