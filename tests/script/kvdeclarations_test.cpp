// Constant and prototype declarations: their forms and every message.
#include "script_support.h"

#include <gtest/gtest.h>

namespace {

TEST(Constants, Trees) {
    const ScriptCase cases[] = {
        {"$speed(f, 2.5) !go(f) go(speed)", true, "go(2.5f)", {}, 0, ""},
        {"$speed(f, 2.5) !go(f) go(speed) $SPEED(i, 3) !go(i) go(Speed)",
         true,
         "go(2.5f) go(3)",
         {},
         0,
         ""},
        {"$n(N, 4) $s(S, \"t\") !f(i,s) f(n, s)", true, "f(4,\"t\")", {}, 0, ""},
        {"$x ( /* c */ i /* c */ , -1 // c\n ) !a(i) a(x)", true, "a(-1)", {}, 0, ""},
        // Only the value is kept, not the name of the variable it came from.
        {"$w(i, %width) !a(i) a(w)", true, "a(640)", {}, 0, ""},
        {"$a(i, 1) $b(i, a) !f(i) f(b)", true, "f(1)", {}, 0, ""},
        // Constants and keywords live apart.
        {"$go(i, 1) !go(i) go(go)", true, "go(1)", {}, 0, ""},
        // A constant outlives the block it was declared in.
        {"!a(i) a(1) { $k(i, 5) } a(k)", true, "a(1) a(5)", {}, 0, ""},
    };
    for (const ScriptCase& c : cases)
        CheckScript(c);
}

TEST(Constants, Errors) {
    const std::string long40(40, 'c');
    const ScriptCase cases[] = {
        {"$x(int, 5)", false, "", {"unexpected character in typedef"}, 1, "$x(int, 5)"},
        {"$x(i 5)", false, "", {"unexpected character in typedef"}, 1, "$x(i 5)"},
        {"$x()", false, "", {"unexpected character in typedef"}, 1, "$x()"},
        {"$x(i, 5, 6)", false, "", {"unexpected character in typedef"}, 1, "$x(i, 5, 6)"},
        {"$x(q, 5)", false, "", {"unexpected character in typedef"}, 1, "$x(q, 5)"},
        {"$x(i, 5", false, "", {"invalid termination of integer"}, 1, "$x(i, 5"},
        {"$x(i,\n5 ", false, "", {"unexpected character in typedef"}, 2, "5 "},
        {"$ x(i, 1)", false, "", {"left bracked expected in const def"}, 1, "$ x(i, 1)"},
        {"$x[i, 1]", false, "", {"left bracked expected in const def"}, 1, "$x[i, 1]"},
        {"$x", false, "", {"error in const def"}, 1, "$x"},
        {"$" + long40 + "(i, 1)",
         false,
         "",
         {"word limit exceeded", "error in const def"},
         1,
         "$" + long40 + "(i, 1)"},
        {"$x(i, %nope)", false, "", {"int variable 'nope' not found!\n"}, 1, "$x(i, %nope)"},
        {"$x(f, level)", false, "", {"unknown const name 'level'"}, 1, "$x(f, level)"},
        {"$k(s, \"a\") $x(i, k)",
         false,
         "",
         {"'k' const type != 'int'"},
         1,
         "$k(s, \"a\") $x(i, k)"},
        // A failed declaration declares nothing.
        {"$k(i, 1 x", false, "", {"unexpected character in typedef"}, 1, "$k(i, 1 x"},
    };
    for (const ScriptCase& c : cases)
        CheckScript(c);
}

TEST(Prototypes, Trees) {
    const ScriptCase cases[] = {
        {"!empty() empty()", true, "empty()", {}, 0, ""},
        {"!pos(float, float, float) pos(1, 2, 3)", true, "pos(1f,2f,3f)", {}, 0, ""},
        {"!count(int) !x(number) !name(string) count(1) x(2) name(\"n\")",
         true,
         "count(1) x(2) name(\"n\")",
         {},
         0,
         ""},
        {"!v(f  /* x */ , i) v(1.5, 2)", true, "v(1.5f,2)", {}, 0, ""},
        {"!Mixed(S) MIXED(\"a\")", true, "mixed(\"a\")", {}, 0, ""},
        {"!t(I, N, F, S) t(1, 2, 3, \"4\")", true, "t(1,2,3f,\"4\")", {}, 0, ""},
        // Everything after a type's first letter up to ',' or ')' is skipped.
        {"!w(i(x, s]) w(1, \"s\")", true, "w(1,\"s\")", {}, 0, ""},
    };
    for (const ScriptCase& c : cases)
        CheckScript(c);
}

TEST(Prototypes, Errors) {
    const std::string long40(40, 'p');
    const ScriptCase cases[] = {
        {"!v(f, )", false, "", {"unexpected characted in typedef"}, 1, "!v(f, )"},
        {"!v(,f)", false, "", {"unexpected characted in typedef"}, 1, "!v(,f)"},
        {"!v(x)", false, "", {"unexpected characted in typedef"}, 1, "!v(x)"},
        {"!v(", false, "", {"unexpected characted in typedef"}, 1, "!v("},
        {"!v(f", false, "", {"unexpected end of file in typedef"}, 1, "!v(f"},
        {"!v(float, int", false, "", {"unexpected end of file in typedef"}, 1, "!v(float, int"},
        {"!v i", false, "", {"left bracked expected in typedef"}, 1, "!v i"},
        {"!v", false, "", {"error in typedef"}, 1, "!v"},
        {"! v()", false, "", {"left bracked expected in typedef"}, 1, "! v()"},
        {"!" + long40 + "()",
         false,
         "",
         {"word limit exceeded", "error in typedef"},
         1,
         "!" + long40 + "()"},
        {"!v(i x) v(1)", true, "v(1)", {}, 0, ""},
        // The rest of a type word is skipped whatever it holds, a lone slash included.
        {"!v(i/) v(1)", true, "v(1)", {}, 0, ""},
    };
    for (const ScriptCase& c : cases)
        CheckScript(c);
}

} // namespace
