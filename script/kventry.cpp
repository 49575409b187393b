// The parse entry: one file into one tree.
#include "kvparser.h"

#include "log.h"

// The prototypes of the whole parse live here and end with it; the constants end
// with the parser object.
CKVPARSE_KEYWORD* CKVParse::ParseRoot(int* error) {
    *error = kKvNoError;
    pos = 0;
    line = 1;
    CKVPARSE_KEYWORD* prototypes = nullptr;
    CKVPARSE_KEYWORD* chain;
    try {
        chain = ParseBlock(prototypes, error, 0);
    } catch (...) {
        DestroyNodesUntil(prototypes, nullptr);
        throw;
    }
    DestroyNodesUntil(prototypes, nullptr);
    return chain;
}

KvParseResult ParseScript(const char* path, KvIntVariable intVariable,
                          KvFloatVariable floatVariable, KvStringVariable stringVariable,
                          CKVPARSE_KEYWORD** tree) {
    *tree = nullptr;
    CKVParse parser(path);
    if (!parser.buffer)
        return kKvUnreadable;
    parser.intVariable = intVariable;
    parser.floatVariable = floatVariable;
    parser.stringVariable = stringVariable;
    int error = kKvNoError;
    CKVPARSE_KEYWORD* chain = parser.ParseRoot(&error);
    if (error != kKvNoError) {
        // A partial tree is never handed out.
        LogWrite("Parser: cant parse file '%s'\n", path ? path : "");
        delete chain;
        return kKvParseFailed;
    }
    *tree = chain;
    return kKvParsed;
}

CKVPARSE_KEYWORD* ParseScriptFile(const char* path, KvIntVariable intVariable,
                                  KvFloatVariable floatVariable, KvStringVariable stringVariable) {
    CKVPARSE_KEYWORD* tree;
    ParseScript(path, intVariable, floatVariable, stringVariable, &tree);
    return tree;
}
