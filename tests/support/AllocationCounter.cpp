// Global operator new/delete replacements that count while armed.
#include "support/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
bool counting = false;
long allocations = 0;
} // namespace

// The replacements pair malloc with free; GCC's mismatch check cannot see through them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (counting)
        ++allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace lumivex::testing {

void StartCountingAllocations() {
    allocations = 0;
    counting = true;
}

long StopCountingAllocations() {
    counting = false;
    return allocations;
}

} // namespace lumivex::testing
