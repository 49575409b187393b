// driver_target.exe: a small program for the driver's own tests. The first word of the
// command-line tail picks what it does:
//   boxes        debugger texts (its command line, working folder, DRIVER_TEST_VAR and
//                texts that need escaping), three message boxes (no owner, the desktop,
//                another window) and their answers, then ExitProcess(-1)
//   raise        raises a continuable exception that only its own vectored handler
//                takes, and says whether the handler ran; exits 0
//   hang         sleeps for ever
//   waitfile=F   holds the mutex "DriverTestMutex", writes the ready line to
//                engine.log in its working folder, waits for F there and exits 5
#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

const DWORD kOwnException = 0xE0001234;
const size_t kTextSize = 2048;
const int kWaitFileExitCode = 5;

LONG handlerCalls = 0;

LONG CALLBACK OwnHandler(EXCEPTION_POINTERS* pointers) {
    if (pointers->ExceptionRecord->ExceptionCode != kOwnException) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    ++handlerCalls;
    return EXCEPTION_CONTINUE_EXECUTION;
}

void Say(const char* format, const char* value) {
    char text[kTextSize];
    snprintf(text, sizeof text, format, value);
    text[kTextSize - 1] = '\0';
    OutputDebugStringA(text);
}

void Boxes(const char* tail) {
    Say("command line [%s]\n", GetCommandLineA());
    Say("tail [%s]\n", tail);
    char folder[MAX_PATH];
    if (GetCurrentDirectoryA(sizeof folder, folder) > 0) {
        Say("cwd [%s]\n", folder);
    }
    char value[kTextSize];
    if (GetEnvironmentVariableA("DRIVER_TEST_VAR", value, sizeof value) > 0) {
        Say("var [%s]\n", value);
    } else {
        Say("var %s\n", "unset");
    }
    OutputDebugStringA("quote\" backslash\\ tab\t cr\r ctl\x01 high\x80\xff end");
    const int none = MessageBoxA(nullptr, "no owner text", "caption one", MB_ICONERROR);
    const int desktop =
        MessageBoxA(GetDesktopWindow(), "desktop text", "caption two", MB_OK | MB_ICONWARNING);
    const int other = MessageBoxA(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x1234)),
                                  "other text", "caption three", MB_OKCANCEL);
    char answers[64];
    snprintf(answers, sizeof answers, "answers %d %d %d\n", none, desktop, other);
    answers[sizeof answers - 1] = '\0';
    OutputDebugStringA(answers);
    ExitProcess(static_cast<UINT>(-1));
}

int Raise() {
    AddVectoredExceptionHandler(1, OwnHandler);
    RaiseException(kOwnException, 0, 0, nullptr);
    char text[64];
    snprintf(text, sizeof text, "handler calls %ld\n", handlerCalls);
    text[sizeof text - 1] = '\0';
    OutputDebugStringA(text);
    return 0;
}

int WaitFile(const char* name) {
    CreateMutexA(nullptr, TRUE, "DriverTestMutex");
    FILE* log = fopen("engine.log", "ab");
    if (log != nullptr) {
        fputs("{\"call\":\"Init\"}\n", log);
        fclose(log);
    }
    while (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) {
        Sleep(10);
    }
    return kWaitFileExitCode;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR tail, int) {
    if (strncmp(tail, "boxes", 5) == 0) {
        Boxes(tail);
    }
    if (strcmp(tail, "raise") == 0) {
        return Raise();
    }
    if (strcmp(tail, "hang") == 0) {
        Sleep(INFINITE);
    }
    const char* wait = "waitfile=";
    if (strncmp(tail, wait, strlen(wait)) == 0) {
        char name[MAX_PATH];
        snprintf(name, sizeof name, "%s", tail + strlen(wait));
        name[sizeof name - 1] = '\0';
        char* blank = strchr(name, ' ');
        if (blank != nullptr) {
            *blank = '\0';
        }
        return WaitFile(name);
    }
    return 2;
}
