// File inclusion, entered with the character after the directive's name:
//   include          -> '(' string ')'
//   include_if_int   -> '(' int operator int ',' string ')'
//   include_if_float -> '(' float operator float ',' string ')'
// The included file is parsed by a parser object of its own, relative to the
// directory of the file that holds the directive; its calls, its top-level
// prototypes and its constants flow back into the including parse.
#include "kvparser.h"

#include "filesystem.h"

#include <string.h>

#include <memory>

void CKVParse::ParseInclude(int bracket, int* error, CKVPARSE_KEYWORD*& included,
                            CKVPARSE_KEYWORD*& prototypes) {
    if (bracket != '(') {
        Fail(error, "left bracked expected in include");
        return;
    }
    SkipBlanks();
    // A name that cannot be read is no error of its own: the block goes on from
    // where the reader stopped.
    int nameError = kKvNoError;
    std::unique_ptr<CKVPARSE_STRING> name(ReadString(&nameError));
    if (nameError)
        return;
    if (!Expect(')', error, "right bracked expected in include"))
        return;
    if (name->value && name->value[0])
        IncludeFile(name.get(), error, included, prototypes);
}

void CKVParse::ParseConditionalInclude(bool floats, int bracket, int* error,
                                       CKVPARSE_KEYWORD*& included, CKVPARSE_KEYWORD*& prototypes) {
    const char* directive = floats ? "include_if_float" : "include_if_int";
    if (bracket != '(') {
        Fail(error, "left bracked expected in '%s'", directive);
        return;
    }
    // One operand of the directive's kind, or null after the report. Both kinds share
    // one holder type; the comparison picks by kind.
    auto readOperand = [&]() -> CKVPARSE_PARAM* {
        SkipBlanks();
        int own = kKvNoError;
        CKVPARSE_PARAM* operand =
            floats ? static_cast<CKVPARSE_PARAM*>(ReadFloat(&own)) : ReadInt(&own);
        if (own)
            Fail(error, "int expected in '%s'", directive);
        return operand; // null whenever the reader set its flag
    };
    std::unique_ptr<CKVPARSE_PARAM> first(readOperand());
    if (!first)
        return;
    SkipBlanks();
    const int code = ReadOperator();
    if (code == 0) {
        Fail(error, "operator expected in '%s'", directive);
        return;
    }
    std::unique_ptr<CKVPARSE_PARAM> second(readOperand());
    if (!second)
        return;
    if (!Expect(',', error, "comma expected in '%s'", directive))
        return;
    SkipBlanks();
    int own = kKvNoError;
    std::unique_ptr<CKVPARSE_STRING> name(ReadString(&own));
    if (own) {
        Fail(error, "string expected in '%s'", directive);
        return;
    }
    if (!Expect(')', error, "right bracked expected in '%s'", directive))
        return;
    if (!name->value || !name->value[0])
        return;
    const bool holds = floats ? CompareFloat(code, static_cast<CKVPARSE_FLOAT*>(first.get())->value,
                                             static_cast<CKVPARSE_FLOAT*>(second.get())->value)
                              : CompareInt(code, static_cast<CKVPARSE_INT*>(first.get())->value,
                                           static_cast<CKVPARSE_INT*>(second.get())->value);
    if (holds)
        IncludeFile(name.get(), error, included, prototypes);
}

// Paths name the same file when their normalised forms match, whatever the kind of
// separator, and ignoring ASCII case where the file system does: on Windows.
static char PathByte(char c) {
    if (c == '\\')
        return '/';
#if defined(_WIN32)
    return LowerAscii(c);
#else
    return c;
#endif
}

static bool SameFile(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const char ca = PathByte(*a);
        const char cb = PathByte(*b);
        if (ca != cb)
            return false;
        if (ca == '\0')
            return true;
    }
}

void CKVParse::IncludeFile(CKVPARSE_STRING* name, int* error, CKVPARSE_KEYWORD*& included,
                           CKVPARSE_KEYWORD*& prototypes) {
    const char* text = name->value ? name->value : "";
    const size_t directoryLength = strlen(directory);
    const size_t nameLength = strlen(text);
    if (directoryLength + nameLength >= static_cast<size_t>(kKvIncludePathSize)) {
        Fail(error, "include path longer than %d characters: '%s%s'", kKvIncludePathSize - 1,
             directory, text);
        return;
    }
    char path[kKvIncludePathSize];
    memcpy(path, directory, directoryLength);
    memcpy(path + directoryLength, text, nameLength + 1);
    FS_path_normalize(path, path);
    // The included parser's filePath must hold it whole.
    if (strlen(path) >= static_cast<size_t>(kKvPathSize)) {
        Fail(error, "include path longer than %d characters: '%s'", kKvPathSize - 1, path);
        return;
    }

    // A file already open in the chain of including parsers would include itself
    // again without end.
    int depth = 0;
    for (const CKVParse* parser = this; parser; parser = parser->includer) {
        char open[kKvPathSize];
        FS_path_normalize(open, parser->filePath);
        if (SameFile(open, path)) {
            Fail(error, "include cycle: '%s' is already being parsed", path);
            return;
        }
        ++depth;
    }
    if (depth >= kKvMaxIncludeDepth) {
        Fail(error, "includes nested deeper than %d files at '%s'", kKvMaxIncludeDepth, path);
        return;
    }

    CKVParse file(path);
    file.includer = this;
    file.blockDepth = blockDepth;
    file.intVariable = intVariable;
    file.floatVariable = floatVariable;
    file.stringVariable = stringVariable;
    // The constants move to the included parse and back, whole chains, no copies:
    // the included file's constants end up first, newest first, then the earlier ones.
    file.constants = constants;
    constants = nullptr;
    try {
        included = file.ParseBlock(prototypes, error, 0);
    } catch (...) {
        constants = file.constants;
        file.constants = nullptr;
        throw;
    }
    constants = file.constants;
    file.constants = nullptr;
}
