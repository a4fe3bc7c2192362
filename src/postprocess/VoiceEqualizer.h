#pragma once

#include "postprocess/VolumeLevel.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace postprocess {

// Blocks of 25 ms: silence when their mean distance from the zero line is
// at most 0.8; talk spurts quieter than the average voice are raised to
// 1.3 times that average.
constexpr size_t EqualizerBlock = 200;
constexpr float SilenceLevel = 0.8f;
constexpr double TargetFactor = 1.3;

struct EqualizeOutcome
{
    int blocks = 0;      // complete blocks
    int voiceBlocks = 0; // before smoothing
    float averageVoice = 0;
    int spurtsRaised = 0;
    // No voice block: nothing to measure the voice by, the audio is as it was.
    bool noVoice() const { return voiceBlocks == 0; }
};

// The mean of |x - 128|, summed and divided in single precision.
float levelOf(const uint8_t* audio, size_t count);

// Block classes by block number (entry 0 is never classified), smoothed:
// a single silent block inside speech is speech, a single loud block inside
// silence is silence, each change seen by the next position.
std::vector<char> classifyBlocks(const uint8_t* audio, size_t size, EqualizeOutcome& outcome,
                                 const Progress& progress = {});
void smoothClasses(std::vector<char>& classes);

// The voice equaliser over 8 kHz 8-bit unsigned audio, in place; progress
// 0..50 while classifying, 50..100 while raising.
EqualizeOutcome equalizeVoice(uint8_t* audio, size_t size, const Progress& progress = {});

} // namespace postprocess
