// The variable dump of the crash report: each frame's parameters and locals with their
// type names and values, read from this process's memory without ever faulting.
#pragma once

#include <windows.h>

#include <dbghelp.h>

#include <stdint.h>

// Which heading the frame's listing wrote last; the walk resets it for each frame.
enum DumpHeading { kHeadingNone = 0, kHeadingParams = 1, kHeadingLocals = 2 };
extern int dumpHeading;

// The symbol enumeration's callback; userContext is the walk's STACKFRAME64. Writes one
// variable and answers whether the listing goes on (false once the report is full).
BOOL CALLBACK DumpSymbol(PSYMBOL_INFO symbol, ULONG symbolSize, PVOID userContext);

// The basic type that FormatValue tells apart (the debug-help library's btFloat).
const DWORD kBaseTypeFloat = 8;

// Writes "= " and the value of length bytes at address holding count elements (0: one
// value of the whole length) into the report text, ending the line. False when the
// memory cannot be read; what was written stays.
bool WriteValue(DWORD baseType, uint64_t length, uint64_t count, uint64_t address);

// True when readable NUL-terminated text that scores as text starts at address, which
// must lie from 4096 up to the highest address of the process's user space.
bool LooksLikeText(uint64_t address);
