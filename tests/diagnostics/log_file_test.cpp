// The file log of this target as a run sees it: each case runs in a child process
// of its own (the log opens once per run) in a fresh working folder, and the test
// then reads what the child left on disk.
#include "child_process.h"

#include "filesystem.h"
#include "log.h"

#include <gtest/gtest.h>

#include <time.h>

#include <filesystem>
#include <string>
#include <vector>

namespace stdfs = std::filesystem;

namespace {

// ---- The cases, run inside the child -----------------------------------------

int RunCase(const std::string& name) {
    if (name == "nothing") {
        LogEcho("WARNING [file] %s\n", "cannot open");
        return 0;
    }
    if (name == "write") {
        LogWrite("a\nb\n");
        LogEcho("echo %d\n", 1);
        LogWrite("%s=%d\n", "key", 5);
        LogWrite("c\r\nd");
        LogWrite("\n");
        return 0;
    }
    if (name == "bounds") {
        LogWrite("%s", std::string(3000, 'x').c_str());
        LogWrite("%s\n", std::string(2045, 'y').c_str());
        return 0;
    }
    if (name == "dated") {
        FS_init();
        FS_add_source("fsroot", 0, 0, 0);
        LogWrite("dated\n");
        return 0;
    }
    if (name == "unwritable") {
        LogWrite("lost\n");
        LogWrite("lost too\n");
        return 0;
    }
    if (name == "fatal-first") {
        FatalError("fatal %d\n", 7);
    }
    if (name == "fatal-after") {
        LogWrite("before\n");
        FatalError("fatal %s\nend", "text");
    }
    return 100; // an unknown case
}

// ---- The tests, run in the parent --------------------------------------------

class LogFileTest : public ::testing::Test {
  protected:
    LogFileTest() : folder_("log_file_test") {}

    // Runs the case in the working folder; its standard error lands beside it.
    int Run(const char* caseName) {
        stderrPath_ = folder_.path().parent_path() /
                      (folder_.path().filename().string() + "_" + caseName + ".stderr");
        const int code = RunSelfAsChild(caseName, stderrPath_);
        stderrText_ = ReadTextFile(stderrPath_);
        std::error_code ignored;
        stdfs::remove(stderrPath_, ignored);
        return code;
    }

    std::vector<std::string> Entries(const stdfs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : stdfs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    TempFolder folder_;
    stdfs::path stderrPath_;
    std::string stderrText_;
};

TEST_F(LogFileTest, NothingLoggedLeavesAnEarlierLogUnchanged) {
    WriteTextFile("crash.log", "earlier run\r\n");
    ASSERT_EQ(0, Run("nothing"));
    EXPECT_EQ("earlier run\r\n", ReadTextFile("crash.log"));
    EXPECT_EQ(std::vector<std::string>{"crash.log"}, Entries("."));
}

TEST_F(LogFileTest, NothingLoggedCreatesNoFile) {
    ASSERT_EQ(0, Run("nothing"));
    EXPECT_TRUE(Entries(".").empty());
}

TEST_F(LogFileTest, FirstWriteEmptiesTheLogAndStoresCrLf) {
    WriteTextFile("crash.log", std::string(5000, 'o'));
    ASSERT_EQ(0, Run("write"));
    // The echo is recorded nowhere; an LF that starts a text stays bare.
    EXPECT_EQ("a\r\nb\r\nkey=5\r\nc\r\nd\n", ReadTextFile("crash.log"));
}

TEST_F(LogFileTest, LongTextsAreCutOnDisk) {
    ASSERT_EQ(0, Run("bounds"));
    EXPECT_EQ(std::string(2046, 'x') + std::string(2045, 'y') + "\r\n", ReadTextFile("crash.log"));
}

std::string DatedName(time_t when) {
    struct tm local = *localtime(&when);
    char name[64];
    strftime(name, sizeof name, "crash_%Y-%m-%d_%H%M.log", &local);
    return name;
}

TEST_F(LogFileTest, DebugMarkerSelectsTheDatedName) {
    WriteTextFile("fsroot/debug.fnt", "");
    WriteTextFile("crash.log", "untouched");
    const time_t before = time(nullptr);
    ASSERT_EQ(0, Run("dated"));
    const time_t after = time(nullptr);

    EXPECT_EQ("untouched", ReadTextFile("crash.log"));
    ASSERT_TRUE(stdfs::is_directory("logs"));
    const std::vector<std::string> logs = Entries("logs");
    ASSERT_EQ(1u, logs.size());
    EXPECT_TRUE(logs[0] == DatedName(before) || logs[0] == DatedName(after)) << logs[0];
    EXPECT_EQ("dated\r\n", ReadTextFile(stdfs::path("logs") / logs[0]));
}

TEST_F(LogFileTest, DatedNameFallsBackToCrashLog) {
    WriteTextFile("fsroot/debug.fnt", "");
    WriteTextFile("logs", "a file where the folder should be");
    ASSERT_EQ(0, Run("dated"));
    EXPECT_EQ("dated\r\n", ReadTextFile("crash.log"));
}

TEST_F(LogFileTest, UnwritableLogLosesTextsQuietly) {
    stdfs::create_directories("crash.log"); // a folder: the file cannot be created
    EXPECT_EQ(0, Run("unwritable"));
    EXPECT_TRUE(stdfs::is_directory("crash.log"));
}

TEST_F(LogFileTest, FatalErrorBeforeAnyWriteCreatesNoFile) {
    EXPECT_EQ(kFatalExitCode, Run("fatal-first"));
    EXPECT_TRUE(Entries(".").empty());
#ifndef _WIN32
    EXPECT_EQ("fatal 7\n", stderrText_); // natively the text goes to stderr, not a box
#endif
}

TEST_F(LogFileTest, FatalErrorAppendsItsTextUnconverted) {
    EXPECT_EQ(kFatalExitCode, Run("fatal-after"));
    EXPECT_EQ("before\r\nfatal text\nend", ReadTextFile("crash.log"));
}

} // namespace

int main(int argc, char** argv) {
    return ChildCaseMain(argc, argv, RunCase);
}
