#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>
#include <vector>

// A ring of bytes between one producer thread and one consumer thread,
// without locks: a sound callback takes or puts bytes while the user
// interface thread does the other side. Sized once; never allocates after.
class ByteRing
{
public:
    // Capacity rounded up to a power of two.
    explicit ByteRing(size_t capacity)
    {
        size_t size = 1;
        while (size < capacity)
            size <<= 1;
        m_data.resize(size);
        m_mask = size - 1;
    }

    size_t capacity() const { return m_data.size(); }
    size_t readable() const { return m_head.load(std::memory_order_acquire) - m_tail.load(std::memory_order_acquire); }
    size_t writable() const { return capacity() - readable(); }

    // Producer side: takes as many bytes as there is room for.
    size_t write(const char* data, size_t size)
    {
        const size_t head = m_head.load(std::memory_order_relaxed);
        const size_t tail = m_tail.load(std::memory_order_acquire);
        const size_t n = std::min(size, capacity() - (head - tail));
        copyIn(head, data, n);
        m_head.store(head + n, std::memory_order_release);
        return n;
    }

    // Consumer side: gives as many bytes as there are, up to size.
    size_t read(char* out, size_t size)
    {
        const size_t tail = m_tail.load(std::memory_order_relaxed);
        const size_t head = m_head.load(std::memory_order_acquire);
        const size_t n = std::min(size, head - tail);
        copyOut(tail, out, n);
        m_tail.store(tail + n, std::memory_order_release);
        return n;
    }

private:
    void copyIn(size_t at, const char* data, size_t n)
    {
        const size_t start = at & m_mask;
        const size_t first = std::min(n, capacity() - start);
        std::memcpy(m_data.data() + start, data, first);
        std::memcpy(m_data.data(), data + first, n - first);
    }
    void copyOut(size_t at, char* out, size_t n) const
    {
        const size_t start = at & m_mask;
        const size_t first = std::min(n, capacity() - start);
        std::memcpy(out, m_data.data() + start, first);
        std::memcpy(out + first, m_data.data(), n - first);
    }

    std::vector<char> m_data;
    size_t m_mask = 0;
    std::atomic<size_t> m_head{0}; // bytes ever written
    std::atomic<size_t> m_tail{0}; // bytes ever read
};
