#pragma once

// Counts every allocation of a test program while `counting` is on: malloc
// itself is replaced, so operator new, Qt and C libraries are all seen.
// Include it in exactly one file of the program.
#include <atomic>
#include <cstdlib>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
}

namespace heapcount {
inline std::atomic<bool> counting{false};
inline std::atomic<long> allocations{0};

inline void counted()
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace heapcount

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
