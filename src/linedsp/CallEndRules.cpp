#include "linedsp/CallEndRules.h"

#include <algorithm>
#include <cmath>

namespace {

// Above this deviation (8-bit steps) a window is sound however loud the
// line's noise: a voice at about -30 dBFS.
constexpr double LoudDeviation = 3.0;
// A window is sound when its deviation in the voice band exceeds the floor
// by this factor and this margin (the margin keeps the 8-bit rounding of a
// dead line from counting). There the noise of 1024 samples varies by
// under ten per cent; a voice adds far more.
constexpr double SoundOverFloor = 1.25;
constexpr double SoundMargin = 0.08;
// Per window the floor rises by this share (of at least FloorCreepBase):
// it doubles in about 18 s.
constexpr double FloorCreep = 0.005;
constexpr double FloorCreepBase = 0.1;

} // namespace

bool PeriodicSignalRule::periodicBlock(int& count, int64_t& lastBlock, int64_t block)
{
    if (count > 0 && (block <= lastBlock || block - lastBlock > MaxGapBlocks + 1))
        count = 0; // a new run, or a new recording
    lastBlock = block;
    return ++count >= EventsToDisconnect;
}

void SilenceBackstop::reset()
{
    m_silentMs = 0;
    m_floor = -1;
    m_filled = 0;
    m_sum = m_squares = m_bandSquares = 0;
    m_band.reset();
}

void SilenceBackstop::audio(const uint8_t* data, int size)
{
    for (int i = 0; i < size; ++i) {
        m_sum += data[i];
        m_squares += double(data[i]) * data[i];
        const double y = m_band.step(double(data[i]) - 128.0);
        m_bandSquares += y * y;
        if (++m_filled == WindowSize)
            judgeWindow();
    }
}

void SilenceBackstop::judgeWindow()
{
    const double mean = m_sum / WindowSize;
    const bool loud = std::sqrt(std::max(0.0, m_squares / WindowSize - mean * mean)) >= LoudDeviation;
    const double d = std::sqrt(m_bandSquares / WindowSize);
    m_filled = 0;
    m_sum = m_squares = m_bandSquares = 0;
    if (m_floor < 0 || d < m_floor)
        m_floor = d;
    else
        m_floor += std::max(m_floor, FloorCreepBase) * FloorCreep;
    const bool sound = loud || (d > m_floor * SoundOverFloor && d > m_floor + SoundMargin);
    m_silentMs = sound ? 0 : m_silentMs + WindowSize / 8; // 8 samples a millisecond
}
