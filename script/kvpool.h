// Block allocation for the parse tree. A tree is a great many small objects of a
// few sizes, made in parse order and released together: carving them from large
// chunks costs a few instructions a block instead of a heap call each, and packs
// the tree without a heap header per block.
//
// Blocks of up to kKvPoolLargest bytes come from chunks, aligned to 8 bytes (enough
// for the tree's pointers and 32-bit values), and are recycled through one free
// list per size; larger ones come from the heap. Chunks grow from 64 KB to 2 MB;
// on Linux those of 2 MB are mapped from the system and backed by huge pages where
// it has them, which cuts the page faults of a large cold parse. When the last pool
// block is released every chunk is given back, so a deleted tree leaves nothing
// behind. The pool is process-wide and unsynchronised, like the parser's message
// buffer: one thread at a time makes and releases trees.
//
// Under AddressSanitizer every block comes from the heap, so that the sanitizer
// watches each one.
#pragma once

#include <stddef.h>

const size_t kKvPoolLargest = 256;

// A block of at least size bytes; throws std::bad_alloc.
void* KvAllocate(size_t size);
// Gives back a block of KvAllocate(size); null is ignored.
void KvRelease(void* block, size_t size);

// Room for a string of length characters and its NUL, released with
// KvReleaseString. Its size is kept in front of the text, so that the release does
// not depend on the text, which its owner may shorten in place.
char* KvAllocateString(size_t length);
void KvReleaseString(char* text);

// The chunks the pool holds now (0 when it takes every block from the heap).
size_t KvPoolChunks();

// The buffer that holds a whole script file, from the same source of memory as the
// pool's chunks, holding zeros; released with its size.
unsigned char* KvAllocateFileBuffer(size_t size);
void KvReleaseFileBuffer(unsigned char* buffer, size_t size);
