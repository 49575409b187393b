// The JSON form of a parse tree, as kvparse prints it.
//
// A tree is an array of nodes in chain order. A node is
// {"name": ..., "params": [...]}, plus "children": [...] when it has a nested
// block. A parameter is {"type": "int"|"float"|"string", "value": ...}, plus
// "var": NAME when it was read from a %variable (its name is set).
//
// Layout: two-space indentation, one key per line for nodes, each parameter as a
// one-line object on a line of its own; the text ends with a line feed. The output
// is plain ASCII, so it reads the same on every console.
#pragma once

#include "kvtree.h"

#include <string>

// The whole chain that starts at root (null: an empty chain, "[]"). Nesting of any
// depth is written without recursion.
std::string JsonFromTree(const CKVPARSE_KEYWORD* root);

// A float as the shortest decimal that reads back to the same 32-bit value, always
// with a '.' or an exponent (5.0, -0.0, 1e-45); "inf", "-inf" and "nan" as strings.
std::string JsonFloat(float value);

// A byte string as a quoted JSON string: '"' and '\' escaped, bytes below 0x20 and
// from 0x7F up as \u00xx (the byte value as the code point). Null reads as "".
std::string JsonString(const char* text);
