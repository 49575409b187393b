#include "debug_help.h"

#include <stdlib.h>

bool crashReportEnabled = true;
HANDLE debugHelpProcess = nullptr;
DebugHelpEntryPoints debugHelp;

namespace {

HMODULE library = nullptr;

template <typename Function> void Resolve(Function* slot, const char* name) {
    // Through void*: the entry point's true type is known only here.
    *slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Registered with atexit once the symbol handler is up.
void ReleaseDebugHelp() {
    if (!crashReportEnabled) {
        return;
    }
    if (debugHelp.SymCleanup != nullptr) {
        debugHelp.SymCleanup(debugHelpProcess);
    }
    FreeLibrary(library);
}

bool HasWhatTheWalkNeeds() {
    return debugHelp.SymSetOptions != nullptr && debugHelp.SymInitialize != nullptr &&
           debugHelp.ImageNtHeader != nullptr && debugHelp.SymGetModuleBase64 != nullptr &&
           debugHelp.SymFunctionTableAccess64 != nullptr && debugHelp.StackWalk64 != nullptr;
}

} // namespace

void BindDebugHelp() {
    if (debugHelpProcess != nullptr || !crashReportEnabled) {
        return;
    }
    library = LoadLibraryA("dbghelp.dll");
    if (library == nullptr) {
        crashReportEnabled = false;
        return;
    }
    Resolve(&debugHelp.SymCleanup, "SymCleanup");
    Resolve(&debugHelp.SymSetOptions, "SymSetOptions");
    Resolve(&debugHelp.SymInitialize, "SymInitialize");
    Resolve(&debugHelp.SymGetTypeInfo, "SymGetTypeInfo");
    Resolve(&debugHelp.SymFromAddr, "SymFromAddr");
    Resolve(&debugHelp.ImageNtHeader, "ImageNtHeader");
    Resolve(&debugHelp.SymGetModuleBase64, "SymGetModuleBase64");
    Resolve(&debugHelp.SymFunctionTableAccess64, "SymFunctionTableAccess64");
    Resolve(&debugHelp.StackWalk64, "StackWalk64");
    Resolve(&debugHelp.SymGetLineFromAddr64, "SymGetLineFromAddr64");
    Resolve(&debugHelp.SymSetContext, "SymSetContext");
    Resolve(&debugHelp.SymEnumSymbols, "SymEnumSymbols");
    if (!HasWhatTheWalkNeeds()) {
        crashReportEnabled = false;
        FreeLibrary(library);
        library = nullptr;
        return;
    }
    debugHelpProcess = GetCurrentProcess();
    // Without SYMOPT_LOAD_LINES no source line is ever found.
    debugHelp.SymSetOptions(SYMOPT_DEFERRED_LOADS | SYMOPT_LOAD_LINES);
    if (!debugHelp.SymInitialize(debugHelpProcess, nullptr, TRUE)) {
        crashReportEnabled = false;
        return;
    }
    atexit(ReleaseDebugHelp);
}

bool DebugHelpCanListVariables() {
    return debugHelp.SymSetContext != nullptr && debugHelp.SymEnumSymbols != nullptr &&
           debugHelp.SymGetTypeInfo != nullptr;
}
