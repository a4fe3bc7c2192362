#include "postprocess/VoiceEqualizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace postprocess {

namespace {

constexpr char Silence = 'S';
constexpr char Voice = 'V';

int nearestPercent(double part, double whole)
{
    return whole <= 0 ? 0 : int(std::nearbyint(part / whole * 100.0));
}

// Raises one talk spurt, samples first..last inclusive.
void raise(uint8_t* audio, size_t first, size_t last, float gain)
{
    for (size_t i = first; i <= last; ++i) {
        const double y = std::nearbyint(double(int(audio[i]) - 128) * double(gain)) + 128.0;
        audio[i] = uint8_t(std::clamp(y, 0.0, 255.0));
    }
}

} // namespace

float levelOf(const uint8_t* audio, size_t count)
{
    float sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += float(std::abs(int(audio[i]) - 128));
    return count == 0 ? 0.0f : sum / float(count);
}

std::vector<char> classifyBlocks(const uint8_t* audio, size_t size, EqualizeOutcome& outcome,
                                 const Progress& progress)
{
    int shown = -1;
    const size_t blocks = size / EqualizerBlock;
    std::vector<char> classes(blocks + 1, '\0');
    float voiceSum = 0;
    for (size_t b = 1; b <= blocks; ++b) {
        const float level = levelOf(audio + (b - 1) * EqualizerBlock, EqualizerBlock);
        if (level <= SilenceLevel) {
            classes[b] = Silence;
        } else {
            classes[b] = Voice;
            ++outcome.voiceBlocks;
            voiceSum += level;
        }
        const int percent = nearestPercent(double(b * EqualizerBlock), double(size)) / 2;
        if (progress && percent != shown)
            progress(shown = percent);
    }
    outcome.blocks = int(blocks);
    outcome.averageVoice = outcome.voiceBlocks == 0 ? 0.0f : voiceSum / float(outcome.voiceBlocks);
    return classes;
}

void smoothClasses(std::vector<char>& c)
{
    for (size_t i = 1; i + 1 < c.size(); ++i) {
        if (c[i - 1] == Voice && c[i] == Silence && c[i + 1] == Voice)
            c[i] = Voice;
        if (c[i - 1] == Silence && c[i] == Voice && c[i + 1] == Silence)
            c[i] = Silence;
    }
}

EqualizeOutcome equalizeVoice(uint8_t* audio, size_t size, const Progress& progress)
{
    EqualizeOutcome outcome;
    std::vector<char> c = classifyBlocks(audio, size, outcome, progress);
    if (progress)
        progress(50);
    if (outcome.noVoice())
        return outcome; // no average to raise to (0 / 0)
    smoothClasses(c);
    const long last = long(outcome.blocks) - 1; // B - 1
    long j = -1;
    while (true) {
        do
            ++j;
        while (!(c[size_t(j)] == Silence && c[size_t(j) + 1] == Voice) && j != last);
        const size_t start = size_t(j) * EqualizerBlock;
        if (progress)
            progress(50 + nearestPercent(double(j), double(outcome.blocks)) / 2);
        if (j == last)
            break;
        do
            ++j;
        while (!(c[size_t(j)] == Voice && c[size_t(j) + 1] == Silence) && j != last);
        const size_t end = size_t(j) * EqualizerBlock;
        const float level = levelOf(audio + start, end - start + 1);
        if (level > 0 && level < outcome.averageVoice) {
            const auto gain = float(double(outcome.averageVoice) / double(level) * TargetFactor);
            raise(audio, start, end, gain);
            ++outcome.spurtsRaised;
        }
        if (j == last)
            break;
    }
    return outcome;
}

} // namespace postprocess
