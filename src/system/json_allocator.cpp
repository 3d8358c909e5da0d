// RapidJSON's allocator over malloc, throwing instead of returning NULL.
#include "system/json_allocator.hpp"

#include <cstdlib>
#include <new>

namespace ovralis {

void* ThrowingAllocator::Malloc(std::size_t size) {
    if (size == 0) return nullptr;
    void* memory = std::malloc(size);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

// On failure the original block stays allocated and owned by the caller,
// which frees it as the exception unwinds.
void* ThrowingAllocator::Realloc(void* original, std::size_t, std::size_t new_size) {
    if (new_size == 0) {
        std::free(original);
        return nullptr;
    }
    void* memory = std::realloc(original, new_size);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

void ThrowingAllocator::Free(void* pointer) { std::free(pointer); }

}  // namespace ovralis
