// The source buffer, the lexical primitives and the error report.
#include "kvparser.h"
#include "script_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::unique_ptr<CKVParse> Open(const std::string& text, const std::string& name = "lex.ini") {
    EnterWorkspace();
    WriteTextFile(name, text);
    return std::unique_ptr<CKVParse>(new CKVParse(name.c_str()));
}

TEST(Source, ReadsTheWholeFile) {
    std::unique_ptr<CKVParse> p = Open("abc\r\ndef");
    ASSERT_NE(p->buffer, nullptr);
    ASSERT_NE(p->scratch, nullptr);
    EXPECT_EQ(p->size, 8u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p->buffer), p->size), "abc\r\ndef");
    EXPECT_EQ(p->pos, 0u);
    EXPECT_EQ(p->line, 1);
    EXPECT_EQ(p->constants, nullptr);
    EXPECT_EQ(p->intVariable, nullptr);
    EXPECT_EQ(p->includer, nullptr);
    EXPECT_EQ(p->blockDepth, 0);
    EXPECT_STREQ(p->filePath, "lex.ini");
}

TEST(Source, EmptyFileHasAnEmptyBuffer) {
    std::unique_ptr<CKVParse> p = Open("");
    EXPECT_NE(p->buffer, nullptr);
    EXPECT_EQ(p->size, 0u);
    EXPECT_EQ(p->GetChar(), -1);
    EXPECT_EQ(p->SkipBlanks(), -1);
    EXPECT_EQ(p->UngetChar(), -1);
}

TEST(Source, MissingFileHasNoBuffer) {
    EnterWorkspace();
    LogReader log;
    CKVParse p("no/such/file.ini");
    EXPECT_EQ(p.buffer, nullptr);
    EXPECT_EQ(p.scratch, nullptr);
    EXPECT_EQ(p.size, 0u);
    EXPECT_EQ(p.GetChar(), -1);
    EXPECT_EQ(p.SkipBlanks(), -1);
    EXPECT_STREQ(p.directory, "no/such/");
    // The warnings go to the warning channel, which records nothing.
    EXPECT_EQ(log.Take(), "");
}

TEST(Source, DirectoryOfThePath) {
    struct Case {
        const char* path;
        const char* directory;
    };
    const Case cases[] = {
        {"game.ini", ""},
        {"data/game.ini", "data/"},
        {"a/b\\c/d.ini", "a/b\\"},
        {"a\\b\\c.ini", "a\\b\\"},
        {"/", "/"},
        {"dir/", "dir/"},
    };
    EnterWorkspace();
    for (const Case& c : cases) {
        CKVParse p(c.path);
        EXPECT_STREQ(p.directory, c.directory) << c.path;
        EXPECT_STREQ(p.filePath, c.path) << c.path;
    }
}

TEST(Source, PathLongerThanTheFieldsIsRefused) {
    EnterWorkspace();
    // 255 characters fit; the file need not exist for that.
    const std::string fits(255, 'f');
    {
        LogReader log;
        CKVParse p(fits.c_str());
        EXPECT_EQ(std::string(p.filePath), fits);
        EXPECT_EQ(log.Take(), "");
    }
    const std::string longer = "d/" + std::string(254, 'g');
    WriteTextFile(longer, "!a() a()");
    LogReader log;
    CKVParse p(longer.c_str());
    EXPECT_EQ(p.buffer, nullptr);
    EXPECT_EQ(p.size, 0u);
    EXPECT_STREQ(p.filePath, "");
    EXPECT_STREQ(p.directory, "");
    EXPECT_EQ(log.Take(), "[CKVParse] file path longer than 255 characters: '" + longer + "'\n");
}

TEST(Lexer, GetCharAndUngetCharTrackLines) {
    std::unique_ptr<CKVParse> p = Open("a\n\nb");
    EXPECT_EQ(p->GetChar(), 'a');
    EXPECT_EQ(p->GetChar(), '\n');
    EXPECT_EQ(p->GetChar(), '\n');
    EXPECT_EQ(p->GetChar(), 'b');
    EXPECT_EQ(p->line, 3);
    EXPECT_EQ(p->GetChar(), -1);
    EXPECT_EQ(p->pos, 4u);
    EXPECT_EQ(p->UngetChar(), 0); // onto the b
    EXPECT_EQ(p->line, 3);
    EXPECT_EQ(p->UngetChar(), 0);
    EXPECT_EQ(p->line, 2);
    EXPECT_EQ(p->UngetChar(), 0);
    EXPECT_EQ(p->line, 1);
    EXPECT_EQ(p->UngetChar(), 0);
    EXPECT_EQ(p->UngetChar(), -1);
    EXPECT_EQ(p->pos, 0u);
}

TEST(Lexer, BytesAboveAsciiArePositive) {
    std::unique_ptr<CKVParse> p = Open("\xff\x80");
    EXPECT_EQ(p->GetChar(), 255);
    EXPECT_EQ(p->GetChar(), 128);
}

TEST(Lexer, SkipBlanks) {
    struct Case {
        const char* text;
        int result;
        uint32_t pos;
        int line;
    };
    const Case cases[] = {
        {"  // comment\n\n  x", 0, 16, 3},
        {"/x", 0, 0, 1},
        {" /", 0, 1, 1},
        {"/\nx", 0, 0, 1},
        {"/* a ** b **/x", 0, 13, 1},
        {"/* a \n*/ \t\r\nx", 0, 12, 3},
        {"/* open *", -1, 9, 1},
        {"/* open", -1, 7, 1},
        {"/*/ x", -1, 5, 1},
        {"/**/x", 0, 4, 1},
        {"// to the end", -1, 13, 1},
        {"x", 0, 0, 1},
        {" \t\r\n", -1, 4, 2},
        {"/* x */ // y\n/", 0, 13, 2},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CKVParse> p = Open(c.text);
        EXPECT_EQ(p->SkipBlanks(), c.result) << c.text;
        EXPECT_EQ(p->pos, c.pos) << c.text;
        EXPECT_EQ(p->line, c.line) << c.text;
    }
}

TEST(Lexer, SkipLineAndBlockComment) {
    std::unique_ptr<CKVParse> p = Open("abc\ndef*/g");
    EXPECT_EQ(p->SkipLine(), 0);
    EXPECT_EQ(p->pos, 4u);
    EXPECT_EQ(p->line, 2);
    EXPECT_EQ(p->SkipBlockComment(), 0);
    EXPECT_EQ(p->GetChar(), 'g');
    EXPECT_EQ(p->SkipLine(), -1);
    EXPECT_EQ(p->SkipBlockComment(), -1);
}

TEST(Lexer, ReadOperator) {
    struct Case {
        const char* text;
        int code;
        uint32_t pos;
    };
    const Case cases[] = {
        {"==5", 1, 2}, {"!=5", 2, 2}, {">5", 3, 1},  {"<5", 4, 1}, {">=5", 5, 2},
        {"<=5", 6, 2}, {"=5", 0, 2},  {"!5", 0, 2},  {"<", 0, 1},  {"", 0, 0},
        {"=<", 0, 2},  {"ab", 0, 2},  {"< 5", 4, 1},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CKVParse> p = Open(c.text);
        EXPECT_EQ(p->ReadOperator(), c.code) << c.text;
        EXPECT_EQ(p->pos, c.pos) << c.text;
    }
}

TEST(Lexer, ReadWord) {
    struct Case {
        std::string text;
        int result;
        std::string word;
        uint32_t pos;
        const char* message; // "" when nothing is reported
    };
    const std::string letters39(39, 'w');
    const Case cases[] = {
        {letters39 + ")", 0, letters39, 39, ""},
        {letters39 + "x)", 1, letters39, 39, "word limit exceeded"},
        {"abc", -1, "abc", 3, ""},
        {"9lives ", 0, "9lives", 6, ""},
        {"Mixed_Case1(", 0, "Mixed_Case1", 11, ""},
        {"(x", 0, "", 0, ""},
        {"", -1, "", 0, ""},
        {"a-b", 0, "a", 1, ""},
        {"\xe9t\xe9", 0, "", 0, ""},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CKVParse> p = Open(c.text);
        LogReader log;
        char word[kKvWordSize];
        memset(word, '#', sizeof word);
        EXPECT_EQ(p->ReadWord(word, kKvWordSize), c.result) << c.text;
        EXPECT_EQ(word, c.word) << c.text;
        EXPECT_EQ(p->pos, c.pos) << c.text;
        const std::vector<Report> reports = ReportsIn(log.Take());
        if (c.message[0]) {
            ASSERT_EQ(reports.size(), 1u) << c.text;
            EXPECT_EQ(reports[0].message, c.message);
        } else {
            EXPECT_TRUE(reports.empty()) << c.text;
        }
    }
}

// The report names the file and line and echoes the line the cursor stands on.
TEST(ReportError, EchoesTheLineAtTheCursor) {
    struct Case {
        std::string text;
        uint32_t pos;
        int line; // the line counter as the cursor leaves it
        std::string echo;
    };
    const Case cases[] = {
        {"first line\nsecond", 0, 1, "first line"},
        {"first line\nsecond", 4, 1, "first line"},
        {"first line\nsecond", 11, 2, "second"},
        {"first line\r\nsecond\r\nthird", 12, 2, "second"},
        {"first line\r\nsecond\r\nthird", 18, 2, "second"},
        {"one\ntwo", 7, 2, "two"},
        {"\nx", 1, 2, "x"},
        {"\rx", 1, 1, "x"},
        {"speed(%car_speed) 100%", 3, 1, "speed(%car_speed) 100%"},
        {"", 0, 1, ""},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CKVParse> p = Open(c.text, "echo.ini");
        while (p->pos < c.pos)
            p->GetChar();
        LogReader log;
        p->ReportError("bad %s %d", "thing", 7);
        const std::vector<Report> reports = ReportsIn(log.Take());
        ASSERT_EQ(reports.size(), 1u) << c.text;
        EXPECT_EQ(reports[0].message, "bad thing 7");
        EXPECT_EQ(reports[0].file, "echo.ini");
        EXPECT_EQ(reports[0].line, c.line) << c.text;
        EXPECT_EQ(reports[0].echo, c.echo) << c.text;
    }
}

TEST(ReportError, StoredBytes) {
    std::unique_ptr<CKVParse> p = Open("!pos(i,i)\npos(1 2)\n", "raw.ini");
    while (p->pos < 16)
        p->GetChar();
    LogReader log;
    p->ReportError("comma expected");
    p->ReportError("int variable '%s' not found!\n", "x");
    // The closing "\n\n" is one log text, whose leading LF the log stores bare.
    EXPECT_EQ(log.TakeRaw(), "[CKVParse] comma expected: in file 'raw.ini' in line 2\r\n"
                             "pos(1 2)\n\r\n"
                             "[CKVParse] int variable 'x' not found!\r\n"
                             ": in file 'raw.ini' in line 2\r\npos(1 2)\n\r\n");
}

// A long message reaches the log in pieces; line feeds at a piece's start, alone
// or in a run, still get their CR.
TEST(ReportError, LongMessageKeepsEveryLineEnd) {
    std::unique_ptr<CKVParse> p = Open("x", "pieces.ini");
    for (size_t at : {998u, 999u, 1000u, 1999u, 2000u}) {
        LogReader log;
        p->ReportError("%s", (std::string(at, 'm') + "\n\n\nend").c_str());
        const std::string expected = "[CKVParse] " + std::string(at, 'm') +
                                     "\r\n\r\n\r\nend: in file 'pieces.ini' in line 1\r\n";
        EXPECT_EQ(log.TakeRaw().substr(0, expected.size()), expected) << "line feeds at " << at;
    }
}

// The message buffer holds 8191 characters: a longer source line is echoed cut,
// and a longer message too, with nothing written past the buffer.
TEST(ReportError, OverlongLineAndMessageAreCut) {
    std::string longLine;
    for (int i = 0; i < 10000; ++i)
        longLine += static_cast<char>('a' + i % 26);
    std::unique_ptr<CKVParse> p = Open("x\n" + longLine + "\ny", "long.ini");
    while (p->pos < 9000)
        p->GetChar();
    LogReader log;
    p->ReportError("%s", std::string(9000, 'm').c_str());
    const std::vector<Report> reports = ReportsIn(log.Take());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, std::string(kKvMessageSize - 1, 'm'));
    EXPECT_EQ(reports[0].line, 2);
    EXPECT_EQ(reports[0].echo, longLine.substr(0, kKvMessageSize - 1));
}

} // namespace
