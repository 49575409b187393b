// Tarvex.exe, the game host: checks and starts the engine module, then pumps the
// thread's messages and lets the game object do its frame work whenever the queue is
// empty, until the quit message ends the run. Everything runs on the main thread.
#include "host.h"

#include "engine.h"
#include "exception_barrier.h"
#include "filesystem.h"
#include "kvparse.h"
#include "log.h"

#include <stdio.h>

namespace {

const int kArchiveCount = 64; // data0.pak to data63.pak
const int kCreateGameMode = 1;

// Offers every archive name whether or not the file exists, then the loose folders;
// later sources win. No result is looked at.
void MountSources() {
    char archiveName[kArchiveNameSize];
    for (int i = 0; i < kArchiveCount; ++i) {
        snprintf(archiveName, sizeof archiveName, "data%d.pak", i);
        archiveName[kArchiveNameSize - 1] = '\0';
        FS_add_source(archiveName, 1, 0, 0);
    }
    FS_add_source(".", 0, 0, 0);
    FS_add_source("data", 1, 0, 0);
}

// The game's run: Init, and the message loop when Init returns 0. The loop never
// blocks: an empty queue gives the game object one OnIdle, and every waiting message
// is handled before the next. Returns the exit code: the quit message's wParam, or
// Init's own non-zero result, so a caller can tell why the game never ran.
UINT RunGame(CGame* game, const char* commandLine, int showCommand) {
    const int initResult = game->Init(commandLine, showCommand);
    if (initResult != 0) {
        return static_cast<UINT>(initResult);
    }
    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return static_cast<UINT>(message.wParam);
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            game->OnIdle();
        }
    }
}

struct GameRun {
    CGame* game;
    const char* commandLine;
    int showCommand;
    UINT exitCode;
};

void RunGameInsideBarrier(void* run) {
    GameRun* gameRun = static_cast<GameRun*>(run);
    gameRun->exitCode = RunGame(gameRun->game, gameRun->commandLine, gameRun->showCommand);
}

// Stops any sound still playing. The sound library is loaded here rather than linked:
// the host needs it only now, and loading it with the host lengthened every start.
void StopSound() {
    HMODULE winmm = LoadLibraryA("winmm.dll");
    if (winmm == nullptr) {
        return;
    }
    typedef BOOL(WINAPI * PlaySoundFunction)(LPCSTR, HMODULE, DWORD);
    // Through void*: the entry point's true type is known only here.
    const PlaySoundFunction playSound = reinterpret_cast<PlaySoundFunction>(
        reinterpret_cast<void*>(GetProcAddress(winmm, "PlaySoundA")));
    if (playSound != nullptr) {
        playSound(nullptr, nullptr, 0);
    }
}

// The orderly end. The mutex and the log file are left to the end of the process.
[[noreturn]] void ShutDown(CGame* game, UINT exitCode) {
    if (game != nullptr) {
        game->DeletingDestructor(1); // the engine frees its own object
    }
    StopSound();
    UninitializeGameScript();
    FS_shutdown(); // after the engine, which may still read files while it stops
    ExitProcess(exitCode);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, LPSTR commandLine,
                   int showCommand) {
    // 1. Engine version: first of all, so a mismatched engine leaves no trace (no mutex).
    if (GetEngineDllVersion() != kEngineDllVersion) {
        MessageBoxA(nullptr, "Invalid engine dll version!", "Error...", MB_ICONERROR);
        return 0;
    }

    // 2. Single instance: before the working folder changes, so data\Running.scr is
    //    read from the folder this copy was started in.
    if (!CheckSingleInstance(commandLine)) {
        return 0;
    }

    // 3. No system fault box: a crash ends in our own report and box instead.
    SetErrorMode(SEM_NOGPFAULTERRORBOX);

    // 4. Processor-exception translation: from here on a fault is reported before the
    //    process ends with its code (or, inside the barrier of step 16, with the box).
    InstallExceptionTranslation();

    // 5. Working folder: every later relative path names a file of the game folder.
    EnterExecutableFolder();

    // 6. Pre-launch tools: they need the game folder, and must finish (compile) or
    //    start (diagnostics) before the file system and the engine look for classes.
    CompileParams();
    RunDxDiag();

    // 7. and 8. The archive file system and its sources, before anything reads a file
    //    through it (the log's "debug.fnt" test, the configuration).
    FS_init();
    MountSources();

    // 9. Argument vector, which the configuration lookup searches.
    SplitCommandLine(commandLine, instance);

    // 10. Defaults, in force whatever happens to the configuration file.
    GameSettings settings; // stays on this frame until ExitProcess: the engine may keep it
    SetDefaultSettings(&settings);

    // 11. Configuration path: "game.ini", or the last "ini=" argument.
    const char* configurationPath = ConfigurationPath();

    // 12. Parse: null when the file is missing, holds no call, or fails to parse.
    CKVPARSE_KEYWORD* configuration = ParseScriptFile(configurationPath, nullptr, nullptr, nullptr);

    // 13. Settings from the tree, which is released at once.
    ApplySettings(configuration, &settings);
    delete configuration;

    // 14. Engine start with the three settings.
    InitializeGameScript(instance, settings.classFolder, settings.packedClasses,
                         settings.gameClassName);

    // 15. The game object, owned by this function from here to the shut-down.
    CGame* game = CreateGame(settings.gameClassName, instance, kCreateGameMode);
    if (game == nullptr) {
        // FatalError records its text only in a log that is already open: a header
        // line opens it, as the exception barrier's do.
        LogWrite("*** No Game Object ***\n");
        FatalError("Cannot create the game object '%s'\n", settings.gameClassName);
    }

    // 16. The game's run: Init and the message loop, inside the exception barrier that
    //     ends every failure here with a logged line and a fatal box.
    GameRun run = {game, commandLine, showCommand, 0};
    RunInsideBarrier(RunGameInsideBarrier, &run);

    // 17. Shut-down; never returns.
    ShutDown(game, run.exitCode);
}
