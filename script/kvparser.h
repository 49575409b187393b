// The parser's own header, not part of its interface: one CKVParse object parses
// one script file (or one included file), and the helpers its files share.
//
// Errors take one path: a failing step calls Fail (or Expect), which reports the
// message through ReportError (the file, the line and the offending source line go
// to the log) and sets the caller's error flag to kKvReported; every loop stops as
// soon as the flag is not kKvNoError.
#pragma once

#include "kvparse.h"
#include "kvtree.h"

#include <stdarg.h>
#include <stddef.h>

#include <cstddef>
#include <stdint.h>

// The states of a parse step's error flag.
const int kKvNoError = 0;
const int kKvReported = 1;   // an error was reported
const int kKvEndOfText = -1; // a name ran into the end of the text; nothing reported

const int kKvWordSize = kKvNameLength + 1; // every name is read with this limit
const int kKvMessageSize = 8192;           // the report's message buffer

#if defined(__GNUC__)
#define KV_PRINTF_FORMAT(formatIndex, firstArgument)                                               \
    __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define KV_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

namespace fs {

// What failed: 0 opening, 1 reading, 3 asking the length. Thrown by value.
struct file_exception {
    int32_t code;
};

// A reader over one archive file system file; closes it when destroyed.
class file_reader {
  public:
    file_reader();
    ~file_reader();
    // Logs "WARNING [file] cannot open file <path>" and throws file_exception{0}
    // when the file cannot be opened.
    void open(const char* path, int mode);
    int32_t length(); // throws file_exception{3}
    // Any result but -1 is success: the count the file system gives back is not
    // necessarily a byte count. Throws file_exception{1} on -1.
    int32_t read(void* destination, int32_t count);
    void close(); // harmless when nothing is open

    uint32_t handle;

  private:
    file_reader(const file_reader&) = delete;
    file_reader& operator=(const file_reader&) = delete;
};

} // namespace fs

// Comparison codes 1 ==, 2 !=, 3 >, 4 <, 5 >=, 6 <=; any other code yields false.
bool CompareInt(int code, int32_t first, int32_t second);
bool CompareFloat(int code, float first, float second);

// ASCII letters only: script bytes have no declared encoding.
inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline void LowerCaseName(char* name) {
    for (; *name; ++name)
        *name = LowerAscii(*name);
}

// The type code of a type letter (i I n N: integer, f F: float, s S: string), or -1.
int TypeOfLetter(int c);

// Destroys the nodes from head up to, but not including, stop, one node at a time
// with its link cut, so no destruction runs on along the chain.
void DestroyNodesUntil(CKVPARSE_KEYWORD* head, const CKVPARSE_KEYWORD* stop);

class CKVParse {
  public:
    // Reads the whole file through the archive file system. An unreadable file (or a
    // path too long for filePath) leaves an object with a null buffer and size 0,
    // after warnings; no file system exception leaves the constructor.
    explicit CKVParse(const char* path);
    ~CKVParse();

    // Logs "[CKVParse] <message>: in file '<path>' in line <n>", the source line at the
    // cursor and an empty line. Does not touch any error flag.
    virtual void ReportError(const char* format, ...) KV_PRINTF_FORMAT(2, 3);

    // The error path: reports the message, sets *error to kKvReported and returns
    // null, so that a reader ends with "return Fail(error, ...)".
    std::nullptr_t Fail(int* error, const char* format, ...) KV_PRINTF_FORMAT(3, 4);
    // Skips blanks and reads one byte: true when it is expected, else Fail with the
    // message (the cursor stays after the byte read) and false.
    bool Expect(int expected, int* error, const char* format, ...) KV_PRINTF_FORMAT(4, 5);

    // Lexical primitives over buffer, size, pos and line (kvlexer.h). Each keeps
    // line equal to 1 plus the number of line feeds before pos.
    int GetChar();          // the next byte (0..255), or -1 at the end
    int UngetChar();        // steps back one byte; -1 when pos is 0
    int SkipLine();         // 0 after a line feed, -1 at the end
    int SkipBlockComment(); // after "/*": 0 after the closing "*/", -1 at the end
    int SkipBlanks();       // blanks and comments: 0 on a non-blank byte, -1 at the end
    int ReadOperator();     // comparison code 1..6, or 0
    // A word of letters, digits and '_' into destination (limit bytes, NUL included):
    // kKvNoError when a byte ended it, kKvEndOfText when the end of the text did,
    // kKvReported (after "word limit exceeded") when it is longer than limit - 1;
    // the cursor then stays on the byte that did not fit.
    int ReadWord(char* destination, int limit);

    // Value readers, entered on the value's first byte: a new value owned by the
    // caller, or null with *error kKvReported after a report, or kKvEndOfText
    // without one when a name ran into the end of the text.
    CKVPARSE_INT* ReadInt(int* error);
    CKVPARSE_FLOAT* ReadFloat(int* error);
    CKVPARSE_STRING* ReadString(int* error);

    // Statements. The returned chains belong to the caller, also after an error.
    CKVPARSE_KEYWORD* ParseBlock(CKVPARSE_KEYWORD*& prototypes, int* error, int nested);
    CKVPARSE_KEYWORD* ParseCall(CKVPARSE_KEYWORD* prototypes, int* error);

    // Declarations and includes, entered after the '$' or '!' has been read.
    void ParseConstDef(int* error);
    void ParseDirective(int* error, CKVPARSE_KEYWORD*& included, CKVPARSE_KEYWORD*& prototypes);
    void IncludeFile(CKVPARSE_STRING* name, int* error, CKVPARSE_KEYWORD*& included,
                     CKVPARSE_KEYWORD*& prototypes);

    // The whole file from pos 0: the top-level chain, or null.
    CKVPARSE_KEYWORD* ParseRoot(int* error);

    char directory[kKvPathSize];
    char filePath[kKvPathSize];
    unsigned char* buffer;  // the whole file, not NUL-terminated; null when unreadable
    unsigned char* scratch; // where string literals are assembled; same size
    uint32_t size;
    uint32_t pos;
    int32_t line;
    CKVPARSE_KEYWORD* constants; // newest first; owned
    KvIntVariable intVariable;
    KvFloatVariable floatVariable;
    KvStringVariable stringVariable;

    // Guards against include cycles and runaway nesting: the parser of the file
    // that included this one (null for the root), and the brace depth at the
    // cursor, counted from the root file.
    const CKVParse* includer;
    int blockDepth;

  private:
    CKVParse(const CKVParse&) = delete;
    CKVParse& operator=(const CKVParse&) = delete;

    // What Fail and Expect share: the report and the flag.
    void FailWith(int* error, const char* format, va_list args);
    // ReportError's work, on a format's arguments already taken.
    void ReportErrorV(const char* format, va_list args);

    // The three include directives, entered with the character after their name.
    void ParseInclude(int bracket, int* error, CKVPARSE_KEYWORD*& included,
                      CKVPARSE_KEYWORD*& prototypes);
    void ParseConditionalInclude(bool floats, int bracket, int* error, CKVPARSE_KEYWORD*& included,
                                 CKVPARSE_KEYWORD*& prototypes);
    // Entered on the byte after a constant's name began: steps back, reads the name
    // and gives the value of the constant so named (ASCII case ignored, newest
    // first) when it has the given type; null after a report, or with ReadWord's
    // flag when the name cannot be read.
    const CKVPARSE_PARAM* ReadConstant(int type, const char* typeName, int* error);
};

// The hot lexical primitives are inline: the parser spends its time there.
#include "kvlexer.h"
