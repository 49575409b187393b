// Optional jobs before the file system starts: compiling the Java parameter classes
// and having the DirectX diagnostic tool write its report once. Both work relative
// to the working folder and report nothing to the log.
#include "host.h"

#include <direct.h>
#include <errno.h>
#include <io.h>
#include <process.h>

namespace {

const char* const kParamsFolder = "Params";
const char* const kCompileBatch = "JDK\\bin\\compile.bat";
// The existence test and the report name differ in case only; the platform's file
// names do not.
const char* const kDxDiagReportCheck = "logs/DXdiags.txt";
const char* const kDxDiagReport = "logs/DXDiags.txt";
const char* const kLogsFolder = "logs/";

const char* DxDiagErrorText(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
        return "... ERROR: File or path is not found\n";
    case E2BIG:
        return "... ERROR: Argument list exceeds 1024 bytes\n";
    case ENOEXEC:
        return "... ERROR: Specified file is not executable or has invalid executable-file "
               "format\n";
    case ENOMEM:
        return "... ERROR: Not enough memory is available to execute new process\n";
    case EINVAL:
        return "... ERROR: mode argument is invalid\n";
    default:
        return "unknown";
    }
}

} // namespace

void CompileParams() {
    _finddata_t entry;
    const intptr_t search = _findfirst(kParamsFolder, &entry);
    if (search == -1) {
        return;
    }
    _findclose(search);
    if ((entry.attrib & _A_SUBDIR) == 0) {
        return;
    }
    // The pattern goes to the batch file unexpanded; start-up waits for the compiler.
    const char* const argv[] = {kCompileBatch, "-classpath",     "Java", "-d",
                                "Java",        "Params\\*.java", nullptr};
    _spawnv(_P_WAIT, kCompileBatch, argv);
}

void RunDxDiag() {
    FILE* report = fopen(kDxDiagReportCheck, "r");
    if (report != nullptr) {
        fclose(report);
        return;
    }
    _mkdir(kLogsFolder); // may exist already
    OutputDebugStringA("Trying to run DXdiag.exe ... \n");
    // The vector starts with "/t" itself, not with the program name.
    const intptr_t started = _spawnlp(_P_NOWAIT, "dxdiag.exe", "/t", kDxDiagReport, nullptr);
    const int spawnError = errno;
    if (started == -1) {
        OutputDebugStringA(DxDiagErrorText(spawnError));
        return;
    }
    // A started program comes with a handle to its process; nobody waits for the tool,
    // and a handle kept would keep the ended process's object alive with the game.
    CloseHandle(reinterpret_cast<HANDLE>(started));
    OutputDebugStringA("... OK\n");
}
