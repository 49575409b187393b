// Stand-ins for dbghelp.dll that the crash tests place beside Tarvex.exe, where the
// library is looked for first. DBGHELP_STUB_FAULTS: a library whose stack walk faults,
// so the report itself fails while it runs. DBGHELP_STUB_OLD: an older library without
// SymFromAddr, whose walk gives the faulting frame alone.
// The library's header declares these as imports, so they are written out here with
// the pointer arguments the stubs do not read as void*.
#include <windows.h>

extern "C" {

__declspec(dllexport) DWORD WINAPI SymSetOptions(DWORD options) {
    return options;
}

__declspec(dllexport) BOOL WINAPI SymInitialize(HANDLE, PCSTR, BOOL) {
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI SymCleanup(HANDLE) {
    return TRUE;
}

__declspec(dllexport) PIMAGE_NT_HEADERS WINAPI ImageNtHeader(PVOID base) {
    const IMAGE_DOS_HEADER* dos = static_cast<const IMAGE_DOS_HEADER*>(base);
    return reinterpret_cast<PIMAGE_NT_HEADERS>(static_cast<char*>(base) + dos->e_lfanew);
}

__declspec(dllexport) DWORD64 WINAPI SymGetModuleBase64(HANDLE, DWORD64) {
    return reinterpret_cast<DWORD64>(GetModuleHandleA(nullptr));
}

__declspec(dllexport) PVOID WINAPI SymFunctionTableAccess64(HANDLE, DWORD64) {
    return nullptr;
}

__declspec(dllexport) BOOL WINAPI
    StackWalk64(DWORD, HANDLE, HANDLE, void*, void*, void*, void*, void*, void*) {
#ifdef DBGHELP_STUB_FAULTS
    *static_cast<volatile int*>(nullptr) = 1;
    return FALSE;
#else
    // The frame as the caller set it up, once.
    static bool walked = false;
    const bool first = !walked;
    walked = true;
    return first;
#endif
}

#ifndef DBGHELP_STUB_OLD
__declspec(dllexport) BOOL WINAPI SymFromAddr(HANDLE, DWORD64, DWORD64*, void*) {
    return FALSE;
}
#endif

} // extern "C"
