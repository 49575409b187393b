// The split of the command-line tail into the process-wide argument vector.
#include "host_core.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

// The arguments after entry 0.
std::vector<std::string> Arguments() {
    std::vector<std::string> result;
    for (int i = 1; i < cmdArgCount; ++i) {
        result.emplace_back(cmdArgs[i]);
    }
    return result;
}

// Every entry starts and ends inside the store, so nothing was written past it.
void ExpectInsideStore() {
    for (int i = 0; i < cmdArgCount; ++i) {
        ASSERT_GE(cmdArgs[i], cmdArgText);
        ASSERT_LT(cmdArgs[i] + strlen(cmdArgs[i]), cmdArgText + kCmdArgTextSize);
    }
}

struct SplitCase {
    const char* tail;
    std::vector<std::string> arguments;
};

TEST(SplitArguments, SplitsAtBlanksAndTabsOnly) {
    const SplitCase cases[] = {
        {"", {}},
        {" \t  \t", {}},
        {"ini=x.ini  -window", {"ini=x.ini", "-window"}},
        {"\t-a\t\t-b ", {"-a", "-b"}},
        // No quoting and no escapes.
        {"\"two words\"", {"\"two", "words\""}},
        {"C:\\games\\x.ini \\\"", {"C:\\games\\x.ini", "\\\""}},
        // Line breaks and other control characters belong to the argument.
        {"a\r\nb\x01 c", {"a\r\nb\x01", "c"}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.tail);
        SplitArguments("C:\\game\\Tarvex.exe", c.tail);
        EXPECT_STREQ(cmdArgs[0], "C:\\game\\Tarvex.exe");
        EXPECT_EQ(cmdArgs[0], cmdArgText);
        EXPECT_EQ(Arguments(), c.arguments);
    }
}

TEST(SplitArguments, NullTailGivesOnlyTheModuleName) {
    SplitArguments("Tarvex.exe", nullptr);
    EXPECT_EQ(cmdArgCount, 1);
}

TEST(SplitArguments, ModuleNameIsCutTo255Characters) {
    const std::string longName(400, 'm');
    SplitArguments(longName.c_str(), "next");
    EXPECT_EQ(std::string(cmdArgs[0]), longName.substr(0, 255));
    EXPECT_EQ(Arguments(), std::vector<std::string>{"next"});
    ExpectInsideStore();
}

TEST(SplitArguments, KeepsAtMost63Arguments) {
    std::string tail;
    for (int i = 1; i <= 70; ++i) {
        tail += std::to_string(i) + " ";
    }
    SplitArguments("m", tail.c_str());
    ASSERT_EQ(cmdArgCount, kMaxCmdArgs);
    EXPECT_STREQ(cmdArgs[1], "1");
    EXPECT_STREQ(cmdArgs[63], "63");
    ExpectInsideStore();
}

TEST(SplitArguments, StopsAtTheFirstArgumentThatDoesNotFitWhole) {
    // The module name "m" takes 2 bytes of the store, leaving 1022.
    const std::string exact(1021, 'a');
    SplitArguments("m", exact.c_str());
    EXPECT_EQ(Arguments(), std::vector<std::string>{exact});
    ExpectInsideStore();

    const std::string oneTooLong(1022, 'a');
    SplitArguments("m", (oneTooLong + " ini=b.ini").c_str());
    EXPECT_EQ(cmdArgCount, 1);

    // After a first argument of 1000 characters 21 bytes are left: "ini=b.ini" fits,
    // the next one does not, and nothing after it is taken even where it would fit.
    const std::string first(1000, 'x');
    const std::string tooLong(30, 'y');
    SplitArguments("m", (first + " ini=b.ini " + tooLong + " c").c_str());
    EXPECT_EQ(Arguments(), (std::vector<std::string>{first, "ini=b.ini"}));
    ExpectInsideStore();
}

TEST(SplitArguments, ASecondSplitReplacesTheFirst) {
    SplitArguments("m", "a b c");
    SplitArguments("m", "d");
    EXPECT_EQ(Arguments(), std::vector<std::string>{"d"});
    EXPECT_EQ(cmdArgs[2], nullptr);
}

} // namespace
