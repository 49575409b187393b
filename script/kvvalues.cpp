// The value readers: integer, float and string values in their three forms,
//   value -> literal | '%' name | constant-name
// Each reader is entered on the value's first byte and returns a new value object
// owned by the caller, or null with the error flag non-zero.
#include "kvparser.h"

static bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

bool KvSameName(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

namespace {

// Reads the name after '%' or of a constant into word; false (with the flag set to
// ReadWord's result) when it cannot be read.
bool ReadName(CKVParse* parser, char* word, int* error) {
    *error = parser->ReadWord(word, kKvWordSize);
    return *error == kKvNoError;
}

bool CallbackMissing(CKVParse* parser, bool missing, const char* name, int* error) {
    if (!missing)
        return false;
    parser->Fail(error, "variable callback not specified: unable to read '%s' variable!\n", name);
    return true;
}

// '%name' of an integer or a float: the callback's value, kept with the variable's name.
template <typename Value, typename Number>
Value* ReadNumberVariable(CKVParse* parser, bool (*callback)(Number*, const char*),
                          const char* typeName, int* error) {
    char word[kKvWordSize];
    if (!ReadName(parser, word, error) || CallbackMissing(parser, !callback, word, error))
        return nullptr;
    Number value = 0;
    if (!callback(&value, word))
        return parser->Fail(error, "%s variable '%s' not found!\n", typeName, word);
    return new Value(value, word);
}

// A new value holding a constant's value (without a variable name), or null for null.
template <typename Value> Value* CopyOfConstant(const CKVPARSE_PARAM* constant) {
    if (!constant)
        return nullptr;
    return new Value(static_cast<const Value*>(constant)->value, nullptr);
}

} // namespace

const CKVPARSE_PARAM* CKVParse::ReadConstant(int type, const char* typeName, int* error) {
    // Also at the end of the text: the step back lands on the last byte.
    UngetChar();
    char word[kKvWordSize];
    if (!ReadName(this, word, error))
        return nullptr;
    const CKVPARSE_KEYWORD* constant = constants;
    while (constant && !KvSameName(constant->name, word))
        constant = constant->next;
    if (!constant)
        return Fail(error, "unknown const name '%s'", word);
    if (!constant->params || constant->params->type != type)
        return Fail(error, "'%s' const type != '%s'", word, typeName);
    return constant->params;
}

CKVPARSE_INT* CKVParse::ReadInt(int* error) {
    int c = GetChar();
    if (c == '%')
        return ReadNumberVariable<CKVPARSE_INT>(this, intVariable, "int", error);
    bool negative = false;
    if (c == '-') {
        negative = true;
        SkipBlanks();
    } else if (IsDigit(c)) {
        UngetChar();
    } else {
        return CopyOfConstant<CKVPARSE_INT>(ReadConstant(KV_INT, "int", error));
    }

    // Decimal digits, wrapping modulo 2^32 without signed overflow.
    uint32_t value = 0;
    const uint32_t start = pos;
    uint32_t at = start;
    while (at < size && IsDigit(buffer[at]))
        value = value * 10u + static_cast<uint32_t>(buffer[at++] - '0');
    const bool anyDigit = at != start;
    pos = at;
    c = GetChar(); // the byte after the digits
    if (!anyDigit)
        return Fail(error, "expected number");
    if (!IsSeparator(c))
        return Fail(error, "invalid termination of integer");
    UngetChar();
    if (negative)
        value = 0u - value;
    return new CKVPARSE_INT(static_cast<int32_t>(value), nullptr);
}

CKVPARSE_FLOAT* CKVParse::ReadFloat(int* error) {
    int c = GetChar();
    if (c == '%')
        return ReadNumberVariable<CKVPARSE_FLOAT>(this, floatVariable, "float", error);
    bool negative = false;
    if (c == '-') {
        negative = true;
        SkipBlanks();
    } else if (IsDigit(c)) {
        UngetChar();
    } else {
        return CopyOfConstant<CKVPARSE_FLOAT>(ReadConstant(KV_FLOAT, "float", error));
    }

    // Digits, optionally a point and more digits, all in double precision: the
    // digits make one integer and every digit after the point scales it by 0.1.
    double accumulated = 0.0;
    double scale = 1.0;
    const uint32_t start = pos;
    uint32_t at = start;
    while (at < size && IsDigit(buffer[at]))
        accumulated = accumulated * 10.0 + (buffer[at++] - '0');
    const bool anyDigit = at != start;
    pos = at;
    c = GetChar(); // the byte after the digits
    if (!anyDigit)
        return Fail(error, "expected number");
    if (c == '.') {
        for (at = pos; at < size && IsDigit(buffer[at]); ++at) {
            accumulated = accumulated * 10.0 + (buffer[at] - '0');
            scale = scale * 0.1;
        }
        pos = at;
        c = GetChar();
    }
    if (!IsSeparator(c))
        return Fail(error, "invalid termination of float");
    UngetChar();
    double result = accumulated * scale;
    if (negative)
        result = -result;
    return new CKVPARSE_FLOAT(static_cast<float>(result), nullptr);
}

CKVPARSE_STRING* CKVParse::ReadString(int* error) {
    char word[kKvWordSize];
    int c = GetChar();
    if (c == '%') {
        if (!ReadName(this, word, error) || CallbackMissing(this, !stringVariable, word, error))
            return nullptr;
        // The callback may store up to 255 characters; a missing NUL is supplied.
        char value[kKvStringVariableSize];
        value[0] = '\0';
        if (!stringVariable(value, word))
            return Fail(error, "string variable '%s' not found!\n", word);
        value[kKvStringVariableSize - 1] = '\0';
        return new CKVPARSE_STRING(value, word);
    }
    if (c != '"')
        return CopyOfConstant<CKVPARSE_STRING>(ReadConstant(KV_STRING, "string", error));

    // The literal is assembled in scratch; every byte stored stands for at least one
    // byte read after the opening quote, so it always fits with its NUL.
    uint32_t out = 0;
    for (;;) {
        // A run of plain bytes first, without GetChar's checks for each; local copies
        // of the cursor, since a store into scratch may alias any member.
        const unsigned char* const text = buffer;
        unsigned char* const into = scratch;
        const uint32_t end = size;
        uint32_t at = pos;
        while (at < end && text[at] != '"' && text[at] != '\\' && text[at] != '\n')
            into[out++] = text[at++];
        pos = at;
        c = GetChar();
        if (c == -1)
            break;
        if (c == '"') {
            scratch[out] = '\0';
            return new CKVPARSE_STRING(reinterpret_cast<const char*>(scratch), nullptr);
        }
        if (c != '\\') {
            scratch[out++] = static_cast<unsigned char>(c);
            continue;
        }
        const int escaped = GetChar();
        if (escaped == -1)
            break;
        if (escaped == 'n') {
            scratch[out++] = '\r';
            scratch[out++] = '\n';
        } else if (escaped == 't') {
            scratch[out++] = '\t';
        } else if (escaped == '\r' || escaped == '\n') {
            // A line continuation: a CR LF or LF CR pair goes whole, a lone break
            // alone (the byte after it is read again as usual).
            const int pair = escaped == '\r' ? '\n' : '\r';
            const int following = GetChar();
            if (following == -1)
                break;
            if (following != pair)
                UngetChar();
        } else {
            scratch[out++] = static_cast<unsigned char>(escaped);
        }
    }
    scratch[out] = '\0';
    return Fail(error, "expected ending \"");
}
