#include "CaptureWav.h"

#include "Codec.h"

#include <cstdint>
#include <fstream>

namespace sim {

namespace {

void put16(std::string& s, unsigned v)
{
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}

void put32(std::string& s, uint32_t v)
{
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

struct WavShape
{
    unsigned tag;
    unsigned bits;
    std::string data;
};

WavShape shapeFor(Encoding encoding, const std::string& bytes)
{
    switch (encoding) {
    case Encoding::Unsigned8: return {1, 8, bytes};
    case Encoding::Signed8: {
        std::string flipped = bytes;
        for (char& c : flipped)
            c = char(uint8_t(c) ^ 0x80);
        return {1, 8, flipped};
    }
    case Encoding::MuLaw: return {7, 8, bytes};
    case Encoding::ALaw: return {6, 8, bytes};
    case Encoding::Signed16: return {1, 16, bytes.substr(0, bytes.size() & ~size_t(1))};
    case Encoding::ImaAdpcm: {
        std::basic_string<int16_t> samples;
        SampleDecoder(Encoding::ImaAdpcm).decode(bytes, samples);
        std::string data;
        for (int16_t s : samples)
            put16(data, uint16_t(s));
        return {1, 16, data};
    }
    }
    return {1, 8, bytes};
}

} // namespace

bool writeCaptureWav(const std::string& path, Encoding encoding, int rate, const std::string& voiceBytes)
{
    const WavShape shape = shapeFor(encoding, voiceBytes);
    const unsigned block = shape.bits / 8;
    const bool extended = shape.tag != 1; // non-PCM formats carry a cbSize field
    std::string head = "RIFF";
    const uint32_t fmtSize = extended ? 18 : 16;
    put32(head, uint32_t(4 + 8 + fmtSize + 8 + shape.data.size() + (shape.data.size() & 1)));
    head += "WAVEfmt ";
    put32(head, fmtSize);
    put16(head, shape.tag);
    put16(head, 1);
    put32(head, uint32_t(rate));
    put32(head, uint32_t(rate) * block);
    put16(head, block);
    put16(head, shape.bits);
    if (extended)
        put16(head, 0);
    head += "data";
    put32(head, uint32_t(shape.data.size()));
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << head << shape.data;
    if (shape.data.size() & 1)
        file.put('\0');
    return bool(file.flush());
}

} // namespace sim
