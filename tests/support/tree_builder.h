// Small helpers for tests that build parse trees by hand.
#pragma once

#include "kvtree.h"

#include <initializer_list>

// A node with the given parameters (in order) and nested block; the node owns both.
inline CKVPARSE_KEYWORD* MakeNode(const char* name, std::initializer_list<CKVPARSE_PARAM*> params,
                                  CKVPARSE_KEYWORD* child = nullptr) {
    CKVPARSE_KEYWORD* node = new CKVPARSE_KEYWORD();
    snprintf(node->name, sizeof node->name, "%s", name);
    for (CKVPARSE_PARAM* p : params)
        node->params = AppendParam(node->params, p);
    node->child = child;
    return node;
}

// Links the nodes into one sibling chain and returns its first node.
inline CKVPARSE_KEYWORD* MakeChain(std::initializer_list<CKVPARSE_KEYWORD*> nodes) {
    CKVPARSE_KEYWORD* first = nullptr;
    CKVPARSE_KEYWORD** tail = &first;
    for (CKVPARSE_KEYWORD* node : nodes) {
        *tail = node;
        tail = &node->next;
    }
    return first;
}
