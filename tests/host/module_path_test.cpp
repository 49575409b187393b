// The executable's own path as entry 0 of the argument vector.
#include "host.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitCommandLine, EntryZeroIsTheModuleFileName) {
    char expected[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, expected, sizeof expected);
    ASSERT_GT(length, 0u);
    SplitCommandLine("ini=a.ini", GetModuleHandleA(nullptr));
    EXPECT_STREQ(cmdArgs[0], expected);
    ASSERT_EQ(cmdArgCount, 2);
    EXPECT_STREQ(cmdArgs[1], "ini=a.ini");
}

} // namespace
