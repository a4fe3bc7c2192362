#pragma once

#include "Codec.h"
#include "LineAudio.h"
#include "Profile.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace sim {

constexpr char kDle = 0x10;
constexpr char kEtx = 0x03;

// Reads the host's side of a voice stream: data with shielded DLEs, and the
// stop pair (DLE ETX for transmit, DLE "!" for receive). A modem of the
// escaped kind stops only on DLE DLE DLE + code; a standard one reads that as
// the data byte 0x10 followed by the stop pair.
class StreamDecoder
{
public:
    enum class Kind { Nothing, Data, Stop, StopAfterEscapedDle };
    StreamDecoder(StopStyle style, char stopCode) : m_style(style), m_stopCode(stopCode) {}
    Kind feed(char byte, char& data);

private:
    StopStyle m_style;
    char m_stopCode;
    bool m_afterDle = false;
    bool m_lastWasEscapedDle = false;
};

// +VRX: the line's audio at the selected rate and encoding, DLE-shielded.
class ReceiveStream
{
public:
    ReceiveStream(Encoding encoding, int rate, double start);
    // Appends the bytes of the samples due by `now`.
    void produce(double now, Line& line, std::string& out);
    double bytesPerSecond() const { return sim::bytesPerSecond(m_encoding, m_rate); }
    uint64_t bytesSent() const { return m_bytes; }
    // Nothing of what was due until `now` is sent.
    void skipTo(double now) { m_produced = uint64_t(std::max(0.0, (now - m_start) * m_rate)); }

private:
    Encoding m_encoding;
    int m_rate;
    double m_start;
    uint64_t m_produced = 0;
    uint64_t m_bytes = 0;
    SampleEncoder m_encoder;
    std::string m_scratch;
};

// +VTX: takes the host's bytes no faster than they play, unshields them and
// keeps them for the capture file.
class TransmitStream
{
public:
    TransmitStream(Encoding encoding, int rate, StopStyle stop, double start);
    // How many bytes the modem takes by `now` (what has "played").
    size_t budget(double now);
    // Consumes host bytes up to and including a stop pair; returns how many.
    size_t consume(const char* data, size_t size);
    bool stopped() const { return m_stopped; }
    // The modem has played all it was given and waits for more.
    bool starving() const;
    const std::string& captured() const { return m_captured; }
    Encoding encoding() const { return m_encoding; }
    int rate() const { return m_rate; }

private:
    Encoding m_encoding;
    int m_rate;
    StreamDecoder m_decoder;
    double m_last;
    double m_credit = 0;
    bool m_stopped = false;
    std::string m_captured;
};

} // namespace sim
