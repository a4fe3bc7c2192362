#include "calls/MessageContent.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The floor is the level below which this share of the stretches lie: the
// pauses between words, the line after the caller hung up, the gaps of a
// busy tone.
constexpr double FloorShare = 0.1;
// A voice's stretch stands this far above the floor. In the voice band the
// power of 100 ms of line noise varies by about a third of a decibel; a
// voice at -40 dBFS peak on a quiet 8-bit line adds more than this.
constexpr double VoiceOverFloorDb = 2.0;
// On a dead line (floor 0) rounding alone must not make a voice.
constexpr double MinVoicePower = 0.02;

} // namespace

void MessageContent::reset()
{
    m_periodic.Periodic = true;
    m_periodic.Silence = m_periodic.Cadence = m_periodic.CallProgress = false;
    m_periodic.ResetDetector();
    m_block.clear();
    m_blockPeriodic.clear();
    m_band.reset();
    m_tones.reset();
    m_filled = 0;
    m_pendingCount = 0;
    m_framesSinceTone = ToneMargin + 1;
    m_stretchPower = 0;
    m_stretchFrames = m_stretchLoud = 0;
    m_stretchNearTone = false;
    m_levels.fill(0);
    m_stretches = 0;
    m_sequence.clear();
    m_sequenceLoud.clear();
}

void MessageContent::feedPeriodic(uint8_t sample)
{
    m_block.push_back(sample);
    if (int(m_block.size()) < PeriodicBlockSize)
        return;
    m_periodic.ProcessBlock(m_block);
    m_blockPeriodic.push_back(m_periodic.lastBlockPeriodic());
    m_block.clear();
}

void MessageContent::process(const uint8_t* data, int size)
{
    for (int i = 0; i < size; ++i)
        feedPeriodic(data[i]);
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
    double sum = 0, squares = 0, band = 0;
    for (uint8_t s : m_frame) {
        sum += s;
        squares += double(s) * s;
        const double y = m_band.step(double(s) - 128.0);
        band += y * y;
    }
    const double n = double(m_frame.size());
    const double mean = sum / n;
    const Frame frame{band / n, std::max(0.0, squares / n - mean * mean) >= VoiceLevel * VoiceLevel};
    const bool inTone = m_tones.inSteadyTone();
    m_framesSinceTone = inTone ? 0 : std::min(m_framesSinceTone + 1, ToneMargin + 1);
    if (inTone)
        m_pendingNearTone.fill(true);
    if (m_pendingCount == PendingFrames) {
        commit(m_pending[0], m_pendingNearTone[0]);
        std::rotate(m_pending.begin(), m_pending.begin() + 1, m_pending.end());
        std::rotate(m_pendingNearTone.begin(), m_pendingNearTone.begin() + 1, m_pendingNearTone.end());
        --m_pendingCount;
    }
    m_pending[size_t(m_pendingCount)] = frame;
    m_pendingNearTone[size_t(m_pendingCount)] = m_framesSinceTone <= ToneMargin;
    ++m_pendingCount;
}

void MessageContent::commit(const Frame& frame, bool nearTone)
{
    m_stretchPower += frame.power;
    m_stretchLoud += frame.loud ? 1 : 0;
    m_stretchNearTone = m_stretchNearTone || nearTone;
    if (++m_stretchFrames == FramesPerStretch)
        countStretch();
}

void MessageContent::countStretch()
{
    const int bin = binOf(m_stretchPower / FramesPerStretch);
    // Loud throughout: a voice however noisy the line.
    const bool loud = m_stretchLoud == FramesPerStretch;
    m_sequence.push_back(int16_t(m_stretchNearTone ? -1 : bin));
    m_sequenceLoud.push_back(loud);
    if (!m_stretchNearTone) {
        ++m_levels[size_t(bin)];
        ++m_stretches;
    }
    m_stretchPower = 0;
    m_stretchFrames = m_stretchLoud = 0;
    m_stretchNearTone = false;
}

int MessageContent::binOf(double power)
{
    if (power <= 0)
        return 0;
    const double bin = std::floor((10.0 * std::log10(power) - LowestDb) * BinsPerDb);
    return int(std::clamp(bin, 0.0, double(Bins - 1)));
}

int MessageContent::floorBin() const
{
    const int below = int(std::ceil(FloorShare * m_stretches));
    int seen = 0;
    for (int b = 0; b < Bins; ++b) {
        seen += m_levels[size_t(b)];
        if (seen >= below)
            return b;
    }
    return 0;
}

int MessageContent::firstVoiceBin() const
{
    // The floor's bin holds levels up to a quarter decibel above it.
    return std::max(floorBin() + 1 + int(VoiceOverFloorDb * BinsPerDb), binOf(MinVoicePower));
}

std::vector<bool> MessageContent::periodicStretches() const
{
    constexpr int64_t StretchSamples = StretchMs * 8;
    std::vector<bool> periodic(m_sequence.size());
    const auto mark = [&](int64_t firstBlock, int64_t endBlock) { // a block of margin on either side
        const int64_t from = std::max<int64_t>(0, firstBlock - 1) * PeriodicBlockSize / StretchSamples;
        const int64_t to = (endBlock + 1) * PeriodicBlockSize / StretchSamples + 1;
        for (int64_t i = from; i < std::min<int64_t>(to, int64_t(periodic.size())); ++i)
            periodic[size_t(i)] = true;
    };
    int64_t runStart = 0;
    for (int64_t b = 0; b <= int64_t(m_blockPeriodic.size()); ++b) {
        if (b < int64_t(m_blockPeriodic.size()) && m_blockPeriodic[size_t(b)])
            continue;
        if (b - runStart >= MinPeriodicRun)
            mark(runStart, b);
        runStart = b + 1;
    }
    return periodic;
}

qint64 MessageContent::lastVoiceEndMs() const
{
    const int first = firstVoiceBin();
    const std::vector<bool> periodic = periodicStretches();
    for (size_t i = m_sequence.size(); i-- > 0;)
        if (m_sequence[i] >= 0 && !periodic[i] && isVoice(m_sequence[i], m_sequenceLoud[i], first))
            return qint64(i + 1) * StretchMs;
    return 0;
}

int MessageContent::voiceMs() const
{
    const int first = firstVoiceBin();
    const std::vector<bool> periodic = periodicStretches();
    int voice = 0;
    for (size_t i = 0; i < m_sequence.size(); ++i)
        if (m_sequence[i] >= 0 && !periodic[i] && isVoice(m_sequence[i], m_sequenceLoud[i], first))
            ++voice;
    return voice * StretchMs;
}
