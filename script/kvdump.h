// The binary dump of a parse tree: CKVPARSE_KEYWORD::Save (kvtree.h) writes it,
// ReadDump reads it back into a tree.
//
// A chain is its nodes and then kDumpEndTag. A node is kDumpNodeTag, its name,
// its parameters (each its type code, its value and its variable name) and, when
// it has a nested block, kDumpChildTag and the child chain. Words are 32-bit
// little-endian; a text is its length as a word and its bytes, without a NUL.
//
// The reader is strict: it accepts exactly what Save can write (plus a lone end
// tag for an empty tree, which is what kvparse dumps for a script without calls)
// and refuses anything else with a message that names the fault and its byte
// offset. It never recurses, and it refuses nesting deeper than kDumpMaxDepth
// levels so that a hostile dump cannot make the printed tree explode.
#pragma once

#include "kvtree.h"

#include <stddef.h>

#include <string>

const int32_t kDumpNodeTag = 16;
const int32_t kDumpChildTag = 32;
const int32_t kDumpEndTag = -1;

// Levels of nodes a dump may hold, the top-level chain being level 1. A parsed
// script holds at most 257 (the parser's brace limit of 256 plus the top level).
const int kDumpMaxDepth = 1024;

// Parses the dump held in data[0, size). On success returns true and stores the
// tree, owned by the caller, in *tree (null for an empty tree). On failure returns
// false, leaves *tree untouched and describes the fault in *error.
bool ReadDump(const unsigned char* data, size_t size, CKVPARSE_KEYWORD** tree, std::string* error);

// Reads the file at path from the real file system (binary) and parses it as
// ReadDump does; a file that cannot be read is a failure too.
bool ReadDumpFile(const char* path, CKVPARSE_KEYWORD** tree, std::string* error);
