// The script parser: one CKVParse object parses one script file (or one included
// file). ParseScriptFile is the entry point for the rest of the system.
//
// Errors are reported, not thrown: a failing operation calls ReportError (which
// logs the message with the file, the line and the offending source line) and
// makes the caller's error flag non-zero; every loop stops as soon as it is.
#pragma once

#include "kvtree.h"

#include <stdint.h>

// Variable callbacks for %name values: given the output place and the name (at most
// 39 characters, possibly empty), store the value and return true, or return false
// when the variable is unknown.
typedef bool (*KvIntVariable)(int32_t* value, const char* name);
typedef bool (*KvFloatVariable)(float* value, const char* name);
// value has room for kKvStringVariableSize characters including the NUL.
typedef bool (*KvStringVariable)(char* value, const char* name);

const int kKvStringVariableSize = 256;
const int kKvPathSize = 256;        // directory and filePath: at most 255 characters
const int kKvIncludePathSize = 260; // the joined include path: at most 259 characters
const int kKvMessageSize = 8192;    // the report's message buffer
const int kKvMaxBlockDepth = 256;   // brace nesting, counted across included files
const int kKvMaxIncludeDepth = 64;  // files open at once through includes

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
    void open(const char* path, int mode); // throws file_exception{0}
    int32_t length();                      // throws file_exception{3}
    int32_t read(void* destination, int32_t count); // throws file_exception{1}
    void close();

    uint32_t handle;

  private:
    file_reader(const file_reader&) = delete;
    file_reader& operator=(const file_reader&) = delete;
};

} // namespace fs

// True for the characters that may end a number: space, TAB, CR, LF, ',' and ')'.
bool IsSeparator(int c);
// Comparison codes 1 ==, 2 !=, 3 >, 4 <, 5 >=, 6 <=; any other code yields false.
bool CompareInt(int code, int32_t first, int32_t second);
bool CompareFloat(int code, float first, float second);

class CKVParse {
  public:
    // Reads the whole file through the archive file system. An unreadable file (or a
    // path too long for filePath) leaves an object with a null buffer and size 0.
    explicit CKVParse(const char* path);
    ~CKVParse();

    // Logs "[CKVParse] <message>: in file '<path>' in line <n>", the source line at the
    // cursor and an empty line. Does not touch any error flag.
    virtual void ReportError(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    // Lexical primitives over buffer, size, pos and line.
    int GetChar();
    int UngetChar();
    int SkipLine();
    int SkipBlockComment();
    int SkipBlanks();
    int ReadOperator();
    int ReadWord(char* destination, int limit);

    // Value readers: a new value owned by the caller, or null with *error non-zero.
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
};

// Parses a script file into a tree owned by the caller (delete its first node), or
// null when the file cannot be read, holds no keyword call, or an error was reported.
// Each callback may be null.
CKVPARSE_KEYWORD* ParseScriptFile(const char* path, KvIntVariable intVariable,
                                  KvFloatVariable floatVariable, KvStringVariable stringVariable);
