// The parse entry: what ParseScriptFile returns and logs for each outcome.
#include "kvparser.h"
#include "script_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ParseScriptFile, DeclarationsOnlyGiveNullAndNoLog) {
    const Outcome outcome = ParseText("// settings\n$a(i, 1) !b(s) /* none */\n");
    EXPECT_FALSE(outcome.parsed);
    EXPECT_EQ(outcome.log, "");
}

TEST(ParseScriptFile, MissingFileGivesNullWithoutTheParseLine) {
    EnterWorkspace();
    const Outcome outcome = ParseFile("missing.ini");
    EXPECT_FALSE(outcome.parsed);
    EXPECT_EQ(outcome.log, "");
}

TEST(ParseScriptFile, FailureLogsTheReportsThenTheParseLine) {
    const Outcome outcome = ParseText("!a(i)\na(1)\na(2)\na(\"x\")\n", "fails.ini");
    EXPECT_FALSE(outcome.parsed);
    EXPECT_EQ(outcome.log, "[CKVParse] unknown const name '': in file 'fails.ini' in line 4\n"
                           "a(\"x\")\n\n"
                           "Parser: cant parse file 'fails.ini'\n");
}

TEST(ParseScriptFile, AFailureWithoutAReportStillLogsTheParseLine) {
    // The variable name runs into the end of the text: flag -1, no report.
    const Outcome outcome = ParseText("!a(i) a(%w", "silent.ini");
    EXPECT_FALSE(outcome.parsed);
    EXPECT_EQ(outcome.log, "Parser: cant parse file 'silent.ini'\n");
}

TEST(ParseScriptFile, OnlyItsNotCStillGivesTheTree) {
    const Outcome outcome = ParseText("!a(i) a(1);");
    EXPECT_TRUE(outcome.parsed);
    EXPECT_EQ(outcome.tree, "a(1)");
    ASSERT_EQ(outcome.reports.size(), 1u);
    EXPECT_EQ(outcome.reports[0].message, "its not c!");
    EXPECT_EQ(outcome.log.find("Parser:"), std::string::npos);
}

TEST(ParseScriptFile, CallbacksResolveVariables) {
    const Outcome outcome =
        ParseText("!v(i, f, s) v(%width, %scale, %title)\n!JavaGameClassName(s) "
                  "JavaGameClassName(\"TestGame\")");
    EXPECT_EQ(outcome.tree, "v(640%width,1.5f%scale,\"Tarvex\"%title) "
                            "javagameclassname(\"TestGame\")");
}

TEST(ParseScriptFile, NullCallbacksAreReported) {
    EnterWorkspace();
    WriteTextFile("nocallback.ini", "!v(i) v(%width)");
    LogReader log;
    EXPECT_EQ(ParseScriptFile("nocallback.ini", nullptr, nullptr, nullptr), nullptr);
    const std::vector<Report> reports = ReportsIn(log.Take());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message,
              "variable callback not specified: unable to read 'width' variable!\n");
}

TEST(ParseScriptFile, TwoParsesGiveIndependentTrees) {
    EnterWorkspace();
    WriteTextFile("twice.ini", "$k(s, \"v\") !a(s) a(k) { a(\"c\") } a(\"d\")");
    CKVPARSE_KEYWORD* first = ParseScriptFile("twice.ini", nullptr, nullptr, nullptr);
    CKVPARSE_KEYWORD* second = ParseScriptFile("twice.ini", nullptr, nullptr, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(first->GetFirstString(), second->GetFirstString());
    const std::string rendered = Render(first);
    EXPECT_EQ(rendered, "a(\"v\"){a(\"c\")} a(\"d\")");
    delete first;
    EXPECT_EQ(Render(second), rendered);
    delete second;
}

TEST(ParseScriptFile, OverlongPathIsRefused) {
    EnterWorkspace();
    const std::string path = "long/" + std::string(260, 'p') + ".ini";
    LogReader log;
    EXPECT_EQ(ParseScriptFile(path.c_str(), nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(log.Take(), "[CKVParse] file path longer than 255 characters: '" + path + "'\n");
}

// The parser object can be driven directly, as the command-line tool does.
TEST(ParseRoot, ReturnsTheChainAndKeepsTheConstants) {
    EnterWorkspace();
    WriteTextFile("root.ini", "$k(i, 7) !a(i) a(k)");
    CKVParse parser("root.ini");
    int error = 5;
    CKVPARSE_KEYWORD* chain = parser.ParseRoot(&error);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(Render(chain), "a(7)");
    ASSERT_NE(parser.constants, nullptr);
    EXPECT_STREQ(parser.constants->name, "k");
    delete chain;
}

} // namespace
