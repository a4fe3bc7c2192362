#include "linedsp/SteadyTone.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double SampleRate = 8000;
// PBX and exchange tones lie between these.
constexpr double LowHz = 200;
constexpr double HighHz = 2000;
// Of the block's RMS: how far the wave must swing to either side.
constexpr double Hysteresis = 0.5;
constexpr int MinCrossings = 20;
// Share of the block's in-band power at the one frequency.
constexpr double MinShare = 0.7;
// The frequency from the crossings can be off by this much; the peak is
// looked for on either side.
constexpr double SearchHz = 4;

} // namespace

SteadyTone::SteadyTone() : m_band(LowHz, HighHz) {}

void SteadyTone::reset()
{
    m_band.reset();
    m_frequency = 0;
}

bool SteadyTone::isSteady(std::span<const double> block)
{
    m_filtered.resize(block.size());
    for (size_t i = 0; i < block.size(); ++i)
        m_filtered[i] = m_band.step(block[i] - 128.0);
    const double hz = dominantFrequency();
    if (hz <= 0)
        return false;
    double best = 0;
    for (const double offset : {-SearchHz, -SearchHz / 2, 0.0, SearchHz / 2, SearchHz})
        best = std::max(best, shareAt(hz + offset));

    if (best < MinShare)
        return false;
    m_frequency = hz;
    return true;
}

// From the first to the last upward crossing, placed between samples. A
// crossing counts once the wave has gone from below -h to above +h, so
// noise that wobbles across zero near a crossing does not add one.
double SteadyTone::dominantFrequency() const
{
    double power = 0;
    for (const double y : m_filtered)
        power += y * y;
    const double h = Hysteresis * std::sqrt(power / double(std::max<size_t>(1, m_filtered.size())));
    double first = -1, last = -1, candidate = -1;
    bool armed = false;
    int crossings = 0;
    for (size_t i = 1; i < m_filtered.size(); ++i) {
        const double a = m_filtered[i - 1], b = m_filtered[i];
        if (b < -h)
            armed = true;
        if (armed && a < 0 && b >= 0)
            candidate = double(i - 1) + a / (a - b);
        if (armed && candidate >= 0 && b >= h) {
            if (first < 0)
                first = candidate;
            last = candidate;
            ++crossings;
            armed = false;
            candidate = -1;
        }
    }
    if (crossings < MinCrossings || last <= first)
        return 0;
    return SampleRate * (crossings - 1) / (last - first);
}

// Goertzel: the power at `hz` as a share of the block's power.
double SteadyTone::shareAt(double hz) const
{
    const double w = 2 * std::numbers::pi * hz / SampleRate;
    const double coefficient = 2 * std::cos(w);
    double s1 = 0, s2 = 0, power = 0;
    for (const double y : m_filtered) {
        const double s = y + coefficient * s1 - s2;
        s2 = s1;
        s1 = s;
        power += y * y;
    }
    if (power <= 0)
        return 0;
    const double tone = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 2 * tone / (double(m_filtered.size()) * power);
}
