// Declarations, entered after their '$' or '!':
//   constdef  -> name '(' typeletter ',' value ')'
//   prototype -> name '(' [ typeword { ',' typeword } ] ')'
// Only the first letter of a prototype's type word counts. Blanks and comments may
// stand between the tokens inside the brackets, not between '$' or '!' and the name.
#include "kvparser.h"

#include <string.h>

#include <memory>

int TypeOfLetter(int c) {
    switch (c) {
    case 'i':
    case 'I':
    case 'n':
    case 'N':
        return KV_INT;
    case 'f':
    case 'F':
        return KV_FLOAT;
    case 's':
    case 'S':
        return KV_STRING;
    default:
        return -1;
    }
}

// A named constant, pushed at the head of constants for the rest of the parse.
void CKVParse::ParseConstDef(int* error) {
    std::unique_ptr<CKVPARSE_KEYWORD> node(new CKVPARSE_KEYWORD());
    if (ReadWord(node->name, kKvWordSize) != kKvNoError) {
        Fail(error, "error in const def");
        return;
    }
    LowerCaseName(node->name);
    if (!Expect('(', error, "left bracked expected in const def"))
        return;
    SkipBlanks();
    const int type = TypeOfLetter(GetChar());
    if (type < 0) {
        Fail(error, "unexpected character in typedef");
        return;
    }
    if (!Expect(',', error, "unexpected character in typedef"))
        return;
    SkipBlanks();
    CKVPARSE_PARAM* value;
    if (type == KV_INT)
        value = ReadInt(error);
    else if (type == KV_FLOAT)
        value = ReadFloat(error);
    else
        value = ReadString(error);
    if (!value)
        return; // the reader has set the flag and, as a rule, reported why
    // Only the value is kept, not the name of a variable it was read from.
    KvReleaseString(value->name);
    value->name = nullptr;
    node->params = value;
    if (!Expect(')', error, "unexpected character in typedef"))
        return;
    node->next = constants;
    constants = node.release();
}

// A prototype declaration (pushed at the head of the block's prototypes) or one
// of the include directives.
void CKVParse::ParseDirective(int* error, CKVPARSE_KEYWORD*& included,
                              CKVPARSE_KEYWORD*& prototypes) {
    std::unique_ptr<CKVPARSE_KEYWORD> node(new CKVPARSE_KEYWORD());
    if (ReadWord(node->name, kKvWordSize) != kKvNoError) {
        Fail(error, "error in typedef");
        return;
    }
    LowerCaseName(node->name);
    SkipBlanks();
    const int bracket = GetChar();
    if (strcmp(node->name, "include") == 0) {
        ParseInclude(bracket, error, included, prototypes);
        return;
    }
    if (strcmp(node->name, "include_if_int") == 0) {
        ParseConditionalInclude(false, bracket, error, included, prototypes);
        return;
    }
    if (strcmp(node->name, "include_if_float") == 0) {
        ParseConditionalInclude(true, bracket, error, included, prototypes);
        return;
    }
    if (bracket != '(') {
        Fail(error, "left bracked expected in typedef");
        return;
    }

    CKVPARSE_PARAM** tail = &node->params;
    bool afterType = false; // false: a type word must come (after '(' or ',')
    bool first = true;      // right after '(': a ')' closes an empty list
    for (;;) {
        SkipBlanks();
        const int c = GetChar();
        if ((afterType || first) && c == ')')
            break;
        if (afterType) {
            if (c == ',') {
                afterType = false;
            } else if (c == -1) {
                Fail(error, "unexpected end of file in typedef");
                return;
            }
            continue; // the rest of a type word is skipped
        }
        const int type = TypeOfLetter(c);
        if (type < 0) {
            Fail(error, "unexpected characted in typedef");
            return;
        }
        *tail = new CKVPARSE_PARAM(type, nullptr);
        tail = &(*tail)->next;
        afterType = true;
        first = false;
    }
    node->next = prototypes;
    prototypes = node.release();
}
