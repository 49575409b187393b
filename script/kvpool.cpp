#include "kvpool.h"

#include <string.h>

#include <stdint.h>

#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define KV_POOL_USES_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_POOL_USES_HEAP 1
#endif
#endif

#if defined(__linux__) && !defined(KV_POOL_USES_HEAP)
#define KV_POOL_MAPS_LARGE_AREAS 1
#include <sys/mman.h>
#endif

namespace {

const size_t kGrain = 8;

size_t GrainsOf(size_t size) {
    return size == 0 ? 1 : (size + kGrain - 1) / kGrain;
}

#if defined(KV_POOL_MAPS_LARGE_AREAS)

const size_t kHugePage = 2 * 1024 * 1024;

size_t RoundToHugePages(size_t size) {
    return (size + kHugePage - 1) / kHugePage * kHugePage;
}

// Areas of a huge page or more are mapped on their own, aligned to a huge page and
// marked for huge pages: every fresh page costs a fault, and a large script makes a
// tree of hundreds of megabytes, which takes 512 times fewer faults in 2 MB pages
// than in 4 KB ones. Smaller areas come from the heap.
void* AllocateArea(size_t size) {
    if (size < kHugePage)
        return ::operator new(size);
    const size_t length = RoundToHugePages(size);
    // Mapped one huge page longer, so that an aligned start can be cut out.
    void* mapped = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    unsigned char* const first = static_cast<unsigned char*>(mapped);
    unsigned char* const start =
        reinterpret_cast<unsigned char*>(RoundToHugePages(reinterpret_cast<uintptr_t>(first)));
    if (start > first)
        munmap(first, static_cast<size_t>(start - first));
    munmap(start + length, kHugePage - static_cast<size_t>(start - first));
    // Only advice: without huge pages the area is still usable, page by page.
    madvise(start, length, MADV_HUGEPAGE);
    return start;
}

void ReleaseArea(void* area, size_t size) {
    if (size < kHugePage)
        ::operator delete(area);
    else
        munmap(area, RoundToHugePages(size));
}

// A fresh mapping holds zeros already.
bool AreaComesZeroed(size_t size) {
    return size >= kHugePage;
}

#else

void* AllocateArea(size_t size) {
    return ::operator new(size);
}

void ReleaseArea(void* area, size_t) {
    ::operator delete(area);
}

bool AreaComesZeroed(size_t) {
    return false;
}

#endif

} // namespace

unsigned char* KvAllocateFileBuffer(size_t size) {
    unsigned char* buffer = static_cast<unsigned char*>(AllocateArea(size));
    if (!AreaComesZeroed(size))
        memset(buffer, 0, size);
    return buffer;
}

void KvReleaseFileBuffer(unsigned char* buffer, size_t size) {
    if (buffer)
        ReleaseArea(buffer, size);
}

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

// Chunks double from 64 KB to 2 MB, so that a small tree stays small and a large
// one is carved from areas that can be backed by huge pages.
const size_t kFirstChunkSize = 64 * 1024;
const size_t kChunkDoublings = 5;

size_t ChunkSize(size_t index) {
    return kFirstChunkSize << (index < kChunkDoublings ? index : kChunkDoublings);
}

struct FreeBlock {
    FreeBlock* next;
};

// A chunk starts with the link to the chunk made after it, padded to one grain.
struct Chunk {
    Chunk* newer;
};
static_assert(sizeof(Chunk) <= kGrain, "a chunk header takes one grain");

const size_t kReleasePrefetchDistance = 2048;

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
    for (size_t index = 0; oldestChunk; ++index) {
        Chunk* newer = oldestChunk->newer;
        ReleaseArea(oldestChunk, ChunkSize(index));
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
        const size_t chunkSize = ChunkSize(chunkCount);
        Chunk* chunk = static_cast<Chunk*>(AllocateArea(chunkSize));
        chunk->newer = nullptr;
        if (newestChunk)
            newestChunk->newer = chunk;
        else
            oldestChunk = chunk;
        newestChunk = chunk;
        ++chunkCount;
        bump = reinterpret_cast<unsigned char*>(chunk) + kGrain;
        bumpEnd = reinterpret_cast<unsigned char*>(chunk) + chunkSize;
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
    // A tree is released in the order it was made, which is address order within a
    // chunk: asking for the blocks a little ahead hides most of the wait for them.
    // Only a hint, which never faults, wherever it points.
    const uintptr_t ahead = reinterpret_cast<uintptr_t>(block) + kReleasePrefetchDistance;
    __builtin_prefetch(reinterpret_cast<const void*>(ahead), 1);
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
