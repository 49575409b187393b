// The few Win32 and C runtime declarations the engine uses. The engine is compiled
// for the MSVC ABI, where neither the Windows SDK nor mingw's headers are usable, so
// each function is declared here as the system exports it: Win32 calls are __stdcall
// (decorated name@bytes, resolved by mingw's import libraries), runtime calls cdecl
// from msvcrt.dll (listed in msvcrt.def). Add a function to both places together.
// All are noexcept, as they are (they never throw C++ exceptions): otherwise every
// noexcept destructor calling one would need the MSVC runtime's __std_terminate,
// which msvcrt.dll does not have.
#pragma once

#include <stddef.h>

typedef unsigned long DWORD;
typedef int BOOL;
typedef unsigned int UINT;
// Pointer-sized on both bitnesses.
typedef size_t WPARAM;
typedef ptrdiff_t LPARAM;
typedef ptrdiff_t LRESULT;
typedef unsigned short ATOM;
typedef DWORD COLORREF;
typedef void* HANDLE;
typedef struct HINSTANCE__* HINSTANCE;
typedef struct HWND__* HWND;
typedef struct HDC__* HDC;
typedef struct HBRUSH__* HBRUSH;
typedef struct HICON__* HICON;
typedef struct HMENU__* HMENU;
typedef HICON HCURSOR;

struct RECT {
    long left;
    long top;
    long right;
    long bottom;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    unsigned char rgbReserved[32];
};

typedef LRESULT(__stdcall* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
};

// The leading member of CREATESTRUCTA, all the window procedure reads of it.
struct CREATESTRUCT_HEAD {
    void* lpCreateParams;
};

const UINT WM_DESTROY = 0x0002;
const UINT WM_PAINT = 0x000F;
const UINT WM_NCCREATE = 0x0081;

const DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
const int CW_USEDEFAULT = static_cast<int>(0x80000000u);
const UINT CS_VREDRAW = 0x0001;
const UINT CS_HREDRAW = 0x0002;
const int COLOR_WINDOW = 5;
const int COLOR_WINDOWTEXT = 8;
const int OPAQUE = 2;
const DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
const size_t IDC_ARROW = 32512;

const DWORD FILE_APPEND_DATA = 0x0004;
const DWORD FILE_SHARE_READ = 0x0001;
const DWORD FILE_SHARE_WRITE = 0x0002;
const DWORD FILE_SHARE_DELETE = 0x0004;
const DWORD OPEN_ALWAYS = 4;
const DWORD FILE_ATTRIBUTE_NORMAL = 0x0080;
const DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<size_t>(-1)))

extern "C" {
// kernel32
__declspec(dllimport) HANDLE
    __stdcall CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                          DWORD disposition, DWORD attributes, HANDLE templateFile) noexcept;
__declspec(dllimport) BOOL __stdcall WriteFile(HANDLE file, const void* data, DWORD size,
                                               DWORD* written, void* overlapped) noexcept;
__declspec(dllimport) BOOL __stdcall CloseHandle(HANDLE handle) noexcept;
__declspec(dllimport) DWORD
    __stdcall GetEnvironmentVariableA(const char* name, char* buffer, DWORD size) noexcept;
__declspec(dllimport) DWORD __stdcall GetFileAttributesA(const char* name) noexcept;
__declspec(dllimport) void __stdcall Sleep(DWORD milliseconds) noexcept;
__declspec(dllimport) DWORD __stdcall GetTickCount(void) noexcept;
__declspec(dllimport) BOOL __stdcall QueryPerformanceCounter(long long* count) noexcept;
__declspec(dllimport) HINSTANCE __stdcall GetModuleHandleA(const char* name) noexcept;
__declspec(dllimport) DWORD __stdcall GetLastError(void) noexcept;

// user32
__declspec(dllimport) ATOM __stdcall RegisterClassA(const WNDCLASSA* windowClass) noexcept;
__declspec(dllimport) BOOL
    __stdcall UnregisterClassA(const char* className, HINSTANCE instance) noexcept;
__declspec(dllimport) HWND
    __stdcall CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style,
                              int x, int y, int width, int height, HWND parent, HMENU menu,
                              HINSTANCE instance, void* param) noexcept;
__declspec(dllimport) BOOL __stdcall ShowWindow(HWND window, int showCommand) noexcept;
__declspec(dllimport) BOOL __stdcall UpdateWindow(HWND window) noexcept;
__declspec(dllimport) BOOL __stdcall DestroyWindow(HWND window) noexcept;
__declspec(dllimport) LRESULT
    __stdcall DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
__declspec(dllimport) void __stdcall PostQuitMessage(int exitCode) noexcept;
__declspec(dllimport) BOOL
    __stdcall InvalidateRect(HWND window, const RECT* rect, BOOL erase) noexcept;
__declspec(dllimport) HDC __stdcall BeginPaint(HWND window, PAINTSTRUCT* paint) noexcept;
__declspec(dllimport) BOOL __stdcall EndPaint(HWND window, const PAINTSTRUCT* paint) noexcept;
__declspec(dllimport) HCURSOR __stdcall LoadCursorA(HINSTANCE instance, const char* name) noexcept;
__declspec(dllimport) BOOL __stdcall SetPropA(HWND window, const char* name, HANDLE data) noexcept;
__declspec(dllimport) HANDLE __stdcall GetPropA(HWND window, const char* name) noexcept;
__declspec(dllimport) HANDLE __stdcall RemovePropA(HWND window, const char* name) noexcept;
__declspec(dllimport) DWORD __stdcall GetSysColor(int index) noexcept;

// gdi32
__declspec(dllimport) BOOL
    __stdcall TextOutA(HDC dc, int x, int y, const char* text, int length) noexcept;
__declspec(dllimport) COLORREF __stdcall SetBkColor(HDC dc, COLORREF color) noexcept;
__declspec(dllimport) COLORREF __stdcall SetTextColor(HDC dc, COLORREF color) noexcept;
__declspec(dllimport) int __stdcall SetBkMode(HDC dc, int mode) noexcept;

// msvcrt
void* malloc(size_t size) noexcept;
void free(void* block) noexcept;
void* memcpy(void* dest, const void* src, size_t count) noexcept;
void* memset(void* dest, int value, size_t count) noexcept;
size_t strlen(const char* text) noexcept;
}

// Placement new, so objects can live in malloc'ed memory: the engine never calls
// msvcrt's operator new, whose failure behaviour differs between runtimes.
inline void* operator new(size_t, void* place) noexcept {
    return place;
}
inline void operator delete(void*, void*) noexcept {}
