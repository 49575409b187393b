// Statements and blocks: calls against prototypes, child blocks, prototype scope,
// and every statement-level message with its line and echoed source line.
#include "script_support.h"

#include <gtest/gtest.h>

namespace {

TEST(Statements, Trees) {
    const ScriptCase cases[] = {
        {"", false, "", {}, 0, ""},
        {" // only comments\n/* and */ !a(i) $x(i, 1)\n", false, "", {}, 0, ""},
        {"!a(i,f,s) a(1, 2.5, \"x\")", true, "a(1,2.5f,\"x\")", {}, 0, ""},
        {"!a(i) a(1)", true, "a(1)", {}, 0, ""},
        {"!a(i)\na(\n 1 /* one */\n)\n", true, "a(1)", {}, 0, ""},
        {"!e() e( ) e(/**/)", true, "e() e()", {}, 0, ""},
        {"!foo(i) Foo(1) FOO(2) foo(3)", true, "foo(1) foo(2) foo(3)", {}, 0, ""},
        {"!a() !b() a() { b() b() { a() } } b()", true, "a(){b() b(){a()}} b()", {}, 0, ""},
        // An unclosed block ends with the text, without an error.
        {"!a(i) !b() a(1) { b()", true, "a(1){b()}", {}, 0, ""},
        {"!a(i) a(1) {", true, "a(1)", {}, 0, ""},
        {"!a() a() {}", true, "a()", {}, 0, ""},
        // The inner declaration decides until its block ends; within a block the
        // later one wins.
        {"!v(i) v(1) { !v(s) v(\"x\") } v(2)", true, "v(1){v(\"x\")} v(2)", {}, 0, ""},
        {"!v(i) !v(s) v(\"x\")", true, "v(\"x\")", {}, 0, ""},
        {"!a() a() { !b(i) b(1) { b(2) } }", true, "a(){b(1){b(2)}}", {}, 0, ""},
        {"!foo(i) foo(1);", true, "foo(1)", {"its not c!"}, 1, "!foo(i) foo(1);"},
        {"!a() a();\na();", true, "a() a()", {"its not c!", "its not c!"}, 1, "!a() a();"},
    };
    for (const ScriptCase& c : cases)
        CheckScript(c);
}

TEST(Statements, Errors) {
    const std::string long40(40, 'k');
    const ScriptCase cases[] = {
        {"!foo(i) !bar() foo(1); { bar() }",
         false,
         "",
         {"its not c!", "unknown keyword "},
         1,
         "!foo(i) !bar() foo(1); { bar() }"},
        {"!a() $x(i,1); a()", false, "", {"unknown keyword "}, 1, "!a() $x(i,1); a()"},
        {"!a(); a()", false, "", {"unknown keyword "}, 1, "!a(); a()"},
        {"(1)", false, "", {"unknown keyword "}, 1, "(1)"},
        {"!a() a() { !b() b() }\nb()", false, "", {"unknown keyword b"}, 2, "b()"},
        {"!a() }", false, "", {"unexpected closing curly bracket"}, 1, "!a() }"},
        {"!a() a() { a() } }",
         false,
         "",
         {"unexpected closing curly bracket"},
         1,
         "!a() a() { a() } }"},
        {"!pos(i,i)\n  pos(1 2)\n", false, "", {"comma expected"}, 2, "  pos(1 2)"},
        {"!a(i) a 1)", false, "", {"opening bracket expected"}, 1, "!a(i) a 1)"},
        {"!a(i) a", false, "", {"error in call"}, 1, "!a(i) a"},
        {"!a(i) a(1 ", false, "", {"closing bracket expected"}, 1, "!a(i) a(1 "},
        {"!a(i) a(1 ]", false, "", {"closing bracket expected"}, 1, "!a(i) a(1 ]"},
        {"!e() e(1)", false, "", {"closing bracket expected"}, 1, "!e() e(1)"},
        {"!a(i) a(x)", false, "", {"unknown const name 'x'"}, 1, "!a(i) a(x)"},
        {"!a(s) a(1)", false, "", {"unknown const name '1'"}, 1, "!a(s) a(1)"},
        {"!a(i) a(1.5)", false, "", {"invalid termination of integer"}, 1, "!a(i) a(1.5)"},
        {"!a(i)\nb(1)", false, "", {"unknown keyword b"}, 2, "b(1)"},
        {long40 + "()", false, "", {"word limit exceeded", "error in call"}, 1, long40 + "()"},
        // Calls before the failure are not returned.
        {"!a() a() a() a(", false, "", {"closing bracket expected"}, 1, "!a() a() a() a("},
    };
    for (const ScriptCase& c : cases)
        CheckScript(c);
}

TEST(Statements, FailureInsideANestedBlockStopsEveryLevel) {
    const ScriptCase c = {"!a() a() {\n a() {\n  a(1)\n }\n}\na()",
                          false,
                          "",
                          {"closing bracket expected"},
                          3,
                          "  a(1)"};
    CheckScript(c);
}

} // namespace
