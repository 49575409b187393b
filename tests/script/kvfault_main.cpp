// The parser's tables of script cases, each run again with every allocation it
// makes failing in turn. The global allocation functions count the live blocks
// and fail the n-th allocation from an armed countdown; before each case's own
// parse (ParseFile's beforeParse), the parse and the copy, dump and read-back of
// its tree run with n = 1, 2, ... until a run makes no n-th allocation. Each
// failure must come out as std::bad_alloc and leave no block behind and no chunk
// in the pool.
//
// Built twice: with the pool as the build has it, and with every block from the
// heap (KV_POOL_USES_HEAP), where each node and string is an allocation point.
#include "kvdump.h"
#include "kvparse.h"
#include "kvpool.h"
#include "script_support.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <memory>
#include <new>
#include <string>

namespace {

size_t liveBlocks = 0;
size_t countdown = 0; // 0: disarmed; else the allocation that fails, counted down
bool failed = false;  // the armed allocation has failed

void* Allocate(size_t size) {
    if (countdown != 0 && --countdown == 0) {
        failed = true;
        throw std::bad_alloc();
    }
    void* block = malloc(size == 0 ? 1 : size);
    if (!block)
        throw std::bad_alloc();
    ++liveBlocks;
    return block;
}

void Release(void* block) {
    if (!block)
        return;
    --liveBlocks;
    free(block);
}

// Everything one parse of the tables does with a tree, as the host and kvparse do.
void ParseCopyAndDump(const std::string& name) {
    std::unique_ptr<CKVPARSE_KEYWORD> tree(
        ParseScriptFile(name.c_str(), TestIntVariable, TestFloatVariable, TestStringVariable));
    if (!tree)
        return;
    std::unique_ptr<CKVPARSE_KEYWORD> copy(new CKVPARSE_KEYWORD(*tree));
    FILE* file = fopen("fault.bin", "wb");
    ASSERT_NE(file, nullptr);
    copy->Save(file);
    fclose(file);
    CKVPARSE_KEYWORD* back = nullptr;
    std::string error;
    if (ReadDumpFile("fault.bin", &back, &error))
        delete back;
}

void FailEveryAllocation(const std::string& name) {
    for (size_t n = 1;; ++n) {
        const size_t before = liveBlocks;
        failed = false;
        countdown = n;
        bool threw = false;
        try {
            ParseCopyAndDump(name);
        } catch (const std::bad_alloc&) {
            threw = true;
        }
        countdown = 0;
        if (!failed) {
            EXPECT_FALSE(threw) << name << ": bad_alloc without a failed allocation";
            return;
        }
        EXPECT_TRUE(threw) << name << ": allocation " << n << " failed unnoticed";
        EXPECT_EQ(liveBlocks, before) << name << ": blocks left after allocation " << n;
        EXPECT_EQ(KvPoolChunks(), 0u) << name << ": pool chunks left after allocation " << n;
        if (liveBlocks != before || KvPoolChunks() != 0)
            return; // one report per case is enough
    }
}

} // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void operator delete(void* block) noexcept {
    Release(block);
}
void operator delete[](void* block) noexcept {
    Release(block);
}
void operator delete(void* block, size_t) noexcept {
    Release(block);
}
void operator delete[](void* block, size_t) noexcept {
    Release(block);
}

int main(int argc, char** argv) {
#if defined(KV_POOL_USES_HEAP)
    // Built to take every block from the heap: make sure the pool does.
    void* block = KvAllocate(8);
    const size_t chunks = KvPoolChunks();
    KvRelease(block, 8);
    if (chunks != 0) {
        fprintf(stderr, "kvfault: the pool still makes chunks with KV_POOL_USES_HEAP\n");
        return 1;
    }
#endif
    testing::InitGoogleTest(&argc, argv);
    beforeParse = FailEveryAllocation;
    return RUN_ALL_TESTS();
}
