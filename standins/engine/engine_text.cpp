#include "engine_text.h"

#include "engine_platform.h"

namespace {

// Room for the digits of any 64-bit number (pointers on x86_64) and a sign.
const size_t kNumberTextSize = 21;

// The longest escape of one byte: \u00XX.
const size_t kLongestEscape = 6;

// Writes the JSON form of one byte into unit; returns its length.
size_t EscapeJsonByte(unsigned char byte, char* unit) {
    static const char kHexDigits[] = "0123456789abcdef";
    switch (byte) {
    case '"':
        unit[0] = '\\';
        unit[1] = '"';
        return 2;
    case '\\':
        unit[0] = '\\';
        unit[1] = '\\';
        return 2;
    case '\n':
        unit[0] = '\\';
        unit[1] = 'n';
        return 2;
    case '\r':
        unit[0] = '\\';
        unit[1] = 'r';
        return 2;
    case '\t':
        unit[0] = '\\';
        unit[1] = 't';
        return 2;
    default:
        break;
    }
    if (byte < 0x20 || byte >= 0x80) {
        unit[0] = '\\';
        unit[1] = 'u';
        unit[2] = '0';
        unit[3] = '0';
        unit[4] = kHexDigits[byte >> 4];
        unit[5] = kHexDigits[byte & 0x0F];
        return kLongestEscape;
    }
    unit[0] = static_cast<char>(byte);
    return 1;
}

int DigitValue(char c, unsigned base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

// Reads digits of the base; false on an empty text, a stray character or overflow
// past limit.
bool ParseDigits(const char* text, size_t length, unsigned base, unsigned limit, unsigned* value) {
    if (length == 0) {
        return false;
    }
    unsigned result = 0;
    for (size_t i = 0; i < length; ++i) {
        int digit = DigitValue(text[i], base);
        if (digit < 0) {
            return false;
        }
        unsigned udigit = static_cast<unsigned>(digit);
        if (result > (limit - udigit) / base) {
            return false;
        }
        result = result * base + udigit;
    }
    *value = result;
    return true;
}

} // namespace

CTextBuilder::CTextBuilder(char* buffer, size_t capacity)
    : buffer_(buffer), capacity_(capacity), limit_(capacity - 1), length_(0), truncated_(false) {
    buffer_[0] = '\0';
}

void CTextBuilder::SetLimit(size_t limit) {
    limit_ = limit < capacity_ ? limit : capacity_ - 1;
}

bool CTextBuilder::AppendBytes(const char* text, size_t length) {
    if (length > limit_ || length_ > limit_ - length) {
        truncated_ = true;
        return false;
    }
    memcpy(buffer_ + length_, text, length);
    length_ += length;
    buffer_[length_] = '\0';
    return true;
}

bool CTextBuilder::Append(const char* text) {
    return AppendBytes(text, strlen(text));
}

bool CTextBuilder::AppendUnsigned(size_t value) {
    char digits[kNumberTextSize];
    size_t start = sizeof(digits);
    do {
        digits[--start] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return AppendBytes(digits + start, sizeof(digits) - start);
}

bool CTextBuilder::AppendInt(int value) {
    if (value >= 0) {
        return AppendUnsigned(static_cast<unsigned>(value));
    }
    // Negating in unsigned arithmetic also serves INT_MIN.
    unsigned magnitude = 0u - static_cast<unsigned>(value);
    size_t before = length_;
    if (!AppendBytes("-", 1) || !AppendUnsigned(magnitude)) {
        CutBack(before);
        return false;
    }
    return true;
}

bool CTextBuilder::AppendJsonString(const char* text) {
    if (text == nullptr) {
        return Append("null");
    }
    // Keep one place for the closing quote while the characters go in.
    if (limit_ < 2 || length_ > limit_ - 2) {
        truncated_ = true;
        return false;
    }
    size_t outerLimit = limit_;
    AppendBytes("\"", 1);
    limit_ = outerLimit - 1;
    for (const char* p = text; *p != '\0'; ++p) {
        char unit[kLongestEscape];
        size_t unitLength = EscapeJsonByte(static_cast<unsigned char>(*p), unit);
        if (!AppendBytes(unit, unitLength)) {
            break;
        }
    }
    limit_ = outerLimit;
    AppendBytes("\"", 1);
    return true;
}

void CTextBuilder::CutBack(size_t length) {
    if (length < length_) {
        length_ = length;
        buffer_[length_] = '\0';
    }
}

bool ParseDecimalInt(const char* text, size_t length, int* value) {
    bool negative = length > 0 && text[0] == '-';
    if (negative) {
        ++text;
        --length;
    }
    unsigned magnitude = 0;
    const unsigned limit = negative ? 0x80000000u : 0x7FFFFFFFu;
    if (!ParseDigits(text, length, 10, limit, &magnitude)) {
        return false;
    }
    *value = negative ? static_cast<int>(0u - magnitude) : static_cast<int>(magnitude);
    return true;
}

bool ParseUnsigned(const char* text, size_t length, unsigned* value) {
    if (length >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return ParseDigits(text + 2, length - 2, 16, 0xFFFFFFFFu, value);
    }
    return ParseDigits(text, length, 10, 0xFFFFFFFFu, value);
}

bool TextEquals(const char* text, size_t length, const char* word) {
    size_t wordLength = strlen(word);
    if (wordLength != length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != word[i]) {
            return false;
        }
    }
    return true;
}

bool CopyText(char* dest, size_t capacity, const char* text, size_t length) {
    if (text == nullptr) {
        length = 0;
    }
    bool whole = length < capacity;
    size_t kept = whole ? length : capacity - 1;
    if (kept > 0) {
        memcpy(dest, text, kept);
    }
    dest[kept] = '\0';
    return whole;
}
