// engine_loader.exe CLASS [COMMANDLINE]: drives TarvexEngine2.dll as the host does
// (version, InitializeGameScript with the default settings, CreateGame, Init, the
// PeekMessageA loop with OnIdle, the deleting destructor, UninitializeGameScript), so
// engine scenarios that end the process can run in a child, and the demo window can
// be looked at by hand.
//
// Exit code: the WM_QUIT wParam, or Init's result when it is not 0, or one of the
// kExit* codes below. An exception that nothing handles is written to exception.txt
// in the working folder (code=, then for C++ exceptions type=, and for a
// CEngineException message=, sourceFile=, sourceLine=), and ends with kExitUnhandled.
#include <windows.h>

#include <cstdio>

#include "engine.h"

namespace {

const int kExitUsage = 201;
const int kExitVersion = 202;
const int kExitNoGame = 203;
const int kExitUnhandled = 204;

LONG WINAPI WriteUnhandled(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    FILE* out = std::fopen("exception.txt", "wb");
    if (out != nullptr) {
        std::fprintf(out, "code=%08lx\n", static_cast<unsigned long>(record->ExceptionCode));
        const char* type = MsvcThrownTypeName(record);
        if (type != nullptr) {
            std::fprintf(out, "type=%s\n", type);
        }
        const CEngineException* thrown = ThrownEngineException(record);
        if (thrown != nullptr) {
            std::fprintf(out, "message=%s\nsourceFile=%s\nsourceLine=%d\n", thrown->message,
                         thrown->sourceFile, thrown->sourceLine);
        }
        std::fclose(out);
    }
    ExitProcess(kExitUnhandled);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: engine_loader CLASS [COMMANDLINE]\n");
        return kExitUsage;
    }
    SetUnhandledExceptionFilter(WriteUnhandled);
    const char* gameClassName = argv[1];
    const char* commandLine = argc == 3 ? argv[2] : "";
    HINSTANCE instance = GetModuleHandleA(nullptr);

    if (GetEngineDllVersion() != kEngineDllVersion) {
        return kExitVersion;
    }
    InitializeGameScript(instance, "Java", "code", gameClassName);
    CGame* game = CreateGame(gameClassName, instance, 1);
    if (game == nullptr) {
        return kExitNoGame;
    }
    int exitCode = game->Init(commandLine, SW_SHOWDEFAULT);
    if (exitCode == 0) {
        MSG message;
        for (;;) {
            if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    exitCode = static_cast<int>(message.wParam);
                    break;
                }
                TranslateMessage(&message);
                DispatchMessageA(&message);
            } else {
                game->OnIdle();
            }
        }
    }
    game->DeletingDestructor(1);
    UninitializeGameScript();
    return exitCode;
}
