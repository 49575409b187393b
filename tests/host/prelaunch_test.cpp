// The pre-launch tools: the Java parameter compilation, with a batch file that records
// its arguments, and the diagnostics report, with a stand-in tool that records its
// process id.
#include "host.h"

#include "test_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char* const kRecordingBatch = "@echo %*> args.txt\r\n";

std::string ReadArguments() {
    std::ifstream file("args.txt");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(CompileParams, RunsTheBatchFileOverAParamsFolder) {
    TempFolder folder("params");
    WriteTextFile("JDK/bin/compile.bat", kRecordingBatch);
    std::filesystem::create_directory("Params"); // empty: still compiled
    CompileParams();
    // The batch file has ended by now: the compile step waits for it.
    EXPECT_EQ(ReadArguments(), "-classpath Java -d Java Params\\*.java\n");
}

TEST(CompileParams, DoesNothingWithoutAParamsFolder) {
    TempFolder folder("noparams");
    WriteTextFile("JDK/bin/compile.bat", kRecordingBatch);
    CompileParams();
    EXPECT_FALSE(std::filesystem::exists("args.txt"));

    WriteTextFile("Params", "a file, not a folder");
    CompileParams();
    EXPECT_FALSE(std::filesystem::exists("args.txt"));
}

TEST(CompileParams, AMissingBatchFileGoesUnnoticed) {
    TempFolder folder("nobatch");
    std::filesystem::create_directory("Params");
    CompileParams();
    EXPECT_FALSE(std::filesystem::exists("args.txt"));
}

// The stand-in tool, built beside this test program.
std::string DxDiagStubPath() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + "dxdiag_stub.exe";
}

TEST(RunDxDiag, LeavesNoHandleToTheToolsProcess) {
    const std::string stub = DxDiagStubPath();
    TempFolder folder("dxdiag");
    // Found in the working folder before the search path.
    ASSERT_TRUE(CopyFileA(stub.c_str(), "dxdiag.exe", FALSE));
    RunDxDiag();

    DWORD toolId = 0;
    for (int i = 0; i < 500 && toolId == 0; ++i) {
        std::ifstream("dxdiag_pid.txt") >> toolId;
        Sleep(10);
    }
    ASSERT_NE(toolId, 0u) << "the tool did not start";
    // Once the tool has ended, its process can still be opened only while some handle
    // keeps the process object alive; the host must not be that holder.
    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, toolId);
        gone = process == nullptr;
        if (process != nullptr) {
            CloseHandle(process);
            Sleep(10);
        }
    }
    EXPECT_TRUE(gone) << "the ended tool's process object is still held";
}

} // namespace
