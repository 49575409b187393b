// The script parser's interface for the rest of the system: parse a script file
// into a tree (kvtree.h), with callbacks for %variables, and the limits a script
// lives within.
//
// Errors are reported to the log, not thrown: a script with an error gives no
// tree. Only allocation failures are thrown (std::bad_alloc), and they leave
// nothing behind.
//
// The parser uses a process-wide message buffer and block pool: parses must not
// overlap.
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
const int kKvPathSize = 256;        // a script's path: at most 255 characters
const int kKvIncludePathSize = 260; // the joined include path: at most 259 characters
const int kKvMaxBlockDepth = 256;   // brace nesting, counted across included files
const int kKvMaxIncludeDepth = 64;  // files open at once through includes

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

// True when the names are equal but for the case of ASCII letters, as the script
// matches constant names (and kvparse its variable names).
bool KvSameName(const char* a, const char* b);
