// The tree's block pool: block sizes and alignment, reuse, strings whose text was
// shortened in place, chunks given back once the last block is released, and the
// file buffers that come from the same memory.
#include "kvpool.h"
#include "kvtree.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace {

// Sanitizer builds take every block from the heap; then there is no chunk to see.
bool PoolActive() {
    void* probe = KvAllocate(8);
    const bool active = KvPoolChunks() > 0;
    KvRelease(probe, 8);
    return active;
}

class Pool : public testing::Test {
  protected:
    // Every test before this one released all it took, or chunks would remain.
    void SetUp() override { ASSERT_EQ(KvPoolChunks(), 0u); }
    void TearDown() override { EXPECT_EQ(KvPoolChunks(), 0u); }
};

TEST_F(Pool, BlocksAreAlignedAndDoNotOverlap) {
    const size_t sizes[] = {0, 1, 7, 8, 9, 40, 72, 255, 256, 257, 4096};
    struct Block {
        unsigned char* data;
        size_t size;
    };
    std::vector<Block> blocks;
    // Many rounds, so that the sizes interleave and the chunks grow to their largest
    // size (about 5 MB in all).
    for (int round = 0; round < 8000; ++round) {
        for (size_t size : sizes) {
            unsigned char* data = static_cast<unsigned char*>(KvAllocate(size));
            ASSERT_EQ(reinterpret_cast<uintptr_t>(data) % 8, 0u) << "size " << size;
            memset(data, static_cast<int>(blocks.size() & 0xFF), size);
            blocks.push_back({data, size});
        }
    }
    if (PoolActive()) {
        EXPECT_GT(KvPoolChunks(), 6u);
    }
    // Each block still holds its own filling: none was handed out twice.
    for (size_t i = 0; i < blocks.size(); ++i) {
        const unsigned char* begin = blocks[i].data;
        const unsigned char* end = begin + blocks[i].size;
        const unsigned char* wrong =
            std::find_if(begin, end, [i](unsigned char byte) { return byte != (i & 0xFF); });
        ASSERT_EQ(wrong, end) << "block " << i << " size " << blocks[i].size;
    }
    for (const Block& block : blocks)
        KvRelease(block.data, block.size);
    KvRelease(nullptr, 16); // ignored
}

TEST_F(Pool, FileBuffersHoldEveryByteOfTheirSize) {
    // Sizes at both sides of the 2 MB from which a buffer is mapped on its own.
    const size_t sizes[] = {0, 1, 2 * 1024 * 1024 - 1, 2 * 1024 * 1024, 3 * 1024 * 1024 + 5};
    for (size_t size : sizes) {
        unsigned char* buffer = KvAllocateFileBuffer(size);
        ASSERT_NE(buffer, nullptr);
        memset(buffer, 0x5A, size);
        if (size > 0) {
            EXPECT_EQ(buffer[0], 0x5A);
            EXPECT_EQ(buffer[size - 1], 0x5A);
        }
        KvReleaseFileBuffer(buffer, size);
    }
    KvReleaseFileBuffer(nullptr, 0); // ignored
}

TEST_F(Pool, AReleasedBlockIsReusedForTheSameSize) {
    if (!PoolActive())
        GTEST_SKIP() << "every block comes from the heap in this build";
    void* keep = KvAllocate(24); // holds the chunk while the others come and go
    void* first = KvAllocate(40);
    KvRelease(first, 40);
    void* again = KvAllocate(36); // the same size class
    EXPECT_EQ(again, first);
    KvRelease(again, 36);
    KvRelease(keep, 24);
}

TEST_F(Pool, StringsReleaseWhateverWasWrittenIntoThem) {
    // Lengths at both sides of the largest pooled block (the text, its NUL and one
    // byte of size make length + 2).
    const size_t lengths[] = {0, 5, 253, 254, 255, 1000};
    for (size_t length : lengths) {
        char* text = KvAllocateString(length);
        memset(text, 'a', length);
        text[length] = '\0';
        EXPECT_EQ(strlen(text), length);
        // Cut short in place: the release must not go by the text's length.
        text[0] = '\0';
        KvReleaseString(text);
    }
    KvReleaseString(nullptr);
}

TEST_F(Pool, ADeletedTreeLeavesNoChunk) {
    CKVPARSE_KEYWORD* head = new CKVPARSE_KEYWORD();
    CKVPARSE_KEYWORD* last = head;
    for (int i = 0; i < 20000; ++i) {
        last->next = new CKVPARSE_KEYWORD();
        last = last->next;
        last->params = new CKVPARSE_STRING("a value long enough to take a few grains", "name");
        last->params->next = new CKVPARSE_INT(i, nullptr);
        last->child = new CKVPARSE_KEYWORD();
    }
    CKVPARSE_KEYWORD* copy = new CKVPARSE_KEYWORD(*head);
    delete head;
    EXPECT_STREQ(copy->next->GetFirstString(), "a value long enough to take a few grains");
    delete copy;
}

} // namespace
