#include "kvpool.h"

#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define KV_POOL_USES_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_POOL_USES_HEAP 1
#endif
#endif

namespace {

const size_t kGrain = 8;

size_t GrainsOf(size_t size) {
    return size == 0 ? 1 : (size + kGrain - 1) / kGrain;
}

} // namespace

#if defined(KV_POOL_USES_HEAP)

void* KvAllocate(size_t size) {
    return ::operator new(size);
}

void KvRelease(void* block, size_t) {
    ::operator delete(block);
}

size_t KvPoolChunks() {
    return 0;
}

#else

namespace {

const size_t kClasses = kKvPoolLargest / kGrain + 1; // a free list per size in grains
const size_t kChunkSize = 64 * 1024;

struct FreeBlock {
    FreeBlock* next;
};

// A chunk starts with the link to the chunk made after it, padded to one grain.
struct Chunk {
    Chunk* newer;
};
static_assert(sizeof(Chunk) <= kGrain, "a chunk header takes one grain");

FreeBlock* freeLists[kClasses];
Chunk* oldestChunk = nullptr;
Chunk* newestChunk = nullptr;
size_t chunkCount = 0;
unsigned char* bump = nullptr; // the unused rest of the newest chunk
unsigned char* bumpEnd = nullptr;
size_t liveBlocks = 0;

// Oldest first: the heap can then merge the chunks as they come back and give the
// memory to the system at once at the end, instead of chunk by chunk.
void ReleaseChunks() {
    while (oldestChunk) {
        Chunk* newer = oldestChunk->newer;
        ::operator delete(oldestChunk);
        oldestChunk = newer;
    }
    newestChunk = nullptr;
    chunkCount = 0;
    for (FreeBlock*& list : freeLists)
        list = nullptr;
    bump = bumpEnd = nullptr;
}

} // namespace

void* KvAllocate(size_t size) {
    if (size > kKvPoolLargest)
        return ::operator new(size);
    const size_t grains = GrainsOf(size);
    if (FreeBlock* block = freeLists[grains]) {
        freeLists[grains] = block->next;
        ++liveBlocks;
        return block;
    }
    const size_t rounded = grains * kGrain;
    if (static_cast<size_t>(bumpEnd - bump) < rounded) {
        // The rest of the old chunk (less than one block) stays unused.
        Chunk* chunk = static_cast<Chunk*>(::operator new(kChunkSize));
        chunk->newer = nullptr;
        if (newestChunk)
            newestChunk->newer = chunk;
        else
            oldestChunk = chunk;
        newestChunk = chunk;
        ++chunkCount;
        bump = reinterpret_cast<unsigned char*>(chunk) + kGrain;
        bumpEnd = reinterpret_cast<unsigned char*>(chunk) + kChunkSize;
    }
    void* block = bump;
    bump += rounded;
    ++liveBlocks;
    return block;
}

void KvRelease(void* block, size_t size) {
    if (!block)
        return;
    if (size > kKvPoolLargest) {
        ::operator delete(block);
        return;
    }
    FreeBlock* freed = static_cast<FreeBlock*>(block);
    const size_t grains = GrainsOf(size);
    freed->next = freeLists[grains];
    freeLists[grains] = freed;
    if (--liveBlocks == 0)
        ReleaseChunks();
}

size_t KvPoolChunks() {
    return chunkCount;
}

#endif

// The byte in front of a string's text: its block size in grains, or 0 for a block
// too large for the pool.
char* KvAllocateString(size_t length) {
    const size_t size = length + 2; // the size byte, the text and its NUL
    unsigned char* block = static_cast<unsigned char*>(KvAllocate(size));
    block[0] = size > kKvPoolLargest ? 0 : static_cast<unsigned char>(GrainsOf(size));
    return reinterpret_cast<char*>(block + 1);
}

void KvReleaseString(char* text) {
    if (!text)
        return;
    unsigned char* block = reinterpret_cast<unsigned char*>(text) - 1;
    const size_t grains = block[0];
    KvRelease(block, grains == 0 ? kKvPoolLargest + 1 : grains * kGrain);
}
