#include "memory_probe.h"

#include <windows.h>

#include <string.h>

namespace {

const DWORD kReadableProtections = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                   PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                                   PAGE_EXECUTE_WRITECOPY;

} // namespace

size_t ReadableBytesAt(uint64_t address) {
    if (address == 0 || address > UINTPTR_MAX) {
        return 0;
    }
    MEMORY_BASIC_INFORMATION region;
    const void* pointer = reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
    if (VirtualQuery(pointer, &region, sizeof region) != sizeof region ||
        region.State != MEM_COMMIT || (region.Protect & kReadableProtections) == 0 ||
        (region.Protect & PAGE_GUARD) != 0) {
        return 0;
    }
    const uintptr_t end = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    return end - static_cast<uintptr_t>(address);
}

bool ReadMemorySafely(uint64_t address, void* out, size_t size) {
    if (size == 0) {
        return true;
    }
    if (address > UINTPTR_MAX - (size - 1)) {
        return false;
    }
    // Regions of different protection may follow each other; each must be readable.
    uint64_t at = address;
    const uint64_t end = address + size;
    while (at < end) {
        const size_t readable = ReadableBytesAt(at);
        if (readable == 0) {
            return false;
        }
        at += readable;
    }
    memcpy(out, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), size);
    return true;
}
