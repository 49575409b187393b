// The standard-error log of command-line tools: texts as formatted, warnings
// included, and a fatal error ending the tool with status 2. Each case runs in a
// child process whose standard error is read back.
#include "child_process.h"

#include "log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace stdfs = std::filesystem;

namespace {

// What reaches standard error for a text: on Windows it is in text mode, like the rest
// of a command-line tool's output, so every LF is stored as CR LF.
std::string Stored(std::string text) {
#ifdef _WIN32
    for (size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 2)) {
        text.insert(i, 1, '\r');
    }
#endif
    return text;
}

int RunCase(const std::string& name) {
    if (name == "write") {
        LogWrite("[CKVParse] %s line %d\n", "game.ini", 3);
        LogEcho("WARNING [file] %s\n", "cannot open x");
        LogWrite("a\r\nb\n");
        return 0;
    }
    if (name == "long") {
        LogWrite("%s\n", std::string(3000, 'x').c_str());
        return 0;
    }
    if (name == "fatal") {
        LogWrite("before\n");
        FatalError("fatal %d\n", 9);
    }
    return 100; // an unknown case
}

class LogStderrTest : public ::testing::Test {
  protected:
    LogStderrTest() : folder_("log_stderr_test") {}

    int Run(const char* caseName) {
        const stdfs::path errors = folder_.path().parent_path() /
                                   (folder_.path().filename().string() + "_" + caseName + ".err");
        const int code = RunSelfAsChild(caseName, errors);
        stderrText_ = ReadTextFile(errors);
        std::error_code ignored;
        stdfs::remove(errors, ignored);
        return code;
    }

    TempFolder folder_;
    std::string stderrText_;
};

TEST_F(LogStderrTest, WritesAndWarningsReachStderrUnchanged) {
    ASSERT_EQ(0, Run("write"));
    EXPECT_EQ(Stored("[CKVParse] game.ini line 3\nWARNING [file] cannot open x\na\r\nb\n"),
              stderrText_);
    EXPECT_TRUE(stdfs::is_empty(".")) << "no log file";
}

TEST_F(LogStderrTest, LongTextsAreCut) {
    ASSERT_EQ(0, Run("long"));
    EXPECT_EQ(std::string(2047, 'x'), stderrText_);
}

TEST_F(LogStderrTest, FatalErrorExitsWithStatus2) {
    EXPECT_EQ(2, Run("fatal"));
    EXPECT_EQ(Stored("before\nfatal 9\n"), stderrText_);
    EXPECT_TRUE(stdfs::is_empty("."));
}

} // namespace

int main(int argc, char** argv) {
    return ChildCaseMain(argc, argv, RunCase);
}
