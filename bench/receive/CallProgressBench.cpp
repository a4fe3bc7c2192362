// The call-progress tone detector on one line: one iteration is one second
// of audio in the engine's 1536-sample blocks, so the CPU time per iteration
// is the share of one core it adds to a call.
#include "linedsp/CallProgressDetector.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

namespace {

constexpr int Rate = 8000;

// Speech-like sound, the common case: the detector looks at every frame.
std::vector<uint8_t> oneSecond()
{
    std::vector<uint8_t> s(Rate);
    for (int i = 0; i < Rate; ++i) {
        const double t = double(i) / Rate;
        const double v = 40 * std::sin(2 * M_PI * 180 * t) + 20 * std::sin(2 * M_PI * 540 * t)
                       + 10 * std::sin(2 * M_PI * 1300 * t * (1 + 0.1 * std::sin(2 * M_PI * 3 * t)));
        s[size_t(i)] = uint8_t(std::lround(128 + v));
    }
    return s;
}

void BM_CallProgressOneSecond(benchmark::State& state)
{
    const std::vector<uint8_t> second = oneSecond();
    std::vector<uint8_t> stream;
    for (int i = 0; i < 6; ++i) // blocks do not fall on second boundaries
        stream.insert(stream.end(), second.begin(), second.end());
    CallProgressDetector detector;
    size_t at = 0;
    for (auto _ : state) {
        for (int fed = 0; fed < Rate; fed += 1536) {
            if (at + 1536 > stream.size())
                at = 0;
            detector.process(std::span(stream.data() + at, 1536));
            at += 1536;
        }
    }
    state.counters["core_pct"] =
        benchmark::Counter(double(state.iterations()) / 100.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CallProgressOneSecond)->Unit(benchmark::kMicrosecond);

} // namespace
