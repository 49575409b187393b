// The value readers: each form of each type, every failure with its message,
// the error flag and where the cursor is left.
#include "kvparser.h"
#include "script_support.h"

#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <memory>
#include <string>

namespace {

enum Reader { kInt, kFloat, kString };

struct Case {
    Reader reader;
    std::string text;
    const char* value; // the rendered value, or null for a failure
    int error;
    const char* message; // the one report, or "" for none
    uint32_t pos;
};

void PushConstant(CKVParse* parser, const char* name, CKVPARSE_PARAM* value) {
    CKVPARSE_KEYWORD* node = new CKVPARSE_KEYWORD();
    strcpy(node->name, name);
    node->params = value;
    node->next = parser->constants;
    parser->constants = node;
}

// Reads one value from text with the test callbacks and three constants:
// level (int 3, declared over an older level 9), half (float 0.5), greeting ("hi").
void Check(const Case& c, bool withCallbacks = true) {
    EnterWorkspace();
    WriteTextFile("value.ini", c.text);
    CKVParse parser("value.ini");
    if (withCallbacks) {
        parser.intVariable = TestIntVariable;
        parser.floatVariable = TestFloatVariable;
        parser.stringVariable = TestStringVariable;
    }
    PushConstant(&parser, "level", new CKVPARSE_INT(9, nullptr));
    PushConstant(&parser, "level", new CKVPARSE_INT(3, nullptr));
    PushConstant(&parser, "half", new CKVPARSE_FLOAT(0.5f, nullptr));
    PushConstant(&parser, "greeting", new CKVPARSE_STRING("hi", nullptr));
    LogReader log;
    int error = 0;
    std::unique_ptr<CKVPARSE_PARAM> value;
    if (c.reader == kInt)
        value.reset(parser.ReadInt(&error));
    else if (c.reader == kFloat)
        value.reset(parser.ReadFloat(&error));
    else
        value.reset(parser.ReadString(&error));
    const std::string what = std::to_string(c.reader) + ": " + c.text;
    if (c.value) {
        ASSERT_NE(value, nullptr) << what;
        EXPECT_EQ(value->next, nullptr) << what;
        EXPECT_EQ(RenderValues(value.get()), c.value) << what;
    } else {
        EXPECT_EQ(value, nullptr) << what;
    }
    EXPECT_EQ(error, c.error) << what;
    EXPECT_EQ(parser.pos, c.pos) << what;
    const std::vector<Report> reports = ReportsIn(log.Take());
    if (c.message[0]) {
        ASSERT_EQ(reports.size(), 1u) << what;
        EXPECT_EQ(reports[0].message, c.message) << what;
        EXPECT_EQ(reports[0].file, "value.ini");
    } else {
        EXPECT_TRUE(reports.empty()) << what;
    }
}

TEST(ReadInt, Cases) {
    const std::string long40(40, 'n');
    const Case cases[] = {
        {kInt, "42,", "42", 0, "", 2},
        {kInt, "42)", "42", 0, "", 2},
        {kInt, "42 x", "42", 0, "", 2},
        {kInt, "42\n", "42", 0, "", 2},
        {kInt, "42", nullptr, 1, "invalid termination of integer", 2},
        {kInt, "-\n/* c */ 7,", "-7", 0, "", 11},
        {kInt, "-0 ", "0", 0, "", 2},
        {kInt, "007 ", "7", 0, "", 3},
        {kInt, "1.5 ", nullptr, 1, "invalid termination of integer", 2},
        {kInt, "0x10 ", nullptr, 1, "invalid termination of integer", 2},
        {kInt, "5/* c */ ", nullptr, 1, "invalid termination of integer", 2},
        // Literals wrap modulo 2^32.
        {kInt, "2147483647 ", "2147483647", 0, "", 10},
        {kInt, "2147483648 ", "-2147483648", 0, "", 10},
        {kInt, "-2147483648 ", "-2147483648", 0, "", 11},
        {kInt, "4294967295 ", "-1", 0, "", 10},
        {kInt, "4294967296 ", "0", 0, "", 10},
        {kInt, "99999999999 ", "1215752191", 0, "", 11},
        {kInt, "-4294967297 ", "-1", 0, "", 11},
        {kInt, "- x", nullptr, 1, "expected number", 3},
        {kInt, "-", nullptr, 1, "expected number", 1},
        {kInt, "%width,", "640%width", 0, "", 6},
        {kInt, "%)", "-1%", 0, "", 1},
        {kInt, "%height,", nullptr, 1, "int variable 'height' not found!\n", 7},
        {kInt, "%abc", nullptr, -1, "", 4},
        {kInt, "%" + long40, nullptr, 1, "word limit exceeded", 40},
        {kInt, "level,", "3", 0, "", 5},
        {kInt, "LeVeL)", "3", 0, "", 5},
        {kInt, "half)", nullptr, 1, "'half' const type != 'int'", 4},
        {kInt, "nothing)", nullptr, 1, "unknown const name 'nothing'", 7},
        {kInt, ".5,", nullptr, 1, "unknown const name ''", 0},
        {kInt, "+5,", nullptr, 1, "unknown const name ''", 0},
        {kInt, "level", nullptr, -1, "", 5},
        {kInt, long40 + ")", nullptr, 1, "word limit exceeded", 39},
        {kInt, "", nullptr, -1, "", 0},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(ReadFloat, Cases) {
    const Case cases[] = {
        {kFloat, "5 ", "5f", 0, "", 1},
        {kFloat, "5. ", "5f", 0, "", 2},
        {kFloat, "0.1,", "0.100000001f", 0, "", 3},
        {kFloat, "-2.5)", "-2.5f", 0, "", 4},
        {kFloat, "- 1.25 ", "-1.25f", 0, "", 6},
        {kFloat, "3.14159265358979 ", "3.14159274f", 0, "", 16},
        {kFloat, "1.5x", nullptr, 1, "invalid termination of float", 4},
        {kFloat, "1e5 ", nullptr, 1, "invalid termination of float", 2},
        {kFloat, "1.2.3 ", nullptr, 1, "invalid termination of float", 4},
        {kFloat, "2.5", nullptr, 1, "invalid termination of float", 3},
        {kFloat, "-.5 ", nullptr, 1, "expected number", 2},
        {kFloat, "%scale)", "1.5f%scale", 0, "", 6},
        {kFloat, "%nope)", nullptr, 1, "float variable 'nope' not found!\n", 5},
        {kFloat, "half)", "0.5f", 0, "", 4},
        {kFloat, "level)", nullptr, 1, "'level' const type != 'float'", 5},
        {kFloat, "none)", nullptr, 1, "unknown const name 'none'", 4},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(ReadFloat, NegativeZeroKeepsItsSign) {
    EnterWorkspace();
    WriteTextFile("zero.ini", "-0 ");
    CKVParse parser("zero.ini");
    int error = 0;
    std::unique_ptr<CKVPARSE_FLOAT> value(parser.ReadFloat(&error));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->value, 0.0f);
    EXPECT_TRUE(signbit(value->value));
}

TEST(ReadFloat, HugeLiteralsBecomeInfinite) {
    EnterWorkspace();
    WriteTextFile("huge.ini", std::string(60, '9') + " ");
    CKVParse parser("huge.ini");
    int error = 0;
    std::unique_ptr<CKVPARSE_FLOAT> value(parser.ReadFloat(&error));
    ASSERT_NE(value, nullptr);
    EXPECT_TRUE(isinf(value->value));
}

TEST(ReadString, Cases) {
    const std::string filled = "\"" + std::string(255, 'L') + "\"%long";
    const Case cases[] = {
        {kString, "\"abc\"", "\"abc\"", 0, "", 5},
        {kString, "\"\")", "\"\"", 0, "", 2},
        {kString, "\"a\\nb\"", "\"a\\r\\nb\"", 0, "", 6},
        {kString, "\"a\\tb\"", "\"a\\tb\"", 0, "", 6},
        {kString, "\"a\\\r\nb\"", "\"ab\"", 0, "", 7},
        {kString, "\"a\\\n\rb\"", "\"ab\"", 0, "", 7},
        {kString, "\"a\\\rb\"", "\"ab\"", 0, "", 6},
        {kString, "\"a\\\nb\"", "\"ab\"", 0, "", 6},
        {kString, "\"a\\\n\"", "\"a\"", 0, "", 5},
        {kString, "\"a\\\"b\"", "\"a\\\"b\"", 0, "", 6},
        {kString, "\"a\\\\b\"", "\"a\\\\b\"", 0, "", 6},
        {kString, "\"a\\qb\"", "\"aqb\"", 0, "", 6},
        {kString, "\"a\nb\"", "\"a\\nb\"", 0, "", 5},
        {kString, std::string("\"a\0b\"", 5), "\"a\"", 0, "", 5},
        {kString, "\"abc", nullptr, 1, "expected ending \"", 4},
        {kString, "\"ab\\", nullptr, 1, "expected ending \"", 4},
        {kString, "\"ab\\\r", nullptr, 1, "expected ending \"", 5},
        {kString, "\"ab\\\n", nullptr, 1, "expected ending \"", 5},
        {kString, "greeting)", "\"hi\"", 0, "", 8},
        {kString, "level)", nullptr, 1, "'level' const type != 'string'", 5},
        {kString, "%title)", "\"Tarvex\"%title", 0, "", 6},
        {kString, "%long)", filled.c_str(), 0, "", 5},
        {kString, "%nope)", nullptr, 1, "string variable 'nope' not found!\n", 5},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(ReadString, LiteralKeepsLineCount) {
    EnterWorkspace();
    WriteTextFile("lines.ini", "\"a\nb\\\r\nc\" x");
    CKVParse parser("lines.ini");
    int error = 0;
    std::unique_ptr<CKVPARSE_STRING> value(parser.ReadString(&error));
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value->value, "a\nbc");
    EXPECT_EQ(parser.line, 3);
}

TEST(Readers, VariableWithoutCallback) {
    const Case cases[] = {
        {kInt, "%width)", nullptr, 1,
         "variable callback not specified: unable to read 'width' variable!\n", 6},
        {kFloat, "%scale)", nullptr, 1,
         "variable callback not specified: unable to read 'scale' variable!\n", 6},
        {kString, "%title)", nullptr, 1,
         "variable callback not specified: unable to read 'title' variable!\n", 6},
    };
    for (const Case& c : cases)
        Check(c, false);
}

// At the end of the text a reader steps back onto the last byte and reads a
// constant name from there.
TEST(Readers, AtTheEndOfTheText) {
    EnterWorkspace();
    WriteTextFile("end.ini", "f(1,");
    CKVParse parser("end.ini");
    while (parser.GetChar() != -1) {
    }
    LogReader log;
    int error = 0;
    EXPECT_EQ(parser.ReadInt(&error), nullptr);
    EXPECT_EQ(error, 1);
    EXPECT_EQ(parser.pos, 3u);
    const std::vector<Report> reports = ReportsIn(log.Take());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, "unknown const name ''");
    EXPECT_EQ(reports[0].echo, "f(1,");
}

} // namespace
