#pragma once

#include "linedsp/CallProgressDetector.h"
#include "linedsp/TQVMdsp.h"
#include "linedsp/VoiceBand.h"

#include <QtGlobal>
#include <array>
#include <cstdint>
#include <vector>

// Whether a recorded message holds anything of a caller: fed with the
// live 8 kHz blocks, it judges 100 ms stretches against the noise floor of
// this very call. A stretch is a voice's when its power in the voice band
// stands clearly above the floor (or it is loud outright) and none of its
// 25 ms frames lies in or beside a steady tone of an exchange (dial, busy,
// reorder) as the call-progress detector hears it, nor in a steady tone of
// another kind (a PBX's) that the periodic-signal detector finds in blocks
// one after the other. A message with less than MinimumVoiceMs of such
// stretches held only tones, noise or silence.
class MessageContent
{
public:
    static constexpr int MinimumVoiceMs = 200;
    static constexpr int FramesPerStretch = 4;
    static constexpr int StretchMs = FramesPerStretch * CallProgressDetector::FrameMs;
    // Root-mean-square deviation from the mid value, in 8-bit steps: about
    // -30 dB below full scale, a voice on any line.
    static constexpr double VoiceLevel = 4.0;

    void reset();
    void process(const uint8_t* data, int size);
    int voiceMs() const;
    bool holdsVoice() const { return voiceMs() >= MinimumVoiceMs; }
    // Where the last stretch with a voice ends, in ms from the first sample
    // fed; 0 without one.
    qint64 lastVoiceEndMs() const;

private:
    // Stretch powers in steps of a quarter decibel from LowestDb.
    static constexpr int BinsPerDb = 4;
    static constexpr int LowestDb = -20;
    static constexpr int Bins = 66 * BinsPerDb;

    struct Frame
    {
        double power = 0; // in the voice band
        bool loud = false;
    };

    // Frames on either side of a tone that hold its rise, fall or faint
    // beats in noise.
    static constexpr int ToneMargin = 3;
    // A tone is known steady some frames after it began.
    static constexpr int SteadyAfterFrames = 6;
    static constexpr int PendingFrames = ToneMargin + SteadyAfterFrames;

    void judgeFrame();
    void commit(const Frame& frame, bool nearTone);
    void countStretch();
    int firstVoiceBin() const;
    void feedPeriodic(uint8_t sample);
    // Per stretch: inside or beside a run of periodic blocks.
    std::vector<bool> periodicStretches() const;
    // Loud stretches are a voice's even when they hardly rise above the floor.
    static bool isVoice(int bin, bool loud, int firstBin) { return loud || bin >= firstBin; }
    static int binOf(double power);
    int floorBin() const;

    CallProgressDetector m_tones;
    VoiceBand m_band;
    std::array<uint8_t, CallProgressDetector::FrameSize> m_frame{};
    int m_filled = 0;
    // Held back until the frames after them are known.
    std::array<Frame, PendingFrames> m_pending{};
    std::array<bool, PendingFrames> m_pendingNearTone{};
    int m_pendingCount = 0;
    int m_framesSinceTone = ToneMargin + 1;
    // The stretch being gathered.
    double m_stretchPower = 0;
    int m_stretchFrames = 0;
    int m_stretchLoud = 0;
    bool m_stretchNearTone = false;
    std::array<int, Bins> m_levels{}; // stretches clear of tones, by power
    int m_stretches = 0;
    // Every stretch in order, to find the last word: its bin, -1 near a tone.
    std::vector<int16_t> m_sequence;
    std::vector<bool> m_sequenceLoud;
    // The periodic-signal detector over the same samples, in its blocks.
    static constexpr int PeriodicBlockSize = 1536;
    static constexpr int MinPeriodicRun = 3;
    TQVMdsp m_periodic;
    std::vector<uint8_t> m_block;
    std::vector<bool> m_blockPeriodic;
};
