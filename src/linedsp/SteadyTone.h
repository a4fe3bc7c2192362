#pragma once

#include "linedsp/VoiceBand.h"

#include <span>
#include <vector>

// A steady tone under line noise, as a PBX sends when the far end has gone.
// At -30 dBFS and below a tone spans a few steps of the 8-bit line, and the
// noise moves its crossings by whole samples, so the crossing test on the
// raw samples misses it. Here the block is filtered to the band such tones
// use, the tone's frequency is taken from its crossings, and the block is a
// steady tone when most of its power sits at that one frequency: voices and
// chords spread theirs over pitches that move.
class SteadyTone
{
public:
    SteadyTone();
    void reset();
    // A block of 8-bit unsigned samples (128 is the line's zero).
    bool isSteady(std::span<const double> block);
    // Of the last block judged steady.
    double frequency() const { return m_frequency; }

private:
    double dominantFrequency() const;
    double shareAt(double hz) const;

    VoiceBand m_band;
    // Reused per block, so the receive path does not allocate.
    std::vector<double> m_filtered;
    double m_frequency = 0;
};
