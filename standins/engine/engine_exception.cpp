#include "engine_exception.h"

// The vtable of type_info, which every RTTI type descriptor points to. msvcrt.dll
// exports it only as data, which the MSVC-ABI objects cannot reach without dllimport;
// matching thrown types compares the descriptors' names, never this table, so a local
// definition of the name is all that is needed.
extern "C" const void* const kTypeInfoVtable[1] __asm__("??_7type_info@@6B@") = {nullptr};

CEngineException::CEngineException(const char* text, const char* file, int line)
    : message(text), sourceFile(file), sourceLine(line) {}

// Out of line, so the vtable and the RTTI are made here once.
CEngineException::~CEngineException() {}
