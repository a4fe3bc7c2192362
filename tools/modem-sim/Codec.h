#pragma once

#include "Profile.h"

#include <cstdint>
#include <string>

namespace sim {

// Turns 16-bit linear samples into the bytes a modem sends for an encoding,
// and back. Written from the G.711 and IMA ADPCM definitions, independent of
// the product's codec code, so it can serve as a test oracle.
class SampleEncoder
{
public:
    explicit SampleEncoder(Encoding encoding) : m_encoding(encoding) {}
    // Appends the bytes of one sample (IMA ADPCM: two samples per byte, low
    // nibble first, so a byte appears every second sample).
    void encode(int16_t sample, std::string& out);

private:
    Encoding m_encoding;
    int m_predictor = 0;
    int m_index = 0;
    int m_nibble = -1;
};

class SampleDecoder
{
public:
    explicit SampleDecoder(Encoding encoding) : m_encoding(encoding) {}
    // Appends the 16-bit samples of the bytes to out.
    void decode(const std::string& bytes, std::basic_string<int16_t>& out);

private:
    Encoding m_encoding;
    int m_predictor = 0;
    int m_index = 0;
};

uint8_t linearToMuLaw(int16_t sample);
int16_t muLawToLinear(uint8_t byte);
uint8_t linearToALaw(int16_t sample);
int16_t aLawToLinear(uint8_t byte);

// Bytes per second of voice data at a sample rate.
double bytesPerSecond(Encoding encoding, int rate);

} // namespace sim
