// Statements and blocks:
//   block -> { '$' constdef | '!' directive | call [ '{' block '}' | ';' ] }
//   call  -> name '(' [ value { ',' value } ] ')'
// A call is accepted only against a visible prototype of its name, which fixes the
// number and the types of its values.
#include "kvparser.h"

#include <string.h>

#include <memory>

void DestroyNodesUntil(CKVPARSE_KEYWORD* head, const CKVPARSE_KEYWORD* stop) {
    while (head && head != stop) {
        CKVPARSE_KEYWORD* following = head->next;
        head->next = nullptr;
        delete head;
        head = following;
    }
}

// Reads the statements of one block up to the end of the text, or up to the '}'
// of a nested block (consumed). Prototypes declared in a nested block end with it;
// at the top level they are handed back through prototypes. The chain of calls
// read belongs to the caller, also when *error stopped the block.
CKVPARSE_KEYWORD* CKVParse::ParseBlock(CKVPARSE_KEYWORD*& prototypes, int* error, int nested) {
    CKVPARSE_KEYWORD* const entryHead = prototypes;
    CKVPARSE_KEYWORD* head = prototypes;
    CKVPARSE_KEYWORD* result = nullptr;
    // The end of the result chain, so appending costs nothing per call.
    CKVPARSE_KEYWORD** tail = &result;
    try {
        if (SkipBlanks() == 0) {
            for (;;) {
                const int c = GetChar();
                if (c == '$') {
                    ParseConstDef(error);
                } else if (c == '!') {
                    CKVPARSE_KEYWORD* included = nullptr;
                    ParseDirective(error, included, head);
                    *tail = included;
                    while (*tail)
                        tail = &(*tail)->next;
                } else if (c == '}') {
                    if (nested)
                        break;
                    Fail(error, "unexpected closing curly bracket");
                    break;
                } else {
                    UngetChar();
                    CKVPARSE_KEYWORD* node = ParseCall(head, error);
                    if (node) {
                        *tail = node;
                        tail = &node->next;
                    }
                    if (node && !*error) {
                        if (SkipBlanks() < 0)
                            break;
                        const int after = GetChar();
                        if (after == '{') {
                            if (blockDepth >= kKvMaxBlockDepth) {
                                Fail(error, "block nesting deeper than %d levels",
                                     kKvMaxBlockDepth);
                            } else {
                                ++blockDepth;
                                node->child = ParseBlock(head, error, 1);
                                --blockDepth;
                            }
                        } else if (after == ';') {
                            ReportError("its not c!");
                        } else {
                            UngetChar();
                        }
                    }
                }
                if (*error || SkipBlanks() < 0)
                    break;
            }
        }
    } catch (...) {
        delete result;
        if (nested)
            DestroyNodesUntil(head, entryHead);
        else
            prototypes = head;
        throw;
    }
    if (nested) {
        DestroyNodesUntil(head, entryHead);
        prototypes = entryHead;
    } else {
        prototypes = head;
    }
    return result;
}

// Reads one call against the prototype chain: a new node, or null with *error set.
CKVPARSE_KEYWORD* CKVParse::ParseCall(CKVPARSE_KEYWORD* prototypes, int* error) {
    SkipBlanks();
    std::unique_ptr<CKVPARSE_KEYWORD> node(new CKVPARSE_KEYWORD());
    if (ReadWord(node->name, kKvWordSize) != kKvNoError)
        return Fail(error, "error in call");
    LowerCaseName(node->name);
    const CKVPARSE_KEYWORD* prototype = prototypes;
    while (prototype &&
           (prototype->name[0] != node->name[0] || strcmp(prototype->name, node->name) != 0))
        prototype = prototype->next;
    if (!prototype)
        return Fail(error, "unknown keyword %s", node->name);
    if (!Expect('(', error, "opening bracket expected"))
        return nullptr;
    CKVPARSE_PARAM** tail = &node->params;
    for (const CKVPARSE_PARAM* slot = prototype->params; slot; slot = slot->next) {
        SkipBlanks();
        CKVPARSE_PARAM* value;
        if (slot->type == KV_INT)
            value = ReadInt(error);
        else if (slot->type == KV_FLOAT)
            value = ReadFloat(error);
        else
            value = ReadString(error);
        if (value) {
            *tail = value;
            tail = &value->next;
        }
        if (*error)
            return nullptr; // the reader has reported why, when it gives a reason
        if (slot->next && !Expect(',', error, "comma expected"))
            return nullptr;
    }
    if (!Expect(')', error, "closing bracket expected"))
        return nullptr;
    return node.release();
}
