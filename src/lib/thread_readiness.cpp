// Allocating the runtime's thread-local exception state while memory is known
// to be there.

#include "lib/thread_readiness.hpp"

#include <cstdlib>
#include <exception>

namespace ovralis::py {
namespace {

// Well above what the loader allocates for the runtime's thread-local block
// and the table that points to it.
constexpr std::size_t kProbeBytes = 16 * 1024;

}  // namespace

bool prepare_thread_for_exceptions() noexcept {
    void* probe = std::malloc(kProbeBytes);
    if (probe == nullptr) return false;
    // Keeps the compiler from pairing the malloc with the free and dropping both.
    asm volatile("" : : "r"(probe) : "memory");
    std::free(probe);
    // Reads the thread's exception state, which allocates it on first use.
    return std::uncaught_exceptions() >= 0;
}

}  // namespace ovralis::py
