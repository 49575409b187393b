// Scripts at the size limits: long chains, many constants, deep nesting and
// over-long lines parse, copy and delete without deep recursion or overruns.
#include "kvparser.h"
#include "script_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const int kMillion = 1000000;

int ChainLength(const CKVPARSE_KEYWORD* node) {
    int count = 0;
    for (; node; node = node->next)
        ++count;
    return count;
}

TEST(Limits, MillionCalls) {
    EnterWorkspace();
    std::string script = "!c(i)\n";
    script.reserve(script.size() + 5u * kMillion);
    for (int i = 0; i < kMillion; ++i)
        script += "c(1)\n";
    WriteTextFile("calls.ini", script);
    CKVPARSE_KEYWORD* tree = ParseScriptFile("calls.ini", nullptr, nullptr, nullptr);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(ChainLength(tree), kMillion);
    CKVPARSE_KEYWORD* copy = new CKVPARSE_KEYWORD(*tree);
    EXPECT_EQ(ChainLength(copy), kMillion);
    delete tree;
    delete copy;
}

TEST(Limits, MillionConstants) {
    EnterWorkspace();
    std::string script;
    script.reserve(8u * kMillion + 20);
    for (int i = 0; i < kMillion; ++i)
        script += "$k(i,1)\n";
    script += "!c(i) c(k)";
    WriteTextFile("constants.ini", script);
    CKVParse parser("constants.ini");
    int error = 0;
    CKVPARSE_KEYWORD* tree = parser.ParseRoot(&error);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(Render(tree), "c(1)");
    delete tree;
    EXPECT_EQ(ChainLength(parser.constants), kMillion);
    CKVPARSE_KEYWORD* copy = new CKVPARSE_KEYWORD(*parser.constants);
    EXPECT_EQ(ChainLength(copy), kMillion);
    delete copy;
}

// Each include hands the constants back whole: a thousand includes of a hundred
// constants each stay cheap, and the newest constant comes first.
TEST(Limits, ConstantsThroughManyIncludes) {
    EnterWorkspace();
    std::string constants;
    for (int i = 0; i < 100; ++i)
        constants += "$k" + std::to_string(i) + "(i, " + std::to_string(i) + ")\n";
    constants += "c(k99)\n";
    WriteTextFile("many/consts.ini", constants);
    std::string script = "$first(i, -1) !c(i)\n";
    for (int i = 0; i < 1000; ++i)
        script += "!include(\"consts.ini\")\n";
    script += "c(first)";
    WriteTextFile("many/main.ini", script);
    CKVParse parser("many/main.ini");
    int error = 0;
    CKVPARSE_KEYWORD* tree = parser.ParseRoot(&error);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(ChainLength(tree), 1001);
    EXPECT_EQ(RenderValues(tree->next->next->params), "99");
    delete tree;
    EXPECT_EQ(ChainLength(parser.constants), 100001);
    EXPECT_STREQ(parser.constants->name, "k99");
}

std::string Nested(int depth) {
    std::string script = "!n()\n";
    for (int i = 0; i < depth; ++i)
        script += "n() {\n";
    for (int i = 0; i < depth; ++i)
        script += "}";
    return script;
}

TEST(Limits, NestingUpToTheLimitParses) {
    EnterWorkspace();
    WriteTextFile("deep.ini", Nested(kKvMaxBlockDepth));
    CKVPARSE_KEYWORD* tree = ParseScriptFile("deep.ini", nullptr, nullptr, nullptr);
    ASSERT_NE(tree, nullptr);
    int depth = 0;
    for (const CKVPARSE_KEYWORD* node = tree; node; node = node->child)
        ++depth;
    EXPECT_EQ(depth, kKvMaxBlockDepth);
    CKVPARSE_KEYWORD* copy = new CKVPARSE_KEYWORD(*tree);
    delete tree;
    delete copy;
}

TEST(Limits, NestingDeeperThanTheLimitFails) {
    const Outcome outcome = ParseText(Nested(300), "deeper.ini");
    EXPECT_FALSE(outcome.parsed);
    ASSERT_EQ(outcome.reports.size(), 1u) << outcome.log.substr(0, 2000);
    EXPECT_EQ(outcome.reports[0].message, "block nesting deeper than 256 levels");
    EXPECT_EQ(outcome.reports[0].line, 2 + kKvMaxBlockDepth);
    EXPECT_EQ(outcome.reports[0].echo, "n() {");
    EXPECT_NE(outcome.log.find("Parser: cant parse file 'deeper.ini'\n"), std::string::npos);
}

TEST(Limits, OverlongSourceLineIsEchoedCut) {
    std::string line = "!a(i,i) a(1 ";
    while (line.size() < 9000)
        line += "/* padding */ ";
    line += "2)";
    const Outcome outcome = ParseText("// first\n" + line + "\n// last\n", "wide.ini");
    EXPECT_FALSE(outcome.parsed);
    ASSERT_EQ(outcome.reports.size(), 1u);
    EXPECT_EQ(outcome.reports[0].message, "comma expected");
    EXPECT_EQ(outcome.reports[0].line, 2);
    EXPECT_EQ(outcome.reports[0].echo, line.substr(0, kKvMessageSize - 1));
}

} // namespace
