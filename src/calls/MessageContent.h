#pragma once

#include "linedsp/CallProgressDetector.h"

#include <array>
#include <cstdint>

// Whether a recorded message holds anything of a caller: fed with the
// live 8 kHz blocks, it counts the 25 ms frames that are loud enough to be
// a voice and that the call-progress detector does not take for an
// exchange's tone (dial, busy, reorder). A message with less than
// MinimumVoiceMs of such frames holds only tones, noise or silence.
class MessageContent
{
public:
    static constexpr int MinimumVoiceMs = 600;
    // Root-mean-square deviation from the mid value, in 8-bit steps:
    // about -30 dB below full scale, well above a quiet line's noise.
    static constexpr double VoiceLevel = 4.0;

    void reset();
    void process(const uint8_t* data, int size);
    int voiceMs() const { return m_voiceFrames * CallProgressDetector::FrameMs; }
    bool holdsVoice() const { return voiceMs() >= MinimumVoiceMs; }

private:
    void judgeFrame();

    CallProgressDetector m_tones;
    std::array<uint8_t, CallProgressDetector::FrameSize> m_frame{};
    int m_filled = 0;
    int m_voiceFrames = 0;
};
