// Helpers shared by the parser's own files; not part of its interface.
#pragma once

#include "kvtree.h"

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
