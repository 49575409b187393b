// The formatting and line-end conversion that every log backend shares.
#include "log.h"
#include "log_format.h"

#include <gtest/gtest.h>

#include <stdarg.h>
#include <string.h>

#include <string>

namespace {

// Bytes after the buffer proper, which must never be written.
const size_t kGuard = 64;
const char kGuardByte = '#';

struct LineEndCase {
    const char* name;
    std::string text;
    std::string expected;
};

TEST(ConvertLineEnds, Table) {
    const std::string x2044(2044, 'x');
    const std::string x2045(2045, 'x');
    const std::string x2046(2046, 'x');
    std::string manyLineEnds = "\n";
    for (int i = 0; i < 1023; ++i) {
        manyLineEnds += "\r\n";
    }
    const LineEndCase cases[] = {
        {"LF becomes CR LF", "a\nb", "a\r\nb"},
        {"CR LF stays", "a\r\nb", "a\r\nb"},
        {"LF alone stays bare", "\n", "\n"},
        {"LF LF", "\n\n", "\n\r\n"},
        {"lines", "one\ntwo\n", "one\r\ntwo\r\n"},
        {"lone CR stays", "a\rb", "a\rb"},
        {"CR CR LF", "\r\r\n", "\r\r\n"},
        {"empty", "", ""},
        {"3000 characters keep 2046", std::string(3000, 'x'), x2046},
        {"2045 characters and LF complete the pair", x2045 + "\n", x2045 + "\r\n"},
        {"2045 characters and CR LF", x2045 + "\r\n", x2045 + "\r"},
        {"2046 characters drop the LF", x2046 + "\n", x2046},
        {"2044 characters and LF LF", x2044 + "\n\n", x2044 + "\r\n"},
        {"2047 LF", std::string(2047, '\n'), manyLineEnds},
    };
    for (const LineEndCase& c : cases) {
        SCOPED_TRACE(c.name);
        char out[kLogMessageSize + kGuard];
        memset(out, kGuardByte, sizeof out);
        const size_t length = ConvertLineEnds(c.text.c_str(), out);
        ASSERT_LE(length, kLogMessageSize - 1);
        EXPECT_EQ(c.expected.size(), length);
        EXPECT_EQ(c.expected, std::string(out, length));
        EXPECT_EQ('\0', out[length]);
        for (size_t i = kLogMessageSize; i < sizeof out; ++i) {
            ASSERT_EQ(kGuardByte, out[i]) << "written past the buffer at " << i;
        }
    }
}

size_t Format(char* out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const size_t length = LogFormatV(out, format, args);
    va_end(args);
    return length;
}

TEST(LogFormat, FormatsPrintfStyle) {
    char out[kLogMessageSize];
    EXPECT_EQ(19u, Format(out, "[%s] %d of %d\n", "CKVParse", 3, 10));
    EXPECT_STREQ("[CKVParse] 3 of 10\n", out);
}

TEST(LogFormat, CutsSilentlyAt2047Characters) {
    for (size_t size : {2046u, 2047u, 2048u, 3000u, 10000u}) {
        SCOPED_TRACE(size);
        const std::string text(size, 'y');
        char out[kLogMessageSize + kGuard];
        memset(out, kGuardByte, sizeof out);
        const size_t length = Format(out, "%s", text.c_str());
        const size_t expected = size < kLogMessageSize ? size : kLogMessageSize - 1;
        EXPECT_EQ(expected, length);
        EXPECT_EQ(text.substr(0, expected), std::string(out));
        for (size_t i = kLogMessageSize; i < sizeof out; ++i) {
            ASSERT_EQ(kGuardByte, out[i]) << "written past the buffer at " << i;
        }
    }
}

} // namespace
