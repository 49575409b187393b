// kvparse: parses a script exactly as the host does (through the archive file
// system, with the working folder mounted) and checks it, prints its tree as JSON,
// writes its binary dump, or prints a binary dump back as JSON.
//
//   kvparse check [OPTIONS] FILE       nothing on success
//   kvparse json  [OPTIONS] FILE       the tree as JSON on standard output
//   kvparse dump  [OPTIONS] FILE OUT   the binary dump written to OUT
//   kvparse show  DUMP                 a binary dump as JSON
//
// OPTIONS supply %variables: --int NAME=VALUE, --float NAME=VALUE and
// --string NAME=VALUE, each repeatable; a type without any option has no callback.
//
// Exit status: 0 parsed without error, 1 the parser reported an error, 2 the file
// cannot be read, a usage error, a bad dump or a failed write. The parser's reports
// and warnings go to standard error through the log.
#include "filesystem.h"
#include "json_writer.h"
#include "kvdump.h"
#include "kvparse.h"
#include "log.h"

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <cmath>
#include <new>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const int kExitOk = 0;
const int kExitParseError = 1;
const int kExitFailure = 2;

const char kUsage[] = "usage: kvparse check [OPTIONS] FILE\n"
                      "       kvparse json  [OPTIONS] FILE\n"
                      "       kvparse dump  [OPTIONS] FILE OUT\n"
                      "       kvparse show  DUMP\n"
                      "\n"
                      "  check  parse FILE; print nothing on success\n"
                      "  json   print the parse tree of FILE as JSON\n"
                      "  dump   write the binary dump of the parse tree to OUT\n"
                      "  show   print a binary dump as JSON\n"
                      "\n"
                      "OPTIONS (repeatable; the last value of a name wins):\n"
                      "  --int NAME=VALUE     %NAME as an integer\n"
                      "  --float NAME=VALUE   %NAME as a float\n"
                      "  --string NAME=VALUE  %NAME as a string (at most 255 characters)\n"
                      "\n"
                      "FILE is read through the archive file system with the working folder\n"
                      "mounted, as the game reads it. Exit status: 0 parsed, 1 parse error,\n"
                      "2 unreadable file, usage error, bad dump or failed write.\n";

struct IntVariable {
    std::string name;
    int32_t value;
};
struct FloatVariable {
    std::string name;
    float value;
};
struct StringVariable {
    std::string name;
    std::string value;
};

// The parser's callbacks take no context, so the values live here for the run.
std::vector<IntVariable> intVariables;
std::vector<FloatVariable> floatVariables;
std::vector<StringVariable> stringVariables;

// Later options win, so the lookup runs from the back. Variable names match as the
// script's constant names do.
template <typename Variable>
const Variable* FindVariable(const std::vector<Variable>& variables, const char* name) {
    for (size_t i = variables.size(); i-- > 0;) {
        if (KvSameName(variables[i].name.c_str(), name))
            return &variables[i];
    }
    return nullptr;
}

bool LookUpInt(int32_t* value, const char* name) {
    const IntVariable* variable = FindVariable(intVariables, name);
    if (variable)
        *value = variable->value;
    return variable != nullptr;
}

bool LookUpFloat(float* value, const char* name) {
    const FloatVariable* variable = FindVariable(floatVariables, name);
    if (variable)
        *value = variable->value;
    return variable != nullptr;
}

bool LookUpString(char* value, const char* name) {
    const StringVariable* variable = FindVariable(stringVariables, name);
    // Option parsing has kept every value within the parser's buffer.
    if (variable)
        memcpy(value, variable->value.c_str(), variable->value.size() + 1);
    return variable != nullptr;
}

int UsageError(const char* format, const char* detail) {
    fputs("kvparse: ", stderr);
    fprintf(stderr, format, detail);
    fputs("\n\n", stderr);
    fputs(kUsage, stderr);
    return kExitFailure;
}

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Splits NAME=VALUE; the name must be one the script can write after '%'.
bool SplitAssignment(const char* text, std::string* name, std::string* value) {
    const char* equals = strchr(text, '=');
    if (!equals)
        return false;
    name->assign(text, static_cast<size_t>(equals - text));
    if (name->size() > static_cast<size_t>(kKvNameLength))
        return false;
    for (char c : *name) {
        if (!IsWordChar(c))
            return false;
    }
    value->assign(equals + 1);
    return true;
}

bool ParseIntValue(const std::string& text, int32_t* value) {
    if (text.empty() || !(text[0] == '-' || (text[0] >= '0' && text[0] <= '9')))
        return false;
    errno = 0;
    char* end = nullptr;
    long long number = strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < INT32_MIN || number > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(number);
    return true;
}

bool ParseFloatValue(const std::string& text, float* value) {
    if (text.empty() || text[0] == ' ' || text[0] == '\t')
        return false;
    errno = 0;
    char* end = nullptr;
    float number = strtof(text.c_str(), &end);
    if (*end != '\0')
        return false;
    // Overflow gives an infinity with ERANGE; "inf" written out is accepted.
    if (errno == ERANGE && std::isinf(number))
        return false;
    *value = number;
    return true;
}

bool WriteJson(const CKVPARSE_KEYWORD* tree) {
    std::string json = JsonFromTree(tree);
    if (fwrite(json.data(), 1, json.size(), stdout) != json.size() || fflush(stdout) != 0) {
        fputs("kvparse: cannot write to standard output\n", stderr);
        return false;
    }
    return true;
}

// Writes the dump of tree to path (the real file system); an empty tree is the
// end tag alone, as the format writes an empty chain.
bool WriteDump(CKVPARSE_KEYWORD* tree, const char* path) {
    FILE* file = fopen(path, "wb");
    if (!file) {
        fprintf(stderr, "kvparse: cannot create '%s': %s\n", path, strerror(errno));
        return false;
    }
    bool ok;
    if (tree) {
        ok = tree->Save(file) == 1;
    } else {
        static const unsigned char kEndTag[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        ok = fwrite(kEndTag, sizeof kEndTag, 1, file) == 1;
    }
    // Save checks only its last write.
    ok = !ferror(file) && ok;
    if (fclose(file) != 0)
        ok = false;
    if (!ok) {
        fprintf(stderr, "kvparse: cannot write '%s'\n", path);
        remove(path);
    }
    return ok;
}

int Show(const char* path) {
    CKVPARSE_KEYWORD* tree = nullptr;
    std::string error;
    if (!ReadDumpFile(path, &tree, &error)) {
        fprintf(stderr, "kvparse: bad dump '%s': %s\n", path, error.c_str());
        return kExitFailure;
    }
    bool ok = WriteJson(tree);
    delete tree;
    return ok ? kExitOk : kExitFailure;
}

int Run(int argc, char** argv) {
    std::vector<const char*> positional;
    bool optionsSeen = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (optionsEnded || arg[0] != '-' || arg[1] == '\0') {
            positional.push_back(arg);
            continue;
        }
        if (strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0) {
            fputs(kUsage, stdout);
            return kExitOk;
        }
        bool isInt = strcmp(arg, "--int") == 0;
        bool isFloat = strcmp(arg, "--float") == 0;
        bool isString = strcmp(arg, "--string") == 0;
        if (!isInt && !isFloat && !isString)
            return UsageError("unknown option '%s'", arg);
        if (i + 1 >= argc)
            return UsageError("%s needs NAME=VALUE", arg);
        const char* assignment = argv[++i];
        std::string name;
        std::string value;
        if (!SplitAssignment(assignment, &name, &value))
            return UsageError("'%s' is not NAME=VALUE with a NAME of at most 39 letters, "
                              "digits and underscores",
                              assignment);
        optionsSeen = true;
        if (isInt) {
            int32_t number;
            if (!ParseIntValue(value, &number))
                return UsageError("'%s' is no 32-bit integer", assignment);
            intVariables.push_back({name, number});
        } else if (isFloat) {
            float number;
            if (!ParseFloatValue(value, &number))
                return UsageError("'%s' is no float", assignment);
            floatVariables.push_back({name, number});
        } else {
            if (value.size() >= static_cast<size_t>(kKvStringVariableSize))
                return UsageError("the value of '%s' is longer than 255 characters", name.c_str());
            stringVariables.push_back({name, value});
        }
    }

    if (positional.empty())
        return UsageError("%s", "no command given");
    std::string command = positional[0];
    size_t wanted;
    if (command == "check" || command == "json" || command == "show")
        wanted = 2;
    else if (command == "dump")
        wanted = 3;
    else
        return UsageError("unknown command '%s'", positional[0]);
    if (positional.size() != wanted)
        return UsageError("wrong number of arguments for '%s'", positional[0]);

    if (command == "show") {
        if (optionsSeen)
            return UsageError("%s", "show takes no variable options");
        return Show(positional[1]);
    }

    const char* path = positional[1];
    FS_init();
    FS_add_source(".", 0, 0, 0);
    CKVPARSE_KEYWORD* tree = nullptr;
    const KvParseResult outcome =
        ParseScript(path, intVariables.empty() ? nullptr : LookUpInt,
                    floatVariables.empty() ? nullptr : LookUpFloat,
                    stringVariables.empty() ? nullptr : LookUpString, &tree);
    int status = kExitOk;
    if (outcome == kKvUnreadable) {
        fprintf(stderr, "kvparse: cannot read '%s' (names are relative to the working folder)\n",
                path);
        status = kExitFailure;
    } else if (outcome == kKvParseFailed) {
        status = kExitParseError;
    } else if (command == "json") {
        if (!WriteJson(tree))
            status = kExitFailure;
    } else if (command == "dump") {
        if (!WriteDump(tree, positional[2]))
            status = kExitFailure;
    }
    delete tree;
    FS_shutdown();
    return status;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The same bytes on both targets: LF line ends, no text-mode translation.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        fputs("kvparse: out of memory\n", stderr);
        return kExitFailure;
    }
}
