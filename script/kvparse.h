// The script parser: one CKVParse object parses one script file (or one included
// file). ParseScriptFile is the entry point for the rest of the system.
//
// Errors are reported, not thrown: a failing operation calls ReportError (which
// logs the message with the file, the line and the offending source line) and
// makes the caller's error flag non-zero; every loop stops as soon as it is.
// Only allocation failures are thrown (std::bad_alloc).
//
// The parser uses a process-wide message buffer: parses must not overlap.
#pragma once

#include "kvtree.h"

#include <stdint.h>
#include <string.h>

// Variable callbacks for %name values: given the output place and the name (at most
// 39 characters, possibly empty), store the value and return true, or return false
// when the variable is unknown.
typedef bool (*KvIntVariable)(int32_t* value, const char* name);
typedef bool (*KvFloatVariable)(float* value, const char* name);
// value has room for kKvStringVariableSize characters including the NUL.
typedef bool (*KvStringVariable)(char* value, const char* name);

const int kKvStringVariableSize = 256;
const int kKvWordSize = kKvNameLength + 1; // every name is read with this limit
const int kKvPathSize = 256;               // directory and filePath: at most 255 characters
const int kKvIncludePathSize = 260;        // the joined include path: at most 259 characters
const int kKvMessageSize = 8192;           // the report's message buffer
const int kKvMaxBlockDepth = 256;          // brace nesting, counted across included files
const int kKvMaxIncludeDepth = 64;         // files open at once through includes

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
    int32_t length();                               // throws file_exception{3}
    int32_t read(void* destination, int32_t count); // throws file_exception{1}
    void close();                                   // harmless when nothing is open

    uint32_t handle;

  private:
    file_reader(const file_reader&) = delete;
    file_reader& operator=(const file_reader&) = delete;
};

} // namespace fs

// True for the characters that may end a number: space, TAB, CR, LF, ',' and ')'.
inline bool IsSeparator(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ')';
}
// True when the names are equal but for the case of ASCII letters, as constant
// names are looked up.
bool KvSameName(const char* a, const char* b);
// Comparison codes 1 ==, 2 !=, 3 >, 4 <, 5 >=, 6 <=; any other code yields false.
bool CompareInt(int code, int32_t first, int32_t second);
bool CompareFloat(int code, float first, float second);

class CKVParse {
  public:
    // Reads the whole file through the archive file system. An unreadable file (or a
    // path too long for filePath) leaves an object with a null buffer and size 0,
    // after warnings; no file system exception leaves the constructor.
    explicit CKVParse(const char* path);
    ~CKVParse();

    // Logs "[CKVParse] <message>: in file '<path>' in line <n>", the source line at the
    // cursor and an empty line. Does not touch any error flag.
    virtual void ReportError(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    // Lexical primitives over buffer, size, pos and line. Each keeps line equal to
    // 1 plus the number of line feeds before pos.
    int GetChar();          // the next byte (0..255), or -1 at the end
    int UngetChar();        // steps back one byte; -1 when pos is 0
    int SkipLine();         // 0 after a line feed, -1 at the end
    int SkipBlockComment(); // after "/*": 0 after the closing "*/", -1 at the end
    int SkipBlanks();       // blanks and comments: 0 on a non-blank byte, -1 at the end
    int ReadOperator();     // comparison code 1..6, or 0
    // A word of letters, digits and '_' into destination (limit bytes, NUL included):
    // 0 when a byte ended it, -1 when the end of the text did, 1 (after "word limit
    // exceeded") when it is longer than limit - 1; the cursor then stays on the byte
    // that did not fit.
    int ReadWord(char* destination, int limit);

    // Value readers, entered on the value's first byte: a new value owned by the
    // caller, or null with *error non-zero (1 after a report; -1 without one when a
    // name ran into the end of the text).
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

// Parses a script file into a tree owned by the caller (delete its first node), or
// null when the file cannot be read, holds no keyword call, or an error was reported
// (then after the reports and "Parser: cant parse file '<path>'"). Each callback may
// be null.
CKVPARSE_KEYWORD* ParseScriptFile(const char* path, KvIntVariable intVariable,
                                  KvFloatVariable floatVariable, KvStringVariable stringVariable);

// The same parse for callers that must tell its three null results apart (the
// command-line tool): *tree gets the chain, null for a file without calls, only
// with kKvParsed.
enum KvParseResult { kKvParsed, kKvParseFailed, kKvUnreadable };
KvParseResult ParseScript(const char* path, KvIntVariable intVariable,
                          KvFloatVariable floatVariable, KvStringVariable stringVariable,
                          CKVPARSE_KEYWORD** tree);

// ---- The hot lexical primitives, inline: the parser spends its time here. ----

inline int CKVParse::GetChar() {
    if (pos >= size)
        return -1;
    const unsigned char c = buffer[pos++];
    if (c == '\n')
        ++line;
    return c;
}

inline int CKVParse::UngetChar() {
    if (pos == 0)
        return -1;
    if (buffer[--pos] == '\n')
        --line;
    return 0;
}

inline int CKVParse::SkipLine() {
    const void* found = memchr(buffer + pos, '\n', size - pos);
    if (!found) {
        pos = size;
        return -1;
    }
    pos = static_cast<uint32_t>(static_cast<const unsigned char*>(found) - buffer) + 1;
    ++line;
    return 0;
}

inline int CKVParse::SkipBlockComment() {
    // Any number of stars may stand before the closing slash: a star that is not
    // followed by one is examined again as an ordinary byte.
    while (pos < size) {
        const unsigned char c = buffer[pos++];
        if (c == '\n') {
            ++line;
        } else if (c == '*' && pos < size && buffer[pos] == '/') {
            ++pos;
            return 0;
        }
    }
    return -1;
}

// The scanning loops below work on local copies of the cursor: a store through a
// character pointer may alias any member, which would make the compiler reload
// the members byte by byte.

inline int CKVParse::SkipBlanks() {
    const unsigned char* const text = buffer;
    const uint32_t end = size;
    uint32_t at = pos;
    for (;;) {
        while (at < end) {
            const unsigned char c = text[at];
            if (c == ' ' || c == '\t' || c == '\r') {
                ++at;
            } else if (c == '\n') {
                ++at;
                ++line;
            } else {
                break;
            }
        }
        // A lone slash stays unread, like any other byte.
        if (at + 1 >= end || text[at] != '/' || (text[at + 1] != '/' && text[at + 1] != '*'))
            break;
        pos = at + 2;
        if (text[at + 1] == '/')
            SkipLine();
        else if (SkipBlockComment() < 0)
            return -1;
        at = pos;
    }
    pos = at;
    return at == end ? -1 : 0;
}

// Letters, digits and '_': the bytes of names, as a table for the scanning loop.
struct KvWordByteTable {
    bool byte[256];
    constexpr KvWordByteTable() : byte() {
        for (int c = 0; c < 256; ++c)
            byte[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_';
    }
};
inline constexpr KvWordByteTable kKvWordBytes;

inline int CKVParse::ReadWord(char* destination, int limit) {
    // Word characters are never line feeds, so line does not change here.
    const unsigned char* const text = buffer;
    const uint32_t end = size;
    const uint32_t start = pos;
    const uint32_t room = limit > 1 ? static_cast<uint32_t>(limit - 1) : 0;
    uint32_t at = start;
    while (at < end && kKvWordBytes.byte[text[at]]) {
        if (at - start == room) {
            pos = at;
            destination[room] = '\0';
            ReportError("word limit exceeded");
            return 1;
        }
        destination[at - start] = static_cast<char>(text[at]);
        ++at;
    }
    destination[at - start] = '\0';
    pos = at;
    return at < end ? 0 : -1;
}
