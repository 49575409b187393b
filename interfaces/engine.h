// The engine module TarvexEngine2.dll as the host sees it. The engine is built with
// Microsoft's compiler, so everything here follows the MSVC binary interface:
// cdecl exports with undecorated names, __thiscall member functions, and a virtual
// destructor that takes ONE vtable slot (the scalar deleting destructor).
#pragma once

#include <windows.h>

// The interface version the host accepts: 1 in each 16-bit half.
const unsigned kEngineDllVersion = 0x10001;

// The engine's game object. The host uses it only through its vtable, in this slot
// order. No C++ destructor is declared: GCC's would take two slots, so slot 4 is
// declared as the function it is in the MSVC ABI and called with 1 ("free too").
// The same declaration holds on x86_64, where __thiscall is ignored and both
// compilers pass this first. A slot that returned a structure by value would differ
// there (MSVC returns it through a hidden pointer after this, GCC in registers) and
// would need an explicit result pointer; no slot here does.
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

// An MSVC C++ throw is a structured exception with this code whose record carries this
// magic value, the thrown object and its throw description (on x86_64 also the
// throwing module's base, from which the description's 32-bit fields are offsets).
const DWORD kMsvcExceptionCode = 0xE06D7363;
const ULONG_PTR kMsvcExceptionMagic = 0x19930520;

extern "C" {
unsigned GetEngineDllVersion(void);
int InitializeGameScript(HINSTANCE instance, const char* classFolder, const char* packedClasses,
                         const char* gameClassName);
CGame* CreateGame(const char* gameClassName, HINSTANCE instance, int mode);
int UninitializeGameScript(void);
}
