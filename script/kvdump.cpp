// The binary dump of a parse tree: CKVPARSE_KEYWORD::Save writes it, ReadDump reads
// it back.
#include "kvdump.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <vector>

// ---- Writing ----

// Little-endian 32-bit word, whatever the machine.
static size_t WriteWord(FILE* file, uint32_t word) {
    unsigned char bytes[4] = {
        static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
        static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 24)};
    return fwrite(bytes, 4, 1, file);
}

static void WriteText(FILE* file, const char* text) {
    size_t length = text ? strlen(text) : 0;
    WriteWord(file, static_cast<uint32_t>(length));
    if (length > 0)
        fwrite(text, 1, length, file);
}

static void WriteNodeHead(FILE* file, const CKVPARSE_KEYWORD* node) {
    WriteWord(file, static_cast<uint32_t>(kDumpNodeTag));
    WriteText(file, node->name);
    for (const CKVPARSE_PARAM* p = node->params; p; p = p->next) {
        WriteWord(file, static_cast<uint32_t>(p->type));
        if (p->type == KV_INT) {
            WriteWord(file, static_cast<uint32_t>(static_cast<const CKVPARSE_INT*>(p)->value));
        } else if (p->type == KV_FLOAT) {
            uint32_t bits;
            memcpy(&bits, &static_cast<const CKVPARSE_FLOAT*>(p)->value, 4);
            WriteWord(file, bits);
        } else {
            WriteText(file, static_cast<const CKVPARSE_STRING*>(p)->value);
        }
        WriteText(file, p->name);
    }
}

size_t CKVPARSE_KEYWORD::Save(FILE* file) {
    // Where to go on once a child chain has ended: the parent's next sibling.
    std::vector<const CKVPARSE_KEYWORD*> resume;
    const CKVPARSE_KEYWORD* node = this;
    for (;;) {
        WriteNodeHead(file, node);
        if (node->child) {
            WriteWord(file, static_cast<uint32_t>(kDumpChildTag));
            resume.push_back(node->next);
            node = node->child;
            continue;
        }
        const CKVPARSE_KEYWORD* following = node->next;
        while (!following) {
            size_t result = WriteWord(file, static_cast<uint32_t>(kDumpEndTag));
            if (resume.empty())
                return result;
            following = resume.back();
            resume.pop_back();
        }
        node = following;
    }
}

// ---- Reading ----

namespace {

const size_t kReadChunk = 65536;

// A cursor over the dump with bounds checks. Every failure records the first
// fault only; later reads after a failure return false at once.
class DumpCursor {
  public:
    DumpCursor(const unsigned char* data, size_t size) : data_(data), size_(size), pos_(0) {}

    size_t Offset() const { return pos_; }
    size_t Remaining() const { return size_ - pos_; }
    bool Failed() const { return !message_.empty(); }
    const std::string& Message() const { return message_; }

    // Records the first fault: what went wrong and where its field starts.
    void Fail(size_t offset, const std::string& what) {
        if (Failed())
            return;
        message_ = what + " at byte " + std::to_string(offset);
    }

    bool Word(uint32_t* word) {
        if (Failed())
            return false;
        if (Remaining() < 4) {
            Fail(pos_, "unexpected end of the dump");
            return false;
        }
        const unsigned char* p = data_ + pos_;
        *word = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
        pos_ += 4;
        return true;
    }

    // A length word and that many bytes, which must hold no NUL (the tree keeps
    // NUL-terminated texts). what names the text in messages.
    bool Text(std::string* text, uint32_t limit, const char* what) {
        size_t at = pos_;
        uint32_t length;
        if (!Word(&length))
            return false;
        if (length > limit) {
            Fail(at, std::string(what) + " of " + std::to_string(length) +
                         " bytes is longer than " + std::to_string(limit));
            return false;
        }
        if (length > Remaining()) {
            Fail(at, std::string(what) + " of " + std::to_string(length) +
                         " bytes runs past the end of the dump");
            return false;
        }
        const unsigned char* bytes = data_ + pos_;
        if (memchr(bytes, 0, length)) {
            Fail(at, std::string(what) + " holds a NUL byte");
            return false;
        }
        text->assign(reinterpret_cast<const char*>(bytes), length);
        pos_ += length;
        return true;
    }

  private:
    const unsigned char* data_;
    size_t size_;
    size_t pos_;
    std::string message_;
};

// One parameter entry after its type word: the value, then the variable name.
CKVPARSE_PARAM* ReadParam(DumpCursor& cursor, uint32_t type) {
    uint32_t word = 0;
    std::string text;
    if (type == static_cast<uint32_t>(KV_STRING)) {
        if (!cursor.Text(&text, UINT32_MAX, "string"))
            return nullptr;
    } else if (!cursor.Word(&word)) {
        return nullptr;
    }
    std::string variable;
    if (!cursor.Text(&variable, kKvNameLength, "variable name"))
        return nullptr;
    // A length of 0 stands for "no variable".
    const char* name = variable.empty() ? nullptr : variable.c_str();
    if (type == static_cast<uint32_t>(KV_INT))
        return new CKVPARSE_INT(static_cast<int32_t>(word), name);
    if (type == static_cast<uint32_t>(KV_FLOAT)) {
        float value;
        memcpy(&value, &word, sizeof value);
        return new CKVPARSE_FLOAT(value, name);
    }
    return new CKVPARSE_STRING(text.c_str(), name);
}

// A chain being read: where its next node goes, and the node that owns it as its
// child (null for the top level).
struct OpenChain {
    CKVPARSE_KEYWORD** tail;
    CKVPARSE_KEYWORD* parent;
};

// The grammar, read with an explicit stack of open chains:
//   chain := node* END;  node := NODE name param* [CHILD chain-of-at-least-one]
bool ReadTree(DumpCursor& cursor, CKVPARSE_KEYWORD** root) {
    std::vector<OpenChain> open;
    open.push_back({root, nullptr});
    // The node whose parameters are being read; null after a child chain has
    // closed, when only a sibling or the end may follow.
    CKVPARSE_KEYWORD* node = nullptr;
    CKVPARSE_PARAM** paramTail = nullptr;
    while (!open.empty()) {
        size_t at = cursor.Offset();
        uint32_t tag;
        if (!cursor.Word(&tag))
            return false;
        if (tag <= static_cast<uint32_t>(KV_STRING)) {
            if (!node) {
                cursor.Fail(at, "parameter outside a node record");
                return false;
            }
            CKVPARSE_PARAM* param = ReadParam(cursor, tag);
            if (!param)
                return false;
            *paramTail = param;
            paramTail = &param->next;
        } else if (tag == static_cast<uint32_t>(kDumpChildTag)) {
            if (!node) {
                cursor.Fail(at, "child tag outside a node record");
                return false;
            }
            if (open.size() >= static_cast<size_t>(kDumpMaxDepth)) {
                cursor.Fail(at, "nesting deeper than " + std::to_string(kDumpMaxDepth) + " levels");
                return false;
            }
            open.push_back({&node->child, node});
            node = nullptr;
        } else if (tag == static_cast<uint32_t>(kDumpNodeTag)) {
            std::string name;
            if (!cursor.Text(&name, kKvNameLength, "name"))
                return false;
            node = new CKVPARSE_KEYWORD();
            memcpy(node->name, name.c_str(), name.size() + 1);
            // Linked at once, so the tree owns it should a later read fail.
            *open.back().tail = node;
            open.back().tail = &node->next;
            paramTail = &node->params;
        } else if (tag == static_cast<uint32_t>(kDumpEndTag)) {
            OpenChain chain = open.back();
            if (chain.parent && !chain.parent->child) {
                cursor.Fail(at, "empty child chain");
                return false;
            }
            open.pop_back();
            node = nullptr;
        } else {
            cursor.Fail(at, "unknown tag " + std::to_string(static_cast<int32_t>(tag)));
            return false;
        }
    }
    if (cursor.Remaining() > 0) {
        cursor.Fail(cursor.Offset(),
                    std::to_string(cursor.Remaining()) + " trailing bytes after the end tag");
        return false;
    }
    return true;
}

} // namespace

bool ReadDump(const unsigned char* data, size_t size, CKVPARSE_KEYWORD** tree, std::string* error) {
    DumpCursor cursor(data, size);
    CKVPARSE_KEYWORD* root = nullptr;
    bool ok;
    try {
        ok = ReadTree(cursor, &root);
    } catch (...) {
        delete root;
        throw;
    }
    if (!ok) {
        delete root;
        *error = cursor.Message();
        return false;
    }
    *tree = root;
    return true;
}

bool ReadDumpFile(const char* path, CKVPARSE_KEYWORD** tree, std::string* error) {
    FILE* file = fopen(path, "rb");
    if (!file) {
        *error = "cannot open the file";
        return false;
    }
    std::vector<unsigned char> data;
    size_t count;
    do {
        size_t used = data.size();
        data.resize(used + kReadChunk);
        count = fread(data.data() + used, 1, kReadChunk, file);
        data.resize(used + count);
    } while (count == kReadChunk);
    bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        *error = "cannot read the file";
        return false;
    }
    return ReadDump(data.data(), data.size(), tree, error);
}
