// Bounded text building and number reading for the engine's log lines, scenario
// words and window text. Nothing here allocates or calls the runtime's formatting.
#pragma once

#include <stddef.h>

// Appends to a caller's buffer, never past its limit, and keeps the text
// NUL-terminated. Each append goes in whole or not at all; a refused append sets
// the truncated mark and leaves the text as it was.
class CTextBuilder {
  public:
    // capacity counts the NUL; it must be at least 1.
    CTextBuilder(char* buffer, size_t capacity);

    // Lowers or raises the usable length (never above capacity - 1), so a caller can
    // keep room for a closing part that must always fit.
    void SetLimit(size_t limit);

    bool Append(const char* text);
    bool AppendBytes(const char* text, size_t length);
    bool AppendUnsigned(size_t value); // also pointer-sized values
    bool AppendInt(int value);
    // A JSON string literal, quotes included. Bytes 0x80 to 0xFF become \u0080 to
    // \u00ff, so the line stays plain ASCII whatever the code page of the text. When
    // the whole literal does not fit, as many whole characters as fit are kept, the
    // closing quote is still written and the truncated mark is set; it fails only
    // when not even the two quotes fit. Null is written as the literal null.
    bool AppendJsonString(const char* text);
    // Cuts the text back to an earlier length (a length at or above the current one
    // changes nothing).
    void CutBack(size_t length);

    const char* Text() const { return buffer_; }
    size_t Length() const { return length_; }
    bool Truncated() const { return truncated_; }

  private:
    char* buffer_;
    size_t capacity_;
    size_t limit_;
    size_t length_;
    bool truncated_;
};

// Reads a whole decimal number with an optional leading '-'. False when the text is
// empty, holds anything else, or the value does not fit an int.
bool ParseDecimalInt(const char* text, size_t length, int* value);

// Reads a whole unsigned number: hexadecimal after "0x" or "0X", decimal otherwise.
// False when the text is empty, holds anything else, or the value exceeds 32 bits.
bool ParseUnsigned(const char* text, size_t length, unsigned* value);

// True when the text of the given length equals the NUL-terminated word.
bool TextEquals(const char* text, size_t length, const char* word);

// Copies at most capacity - 1 bytes of text and the NUL; false when text was cut.
// A null text copies as empty.
bool CopyText(char* dest, size_t capacity, const char* text, size_t length);
