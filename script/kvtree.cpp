#include "kvtree.h"

#include <string.h>

#include <typeinfo>
#include <vector>

char* DupString(const char* s) {
    if (!s)
        return nullptr;
    size_t length = strlen(s);
    char* copy = KvAllocateString(length);
    memcpy(copy, s, length + 1);
    return copy;
}

CKVPARSE_PARAM::CKVPARSE_PARAM(int typeCode, const char* variable)
    : next(nullptr), type(typeCode), name(DupString(variable)) {}

CKVPARSE_PARAM::~CKVPARSE_PARAM() {
    KvReleaseString(name);
}

CKVPARSE_INT::CKVPARSE_INT(int32_t number, const char* variable)
    : CKVPARSE_PARAM(KV_INT, variable), value(number) {}

CKVPARSE_INT::CKVPARSE_INT(const CKVPARSE_INT& source)
    : CKVPARSE_PARAM(KV_INT, source.name), value(source.value) {
    next = CopyValueChain(source.next);
}

CKVPARSE_INT::~CKVPARSE_INT() {}

CKVPARSE_FLOAT::CKVPARSE_FLOAT(float number, const char* variable)
    : CKVPARSE_PARAM(KV_FLOAT, variable), value(number) {}

CKVPARSE_FLOAT::CKVPARSE_FLOAT(const CKVPARSE_FLOAT& source)
    : CKVPARSE_PARAM(KV_FLOAT, source.name), value(source.value) {
    next = CopyValueChain(source.next);
}

CKVPARSE_FLOAT::~CKVPARSE_FLOAT() {}

CKVPARSE_STRING::CKVPARSE_STRING(const char* text, const char* variable)
    : CKVPARSE_PARAM(KV_STRING, variable), value(DupString(text)) {}

CKVPARSE_STRING::CKVPARSE_STRING(const CKVPARSE_STRING& source)
    : CKVPARSE_PARAM(KV_STRING, source.name), value(DupString(source.value)) {
    // The destructor does not run for a constructor that throws: value would leak.
    try {
        next = CopyValueChain(source.next);
    } catch (...) {
        KvReleaseString(value);
        throw;
    }
}

CKVPARSE_STRING::~CKVPARSE_STRING() {
    KvReleaseString(value);
    value = nullptr;
}

CKVPARSE_PARAM* AppendParam(CKVPARSE_PARAM* head, CKVPARSE_PARAM* element) {
    if (!head)
        return element;
    CKVPARSE_PARAM* last = head;
    while (last->next)
        last = last->next;
    last->next = element;
    return head;
}

static void DeleteParamChain(CKVPARSE_PARAM* p) {
    while (p) {
        CKVPARSE_PARAM* following = p->next;
        delete p;
        p = following;
    }
}

// One element without its successors. A prototype slot (a plain CKVPARSE_PARAM)
// carries no value to read, so it is copied as a slot.
static CKVPARSE_PARAM* CopyOneValue(const CKVPARSE_PARAM* source) {
    if (typeid(*source) == typeid(CKVPARSE_PARAM))
        return new CKVPARSE_PARAM(source->type, source->name);
    switch (source->type) {
    case KV_INT:
        return new CKVPARSE_INT(static_cast<const CKVPARSE_INT*>(source)->value, source->name);
    case KV_FLOAT:
        return new CKVPARSE_FLOAT(static_cast<const CKVPARSE_FLOAT*>(source)->value, source->name);
    default:
        return new CKVPARSE_STRING(static_cast<const CKVPARSE_STRING*>(source)->value,
                                   source->name);
    }
}

// A loop, not one recursion per element: chains of any length copy safely.
CKVPARSE_PARAM* CopyValueChain(const CKVPARSE_PARAM* source) {
    CKVPARSE_PARAM* head = nullptr;
    CKVPARSE_PARAM** tail = &head;
    try {
        for (; source; source = source->next) {
            *tail = CopyOneValue(source);
            tail = &(*tail)->next;
        }
    } catch (...) {
        DeleteParamChain(head);
        throw;
    }
    return head;
}

CKVPARSE_KEYWORD::CKVPARSE_KEYWORD() : params(nullptr), next(nullptr), child(nullptr) {
    name[0] = '\0';
}

CKVPARSE_KEYWORD::CKVPARSE_KEYWORD(const CKVPARSE_KEYWORD& source)
    : params(nullptr), next(nullptr), child(nullptr) {
    // Sibling chains are copied in a loop and nested blocks through a work list,
    // so neither long chains nor deep nesting recurse.
    struct Pending {
        const CKVPARSE_KEYWORD* from;
        CKVPARSE_KEYWORD* to;
    };
    try {
        std::vector<Pending> pending{{&source, this}};
        while (!pending.empty()) {
            Pending chain = pending.back();
            pending.pop_back();
            const CKVPARSE_KEYWORD* from = chain.from;
            CKVPARSE_KEYWORD* to = chain.to;
            for (;;) {
                memcpy(to->name, from->name, sizeof to->name);
                to->params = CopyValueChain(from->params);
                if (from->child) {
                    to->child = new CKVPARSE_KEYWORD();
                    pending.push_back({from->child, to->child});
                }
                if (!from->next)
                    break;
                to->next = new CKVPARSE_KEYWORD();
                to = to->next;
                from = from->next;
            }
        }
    } catch (...) {
        // The destructor does not run for a constructor that throws.
        DeleteParamChain(params);
        delete child;
        delete next;
        throw;
    }
}

CKVPARSE_KEYWORD::~CKVPARSE_KEYWORD() {
    DeleteParamChain(params);
    params = nullptr;

    // Splice every nested block into one work chain ahead of the siblings, then
    // delete the nodes one at a time with their links cut, so nothing recurses.
    CKVPARSE_KEYWORD* pending = next;
    next = nullptr;
    if (child) {
        CKVPARSE_KEYWORD* last = child;
        while (last->next)
            last = last->next;
        last->next = pending;
        pending = child;
        child = nullptr;
    }
    while (pending) {
        CKVPARSE_KEYWORD* node = pending;
        if (node->child) {
            CKVPARSE_KEYWORD* last = node->child;
            while (last->next)
                last = last->next;
            last->next = node->next;
            node->next = node->child;
            node->child = nullptr;
        }
        pending = node->next;
        node->next = nullptr;
        delete node;
    }
}

const char* CKVPARSE_KEYWORD::GetFirstString() const {
    if (!params || params->type != KV_STRING)
        return nullptr;
    return static_cast<const CKVPARSE_STRING*>(params)->value;
}
