#include "Codec.h"

#include <algorithm>

namespace sim {

namespace {

const int kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int kImaIndexAdjust[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

// Applies one nibble to the decoder state; returns the new predicted sample.
int imaStep(int nibble, int& predictor, int& index)
{
    const int step = kImaSteps[index];
    int diff = step >> 3;
    if (nibble & 4)
        diff += step;
    if (nibble & 2)
        diff += step >> 1;
    if (nibble & 1)
        diff += step >> 2;
    predictor += (nibble & 8) ? -diff : diff;
    predictor = std::clamp(predictor, -32768, 32767);
    index = std::clamp(index + kImaIndexAdjust[nibble & 7], 0, 88);
    return predictor;
}

int imaNibble(int sample, int predictor, int index)
{
    const int step = kImaSteps[index];
    int diff = sample - predictor;
    int nibble = 0;
    if (diff < 0) {
        nibble = 8;
        diff = -diff;
    }
    if (diff >= step) {
        nibble |= 4;
        diff -= step;
    }
    if (diff >= step >> 1) {
        nibble |= 2;
        diff -= step >> 1;
    }
    if (diff >= step >> 2)
        nibble |= 1;
    return nibble;
}

} // namespace

uint8_t linearToMuLaw(int16_t sample)
{
    constexpr int bias = 0x84, clip = 32635;
    int s = sample;
    const int sign = s < 0 ? 0x80 : 0;
    if (s < 0)
        s = -s;
    s = std::min(s, clip) + bias;
    int exponent = 7;
    for (int mask = 0x4000; (s & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    const int mantissa = (s >> (exponent + 3)) & 0x0F;
    return uint8_t(~(sign | (exponent << 4) | mantissa));
}

int16_t muLawToLinear(uint8_t byte)
{
    const int u = ~byte & 0xFF;
    int t = ((u & 0x0F) << 3) + 0x84;
    t <<= (u & 0x70) >> 4;
    return int16_t((u & 0x80) ? 0x84 - t : t - 0x84);
}

uint8_t linearToALaw(int16_t sample)
{
    int s = sample >> 3; // 13-bit magnitude
    int mask;
    if (s >= 0) {
        mask = 0xD5;
    } else {
        mask = 0x55;
        s = -s - 1;
    }
    static const int segEnd[8] = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
    int seg = 0;
    while (seg < 8 && s > segEnd[seg])
        ++seg;
    if (seg >= 8)
        return uint8_t(0x7F ^ mask);
    int a = seg << 4;
    a |= seg < 2 ? (s >> 1) & 0x0F : (s >> seg) & 0x0F;
    return uint8_t(a ^ mask);
}

int16_t aLawToLinear(uint8_t byte)
{
    const int a = byte ^ 0x55;
    int t = (a & 0x0F) << 4;
    const int seg = (a & 0x70) >> 4;
    if (seg == 0)
        t += 8;
    else if (seg == 1)
        t += 0x108;
    else
        t = (t + 0x108) << (seg - 1);
    return int16_t((a & 0x80) ? t : -t);
}

double bytesPerSecond(Encoding encoding, int rate)
{
    switch (encoding) {
    case Encoding::Signed16: return 2.0 * rate;
    case Encoding::ImaAdpcm: return rate / 2.0;
    default: return rate;
    }
}

void SampleEncoder::encode(int16_t sample, std::string& out)
{
    switch (m_encoding) {
    case Encoding::Unsigned8: out.push_back(char(uint8_t((sample >> 8) + 128))); break;
    case Encoding::Signed8: out.push_back(char(int8_t(sample >> 8))); break;
    case Encoding::MuLaw: out.push_back(char(linearToMuLaw(sample))); break;
    case Encoding::ALaw: out.push_back(char(linearToALaw(sample))); break;
    case Encoding::Signed16:
        out.push_back(char(sample & 0xFF));
        out.push_back(char((sample >> 8) & 0xFF));
        break;
    case Encoding::ImaAdpcm: {
        const int nibble = imaNibble(sample, m_predictor, m_index);
        imaStep(nibble, m_predictor, m_index);
        if (m_nibble < 0) {
            m_nibble = nibble;
        } else {
            out.push_back(char(m_nibble | (nibble << 4)));
            m_nibble = -1;
        }
        break;
    }
    }
}

void SampleDecoder::decode(const std::string& bytes, std::basic_string<int16_t>& out)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = uint8_t(bytes[i]);
        switch (m_encoding) {
        case Encoding::Unsigned8: out.push_back(int16_t((b - 128) << 8)); break;
        case Encoding::Signed8: out.push_back(int16_t(int8_t(b) * 256)); break;
        case Encoding::MuLaw: out.push_back(muLawToLinear(b)); break;
        case Encoding::ALaw: out.push_back(aLawToLinear(b)); break;
        case Encoding::Signed16:
            if (i + 1 < bytes.size()) {
                out.push_back(int16_t(b | (uint8_t(bytes[i + 1]) << 8)));
                ++i;
            }
            break;
        case Encoding::ImaAdpcm:
            out.push_back(int16_t(imaStep(b & 0x0F, m_predictor, m_index)));
            out.push_back(int16_t(imaStep(b >> 4, m_predictor, m_index)));
            break;
        }
    }
}

} // namespace sim
