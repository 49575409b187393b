// The file reader against a file system whose read answers success with a status
// instead of a byte count, as the archive file system's contract allows. The
// program brings its own file system of one file held in memory, linked in place
// of the stand-in.
#include "filesystem.h"
#include "kvparser.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const char kName[] = "status.ini";
std::string fileText;
size_t readFills = 0;   // the bytes the read copies
int32_t readResult = 0; // what it answers

} // namespace

extern "C" {

FS_HANDLE FS_open(const char* path, int) {
    return strcmp(path, kName) == 0 ? 1 : 0;
}

int32_t FS_length(FS_HANDLE) {
    return static_cast<int32_t>(fileText.size());
}

int32_t FS_read(FS_HANDLE, void* dest, int32_t count) {
    const size_t fills =
        readFills < static_cast<size_t>(count) ? readFills : static_cast<size_t>(count);
    memcpy(dest, fileText.data(), fills);
    return readResult;
}

void FS_close(FS_HANDLE) {}

void FS_path_normalize(char* dest, const char* src) {
    memmove(dest, src, strlen(src) + 1);
}

} // extern "C"

namespace {

// Any answer but -1 is success, whatever count it names.
TEST(FileStatus, ReadAnsweringWithAStatusStillParses) {
    fileText = "!speed(i)\nspeed(5)\n";
    readFills = fileText.size();
    for (int32_t result : {0, 1, 4, static_cast<int32_t>(fileText.size()) + 1}) {
        readResult = result;
        CKVPARSE_KEYWORD* tree = ParseScriptFile(kName, nullptr, nullptr, nullptr);
        ASSERT_NE(tree, nullptr) << "read answering " << result;
        EXPECT_STREQ(tree->name, "speed");
        ASSERT_NE(tree->params, nullptr);
        EXPECT_EQ(static_cast<const CKVPARSE_INT*>(tree->params)->value, 5);
        delete tree;
    }
}

// A read that fills only part of the buffer leaves NULs behind, never what the
// heap held before: blocks of the buffer's size are filled and freed first, so
// that the buffer is likely to be one of them.
TEST(FileStatus, BytesTheReadLeavesAreNul) {
    fileText = std::string(200, 'a');
    readFills = 50;
    readResult = 0;
    for (int i = 0; i < 4; ++i) {
        void* blocks[2] = {malloc(fileText.size()), malloc(fileText.size())};
        for (void* block : blocks) {
            memset(block, 'x', fileText.size());
            free(block);
        }
        CKVParse parser(kName);
        ASSERT_NE(parser.buffer, nullptr);
        ASSERT_EQ(parser.size, fileText.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(parser.buffer), parser.size),
                  std::string(50, 'a') + std::string(150, '\0'));
    }
}

// -1 is still a failure: the file counts as unreadable.
TEST(FileStatus, MinusOneIsAFailure) {
    fileText = "!speed(i)\nspeed(5)\n";
    readFills = fileText.size();
    readResult = -1;
    CKVParse parser(kName);
    EXPECT_EQ(parser.buffer, nullptr);
    EXPECT_EQ(parser.size, 0u);
}

} // namespace
