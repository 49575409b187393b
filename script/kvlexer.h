// The lexical primitives of CKVParse, inline because the parser spends its time
// in them. Included by kvparser.h, after the class.
#pragma once

#include "kvparser.h"

#include <string.h>

// True for the characters that may end a number: space, TAB, CR, LF, ',' and ')'.
inline bool IsSeparator(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ')';
}

inline int CKVParse::GetChar() {
    if (pos >= size)
        return -1;
    const unsigned char c = buffer[pos++];
    if (c == '\n')
        ++line;
    return c;
}

inline int CKVParse::UngetChar() {
    if (pos == 0)
        return -1;
    if (buffer[--pos] == '\n')
        --line;
    return 0;
}

inline int CKVParse::SkipLine() {
    const void* found = memchr(buffer + pos, '\n', size - pos);
    if (!found) {
        pos = size;
        return -1;
    }
    pos = static_cast<uint32_t>(static_cast<const unsigned char*>(found) - buffer) + 1;
    ++line;
    return 0;
}

inline int CKVParse::SkipBlockComment() {
    // Any number of stars may stand before the closing slash: a star that is not
    // followed by one is examined again as an ordinary byte.
    while (pos < size) {
        const unsigned char c = buffer[pos++];
        if (c == '\n') {
            ++line;
        } else if (c == '*' && pos < size && buffer[pos] == '/') {
            ++pos;
            return 0;
        }
    }
    return -1;
}

// The scanning loops below work on local copies of the cursor: a store through a
// character pointer may alias any member, which would make the compiler reload
// the members byte by byte.

inline int CKVParse::SkipBlanks() {
    const unsigned char* const text = buffer;
    const uint32_t end = size;
    uint32_t at = pos;
    for (;;) {
        while (at < end) {
            const unsigned char c = text[at];
            if (c == ' ' || c == '\t' || c == '\r') {
                ++at;
            } else if (c == '\n') {
                ++at;
                ++line;
            } else {
                break;
            }
        }
        // A lone slash stays unread, like any other byte.
        if (at + 1 >= end || text[at] != '/' || (text[at + 1] != '/' && text[at + 1] != '*'))
            break;
        pos = at + 2;
        if (text[at + 1] == '/')
            SkipLine();
        else if (SkipBlockComment() < 0)
            return -1;
        at = pos;
    }
    pos = at;
    return at == end ? -1 : 0;
}

// Letters, digits and '_': the bytes of names, as a table for the scanning loop.
struct KvWordByteTable {
    bool byte[256];
    constexpr KvWordByteTable() : byte() {
        for (int c = 0; c < 256; ++c)
            byte[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_';
    }
};
inline constexpr KvWordByteTable kKvWordBytes;

inline int CKVParse::ReadWord(char* destination, int limit) {
    // Word characters are never line feeds, so line does not change here.
    const unsigned char* const text = buffer;
    const uint32_t end = size;
    const uint32_t start = pos;
    const uint32_t room = limit > 1 ? static_cast<uint32_t>(limit - 1) : 0;
    uint32_t at = start;
    while (at < end && kKvWordBytes.byte[text[at]]) {
        if (at - start == room) {
            pos = at;
            destination[room] = '\0';
            ReportError("word limit exceeded");
            return kKvReported;
        }
        destination[at - start] = static_cast<char>(text[at]);
        ++at;
    }
    destination[at - start] = '\0';
    pos = at;
    return at < end ? kKvNoError : kKvEndOfText;
}
