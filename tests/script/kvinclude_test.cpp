// File inclusion: path resolution, the conditional forms, what flows back into
// the including parse, and the guards against cycles, depth and long paths.
#include "script_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<std::string> Messages(const Outcome& outcome) {
    std::vector<std::string> messages;
    for (const Report& report : outcome.reports)
        messages.push_back(report.message);
    return messages;
}

TEST(Include, SplicesCallsConstantsAndPrototypes) {
    EnterWorkspace();
    WriteTextFile("splice/mid.ini", "$c(i, 2) !b() a(5) b() { !inner() inner() }");
    const Outcome outcome =
        ParseText("!a(i) a(1) !include(\"mid.ini\") a(c) b()", "splice/main.ini");
    EXPECT_TRUE(outcome.parsed) << outcome.log;
    EXPECT_EQ(outcome.tree, "a(1) a(5) b(){inner()} a(2) b()");
    EXPECT_EQ(outcome.log, "");
}

TEST(Include, PrototypesOfBlocksInTheIncludedFileEndThere) {
    EnterWorkspace();
    WriteTextFile("scope/inc.ini", "!a() a() { !inner() inner() }");
    const Outcome outcome = ParseText("!include(\"inc.ini\") inner()", "scope/main.ini");
    EXPECT_FALSE(outcome.parsed);
    EXPECT_EQ(Messages(outcome), std::vector<std::string>{"unknown keyword inner"});
}

TEST(Include, NamesResolveAgainstTheIncludingFile) {
    EnterWorkspace();
    WriteTextFile("scripts/common/defs.ini", "!x(s) !include(\"x.ini\") from(\"defs\")");
    WriteTextFile("scripts/common/x.ini", "x(\"scripts/common/x\")");
    WriteTextFile("scripts/x.ini", "x(\"scripts/x\")");
    WriteTextFile("x.ini", "x(\"x\")");
    const Outcome nested =
        ParseText("!from(s) !include(\"common/defs.ini\") !include(\"x.ini\")", "scripts/main.ini");
    EXPECT_EQ(nested.tree, "x(\"scripts/common/x\") from(\"defs\") x(\"scripts/x\")") << nested.log;
    const Outcome top =
        ParseText("!x(s) !include(\"x.ini\") !include(\"./scripts/../x.ini\")", "main.ini");
    EXPECT_EQ(top.tree, "x(\"x\") x(\"x\")") << top.log;
    // A backslash path keeps its directory as written.
    WriteTextFile("scripts/common/main.ini", "!x(s) !include(\"x.ini\")");
    const Outcome backslash = ParseFile("scripts\\common\\main.ini");
    EXPECT_EQ(backslash.tree, "x(\"scripts/common/x\")") << backslash.log;
}

TEST(Include, TheNameMayBeAConstantOrAVariable) {
    EnterWorkspace();
    WriteTextFile("names/Tarvex", "!t() t()");
    WriteTextFile("names/other.ini", "!o() o()");
    const Outcome outcome =
        ParseText("$f(s, \"other.ini\") !include(f) !INCLUDE(%title)", "names/main.ini");
    EXPECT_EQ(outcome.tree, "o() t()") << outcome.log;
}

TEST(Include, MissingOrEmptyNamesIncludeNothing) {
    const ScriptCase cases[] = {
        {"!a() !include(\"\") a()", true, "a()", {}, 0, ""},
        {"!a() !include_if_int(1 == 1, \"\") a()", true, "a()", {}, 0, ""},
        // A missing file leaves only the warnings, which the log does not record.
        {"!a() !include(\"no/such.ini\") a()", true, "a()", {}, 0, ""},
    };
    for (const ScriptCase& c : cases)
        CheckScript(c);
}

TEST(Include, Conditions) {
    EnterWorkspace();
    WriteTextFile("high.ini", "high()");
    const ScriptCase cases[] = {
        {"!high() $quality(i, 2) !include_if_int(quality >= 2, \"high.ini\")",
         true,
         "high()",
         {},
         0,
         ""},
        {"!high() $quality(i, 1) !include_if_int(quality >= 2, \"high.ini\")",
         false,
         "",
         {},
         0,
         ""},
        {"!high() !include_if_int(%width == 640, \"high.ini\")", true, "high()", {}, 0, ""},
        {"!high() !include_if_int(-1 < 0, \"high.ini\")", true, "high()", {}, 0, ""},
        {"!high() !include_if_int(1 != 1, \"high.ini\")", false, "", {}, 0, ""},
        {"!high() !include_if_int(2 > 1, \"high.ini\")", true, "high()", {}, 0, ""},
        {"!high() !include_if_int(2 <= 1, \"high.ini\")", false, "", {}, 0, ""},
        {"!high() !include_if_float(0.5 < 1, \"high.ini\")", true, "high()", {}, 0, ""},
        {"!high() !include_if_float(%scale >= 1.5, \"high.ini\")", true, "high()", {}, 0, ""},
        {"!high() !include_if_float(0.1 == 0.1, \"high.ini\")", true, "high()", {}, 0, ""},
        {"!high() !include_if_float(2.5 > 3, \"high.ini\")", false, "", {}, 0, ""},
    };
    for (const ScriptCase& c : cases)
        CheckScript(c);
}

TEST(Include, DirectiveErrors) {
    const ScriptCase cases[] = {
        {"!include \"a.ini\"",
         false,
         "",
         {"left bracked expected in include"},
         1,
         "!include \"a.ini\""},
        {"!include(\"a.ini\" x",
         false,
         "",
         {"right bracked expected in include"},
         1,
         "!include(\"a.ini\" x"},
        // A name that cannot be read is reported and skipped; the ')' then fails.
        {"!include(nope)",
         false,
         "",
         {"unknown const name 'nope'", "unknown keyword "},
         1,
         "!include(nope)"},
        {"!include_if_int 1",
         false,
         "",
         {"left bracked expected in 'include_if_int'"},
         1,
         "!include_if_int 1"},
        {"!include_if_int(x == 1, \"a\")",
         false,
         "",
         {"unknown const name 'x'", "int expected in 'include_if_int'"},
         1,
         "!include_if_int(x == 1, \"a\")"},
        {"!include_if_int(1 = 1, \"a\")",
         false,
         "",
         {"operator expected in 'include_if_int'"},
         1,
         "!include_if_int(1 = 1, \"a\")"},
        {"!include_if_int(1 == 1.5, \"a\")",
         false,
         "",
         {"invalid termination of integer", "int expected in 'include_if_int'"},
         1,
         "!include_if_int(1 == 1.5, \"a\")"},
        {"!include_if_int(1 == 1 \"a\")",
         false,
         "",
         {"comma expected in 'include_if_int'"},
         1,
         "!include_if_int(1 == 1 \"a\")"},
        {"!include_if_int(1 == 1, 5)",
         false,
         "",
         {"unknown const name '5'", "string expected in 'include_if_int'"},
         1,
         "!include_if_int(1 == 1, 5)"},
        {"!include_if_int(1 == 1, \"a\"",
         false,
         "",
         {"right bracked expected in 'include_if_int'"},
         1,
         "!include_if_int(1 == 1, \"a\""},
        {"!include_if_float[",
         false,
         "",
         {"left bracked expected in 'include_if_float'"},
         1,
         "!include_if_float["},
        {"!include_if_float(1.5x < 2, \"a\")",
         false,
         "",
         {"invalid termination of float", "int expected in 'include_if_float'"},
         1,
         "!include_if_float(1.5x < 2, \"a\")"},
        {"!include_if_float(1 ! 2, \"a\")",
         false,
         "",
         {"operator expected in 'include_if_float'"},
         1,
         "!include_if_float(1 ! 2, \"a\")"},
        {"!include_if_float(1 < %nope, \"a\")",
         false,
         "",
         {"float variable 'nope' not found!\n", "int expected in 'include_if_float'"},
         1,
         "!include_if_float(1 < %nope, \"a\")"},
        {"!include_if_float(1 < 2 \"a\")",
         false,
         "",
         {"comma expected in 'include_if_float'"},
         1,
         "!include_if_float(1 < 2 \"a\")"},
        {"!include_if_float(1 < 2, \"a)",
         false,
         "",
         {"expected ending \"", "string expected in 'include_if_float'"},
         1,
         "!include_if_float(1 < 2, \"a)"},
        {"!include_if_float(1 < 2, \"a\" ]",
         false,
         "",
         {"right bracked expected in 'include_if_float'"},
         1,
         "!include_if_float(1 < 2, \"a\" ]"},
    };
    for (const ScriptCase& c : cases)
        CheckScript(c);
}

TEST(Include, AFailingIncludedFileFailsTheParseAndIsNamed) {
    EnterWorkspace();
    WriteTextFile("failing/bad.ini", "!b(i)\nb(1)\nb(x)\n");
    const Outcome outcome = ParseText("!a() a()\n!include(\"bad.ini\")\na()", "failing/main.ini");
    EXPECT_FALSE(outcome.parsed);
    ASSERT_EQ(outcome.reports.size(), 1u) << outcome.log;
    EXPECT_EQ(outcome.reports[0].message, "unknown const name 'x'");
    EXPECT_EQ(outcome.reports[0].file, "failing/bad.ini");
    EXPECT_EQ(outcome.reports[0].line, 3);
    EXPECT_EQ(outcome.reports[0].echo, "b(x)");
    EXPECT_NE(outcome.log.find("Parser: cant parse file 'failing/main.ini'\n"), std::string::npos);
}

// Cycles fail with a report that names the file, not with endless recursion.
TEST(Include, CyclesAreRefused) {
    EnterWorkspace();
    WriteTextFile("cycle/self.ini", "!a() a()\n!include(\"self.ini\")\n");
    Outcome self = ParseFile("cycle/self.ini");
    EXPECT_FALSE(self.parsed);
    ASSERT_EQ(self.reports.size(), 1u) << self.log;
    EXPECT_EQ(self.reports[0].message, "include cycle: 'cycle/self.ini' is already being parsed");
    EXPECT_EQ(self.reports[0].file, "cycle/self.ini");
    EXPECT_EQ(self.reports[0].line, 2);
    EXPECT_EQ(self.reports[0].echo, "!include(\"self.ini\")");

    WriteTextFile("cycle/a.ini", "!a() a() !include(\"sub/b.ini\")");
    WriteTextFile("cycle/sub/b.ini", "a() !include(\"../a.ini\")");
    Outcome pair = ParseFile("cycle/a.ini");
    EXPECT_FALSE(pair.parsed);
    ASSERT_EQ(pair.reports.size(), 1u) << pair.log;
    EXPECT_EQ(pair.reports[0].message, "include cycle: 'cycle/a.ini' is already being parsed");
    EXPECT_EQ(pair.reports[0].file, "cycle/sub/b.ini");
    EXPECT_NE(pair.log.find("Parser: cant parse file 'cycle/a.ini'\n"), std::string::npos);

    // Names that differ in case only are one file where the file system ignores case.
    WriteTextFile("case/m.ini", "!a()\n!include(\"B.ini\")");
    WriteTextFile("case/B.ini", "a()\n!include(\"b.ini\")");
#if defined(_WIN32)
    Outcome cased = ParseFile("case/m.ini"); // B.ini includes itself
    EXPECT_FALSE(cased.parsed);
    ASSERT_EQ(cased.reports.size(), 1u) << cased.log;
    EXPECT_EQ(cased.reports[0].message, "include cycle: 'case/b.ini' is already being parsed");
#else
    WriteTextFile("case/b.ini", "a()");
    Outcome cased = ParseFile("case/m.ini");
    EXPECT_EQ(cased.tree, "a() a()") << cased.log;
#endif

    // The same file twice in a row is no cycle.
    WriteTextFile("cycle/leaf.ini", "a()");
    Outcome twice = ParseText("!a() !include(\"leaf.ini\") !include(\"leaf.ini\")", "cycle/m.ini");
    EXPECT_EQ(twice.tree, "a() a()") << twice.log;
}

TEST(Include, DepthIsLimited) {
    EnterWorkspace();
    // depth/f0.ini includes f1.ini, which includes f2.ini, and so on.
    const int kFiles = kKvMaxIncludeDepth + 5;
    for (int i = 0; i < kFiles; ++i)
        WriteTextFile("depth/f" + std::to_string(i) + ".ini",
                      "!include(\"f" + std::to_string(i + 1) + ".ini\")\n");
    WriteTextFile("depth/f" + std::to_string(kFiles) + ".ini", "");
    Outcome outcome = ParseFile("depth/f0.ini");
    EXPECT_FALSE(outcome.parsed);
    ASSERT_EQ(outcome.reports.size(), 1u) << outcome.log;
    const std::string last = std::to_string(kKvMaxIncludeDepth - 1);
    EXPECT_EQ(outcome.reports[0].message, "includes nested deeper than 64 files at 'depth/f" +
                                              std::to_string(kKvMaxIncludeDepth) + ".ini'");
    EXPECT_EQ(outcome.reports[0].file, "depth/f" + last + ".ini");

    // One file short of the limit parses.
    WriteTextFile("depth/f" + last + ".ini", "!a() a()");
    Outcome fits = ParseFile("depth/f0.ini");
    EXPECT_EQ(fits.tree, "a()") << fits.log;
}

TEST(Include, OverlongPathsAreRefused) {
    EnterWorkspace();
    const std::string name300(300, 'n');
    const std::string name257(257, 'n');
    std::string dots;
    for (int i = 0; i < 125; ++i)
        dots += "./";
    const ScriptCase cases[] = {
        {"!include(\"" + name300 + "\")",
         false,
         "",
         {"include path longer than 259 characters: '" + name300 + "'"},
         1,
         "!include(\"" + name300 + "\")"},
        // Fits the joined path, but not the included parser's file path.
        {"!include(\"" + name257 + "\")",
         false,
         "",
         {"include path longer than 255 characters: '" + name257 + "'"},
         1,
         "!include(\"" + name257 + "\")"},
        // Normalising shortens a joined path of 258 characters enough.
        {"!include(\"" + dots + "leaf.ini\")", true, "l()", {}, 0, ""},
    };
    WriteTextFile("leaf.ini", "!l() l()");
    for (const ScriptCase& c : cases)
        CheckScript(c);
}

// Brace depth is counted across included files.
TEST(Include, NestingIsCountedAcrossFiles) {
    EnterWorkspace();
    std::string inner;
    for (int i = 0; i < 100; ++i)
        inner += "b() {";
    WriteTextFile("nest/inner.ini", inner);
    std::string outer = "!a() !b() ";
    for (int i = 0; i < 200; ++i)
        outer += "a() {";
    outer += "!include(\"inner.ini\")";
    const Outcome outcome = ParseText(outer, "nest/outer.ini");
    EXPECT_FALSE(outcome.parsed);
    ASSERT_EQ(outcome.reports.size(), 1u) << outcome.log;
    EXPECT_EQ(outcome.reports[0].message, "block nesting deeper than 256 levels");
    EXPECT_EQ(outcome.reports[0].file, "nest/inner.ini");
}

} // namespace
