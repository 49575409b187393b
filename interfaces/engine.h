// The engine module TarvexEngine2.dll as the host sees it. The engine is built with
// Microsoft's compiler, so everything here follows the MSVC binary interface:
// cdecl exports with undecorated names, __thiscall member functions, and a virtual
// destructor that takes ONE vtable slot (the scalar deleting destructor).
#pragma once

#include <windows.h>

#include <string.h>

// The interface version the host accepts: 1 in each 16-bit half.
const unsigned kEngineDllVersion = 0x10001;

// The engine's game object. The host uses it only through its vtable, in this slot
// order. No C++ destructor is declared: GCC's would take two slots, so slot 4 is
// declared as the function it is in the MSVC ABI and called with 1 ("free too").
class CGame {
  public:
    virtual int __thiscall Init(const char* commandLine, int showCommand) = 0;
    virtual void __thiscall Unused() = 0; // never called by the host
    virtual int __thiscall OnIdle() = 0;  // result ignored
    virtual void* __thiscall DeletingDestructor(unsigned flags) = 0;

  protected:
    ~CGame() = default; // deleted only through DeletingDestructor(1)
};

// What the engine throws. One leading word (the vtable pointer of the engine's
// polymorphic class), then the three fields the host reads.
struct CEngineException {
    void* leadingWord;
    const char* message;
    const char* sourceFile;
    int sourceLine;
};

// ---- The engine's C++ exceptions in flight -----------------------------------------
// An MSVC C++ throw is a structured exception whose record carries the thrown object
// and its throw description, which leads through the catchable types to each type's
// decorated name. Read while the exception is dispatched: the object lives in stack
// memory that unwinding gives up.

const DWORD kMsvcExceptionCode = 0xE06D7363;
const ULONG_PTR kMsvcExceptionMagic = 0x19930520;
// The decorated name of CEngineException's type descriptor (the engine's is a class).
const char* const kEngineExceptionTypeName = ".?AVCEngineException@@";

// A 32-bit field of the throw description's tables: an address on i686, an offset from
// the throwing module's base (the record's fourth parameter) on x86_64.
inline const char* MsvcTableAddress(const EXCEPTION_RECORD* record, const char* table,
                                    size_t fieldOffset) {
    DWORD field = 0;
    memcpy(&field, table + fieldOffset, sizeof field);
#ifdef _WIN64
    return reinterpret_cast<const char*>(record->ExceptionInformation[3] + field);
#else
    (void)record;
    return reinterpret_cast<const char*>(static_cast<ULONG_PTR>(field));
#endif
}

// The decorated name of the first catchable type of an MSVC C++ exception (the thrown
// type itself), or null for any other exception.
inline const char* MsvcThrownTypeName(const EXCEPTION_RECORD* record) {
    const DWORD kParameters = sizeof(void*) == 8 ? 4 : 3;
    if (record->ExceptionCode != kMsvcExceptionCode || record->NumberParameters < kParameters ||
        record->ExceptionInformation[0] != kMsvcExceptionMagic ||
        record->ExceptionInformation[2] == 0) {
        return nullptr;
    }
    const char* throwInfo = reinterpret_cast<const char*>(record->ExceptionInformation[2]);
    const char* catchableTypes = MsvcTableAddress(record, throwInfo, 12);
    int count = 0;
    memcpy(&count, catchableTypes, sizeof count);
    if (count < 1) {
        return nullptr;
    }
    const char* catchable = MsvcTableAddress(record, catchableTypes, 4);
    const char* typeDescriptor = MsvcTableAddress(record, catchable, 4);
    // The name follows the descriptor's two pointer-sized words.
    return typeDescriptor + 2 * sizeof(void*);
}

// The thrown CEngineException, or null when the exception is anything else.
inline const CEngineException* ThrownEngineException(const EXCEPTION_RECORD* record) {
    const char* type = MsvcThrownTypeName(record);
    if (type == nullptr || strcmp(type, kEngineExceptionTypeName) != 0) {
        return nullptr;
    }
    return reinterpret_cast<const CEngineException*>(record->ExceptionInformation[1]);
}

extern "C" {
unsigned GetEngineDllVersion(void);
int InitializeGameScript(HINSTANCE instance, const char* classFolder, const char* packedClasses,
                         const char* gameClassName);
CGame* CreateGame(const char* gameClassName, HINSTANCE instance, int mode);
int UninitializeGameScript(void);
}
