#include "json_writer.h"
#include "kvdump.h"
#include "tree_builder.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

// One piece of a dump: an int is a 32-bit little-endian word, a text its raw
// bytes (lengths are written as words of their own, as the format reads).
struct Piece {
    Bytes bytes;
    Piece(int word) {
        uint32_t w = static_cast<uint32_t>(word);
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<unsigned char>(w >> (8 * i)));
    }
    Piece(const char* text) : bytes(text, text + strlen(text)) {}
    Piece(const std::string& text) : bytes(text.begin(), text.end()) {}
};

Bytes Dump(std::initializer_list<Piece> pieces) {
    Bytes bytes;
    for (const Piece& piece : pieces)
        bytes.insert(bytes.end(), piece.bytes.begin(), piece.bytes.end());
    return bytes;
}

// The file Save writes into, in the temporary folder; removed when a test ends.
std::string DumpPath() {
    return ::testing::TempDir() + "kvparse_dump_reader_test.bin";
}

struct RemoveDumpFile {
    ~RemoveDumpFile() { remove(DumpPath().c_str()); }
};

Bytes SaveToBytes(CKVPARSE_KEYWORD* tree) {
    FILE* file = fopen(DumpPath().c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (!file)
        return Bytes();
    EXPECT_EQ(tree->Save(file), 1u);
    fclose(file);
    file = fopen(DumpPath().c_str(), "rb");
    Bytes bytes;
    int c;
    while ((c = fgetc(file)) != EOF)
        bytes.push_back(static_cast<unsigned char>(c));
    fclose(file);
    return bytes;
}

// a(1) { b("x") } c(), as the parser builds it from !a(i), !b(s) and !c().
CKVPARSE_KEYWORD* MakeExampleTree() {
    return MakeChain({
        MakeNode("a", {new CKVPARSE_INT(1, nullptr)},
                 MakeNode("b", {new CKVPARSE_STRING("x", nullptr)})),
        MakeNode("c", {}),
    });
}

TEST(DumpReader, ReadsTheGoldenBytesOfTheExample) {
    RemoveDumpFile cleanUp;
    const Bytes golden =
        Dump({16, 1, "a", 0, 1, 0, 32, 16, 1, "b", 2, 1, "x", 0, -1, 16, 1, "c", -1});
    std::unique_ptr<CKVPARSE_KEYWORD> example(MakeExampleTree());
    EXPECT_EQ(SaveToBytes(example.get()), golden);

    CKVPARSE_KEYWORD* tree = nullptr;
    std::string error;
    ASSERT_TRUE(ReadDump(golden.data(), golden.size(), &tree, &error)) << error;
    std::unique_ptr<CKVPARSE_KEYWORD> owner(tree);
    EXPECT_EQ(JsonFromTree(tree), JsonFromTree(example.get()));
}

// Save -> read -> the same JSON, and a second Save gives the same bytes (so float
// bits, NaN payloads included, survive; the JSON alone shows every NaN as "nan").
TEST(DumpReader, RoundTripsEveryKindOfValue) {
    RemoveDumpFile cleanUp;
    std::string longText(5000, 'L');
    std::unique_ptr<CKVPARSE_KEYWORD> original(MakeChain({
        MakeNode("ints", {new CKVPARSE_INT(0, nullptr), new CKVPARSE_INT(INT32_MIN, nullptr),
                          new CKVPARSE_INT(INT32_MAX, "big")}),
        MakeNode("floats",
                 {new CKVPARSE_FLOAT(-0.0f, nullptr), new CKVPARSE_FLOAT(1e-45f, nullptr),
                  new CKVPARSE_FLOAT(std::numeric_limits<float>::infinity(), "speed"),
                  new CKVPARSE_FLOAT(std::numeric_limits<float>::quiet_NaN(), nullptr)},
                 MakeChain({
                     MakeNode("strings",
                              {new CKVPARSE_STRING("", nullptr),
                               new CKVPARSE_STRING("two\r\nlines \"quoted\" \\ \xe9\xff", "t"),
                               new CKVPARSE_STRING(longText.c_str(), nullptr)},
                              MakeNode("deeper", {}, MakeNode("deepest", {}))),
                     MakeNode("after_strings", {}),
                 })),
        MakeNode("", {}),
        MakeNode("x123456789012345678901234567890123456789", {}),
    }));
    Bytes first = SaveToBytes(original.get());

    CKVPARSE_KEYWORD* tree = nullptr;
    std::string error;
    ASSERT_TRUE(ReadDumpFile(DumpPath().c_str(), &tree, &error)) << error;
    std::unique_ptr<CKVPARSE_KEYWORD> owner(tree);
    EXPECT_EQ(JsonFromTree(tree), JsonFromTree(original.get()));
    EXPECT_EQ(SaveToBytes(tree), first);
}

TEST(DumpReader, ALoneEndTagIsAnEmptyTree) {
    Bytes bytes = Dump({-1});
    CKVPARSE_KEYWORD* tree = MakeNode("sentinel", {});
    std::unique_ptr<CKVPARSE_KEYWORD> sentinel(tree);
    std::string error;
    ASSERT_TRUE(ReadDump(bytes.data(), bytes.size(), &tree, &error)) << error;
    EXPECT_EQ(tree, nullptr);
}

struct BadDump {
    const char* what;
    Bytes bytes;
    const char* error;
};

TEST(DumpReader, RefusesTruncatedAndMalformedDumpsWithAClearMessage) {
    const std::string n40(40, 'n');
    const std::string withNul("a\0b", 3);
    const BadDump cases[] = {
        {"empty file", Bytes(), "unexpected end of the dump at byte 0"},
        {"half a tag", Bytes{16, 0}, "unexpected end of the dump at byte 0"},
        {"no end tag", Dump({16, 1, "a"}), "unexpected end of the dump at byte 9"},
        {"name cut short", Dump({16, 5, "ab"}),
         "name of 5 bytes runs past the end of the dump at byte 4"},
        {"name of 40", Dump({16, 40, n40, -1}), "name of 40 bytes is longer than 39 at byte 4"},
        {"name with a NUL", Dump({16, 3, withNul, -1}), "name holds a NUL byte at byte 4"},
        {"unknown tag", Dump({16, 1, "a", 7}), "unknown tag 7 at byte 9"},
        {"negative tag", Dump({16, 1, "a", -2}), "unknown tag -2 at byte 9"},
        {"int cut short", Dump({16, 1, "a", 0, "\x01\x02"}),
         "unexpected end of the dump at byte 13"},
        {"float without variable length", Dump({16, 1, "a", 1, 0}),
         "unexpected end of the dump at byte 17"},
        {"absurd string length", Dump({16, 1, "a", 2, -1, "abc"}),
         "string of 4294967295 bytes runs past the end of the dump at byte 13"},
        {"string with a NUL", Dump({16, 1, "a", 2, 3, withNul, 0, -1}),
         "string holds a NUL byte at byte 13"},
        {"variable name of 40", Dump({16, 1, "a", 0, 5, 40, n40, -1}),
         "variable name of 40 bytes is longer than 39 at byte 17"},
        {"variable name cut short", Dump({16, 1, "a", 0, 5, 3, "sp"}),
         "variable name of 3 bytes runs past the end of the dump at byte 17"},
        {"parameter before any node", Dump({0, 1, 0, -1}),
         "parameter outside a node record at byte 0"},
        {"child tag before any node", Dump({32, -1}), "child tag outside a node record at byte 0"},
        {"parameter after a child chain", Dump({16, 1, "a", 32, 16, 1, "b", -1, 0, 1, 0, -1}),
         "parameter outside a node record at byte 26"},
        {"second child chain", Dump({16, 1, "a", 32, 16, 1, "b", -1, 32, -1}),
         "child tag outside a node record at byte 26"},
        {"empty child chain", Dump({16, 1, "a", 32, -1, -1}), "empty child chain at byte 13"},
        {"child chain never closed", Dump({16, 1, "a", 32, 16, 1, "b", -1}),
         "unexpected end of the dump at byte 26"},
        {"trailing bytes", Dump({16, 1, "a", -1, "xyz"}),
         "3 trailing bytes after the end tag at byte 13"},
        {"a second tree", Dump({-1, 16, 1, "a", -1}),
         "13 trailing bytes after the end tag at byte 4"},
    };
    for (const BadDump& c : cases) {
        CKVPARSE_KEYWORD* sentinel = MakeNode("sentinel", {});
        CKVPARSE_KEYWORD* tree = sentinel;
        std::string error;
        EXPECT_FALSE(ReadDump(c.bytes.data(), c.bytes.size(), &tree, &error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
        EXPECT_EQ(tree, sentinel) << c.what;
        delete sentinel;
    }
}

// A dump nested kDumpMaxDepth levels deep reads; one level more is refused.
TEST(DumpReader, LimitsTheNestingDepth) {
    for (int depth : {kDumpMaxDepth, kDumpMaxDepth + 1}) {
        Bytes dump;
        for (int level = 1; level <= depth; ++level) {
            Bytes node = Dump({16, 1, "n"});
            dump.insert(dump.end(), node.begin(), node.end());
            if (level < depth) {
                Bytes child = Dump({32});
                dump.insert(dump.end(), child.begin(), child.end());
            }
        }
        for (int level = 1; level <= depth; ++level) {
            Bytes end = Dump({-1});
            dump.insert(dump.end(), end.begin(), end.end());
        }
        CKVPARSE_KEYWORD* tree = nullptr;
        std::string error;
        bool ok = ReadDump(dump.data(), dump.size(), &tree, &error);
        std::unique_ptr<CKVPARSE_KEYWORD> owner(tree);
        if (depth == kDumpMaxDepth) {
            ASSERT_TRUE(ok) << error;
            int levels = 0;
            for (const CKVPARSE_KEYWORD* node = tree; node; node = node->child)
                ++levels;
            EXPECT_EQ(levels, depth);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(error, "nesting deeper than 1024 levels at byte " +
                                 std::to_string((kDumpMaxDepth - 1) * 13 + 9));
        }
    }
}

TEST(DumpReader, AMissingFileIsAFailure) {
    CKVPARSE_KEYWORD* tree = nullptr;
    std::string error;
    EXPECT_FALSE(ReadDumpFile("no_such_dump.bin", &tree, &error));
    EXPECT_EQ(error, "cannot open the file");
    EXPECT_EQ(tree, nullptr);
}

} // namespace
