// The stand-in archive file system: path normalisation, mounts and their order,
// file reading through handles, and the JSON call log.
#include "filesystem.h"
#include "test_folder.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace stdfs = std::filesystem;

namespace {

std::vector<std::string> ReadLines(const stdfs::path& path) {
    std::istringstream in(ReadTextFile(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

void SetCallLog(const char* name) {
#ifdef _WIN32
    std::string assignment = std::string("TARVEX_FS_LOG=") + (name != nullptr ? name : "");
    _putenv(assignment.c_str());
#else
    if (name != nullptr) {
        setenv("TARVEX_FS_LOG", name, 1);
    } else {
        unsetenv("TARVEX_FS_LOG");
    }
#endif
}

// Reads a whole file through the file system; "<none>" when it cannot be opened.
std::string ReadThroughFs(const char* path) {
    const FS_HANDLE handle = FS_open(path, 0);
    if (handle == 0) {
        return "<none>";
    }
    std::string content(static_cast<size_t>(FS_length(handle)), '\0');
    const int32_t got = FS_read(handle, content.data(), static_cast<int32_t>(content.size()));
    FS_close(handle);
    return got < 0 ? "<read failed>" : content.substr(0, static_cast<size_t>(got));
}

// Each test runs in a folder of its own, with a fresh file system and no call log.
class FileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetCallLog(nullptr);
        FS_init();
    }
    void TearDown() override {
        FS_shutdown();
        SetCallLog(nullptr);
    }

    TempFolder folder{"fs_test"}; // entered before SetUp, left after TearDown
};

struct NormalizeCase {
    const char* source;
    const char* expected;
};

const NormalizeCase kNormalizeCases[] = {
    {"game.ini", "game.ini"},
    {"a/b/c.txt", "a/b/c.txt"},
    {"a\\b\\c.txt", "a/b/c.txt"},
    {"a//b\\\\/c", "a/b/c"},
    {"./a/./b/.", "a/b"},
    {"a/b/", "a/b"},
    {"/a/b", "a/b"},
    {"\\\\server\\share\\f", "server/share/f"},
    {"a/b/../c", "a/c"},
    {"a/b/c/../../d", "a/d"},
    {"data\\scripts\\..\\game.ini", "data/game.ini"},
    {"a/./../b", "b"},
    {"a/..", ""},
    // Attempts to climb above the root stay inside it.
    {"../a", "a"},
    {"..\\..\\a\\b", "a/b"},
    {"a/../../b", "b"},
    {"x/../..\\..\\etc/passwd", "etc/passwd"},
    {"/../a", "a"},
    {"../../..", ""},
    // Dots inside names are names.
    {"...", "..."},
    {"a/..b/c../.d", "a/..b/c../.d"},
    {"", ""},
    {".", ""},
    {"/", ""},
};

TEST(FsPathNormalize, TableIntoSeparateBufferAndInPlace) {
    for (const NormalizeCase& c : kNormalizeCases) {
        SCOPED_TRACE(std::string("source \"") + c.source + "\"");
        char dest[256];
        memset(dest, 'X', sizeof dest);
        FS_path_normalize(dest, c.source);
        EXPECT_STREQ(c.expected, dest);
        EXPECT_LE(strlen(dest), strlen(c.source));

        // The parser rewrites its paths in place; bytes after the source's NUL stay.
        char buffer[256];
        memset(buffer, 'Y', sizeof buffer);
        strcpy(buffer, c.source);
        const size_t sourceLength = strlen(c.source);
        FS_path_normalize(buffer, buffer);
        EXPECT_STREQ(c.expected, buffer);
        for (size_t i = sourceLength + 1; i < sizeof buffer; ++i) {
            ASSERT_EQ('Y', buffer[i]) << "written past the source at " << i;
        }
    }
}

TEST(FsPathNormalize, NullSourceGivesEmptyPath) {
    char dest[8] = "old";
    FS_path_normalize(dest, nullptr);
    EXPECT_STREQ("", dest);
}

TEST_F(FileSystemTest, OpenReadsTheWholeFileByteForByte) {
    // Zero bytes and CR LF must come through unchanged (binary reading).
    const std::string content("line\r\n\0bin\n\x7f\xff", 14);
    WriteTextFile("data/blob.bin", content);
    FS_add_source("data", 1, 0, 0);

    const FS_HANDLE handle = FS_open("blob.bin", 0);
    ASSERT_NE(0u, handle);
    EXPECT_EQ(14, FS_length(handle));
    char buffer[32];
    EXPECT_EQ(14, FS_read(handle, buffer, sizeof buffer)); // asks for more than there is
    EXPECT_EQ(content, std::string(buffer, 14));
    EXPECT_EQ(0, FS_read(handle, buffer, sizeof buffer)); // at the end
    FS_close(handle);
}

TEST_F(FileSystemTest, ReadsContinueWhereTheLastStopped) {
    WriteTextFile("abcdef.txt", "abcdef");
    FS_add_source(".", 0, 0, 0);
    const FS_HANDLE handle = FS_open("abcdef.txt", 0);
    ASSERT_NE(0u, handle);
    char buffer[8] = {};
    EXPECT_EQ(2, FS_read(handle, buffer, 2));
    EXPECT_EQ(4, FS_read(handle, buffer + 2, 6));
    EXPECT_STREQ("abcdef", buffer);
    FS_close(handle);
}

TEST_F(FileSystemTest, EmptyFileHasLengthZero) {
    WriteTextFile("empty.txt", "");
    FS_add_source(".", 0, 0, 0);
    const FS_HANDLE handle = FS_open("empty.txt", 0);
    ASSERT_NE(0u, handle);
    EXPECT_EQ(0, FS_length(handle));
    char buffer[4];
    EXPECT_EQ(0, FS_read(handle, buffer, 0));
    EXPECT_EQ(0, FS_read(handle, buffer, sizeof buffer));
    FS_close(handle);
}

TEST_F(FileSystemTest, OpenNormalisesThePathItself) {
    WriteTextFile("data/scripts/game.ini", "x");
    FS_add_source("data", 1, 0, 0);
    EXPECT_EQ("x", ReadThroughFs("scripts/game.ini"));
    EXPECT_EQ("x", ReadThroughFs("scripts\\game.ini"));
    EXPECT_EQ("x", ReadThroughFs("./scripts//other/../game.ini"));
    EXPECT_EQ("x", ReadThroughFs("/scripts/game.ini"));
}

TEST_F(FileSystemTest, NothingOutsideASourceCanBeReached) {
    WriteTextFile("secret.txt", "outside");
    WriteTextFile("data/inner.txt", "inside");
    FS_add_source("data", 1, 0, 0);

    EXPECT_EQ("<none>", ReadThroughFs("../secret.txt"));
    EXPECT_EQ("<none>", ReadThroughFs("..\\secret.txt"));
    EXPECT_EQ("<none>", ReadThroughFs("inner/../../secret.txt"));
    EXPECT_EQ("<none>", ReadThroughFs((folder.path() / "secret.txt").string().c_str()));
    EXPECT_EQ(0, FS_exists("../secret.txt"));
    // Windows trims trailing dots and blanks of a component: ".. " would climb there.
    EXPECT_EQ("<none>", ReadThroughFs("sub/.. /.. /secret.txt"));
    EXPECT_EQ("<none>", ReadThroughFs("sub/.../.../secret.txt"));
    EXPECT_EQ("<none>", ReadThroughFs("inner.txt."));
    EXPECT_EQ("<none>", ReadThroughFs("inner.txt "));
    EXPECT_EQ(0, FS_exists("sub/.. /.. /secret.txt"));
    // A climb is dropped, not refused: it lands inside the source.
    EXPECT_EQ("inside", ReadThroughFs("../inner.txt"));
}

TEST_F(FileSystemTest, LaterMountsWin) {
    WriteTextFile("one/same.txt", "one");
    WriteTextFile("one/only_one.txt", "only one");
    WriteTextFile("two/same.txt", "two");
    FS_add_source("one", 1, 0, 0);
    FS_add_source("two", 1, 0, 0);
    EXPECT_EQ("two", ReadThroughFs("same.txt"));
    EXPECT_EQ("only one", ReadThroughFs("only_one.txt"));

    FS_shutdown();
    FS_init();
    FS_add_source("two", 1, 0, 0);
    FS_add_source("one", 1, 0, 0);
    EXPECT_EQ("one", ReadThroughFs("same.txt"));
}

TEST_F(FileSystemTest, HostMountSequenceWithMissingSourcesAndArchives) {
    // The host's own sequence: 64 archives, most of them missing, then "." and "data".
    WriteTextFile("data0.pak", "not a folder");
    WriteTextFile("game.ini", "top");
    WriteTextFile("data/game.ini", "data");
    WriteTextFile("data/only_data.txt", "d");
    for (int i = 0; i < 64; ++i) {
        const std::string name = "data" + std::to_string(i) + ".pak";
        FS_add_source(name.c_str(), 1, 0, 0);
    }
    FS_add_source(".", 0, 0, 0);
    FS_add_source("data", 1, 0, 0);
    FS_add_source("no_such_folder", 1, 0, 0);
    FS_add_source("game.ini", 0, 0, 0); // a plain file is no source
    FS_add_source("", 0, 0, 0);
    FS_add_source(nullptr, 0, 0, 0);

    EXPECT_EQ("data", ReadThroughFs("game.ini"));
    EXPECT_EQ("d", ReadThroughFs("only_data.txt"));
    EXPECT_EQ("<none>", ReadThroughFs("data0.pak/x")); // an archive yields no files
}

TEST_F(FileSystemTest, SourcesAreResolvedAtMountTime) {
    WriteTextFile("data/f.txt", "mounted");
    WriteTextFile("elsewhere/data/f.txt", "wrong");
    FS_add_source("data", 1, 0, 0);
    stdfs::current_path(folder.path() / "elsewhere");
    EXPECT_EQ("mounted", ReadThroughFs("f.txt"));
    stdfs::current_path(folder.path());
}

TEST_F(FileSystemTest, OpenFailures) {
    WriteTextFile("data/sub/f.txt", "x");
    FS_add_source("data", 1, 0, 0);
    EXPECT_EQ(0u, FS_open("missing.txt", 0));
    EXPECT_EQ(0u, FS_open("sub", 0)); // a folder is no file
    EXPECT_EQ(0u, FS_open("", 0));
    EXPECT_EQ(0u, FS_open(".", 0));
    EXPECT_EQ(0u, FS_open(nullptr, 0));
    EXPECT_EQ(0u, FS_open(std::string(5000, 'a').c_str(), 0));
}

TEST_F(FileSystemTest, BadHandlesFailHarmlessly) {
    WriteTextFile("f.txt", "abc");
    FS_add_source(".", 0, 0, 0);
    const FS_HANDLE handle = FS_open("f.txt", 0);
    ASSERT_NE(0u, handle);
    char buffer[4];

    EXPECT_EQ(-1, FS_read(handle, nullptr, 3));
    EXPECT_EQ(-1, FS_read(handle, buffer, -1));
    for (FS_HANDLE bad : {FS_HANDLE(0), handle + 1, FS_HANDLE(100000), FS_HANDLE(0xFFFFFFFFu)}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(-1, FS_length(bad));
        EXPECT_EQ(-1, FS_read(bad, buffer, 1));
        FS_close(bad);
    }
    EXPECT_EQ(3, FS_length(handle)); // untouched by the bad calls

    FS_close(handle);
    EXPECT_EQ(-1, FS_length(handle));
    EXPECT_EQ(-1, FS_read(handle, buffer, 1));
    FS_close(handle); // a second close is harmless
}

TEST_F(FileSystemTest, HandleTableIsBoundedAndReused) {
    WriteTextFile("f.txt", "abc");
    FS_add_source(".", 0, 0, 0);
    std::vector<FS_HANDLE> handles;
    std::set<FS_HANDLE> distinct;
    for (int i = 0; i < 10000; ++i) {
        const FS_HANDLE handle = FS_open("f.txt", 0);
        if (handle == 0) {
            break;
        }
        handles.push_back(handle);
        distinct.insert(handle);
    }
    ASSERT_FALSE(handles.empty());
    ASSERT_LT(handles.size(), 10000u) << "the table never filled up";
    EXPECT_EQ(handles.size(), distinct.size());
    EXPECT_EQ(0u, FS_open("f.txt", 0)); // still full

    FS_close(handles[3]);
    const FS_HANDLE again = FS_open("f.txt", 0);
    EXPECT_NE(0u, again);
    EXPECT_EQ(3, FS_length(again));
}

TEST_F(FileSystemTest, Exists) {
    WriteTextFile("data/debug.fnt", "");
    WriteTextFile("data/sub/x.txt", "");
    EXPECT_EQ(0, FS_exists("debug.fnt")); // nothing mounted yet
    FS_add_source("data", 1, 0, 0);
    EXPECT_NE(0, FS_exists("debug.fnt"));
    EXPECT_NE(0, FS_exists("./sub\\x.txt"));
    EXPECT_EQ(0, FS_exists("sub")); // a folder is no file
    EXPECT_EQ(0, FS_exists("nothing.fnt"));
    EXPECT_EQ(0, FS_exists(""));
    EXPECT_EQ(0, FS_exists(nullptr));
}

TEST_F(FileSystemTest, ShutdownClosesHandlesAndForgetsSources) {
    WriteTextFile("f.txt", "abc");
    FS_add_source(".", 0, 0, 0);
    const FS_HANDLE handle = FS_open("f.txt", 0);
    ASSERT_NE(0u, handle);
    FS_shutdown();
    EXPECT_EQ(-1, FS_length(handle));
    EXPECT_EQ(0, FS_exists("f.txt"));
    FS_init();
    EXPECT_EQ(0, FS_exists("f.txt"));
}

TEST_F(FileSystemTest, CallLogHasOneJsonLinePerCall) {
    WriteTextFile("data/game.ini", std::string(42, 'x'));
    SetCallLog("fs.log");
    FS_init();
    FS_add_source("data0.pak", 1, 0, 0);
    FS_add_source("data", 1, 0, 0);
    const FS_HANDLE handle = FS_open("game.ini", 0);
    char buffer[64];
    FS_length(handle);
    FS_read(handle, buffer, 42);
    FS_close(handle);
    FS_exists("debug.fnt");
    char path[] = "a/./b";
    FS_path_normalize(path, path);
    FS_open("missing.txt", 0);
    FS_shutdown();

    const std::vector<std::string> expected = {
        R"({"call":"FS_init"})",
        R"({"call":"FS_add_source","name":"data0.pak","flag":1,"arg3":0,"arg4":0})",
        R"({"call":"FS_add_source","name":"data","flag":1,"arg3":0,"arg4":0})",
        R"({"call":"FS_open","path":"game.ini","mode":0,"result":1})",
        R"({"call":"FS_length","handle":1,"result":42})",
        R"({"call":"FS_read","handle":1,"count":42,"result":42})",
        R"({"call":"FS_close","handle":1})",
        R"({"call":"FS_exists","name":"debug.fnt","result":0})",
        R"({"call":"FS_path_normalize","source":"a/./b","result":"a/b"})",
        R"({"call":"FS_open","path":"missing.txt","mode":0,"result":0})",
        R"({"call":"FS_shutdown"})",
    };
    EXPECT_EQ(expected, ReadLines("fs.log"));
}

TEST_F(FileSystemTest, CallLogEscapesStrings) {
    SetCallLog("fs.log");
    FS_exists("q\"b\\s\nn\tt\x01\x1f\x7f\xe9.txt");
    FS_open(nullptr, 0);
    const std::vector<std::string> expected = {
        R"({"call":"FS_exists","name":"q\"b\\s\nn\tt\u0001\u001f\u007f\u00e9.txt","result":0})",
        R"({"call":"FS_open","path":null,"mode":0,"result":0})",
    };
    EXPECT_EQ(expected, ReadLines("fs.log"));
}

TEST_F(FileSystemTest, CallLogNameIsTakenAtEachCall) {
    stdfs::create_directories("sub");
    SetCallLog("fs.log");
    FS_exists("first");
    stdfs::current_path(folder.path() / "sub");
    FS_exists("second");
    stdfs::current_path(folder.path());
    EXPECT_EQ(1u, ReadLines("fs.log").size());
    EXPECT_EQ(1u, ReadLines("sub/fs.log").size());
}

} // namespace
