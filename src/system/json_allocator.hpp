// The allocator the document reader and writer give RapidJSON: it throws
// std::bad_alloc when memory runs out, where the library's own allocator
// returns NULL and the library then writes through it.
#pragma once

#include <cstddef>

namespace ovralis {

// Meets RapidJSON's Allocator concept; stateless, so any two compare equal.
class ThrowingAllocator {
public:
    static const bool kNeedFree = true;
    void* Malloc(std::size_t size);
    void* Realloc(void* original, std::size_t original_size, std::size_t new_size);
    static void Free(void* pointer);
    bool operator==(const ThrowingAllocator&) const { return true; }
    bool operator!=(const ThrowingAllocator&) const { return false; }
};

}  // namespace ovralis
