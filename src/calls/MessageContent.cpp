#include "calls/MessageContent.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void MessageContent::reset()
{
    m_tones.reset();
    m_filled = 0;
    m_voiceFrames = 0;
}

void MessageContent::process(const uint8_t* data, int size)
{
    while (size > 0) {
        const int n = std::min(size, int(m_frame.size()) - m_filled);
        std::memcpy(m_frame.data() + m_filled, data, size_t(n));
        m_filled += n;
        data += n;
        size -= n;
        if (m_filled == int(m_frame.size())) {
            judgeFrame();
            m_filled = 0;
        }
    }
}

void MessageContent::judgeFrame()
{
    m_tones.process(m_frame);
    double sum = 0, squares = 0;
    for (uint8_t s : m_frame) {
        sum += s;
        squares += double(s) * s;
    }
    const double n = double(m_frame.size());
    const double mean = sum / n;
    const double deviation = std::sqrt(std::max(0.0, squares / n - mean * mean));
    if (deviation >= VoiceLevel && m_tones.lastFrameFamily() == CallProgressDetector::Family::None)
        ++m_voiceFrames;
}
