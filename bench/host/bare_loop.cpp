// bare_loop.exe: the least a host can be. It loads the same two modules as Tarvex.exe
// and runs the same PeekMessageA loop, calling an empty function where the host calls
// OnIdle, so that the host's start-up and loop can be compared with it. Its command
// line is the engine's "bench=N": after N turns it appends the engine's bench line
// ({"event":"bench","turns":N,"firstTurn":LOW32,"ticks":T}) to bare.log in its
// working folder and quits.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "engine.h"
#include "filesystem.h"

namespace {

// Taken by address only: the imports make the loader map both modules, as it does
// for the host, without running any of their code.
void* volatile engineImport = reinterpret_cast<void*>(&GetEngineDllVersion);
void* volatile fileSystemImport = reinterpret_cast<void*>(&FS_init);

__attribute__((noinline)) void EmptyTurn() {
    asm volatile("");
}

// Called through a pointer the compiler cannot see through, as the host calls the
// engine's OnIdle through its vtable.
void (*volatile turnFunction)() = EmptyTurn;

unsigned TurnsAsked(const char* commandLine) {
    const char* word = strstr(commandLine, "bench=");
    if (word == nullptr) {
        return 0;
    }
    return static_cast<unsigned>(strtoul(word + strlen("bench="), nullptr, 10));
}

// The line the engine writes for bench=N, with the same fields (see BenchTurn there).
void WriteFigures(unsigned turns, long long firstTurn, long long ticks) {
    FILE* log = fopen("bare.log", "ab");
    if (log == nullptr) {
        return;
    }
    fprintf(log, "{\"event\":\"bench\",\"turns\":%u,\"firstTurn\":%llu,\"ticks\":%llu}\n", turns,
            static_cast<unsigned long long>(firstTurn & 0xFFFFFFFF),
            static_cast<unsigned long long>(ticks & 0xFFFFFFFF));
    fclose(log);
}

} // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previousInstance*/, LPSTR commandLine,
                   int /*showCommand*/) {
    (void)engineImport;
    (void)fileSystemImport;
    const unsigned turnsAsked = TurnsAsked(commandLine);
    if (turnsAsked == 0) {
        return 2;
    }
    unsigned turns = 0;
    LARGE_INTEGER first = {};
    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                ExitProcess(static_cast<UINT>(message.wParam));
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            turnFunction();
            ++turns;
            if (turns == 1) {
                QueryPerformanceCounter(&first);
            }
            if (turns == turnsAsked) {
                LARGE_INTEGER last;
                QueryPerformanceCounter(&last);
                WriteFigures(turns, first.QuadPart, last.QuadPart - first.QuadPart);
                PostQuitMessage(0);
            }
        }
    }
}
