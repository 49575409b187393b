// The Java parameter compilation step, with a batch file that records its arguments.
#include "host.h"

#include "test_folder.h"

#include <gtest/gtest.h>

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

} // namespace
