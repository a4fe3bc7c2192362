#include "VoiceStreams.h"

#include <algorithm>
#include <cmath>

namespace sim {

StreamDecoder::Kind StreamDecoder::feed(char byte, char& data)
{
    if (m_afterDle) {
        m_afterDle = false;
        if (byte == kDle) {
            m_lastWasEscapedDle = true;
            data = kDle;
            return Kind::Data;
        }
        const bool escaped = m_lastWasEscapedDle;
        m_lastWasEscapedDle = false;
        if (byte != m_stopCode)
            return Kind::Nothing; // other DLE codes carry no voice
        if (m_style == StopStyle::Escaped)
            return escaped ? Kind::StopAfterEscapedDle : Kind::Nothing;
        return Kind::Stop;
    }
    if (byte == kDle) {
        m_afterDle = true;
        return Kind::Nothing;
    }
    m_lastWasEscapedDle = false;
    data = byte;
    return Kind::Data;
}

ReceiveStream::ReceiveStream(Encoding encoding, int rate, double start)
    : m_encoding(encoding), m_rate(rate), m_start(start), m_encoder(encoding)
{
}

void ReceiveStream::produce(double now, Line& line, std::string& out)
{
    const auto due = uint64_t(std::max(0.0, (now - m_start) * m_rate));
    for (; m_produced < due; ++m_produced) {
        m_scratch.clear();
        m_encoder.encode(line.sample(m_start + double(m_produced) / m_rate), m_scratch);
        for (char b : m_scratch) {
            out.push_back(b);
            if (b == kDle)
                out.push_back(kDle);
        }
        m_bytes += m_scratch.size();
    }
}

TransmitStream::TransmitStream(Encoding encoding, int rate, StopStyle stop, double start)
    : m_encoding(encoding), m_rate(rate), m_decoder(stop, kEtx), m_last(start)
{
}

namespace {
// A modem buffers this little; a host that stalls does not earn a burst.
double creditLimit(double perSecond)
{
    return perSecond * 0.05 + 8;
}
} // namespace

size_t TransmitStream::budget(double now)
{
    const double perSecond = bytesPerSecond(m_encoding, m_rate);
    m_credit = std::min(m_credit + (now - m_last) * perSecond, creditLimit(perSecond));
    m_last = now;
    return size_t(std::max(0.0, std::floor(m_credit)));
}

bool TransmitStream::starving() const
{
    return m_credit >= creditLimit(bytesPerSecond(m_encoding, m_rate));
}

size_t TransmitStream::consume(const char* data, size_t size)
{
    size_t i = 0;
    while (i < size && !m_stopped) {
        char value;
        switch (m_decoder.feed(data[i++], value)) {
        case StreamDecoder::Kind::Data:
            m_captured.push_back(value);
            break;
        case StreamDecoder::Kind::StopAfterEscapedDle:
            m_captured.pop_back(); // that DLE was part of the stop
            m_stopped = true;
            break;
        case StreamDecoder::Kind::Stop:
            m_stopped = true;
            break;
        case StreamDecoder::Kind::Nothing:
            break;
        }
    }
    m_credit = std::max(0.0, m_credit - double(i));
    return i;
}

} // namespace sim
