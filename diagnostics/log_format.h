// The bounded formatting that every log backend shares, so that the file logs and
// the standard-error log cut long texts at the same place.
#pragma once

#include <stdarg.h>
#include <stddef.h>

// Formats into out, which holds kLogMessageSize bytes: at most 2047 characters and
// a NUL; longer output is cut without notice. Returns the length of the text.
size_t LogFormatV(char* out, const char* format, va_list args);
