#include "child_process.h"

#include <gtest/gtest.h>

#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace stdfs = std::filesystem;

static const char kCaseFlag[] = "--case";

#ifdef _WIN32
const int kFatalExitCode = -1;

int RunSelfAsChild(const char* caseName, const stdfs::path& stderrPath) {
    char self[MAX_PATH];
    if (GetModuleFileNameA(nullptr, self, MAX_PATH) == 0) {
        return -1001;
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE errors = CreateFileA(stderrPath.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (errors == INVALID_HANDLE_VALUE) {
        return -1002;
    }
    std::string commandLine = std::string("\"") + self + "\" " + kCaseFlag + " " + caseName;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = errors;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(self, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(errors);
    if (!started) {
        return -1003;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
#else
const int kFatalExitCode = 255;

int RunSelfAsChild(const char* caseName, const stdfs::path& stderrPath) {
    const pid_t child = fork();
    if (child < 0) {
        return -1001;
    }
    if (child == 0) {
        const int errors = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errors < 0 || dup2(errors, STDERR_FILENO) < 0) {
            _exit(127);
        }
        close(errors);
        std::string program = "child";
        std::string flag = kCaseFlag;
        std::string name = caseName;
        char* args[] = {program.data(), flag.data(), name.data(), nullptr};
        execv("/proc/self/exe", args);
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) {
        return -1002;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - WTERMSIG(status);
}
#endif

int ChildCaseMain(int argc, char** argv, int (*runCase)(const std::string& name)) {
    if (argc == 3 && strcmp(argv[1], kCaseFlag) == 0) {
        return runCase(argv[2]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
