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
#include <cstring>

#include "engine.h"

namespace {

const int kExitUsage = 201;
const int kExitVersion = 202;
const int kExitNoGame = 203;
const int kExitUnhandled = 204;

// The decorated name of the engine's exception class.
const char kEngineExceptionTypeName[] = ".?AVCEngineException@@";

// A 32-bit field of the throw description's tables: an address on i686, an offset from
// the throwing module's base (the record's fourth parameter) on x86_64.
const char* MsvcTableAddress(const EXCEPTION_RECORD* record, const char* table,
                             size_t fieldOffset) {
    DWORD field = 0;
    std::memcpy(&field, table + fieldOffset, sizeof field);
#ifdef _WIN64
    return reinterpret_cast<const char*>(record->ExceptionInformation[3] + field);
#else
    (void)record;
    return reinterpret_cast<const char*>(static_cast<ULONG_PTR>(field));
#endif
}

// The decorated name of the first catchable type of an MSVC C++ exception (the thrown
// type itself), or null for any other exception.
const char* ThrownTypeName(const EXCEPTION_RECORD* record) {
    const DWORD parameters = sizeof(void*) == 8 ? 4 : 3;
    if (record->ExceptionCode != kMsvcExceptionCode || record->NumberParameters < parameters ||
        record->ExceptionInformation[0] != kMsvcExceptionMagic) {
        return nullptr;
    }
    const char* throwInfo = reinterpret_cast<const char*>(record->ExceptionInformation[2]);
    const char* catchableTypes = MsvcTableAddress(record, throwInfo, 12);
    int count = 0;
    std::memcpy(&count, catchableTypes, sizeof count);
    if (count < 1) {
        return nullptr;
    }
    const char* catchable = MsvcTableAddress(record, catchableTypes, 4);
    const char* typeDescriptor = MsvcTableAddress(record, catchable, 4);
    // The name follows the descriptor's two pointer-sized words.
    return typeDescriptor + 2 * sizeof(void*);
}

LONG WINAPI WriteUnhandled(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    FILE* out = std::fopen("exception.txt", "wb");
    if (out != nullptr) {
        std::fprintf(out, "code=%08lx\n", static_cast<unsigned long>(record->ExceptionCode));
        const char* type = ThrownTypeName(record);
        if (type != nullptr) {
            std::fprintf(out, "type=%s\n", type);
        }
        if (type != nullptr && std::strcmp(type, kEngineExceptionTypeName) == 0) {
            const CEngineException* thrown =
                reinterpret_cast<const CEngineException*>(record->ExceptionInformation[1]);
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
