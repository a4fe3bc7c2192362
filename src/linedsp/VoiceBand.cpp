#include "linedsp/VoiceBand.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double SampleRate = 8000;
constexpr double LowHz = 250;
constexpr double HighHz = 1000;

} // namespace

VoiceBand::VoiceBand() : VoiceBand(LowHz, HighHz) {}

VoiceBand::VoiceBand(double lowHz, double highHz)
    : m_lowHz(lowHz), m_highHz(highHz), m_highPass(butterworth(lowHz, true)), m_lowPass(butterworth(highHz, false))
{
}

void VoiceBand::reset()
{
    m_highPass = butterworth(m_lowHz, true);
    m_lowPass = butterworth(m_highHz, false);
}

double VoiceBand::step(double x)
{
    return m_lowPass.step(m_highPass.step(x));
}

double VoiceBand::Biquad::step(double x)
{
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}

// Second order, Q = 1/sqrt(2).
VoiceBand::Biquad VoiceBand::butterworth(double hz, bool highPass)
{
    const double w = 2 * std::numbers::pi * hz / SampleRate;
    const double alpha = std::sin(w) / std::numbers::sqrt2;
    const double c = std::cos(w);
    const double a0 = 1 + alpha;
    const double b1 = highPass ? -(1 + c) : 1 - c;
    const double b0 = highPass ? (1 + c) / 2 : (1 - c) / 2;
    return Biquad{b0 / a0, b1 / a0, b0 / a0, -2 * c / a0, (1 - alpha) / a0};
}
