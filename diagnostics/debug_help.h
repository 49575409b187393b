// Run-time binding of the platform's debug-help library (dbghelp.dll), which the
// crash report walks the stack and reads symbols, lines and types with. The library
// is loaded by name at the first report, never at start-up. All state is process-wide
// and used on the main thread only.
#pragma once

#include <windows.h>

#include <dbghelp.h>

// Cleared when the library cannot be loaded, lacks an entry point the walk cannot do
// without, or its symbol handler cannot be initialised; never set again. Every report
// tests it first.
extern bool crashReportEnabled;

// The current process once the binding has been made; null before.
extern HANDLE debugHelpProcess;

// The entry points, each null when the library lacks it. The binding fails without
// SymSetOptions, SymInitialize, ImageNtHeader, SymGetModuleBase64,
// SymFunctionTableAccess64 and StackWalk64. Without SymFromAddr the report lists bare
// addresses (an older library); without SymGetLineFromAddr64 it shows no lines; without
// SymSetContext, SymEnumSymbols or SymGetTypeInfo it lists no variables; without
// SymCleanup nothing is released at exit. A missing entry point is never called.
struct DebugHelpEntryPoints {
    decltype(&::SymCleanup) SymCleanup;
    decltype(&::SymSetOptions) SymSetOptions;
    decltype(&::SymInitialize) SymInitialize;
    decltype(&::SymGetTypeInfo) SymGetTypeInfo;
    decltype(&::SymFromAddr) SymFromAddr;
    decltype(&::ImageNtHeader) ImageNtHeader;
    decltype(&::SymGetModuleBase64) SymGetModuleBase64;
    decltype(&::SymFunctionTableAccess64) SymFunctionTableAccess64;
    decltype(&::StackWalk64) StackWalk64;
    decltype(&::SymGetLineFromAddr64) SymGetLineFromAddr64;
    decltype(&::SymSetContext) SymSetContext;
    decltype(&::SymEnumSymbols) SymEnumSymbols;
};
extern DebugHelpEntryPoints debugHelp;

// Loads "dbghelp.dll" (the executable's folder first, as the system searches), resolves
// the entry points and initialises the symbol handler for the whole process, with
// source lines. Does nothing after the first call; clears crashReportEnabled on failure.
void BindDebugHelp();

// True when the frames' variables can be listed.
bool DebugHelpCanListVariables();
