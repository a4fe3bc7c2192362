#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace postprocess {

// Called now and then during long work with the percentage done.
using Progress = std::function<void(int percent)>;

// The volume level's slider runs from -50 to 100 percent.
constexpr int MinLevelPercent = -50;
constexpr int MaxLevelPercent = 100;

// Every sample of 8 kHz 8-bit unsigned audio times 1 + percent / 100, in
// double precision, rounded half to even and clamped to 0..255, in place.
// Progress is reported every n / 100 samples (never for fewer than 100).
void applyVolumeLevel(uint8_t* audio, size_t size, int percent, const Progress& progress = {});

} // namespace postprocess
