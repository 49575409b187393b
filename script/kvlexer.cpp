// The comparison operators of the conditional includes: reading one, and
// comparing by its code.
#include "kvparser.h"

int CKVParse::ReadOperator() {
    const int first = GetChar();
    if (first == -1)
        return 0;
    const int second = GetChar();
    if (second == -1)
        return 0;
    switch (first) {
    case '!':
        return second == '=' ? 2 : 0;
    case '=':
        return second == '=' ? 1 : 0;
    case '<':
        if (second == '=')
            return 6;
        UngetChar();
        return 4;
    case '>':
        if (second == '=')
            return 5;
        UngetChar();
        return 3;
    default:
        return 0;
    }
}

// One comparison for both operand types. IEEE rules apply to floats: with a NaN
// operand only "!=" holds.
template <typename T> static bool CompareValues(int code, T first, T second) {
    switch (code) {
    case 1:
        return first == second;
    case 2:
        return first != second;
    case 3:
        return first > second;
    case 4:
        return first < second;
    case 5:
        return first >= second;
    case 6:
        return first <= second;
    default:
        return false;
    }
}

bool CompareInt(int code, int32_t first, int32_t second) {
    return CompareValues(code, first, second);
}

bool CompareFloat(int code, float first, float second) {
    return CompareValues(code, first, second);
}
