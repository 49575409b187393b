// The parse tree of the script language: keyword nodes in sibling chains with
// nested blocks, each holding a chain of typed parameter values. The same node
// class holds keyword calls, keyword prototypes and named constants.
//
// Ownership: a node owns its parameter chain, its child chain and every sibling
// after it. Deleting the first node of a chain deletes the whole chain; a
// parameter does not own its successor (the node releases them one by one).
// Every owned string is a DupString copy, released with KvReleaseString. Nodes,
// values and strings come from the parser's block pool (kvpool.h).
#pragma once

#include "kvpool.h"

#include <stdint.h>
#include <stdio.h>

// Parameter type codes.
enum { KV_INT = 0, KV_FLOAT = 1, KV_STRING = 2 };

// Longest keyword, constant or variable name, without its NUL.
const int kKvNameLength = 39;

// A copy of s from the block pool (release it with KvReleaseString), or null for null.
char* DupString(const char* s);

// A plain CKVPARSE_PARAM is a prototype slot: a type code and no value.
class CKVPARSE_PARAM {
  public:
    CKVPARSE_PARAM(int type, const char* name);
    virtual ~CKVPARSE_PARAM();

    // The virtual destructor passes the size of the object's own class.
    static void* operator new(size_t size) { return KvAllocate(size); }
    static void operator delete(void* block, size_t size) { KvRelease(block, size); }

    CKVPARSE_PARAM* next; // not owned
    int type;             // KV_INT, KV_FLOAT or KV_STRING
    char* name;           // the %variable it was read from, or null

  protected:
    CKVPARSE_PARAM(const CKVPARSE_PARAM&) = delete;
    CKVPARSE_PARAM& operator=(const CKVPARSE_PARAM&) = delete;
};

// The copy constructors of the value classes copy the source and every element
// after it; the copy's chain is owned by whoever holds its first element.
class CKVPARSE_INT : public CKVPARSE_PARAM {
  public:
    CKVPARSE_INT(int32_t value, const char* name);
    CKVPARSE_INT(const CKVPARSE_INT& source);
    ~CKVPARSE_INT() override;
    int32_t value;
};

class CKVPARSE_FLOAT : public CKVPARSE_PARAM {
  public:
    CKVPARSE_FLOAT(float value, const char* name);
    CKVPARSE_FLOAT(const CKVPARSE_FLOAT& source);
    ~CKVPARSE_FLOAT() override;
    float value;
};

class CKVPARSE_STRING : public CKVPARSE_PARAM {
  public:
    CKVPARSE_STRING(const char* value, const char* name);
    CKVPARSE_STRING(const CKVPARSE_STRING& source);
    ~CKVPARSE_STRING() override;
    char* value; // owned, or null
};

// Appends element (with whatever follows it) at the end of the chain head and
// returns the head, or the element when head is null.
CKVPARSE_PARAM* AppendParam(CKVPARSE_PARAM* head, CKVPARSE_PARAM* element);

// A copy of one value and of every value after it; null for null. Dispatches on
// type; prototype slots stay slots.
CKVPARSE_PARAM* CopyValueChain(const CKVPARSE_PARAM* source);

class CKVPARSE_KEYWORD {
  public:
    CKVPARSE_KEYWORD();
    // Deep copy of the node, its parameters, its nested block and all its
    // following siblings.
    CKVPARSE_KEYWORD(const CKVPARSE_KEYWORD& source);
    CKVPARSE_KEYWORD& operator=(const CKVPARSE_KEYWORD&) = delete;

    // Writes this node, its parameters, its child chain and its following siblings
    // in the binary dump format (kvdump.h). Returns the element count of the final
    // end-tag write.
    virtual size_t Save(FILE* file);
    // Deletes the parameters, the nested block and the following siblings. Works
    // with a loop, not recursion, so chains and nesting of any length are safe.
    virtual ~CKVPARSE_KEYWORD();

    static void* operator new(size_t size) { return KvAllocate(size); }
    static void operator delete(void* block, size_t size) { KvRelease(block, size); }

    // The first parameter's text when it is a string, else null.
    const char* GetFirstString() const;

    char name[kKvNameLength + 1];
    CKVPARSE_PARAM* params;  // owned chain
    CKVPARSE_KEYWORD* next;  // owned: the rest of the sibling chain
    CKVPARSE_KEYWORD* child; // owned: the nested block
};
