#pragma once

#include <cstddef>
#include <vector>

struct AudioBuffer;

// The buffers a device has queued, oldest first. Storage grows only when
// more are queued than ever before, so steady playback allocates nothing
// (a std::deque takes and frees a chunk every few dozen buffers).
class BufferFifo
{
public:
    bool empty() const { return m_count == 0; }
    size_t size() const { return m_count; }
    AudioBuffer* front() const { return m_slots[m_head]; }
    AudioBuffer* operator[](size_t i) const { return m_slots[(m_head + i) % m_slots.size()]; }

    void push_back(AudioBuffer* buffer)
    {
        if (m_count == m_slots.size())
            grow();
        m_slots[(m_head + m_count) % m_slots.size()] = buffer;
        ++m_count;
    }
    void pop_front()
    {
        m_head = (m_head + 1) % m_slots.size();
        --m_count;
    }
    void clear()
    {
        m_head = 0;
        m_count = 0;
    }

private:
    void grow()
    {
        std::vector<AudioBuffer*> bigger(m_slots.empty() ? 8 : m_slots.size() * 2);
        for (size_t i = 0; i < m_count; ++i)
            bigger[i] = (*this)[i];
        m_slots.swap(bigger);
        m_head = 0;
    }

    std::vector<AudioBuffer*> m_slots;
    size_t m_head = 0;
    size_t m_count = 0;
};
