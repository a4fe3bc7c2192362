// Apply of both post-processing dialogs on a one-hour recording (28.8 MB of
// 8 kHz 8-bit audio): speech-like talk spurts, a quieter speaker, pauses.
#include "postprocess/VoiceEqualizer.h"
#include "postprocess/VolumeLevel.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

namespace {

constexpr size_t OneHour = 8000u * 3600u;

const std::vector<uint8_t>& oneHour()
{
    static const std::vector<uint8_t> audio = [] {
        std::vector<uint8_t> a(OneHour);
        for (size_t i = 0; i < a.size(); ++i) {
            const size_t second = i / 8000;
            const bool pause = second % 7 == 6;
            const double loudness = second % 14 < 7 ? 40 : 12; // two speakers
            const double t = double(i) / 8000.0;
            const double v = pause ? 0 : loudness * std::sin(2 * M_PI * 190 * t) * (0.6 + 0.4 * std::sin(2 * M_PI * 3 * t));
            a[i] = uint8_t(std::lround(128 + v));
        }
        return a;
    }();
    return audio;
}

void BM_VolumeLevelOneHour(benchmark::State& state)
{
    std::vector<uint8_t> work = oneHour();
    int done = 0;
    for (auto _ : state)
        postprocess::applyVolumeLevel(work.data(), work.size(), 25, [&](int p) { done = p; });
    benchmark::DoNotOptimize(done);
}
BENCHMARK(BM_VolumeLevelOneHour)->Unit(benchmark::kMillisecond);

void BM_VoiceEqualizerOneHour(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<uint8_t> work = oneHour();
        state.ResumeTiming();
        const postprocess::EqualizeOutcome outcome = postprocess::equalizeVoice(work.data(), work.size());
        benchmark::DoNotOptimize(outcome.spurtsRaised);
    }
}
BENCHMARK(BM_VoiceEqualizerOneHour)->Unit(benchmark::kMillisecond);

} // namespace
