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

extern "C" {
unsigned GetEngineDllVersion(void);
int InitializeGameScript(HINSTANCE instance, const char* classFolder, const char* packedClasses,
                         const char* gameClassName);
CGame* CreateGame(const char* gameClassName, HINSTANCE instance, int mode);
int UninitializeGameScript(void);
}
