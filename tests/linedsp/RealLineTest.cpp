// Real voices and real music on a line, judged with the detectors' default
// switches and the call's counting rules: nothing of them ends a call, while
// the exchange's tones after them still do.
#include "RealLine.h"

#include "linedsp/CallEndRules.h"
#include "linedsp/TQVMdsp.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

constexpr int BlockSize = 1536;
constexpr double BlockSeconds = BlockSize / 8000.0;

struct Switches
{
    bool periodic = true, cadence = true, tones = true;
};

struct Ending
{
    QString what; // empty: the call ran to the end of the samples
    double atSeconds = 0;
};

// The first disconnect of a call the program recorded.
Ending firstDisconnect(const std::vector<uint8_t>& line, Switches on = {})
{
    TQVMdsp dsp;
    dsp.Periodic = on.periodic;
    dsp.Cadence = on.cadence;
    dsp.CallProgress = on.tones;
    dsp.SilenceDim = 50;
    dsp.ResetDetector();
    SilenceBackstop backstop;
    int periodicCount = 0;
    int64_t lastPeriodic = 0;
    Ending ending;
    const auto end = [&](const QString& what) {
        if (ending.what.isEmpty()) {
            ending.what = what;
            ending.atSeconds = double(dsp.blocks()) * BlockSeconds;
        }
    };
    dsp.OnPeriodic = [&](TQVMdsp*) {
        if (PeriodicSignalRule::periodicBlock(periodicCount, lastPeriodic, dsp.blocks()))
            end(QStringLiteral("periodic signal"));
    };
    dsp.OnCadenceDisc = [&](TQVMdsp*) { end(QStringLiteral("cadence")); };
    dsp.OnCallProgress = [&](TQVMdsp*, const QString& tone) { end(tone); };
    for (size_t at = 0; at + BlockSize <= line.size() && ending.what.isEmpty(); at += BlockSize) {
        dsp.ProcessBlock(std::span(line.data() + at, BlockSize));
        backstop.audio(line.data() + at, BlockSize);
        if (backstop.ends())
            end(QStringLiteral("silence backstop"));
    }
    return ending;
}

QStringList prompts()
{
    const QStringList files = realline::spokenPrompts();
    EXPECT_GT(files.size(), 150) << "install the Debian package asterisk-prompt-es-co (scripts/install-deps.sh)";
    return files;
}

// Eight minutes of one speaker, loud to faint, clean and in line noise; a
// piece of music whose rhythm once passed for a busy cadence.
TEST(RealRecordings, SpeechAndMusicNeverEndACall)
{
    const QStringList speech = prompts();
    const QStringList music{realline::excerpt(QStringLiteral("planetblupi-music000-140s.flac"))};
    struct Case
    {
        const char* name;
        const QStringList& files;
        std::vector<double> levels;
    } cases[] = {
        {"speech", speech, {-6, -12, -24, -36}},
        {"music", music, {-6, -7, -9, -12, -18, -24, -30, -36}},
    };
    for (const Case& c : cases)
        for (const double level : c.levels)
            for (const bool noise : {false, true}) {
                SCOPED_TRACE(testing::Message() << c.name << ' ' << level << " dBFS" << (noise ? " in noise" : ""));
                const std::vector<uint8_t> line = realline::onLine(c.files, level, noise);
                ASSERT_GT(line.size(), size_t(10 * 8000));
                const Ending ending = firstDisconnect(line);
                EXPECT_TRUE(ending.what.isEmpty()) << qPrintable(ending.what) << " at " << ending.atSeconds << " s";
            }
}

// After ten seconds of speech the line carries what an exchange or a PBX
// sends when the far end has gone; each detector, alone, ends the call in time.
TEST(RealRecordings, ToneAfterSpeechEndsTheCall)
{
    const QStringList speech = prompts();
    struct Case
    {
        const char* name;
        double frequency;
        int onMs, offMs; // 0: continuous
        Switches on;
        QString ends;
        double withinSeconds;
        std::vector<double> levels = {-6.0, -18.0};
        double secondFrequency = 0;
    } cases[] = {
        {"PBX tone 600 Hz", 600, 0, 0, {true, false, false}, QStringLiteral("periodic signal"), 5.0},
        {"PBX tone 425 Hz", 425, 0, 0, {true, false, false}, QStringLiteral("periodic signal"), 5.0},
        // Faint low tones: a few steps of the 8-bit line, their crossings moved by the noise.
        {"PBX tone 300 Hz", 300, 0, 0, {true, false, false}, QStringLiteral("periodic signal"), 5.0, {-24, -30, -36}},
        {"busy 425 Hz", 425, 500, 500, {false, true, false}, QStringLiteral("cadence"), 5.0},
        {"reorder 425 Hz", 425, 250, 250, {false, true, false}, QStringLiteral("cadence"), 3.0},
        {"dial tone 425 Hz", 425, 0, 0, {false, false, true}, QStringLiteral("dial tone 425 Hz"), 3.0},
        {"dial tone 350+440 Hz", 350, 0, 0, {false, false, true}, QStringLiteral("dial tone 350+440 Hz"), 3.0,
         {-6, -36}, 440},
    };
    std::mt19937 random(7);
    // Hiss at about -55 dBFS, hum at -50 dBFS peak, and the dither of an 8-bit line.
    std::normal_distribution<double> hiss(0.0, 0.23);
    std::uniform_real_distribution<double> dither(-0.5, 0.5);
    const auto lineNoise = [&](int i) {
        return hiss(random) + dither(random) + dither(random) + 0.2 * std::sin(2 * M_PI * 50 * i / 8000.0)
             + 0.2 * std::sin(2 * M_PI * 150 * i / 8000.0);
    };
    for (const Case& c : cases)
        for (const double level : c.levels) {
            SCOPED_TRACE(testing::Message() << c.name << ' ' << level << " dBFS");
            std::vector<uint8_t> line = realline::onLine(speech, level, true, 10.0);
            ASSERT_EQ(line.size(), size_t(80000));
            const double amplitude = 128.0 * std::pow(10.0, level / 20) / (c.secondFrequency > 0 ? 2 : 1);
            for (int i = 0; i < 8 * 8000; ++i) {
                const int ms = i / 8;
                const bool sounding = c.onMs == 0 || ms % (c.onMs + c.offMs) < c.onMs;
                const double v = sounding ? amplitude * (std::sin(2 * M_PI * c.frequency * i / 8000.0)
                                                         + std::sin(2 * M_PI * c.secondFrequency * i / 8000.0))
                                          : 0.0;
                line.push_back(uint8_t(std::clamp(std::lround(128.0 + v + lineNoise(i)), 0L, 255L)));
            }
            const Ending ending = firstDisconnect(line, c.on);
            EXPECT_EQ(ending.what, c.ends);
            EXPECT_GT(ending.atSeconds, 10.0);
            EXPECT_LE(ending.atSeconds, 10.0 + c.withinSeconds);
        }
}

// A run of periodic blocks ends the call; blocks apart, however many, do not.
TEST(PeriodicSignalRule, CountsOnlyARunOfPeriodicBlocks)
{
    struct Case
    {
        const char* name;
        std::vector<int64_t> blocks;
        int endsAt; // index of the event that ends the call; -1: none
    } cases[] = {
        {"a steady tone", {}, PeriodicSignalRule::EventsToDisconnect - 1},
        {"a tone with two blocks missed", {}, PeriodicSignalRule::EventsToDisconnect - 1},
        {"periodic blocks just too far apart", {}, -1},
        {"a new recording", {}, -1},
    };
    for (int64_t b = 1; b <= 40; ++b) {
        cases[0].blocks.push_back(b);
        cases[2].blocks.push_back(b * (PeriodicSignalRule::MaxGapBlocks + 2));
    }
    // Every fourth block is followed by as many missed ones as a run may have.
    for (int64_t b = 1; int(cases[1].blocks.size()) < 40; b += 1 + (b % 4 == 0 ? PeriodicSignalRule::MaxGapBlocks : 0))
        cases[1].blocks.push_back(b);
    for (int r = 0; r < 3; ++r) // the detector is reset every 10 blocks
        for (int64_t b = 1; b <= 10; ++b)
            cases[3].blocks.push_back(b);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int count = 0;
        int64_t last = 0;
        int endedAt = -1;
        for (size_t i = 0; i < c.blocks.size() && endedAt < 0; ++i)
            if (PeriodicSignalRule::periodicBlock(count, last, c.blocks[i]))
                endedAt = int(i);
        EXPECT_EQ(endedAt, c.endsAt);
    }
}

// A line nobody speaks on ends the call after five minutes, whatever its
// noise; the floor follows a line that was dead at first and then hisses.
TEST(SilenceBackstop, EndsAQuietLineOfAnyNoise)
{
    struct Case
    {
        const char* name;
        double deadSeconds;
        double noiseRms; // 8-bit steps
    } cases[] = {
        {"dead line", 0, 0.0},
        {"hiss at -55 dBFS", 0, 0.23},
        {"hiss at -40 dBFS", 0, 1.3},
        {"dead, then hiss at -45 dBFS", 30, 0.72},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 random(5);
        std::normal_distribution<double> white(0.0, c.noiseRms);
        SilenceBackstop backstop;
        backstop.reset();
        double endedAt = -1;
        std::vector<uint8_t> chunk(800); // 100 ms, as a modem's reads come
        for (int n = 0; n < 7 * 600 && endedAt < 0; ++n) {
            for (size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = uint8_t(128 + (n < c.deadSeconds * 10 ? 0 : std::lround(white(random))));
            backstop.audio(chunk.data(), int(chunk.size()));
            if (backstop.ends())
                endedAt = n / 10.0;
        }
        EXPECT_GE(endedAt, 300.0);
        EXPECT_LE(endedAt, 300.0 + c.deadSeconds + 90.0);
    }
}

} // namespace
