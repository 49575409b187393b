// Reads of this process's memory that never fault: the crash report and the exception
// barrier read through pointers they cannot trust. The page protections are asked
// first, so nothing is raised, nothing reaches a debugger, and no handler is needed.
#pragma once

#include <stddef.h>
#include <stdint.h>

// How many bytes from address on are readable without a fault (to the end of its
// memory region); 0 when address itself is not.
size_t ReadableBytesAt(uint64_t address);

// Copies size bytes from address into out when all of them are readable; false, with
// out untouched, when any is not.
bool ReadMemorySafely(uint64_t address, void* out, size_t size);
