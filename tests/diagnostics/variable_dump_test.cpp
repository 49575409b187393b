// The variable dump: LooksLikeText and the value formatting over memory of the test's
// own (unreadable pages included), and the dump of fixture frames built with DWARF 4
// as the real debug-help library (Wine's) reads them.
#include "crash_report.h"
#include "variable_dump.h"
#include "variable_dump_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

uint64_t AddressOf(const void* pointer) {
    return reinterpret_cast<uintptr_t>(pointer);
}

// Two pages: the first readable, the second not.
class PageFixture {
  public:
    PageFixture() {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        pageSize_ = system.dwPageSize;
        base_ = static_cast<char*>(
            VirtualAlloc(nullptr, 2 * pageSize_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + pageSize_, pageSize_, PAGE_NOACCESS, &old);
    }
    ~PageFixture() { VirtualFree(base_, 0, MEM_RELEASE); }
    PageFixture(const PageFixture&) = delete;
    PageFixture& operator=(const PageFixture&) = delete;

    char* Unreadable() const { return base_ + pageSize_; }
    // Places bytes so that they end right where the unreadable page begins.
    char* AtPageEnd(const char* bytes, size_t length) const {
        char* at = Unreadable() - length;
        memcpy(at, bytes, length);
        return at;
    }

  private:
    size_t pageSize_ = 0;
    char* base_ = nullptr;
};

TEST(LooksLikeText, ScoresLettersAgainstControlBytes) {
    struct Case {
        const char* name;
        std::string bytes; // NUL included where the case has one
        bool text;
    };
    const std::vector<Case> cases = {
        {"letters", std::string("abc\0", 4), true},
        {"punctuation only", std::string("-- !\0", 5), false},
        {"empty", std::string("\0", 1), false},
        {"two control bytes first",
         std::string("\x01\x02"
                     "abcdefghij\0",
                     13),
         false},
        {"a letter, then two control bytes: -9", std::string("a\x01\x02\0", 4), false},
        {"ten letters, one control byte: 5", std::string("abcdefghij\x01\0", 12), true},
        {"high bytes count against", std::string("ab\xE9\xE9\0", 5), false},
        {"blanks and digits", std::string("line 12 of 30\0", 14), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LooksLikeText(AddressOf(c.bytes.data())), c.text);
    }
}

TEST(LooksLikeText, NeverReadsUnreadableMemory) {
    PageFixture pages;
    // Text that runs into the unreadable page before its NUL, and text that ends with
    // its NUL just before it.
    EXPECT_FALSE(LooksLikeText(AddressOf(pages.AtPageEnd("abcdef", 6))));
    EXPECT_TRUE(LooksLikeText(AddressOf(pages.AtPageEnd("abcdef\0", 7))));
    EXPECT_FALSE(LooksLikeText(AddressOf(pages.Unreadable())));
}

TEST(LooksLikeText, AcceptsOnlyUserSpaceAddresses) {
    EXPECT_FALSE(LooksLikeText(0));
    EXPECT_FALSE(LooksLikeText(4095));
    EXPECT_FALSE(LooksLikeText(UINT64_C(0xFFFFFFFFFFFF0000)));
    // A text above the 2 GB boundary is found where the process has such addresses.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    if (AddressOf(system.lpMaximumApplicationAddress) > UINT64_C(0x100000000)) {
        char* high =
            static_cast<char*>(VirtualAlloc(reinterpret_cast<void*>(UINT64_C(0x200000000)), 4096,
                                            MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        ASSERT_NE(high, nullptr);
        memcpy(high, "high text", 10);
        EXPECT_TRUE(LooksLikeText(AddressOf(high)));
        VirtualFree(high, 0, MEM_RELEASE);
    }
}

// WriteValue's output into a report text of the test's own.
std::string Formatted(DWORD baseType, uint64_t length, uint64_t count, uint64_t address,
                      bool* readable = nullptr) {
    static char buffer[4096];
    ReportBegin(buffer, sizeof buffer);
    const bool result = WriteValue(baseType, length, count, address);
    if (readable != nullptr) {
        *readable = result;
    }
    return buffer;
}

TEST(WriteValue, FormatsEachKindOfValue) {
    const int number = 5;
    const int negative = -2;
    const char letter = 'A';
    const int three[3] = {1, 2, 3};
    int many[25];
    for (int i = 0; i < 25; ++i) {
        many[i] = 100 + i;
    }
    const float single = 1.5f;
    const double pair[2] = {0.25, -3.0};
    const char word[16] = "hello";
    const char noText[4] = {'\x01', 'a', '\0', '\0'};
    const char* textPointer = "abc";
    const uintptr_t low = 0x10;
    struct Case {
        const char* name;
        DWORD baseType;
        uint64_t length;
        uint64_t count;
        const void* value;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"int", 6, 4, 0, &number, "= 5\r\n"},
        {"negative int", 6, 4, 0, &negative, "= FFFFFFFE\r\n"},
        {"char", 2, 1, 0, &letter, "= 41 ('A')\r\n"},
        {"int array", 6, 12, 3, three, "= { 1, 2, 3 }\r\n"},
        {"long array: first ten", 6, 100, 25, many,
         "= { 64 ('d'), 65 ('e'), 66 ('f'), 67 ('g'), 68 ('h'), 69 ('i'), 6A ('j'), 6B ('k'), "
         "6C ('l'), 6D ('m') }\r\n"},
        {"float", kBaseTypeFloat, 4, 0, &single, "= 1.500000\r\n"},
        {"double array", kBaseTypeFloat, 16, 2, pair, "= { 0.250000, -3.000000 }\r\n"},
        {"char array with text", 2, 16, 16, word, "= \"hello\"\r\n"},
        {"char array without text", 2, 4, 4, noText, "= { 1, 61 ('a'), 0, 0 }\r\n"},
        {"pointer to text", 0, sizeof(void*), 0, &textPointer, "= \"abc\"\r\n"},
        {"pointer below 4096", 0, sizeof(void*), 0, &low, "= 10\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Formatted(c.baseType, c.length, c.count, AddressOf(c.value)), c.expected);
    }
}

TEST(WriteValue, PointersToUnreadableMemoryShowInHexadecimal) {
    PageFixture pages;
    const char* pointers[4] = {"abc", pages.Unreadable(), nullptr, "xyz"};
    char expected[128];
    snprintf(expected, sizeof expected, "= { \"abc\", %llX, 0, \"xyz\" }\r\n",
             static_cast<unsigned long long>(AddressOf(pages.Unreadable())));
    EXPECT_EQ(Formatted(0, sizeof pointers, 4, AddressOf(pointers)), expected);
}

TEST(WriteValue, UnreadableValueStopsWithWhatWasWritten) {
    PageFixture pages;
    bool readable = true;
    EXPECT_EQ(Formatted(6, 4, 0, AddressOf(pages.Unreadable()), &readable), "= ");
    EXPECT_FALSE(readable);
    // An array that runs into the page shows the elements before it.
    int* last = reinterpret_cast<int*>(pages.Unreadable()) - 1;
    *last = 7;
    EXPECT_EQ(Formatted(6, 8, 2, AddressOf(last), &readable), "= { 7, ");
    EXPECT_FALSE(readable);
}

// The lines of the fixture report from the frame line that starts with name up to the
// empty line after it, each without its CR LF.
std::vector<std::string> FrameListing(const std::string& name) {
    std::vector<std::string> lines;
    std::string report = fixtureReport;
    size_t at = 0;
    bool inFrame = false;
    while (at < report.size()) {
        size_t end = report.find("\r\n", at);
        if (end == std::string::npos) {
            end = report.size();
        }
        std::string line = report.substr(at, end - at);
        at = end + 2;
        if (!inFrame && line.compare(0, name.size() + 1, name + " ") == 0) {
            inFrame = true;
        } else if (inFrame && line.empty()) {
            break;
        }
        if (inFrame) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST(VariableDump, ListsTheFixtureFramesVariables) {
    PageFixture pages;
    FixtureFrame(7, "fixture text", pages.Unreadable());
    ASSERT_TRUE(fixtureWalked);
    const std::vector<std::string> lines = FrameListing("FixtureFrame");
    ASSERT_FALSE(lines.empty()) << fixtureReport;
    EXPECT_NE(lines[0].find("variable_dump_fixture.cpp, line "), std::string::npos) << lines[0];
    char pointers[128];
    snprintf(pointers, sizeof pointers, "    pointers = { \"abc\", %llX, 0, \"xyz\" }",
             static_cast<unsigned long long>(AddressOf(pages.Unreadable())));
    // Wine's dbghelp names no base type (int, char, float), so those lines carry no type
    // name; the structure's type is named.
    const std::vector<std::string> expected = {
        "  params:",
        "    count = 7",
        "    text = \"fixture text\"",
        "    unreadable = " +
            [&] {
                char hex[32];
                snprintf(hex, sizeof hex, "%llX",
                         static_cast<unsigned long long>(AddressOf(pages.Unreadable())));
                return std::string(hex);
            }(),
        "  locals:",
        "    letter = 41 ('A')",
        "    three = { 1, 2, 3 }",
        "    many = { 64 ('d'), 65 ('e'), 66 ('f'), 67 ('g'), 68 ('h'), 69 ('i'), 6A ('j'), "
        "6B ('k'), 6C ('l'), 6D ('m') }",
        "    ratio = 1.500000",
        "    record FixtureRecord ",
        "      number = 5",
        "      letter = 42 ('B')",
        "      ratio = 2.500000",
        "    low = 10",
        pointers,
        "    word = \"hello\"",
        "    colour FixtureColour = 2",
    };
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), expected) << fixtureReport;
}

TEST(VariableDump, RegisterVariableIsNotedAndTheListingGoesOn) {
    EXPECT_EQ(RegisterHolder(4), 52);
    ASSERT_TRUE(fixtureWalked);
    const std::vector<std::string> lines = FrameListing("RegisterHolder");
    ASSERT_FALSE(lines.empty()) << fixtureReport;
    std::string listing;
    for (const std::string& line : lines) {
        listing += line + "\n";
    }
    EXPECT_NE(listing.find("    kept (in a register, not shown)\n"), std::string::npos) << listing;
    // The listing goes on after it: the frames below the holder are still there.
    EXPECT_NE(std::string(fixtureReport).find("VariableDump_RegisterVariableIsNoted"),
              std::string::npos)
        << fixtureReport;
}

} // namespace
