#pragma once

// Counts every allocation of a test program while `counting` is on: malloc
// itself is replaced, so operator new, Qt and C libraries are all seen.
// Include it in exactly one file of the program.
#include <atomic>
#include <cstdlib>

// AddressSanitizer owns malloc: there nothing is counted and the tests that
// count skip themselves.
#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_HEAP_COUNTER 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_HEAP_COUNTER 0
#endif
#endif
#ifndef VELMORA_HEAP_COUNTER
#define VELMORA_HEAP_COUNTER 1
#endif

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
}

namespace heapcount {
inline constexpr bool available = VELMORA_HEAP_COUNTER;
inline std::atomic<bool> counting{false};
inline std::atomic<long> allocations{0};

inline void counted()
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace heapcount

#if VELMORA_HEAP_COUNTER
extern "C" void* malloc(size_t size)
{
    heapcount::counted();
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size)
{
    heapcount::counted();
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* pointer, size_t size)
{
    heapcount::counted();
    return __libc_realloc(pointer, size);
}
extern "C" void free(void* pointer)
{
    __libc_free(pointer);
}
#endif
