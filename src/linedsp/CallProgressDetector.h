#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <span>

// Recognises the tones an exchange sends once the far end has hung up: a
// continuous dial tone, or a busy or reorder cadence, of the North American
// (350+440 Hz, 480+620 Hz), UK (350+450 Hz, 400 Hz), European and
// Australian (425 Hz) plans.
//
// A state object fed with blocks of 8 kHz unsigned 8-bit samples of any
// length; no clock, no I/O, no allocation. The samples are cut into 25 ms
// frames; each frame is fitted with the sinusoids of each tone family, and
// a frame counts as a tone only when such a fit explains nearly all of its
// energy. A tone must also hold its frequency: speech glides and music
// wavers, an exchange's oscillator does not.
class CallProgressDetector
{
public:
    static constexpr int SampleRate = 8000;
    static constexpr int FrameSize = 200; // 25 ms
    static constexpr int FrameMs = 25;

    // 350 Hz with 440 or 450 Hz; 480+620 Hz; one tone of 400 to 450 Hz.
    enum class Family : uint8_t { None, Dual350_440, Dual480_620, Single400_450 };

    struct Detection
    {
        Family family = Family::None;
        bool continuous = false; // a dial tone; otherwise a cadence
        int onMs = 0;            // a cadence's last on and off times
        int offMs = 0;
        std::array<double, 2> frequencies{}; // measured; the second is 0 for a single tone
        // "dial tone 350+440 Hz", "busy/reorder cadence 480+620 Hz 500/500 ms"
        QString describe() const;
    };

    // Raised once per tone recognised; detection starts again afterwards.
    std::function<void(const Detection&)> OnTone;

    CallProgressDetector();
    void reset();
    void process(std::span<const uint8_t> samples);

    // For tests and tuning: what the last frame was judged to be.
    Family lastFrameFamily() const { return m_lastFamily; }
    // The last frame belongs to a tone that has held its frequency for
    // several frames: an exchange's oscillator, not a vowel.
    bool inSteadyTone() const { return m_burstOpen && m_glitches == 0 && m_on.steady(); }

private:
    struct FrameResult
    {
        Family family = Family::None;
        double power = 0; // mean square, in 8-bit steps
        // Measured per group of components once two frames of a tone are
        // known (0 before), and their mean, whose steadiness is judged.
        std::array<double, 2> frequencies{};
        double frequency = 0;
    };

    struct Run
    {
        Family family = Family::None;
        int frames = 0;
        double powerSum = 0;
        double powerMin = 0;
        double powerMax = 0;
        // Frequency estimates: count, sums per group, of the mean, its squares.
        int estimates = 0;
        std::array<double, 2> groupSums{};
        double freqSum = 0;
        double freqSquares = 0;
        void start(Family f, double power);
        void add(const FrameResult& frame);
        double meanPower() const { return frames ? powerSum / frames : 0; }
        bool steady() const;
        double meanFrequency() const { return estimates ? freqSum / estimates : 0; }
        std::array<double, 2> meanFrequencies() const;
    };

    struct Cycle
    {
        int onFrames;
        int offFrames;
        double power;
        double frequency;
        std::array<double, 2> frequencies;
    };

    // Complex amplitudes per component of a family's fit.
    struct Phases
    {
        std::array<double, 3> re{};
        std::array<double, 3> im{};
        std::array<double, 3> power{};
    };

    FrameResult analyseFrame();
    static void measureFrequencies(size_t family, const Phases& now, const Phases& before, FrameResult& result);
    void frameJudged(const FrameResult& frame);
    void toneFrame(const FrameResult& frame);
    void otherFrame(const FrameResult& frame);
    void endOfBurst();
    bool cadenceHolds() const;
    void detected(const Detection& detection);
    void restart();

    std::array<double, FrameSize> m_frame{};
    int m_fill = 0;

    std::array<Phases, 4> m_lastPhases{}; // of the last frame, by family
    Family m_lastFamily = Family::None;

    Run m_on;             // the tone running now
    int m_offFrames = 0;  // quiet frames since the last burst
    int m_glitches = 0;   // odd frames tolerated inside a burst
    std::array<Cycle, 4> m_cycles{};
    int m_cycleCount = 0; // cycles of the cadence so far (at most 4 kept)
    bool m_burstOpen = false;
};
