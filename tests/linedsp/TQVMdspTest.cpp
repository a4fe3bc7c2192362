#include "linedsp/TQVMdsp.h"

#include <QStringList>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr int BlockSize = 1536;
using Block = std::vector<uint8_t>;

// Blocks as the engine delivers them, cut from a continuous signal.
std::vector<Block> toBlocks(const std::vector<uint8_t>& signal)
{
    std::vector<Block> blocks;
    for (size_t at = 0; at + BlockSize <= signal.size(); at += BlockSize)
        blocks.emplace_back(signal.begin() + long(at), signal.begin() + long(at + BlockSize));
    return blocks;
}

// Alternating 127/129 has a deviation of about 1.0; 128 constant is 0.
Block flatBlock(uint8_t level = 128) { return Block(BlockSize, level); }

Block loudBlock()
{
    Block b(BlockSize);
    for (int i = 0; i < BlockSize; ++i)
        b[size_t(i)] = uint8_t(128 + ((i / 4) % 2 ? 20 : -20));
    return b;
}

// A block whose upward crossings sit at the given positions: 100 just
// before, 150 just after, and the mid level everywhere else.
Block crossingsAt(const std::vector<int>& positions)
{
    Block b(BlockSize, 127);
    for (const int p : positions) {
        b[size_t(p - 1)] = 100;
        b[size_t(p + 1)] = 150;
    }
    return b;
}

// Buzzes (|x-128| = 10) for onMs, then stays at 128 for offMs, repeated.
std::vector<uint8_t> cadence(int onMs, int offMs, int cycles, bool startOff)
{
    std::vector<uint8_t> s;
    const auto add = [&](int ms, bool on) {
        for (int i = 0; i < ms * 8; ++i)
            s.push_back(on ? uint8_t(i % 2 ? 118 : 138) : uint8_t(128));
    };
    if (startOff)
        add(offMs, false);
    for (int c = 0; c < cycles; ++c) {
        add(onMs, true);
        add(offMs, false);
    }
    return s;
}

struct Recorder
{
    explicit Recorder(TQVMdsp& dsp)
    {
        dsp.OnSilence = [this](TQVMdsp*) { silenceAt.push_back(block); };
        dsp.OnPeriodic = [this](TQVMdsp*) { periodicAt.push_back(block); };
        dsp.OnCadence = [this](TQVMdsp*, double period, int duty) { cycles.push_back({period, duty}); };
        dsp.OnCadenceDisc = [this](TQVMdsp*) { discAtCycle.push_back(int(cycles.size())); };
        dsp.OnCriticalError = [this](TQVMdsp*, const QString& msg, const QString& line) {
            errors.append(line);
            messages.append(msg);
        };
    }
    void feed(TQVMdsp& dsp, const Block& b)
    {
        ++block;
        dsp.ProcessBlock(b);
    }

    int block = 0; // 1-based number of the block being processed
    std::vector<int> silenceAt;
    std::vector<int> periodicAt;
    std::vector<std::pair<double, int>> cycles;
    std::vector<int> discAtCycle;
    QStringList errors;
    QStringList messages;
};

TQVMdsp silenceDetector(int dim)
{
    TQVMdsp dsp;
    dsp.Silence = true;
    dsp.SilenceDim = dim;
    dsp.ResetDetector();
    return dsp;
}

TEST(SilenceDetection, QuietLineRaisesFirstOnBlock51ThenEveryBlock)
{
    TQVMdsp dsp = silenceDetector(50);
    Recorder r(dsp);
    Block hiss = flatBlock();
    for (size_t i = 0; i < hiss.size(); i += 7)
        hiss[i] = 129; // deviation about 0.35, still below the threshold
    for (int i = 0; i < 55; ++i)
        r.feed(dsp, hiss);
    EXPECT_EQ(r.silenceAt, (std::vector<int>{51, 52, 53, 54, 55}));
    EXPECT_LT(dsp.SilenceValue(), 1.0f);
    EXPECT_GT(dsp.SilenceValue(), 0.0f);
}

TEST(SilenceDetection, NeedsAtLeast85PercentOfTheWindow)
{
    for (const int silentBlocks : {42, 43}) {
        TQVMdsp dsp = silenceDetector(50);
        Recorder r(dsp);
        for (int i = 0; i < 50; ++i)
            r.feed(dsp, loudBlock()); // fill the window
        for (int i = 0; i < 50 - silentBlocks; ++i)
            r.feed(dsp, loudBlock());
        for (int i = 0; i < silentBlocks; ++i)
            r.feed(dsp, flatBlock());
        if (silentBlocks == 42) {
            EXPECT_TRUE(r.silenceAt.empty());
        } else {
            ASSERT_FALSE(r.silenceAt.empty());
            EXPECT_EQ(r.silenceAt.front(), 100);
        }
    }
}

TEST(SilenceDetection, ZeroWindowRaisesOnEveryBlock)
{
    TQVMdsp dsp = silenceDetector(0);
    Recorder r(dsp);
    for (int i = 0; i < 3; ++i)
        r.feed(dsp, loudBlock());
    EXPECT_EQ(r.silenceAt, (std::vector<int>{1, 2, 3}));
}

TEST(SilenceDetection, WindowGrownWithoutResetFailsUntilNextReset)
{
    TQVMdsp dsp = silenceDetector(2);
    Recorder r(dsp);
    dsp.SilenceDim = 5; // the window array still has room for 2
    for (int i = 0; i < 4; ++i)
        r.feed(dsp, flatBlock());
    ASSERT_EQ(r.errors.size(), 2);
    EXPECT_EQ(r.errors.at(0), QStringLiteral("arSil[arSilCount] := 1"));
    EXPECT_EQ(r.messages.at(0), QStringLiteral("Range check error"));
    EXPECT_TRUE(r.silenceAt.empty());

    dsp.ResetDetector();
    r.errors.clear();
    for (int i = 0; i < 6; ++i)
        r.feed(dsp, flatBlock());
    EXPECT_TRUE(r.errors.isEmpty());
    EXPECT_EQ(r.silenceAt.size(), 1u);
}

TEST(SilenceDetection, LogsTheDeviationWhenAsked)
{
    TQVMdsp dsp = silenceDetector(10);
    QStringList lines;
    dsp.Logger = [&](const QString& line) { lines.append(line); };
    dsp.LoggerOptions.Silence = true;
    dsp.ProcessBlock(flatBlock());
    EXPECT_EQ(lines, QStringList{QStringLiteral("silence Stdv  0")});
}

std::vector<int> spacedCrossings(const std::vector<int>& intervals)
{
    std::vector<int> positions{20};
    for (const int d : intervals)
        positions.push_back(positions.back() + d);
    return positions;
}

bool periodic(const Block& block)
{
    TQVMdsp dsp;
    dsp.Periodic = true;
    Recorder r(dsp);
    r.feed(dsp, block);
    return !r.periodicAt.empty();
}

TEST(PeriodicDetection, ThirteenSlightlyUnevenCrossingsArePeriodic)
{
    // 13 crossings: the first 11 spacings alternate 18 and 19; the 12th,
    // between the last two crossings, is not used.
    std::vector<int> spacings;
    for (int k = 0; k < 11; ++k)
        spacings.push_back(k % 2 ? 19 : 18);
    spacings.push_back(40);
    EXPECT_TRUE(periodic(crossingsAt(spacedCrossings(spacings))));

    std::vector<int> twelve(11, 18); // 12 crossings
    twelve[0] = 19;
    EXPECT_FALSE(periodic(crossingsAt(spacedCrossings(twelve))));

    EXPECT_FALSE(periodic(crossingsAt(spacedCrossings(std::vector<int>(12, 18))))) << "constant spacing";
    std::vector<int> ragged{18, 30, 18, 30, 18, 30, 18, 30, 18, 30, 18, 30};
    EXPECT_FALSE(periodic(crossingsAt(spacedCrossings(ragged)))) << "deviation above 1";
}

Block tone(double hz)
{
    Block b(BlockSize);
    for (int i = 0; i < BlockSize; ++i)
        b[size_t(i)] = uint8_t(std::lround(128 + 60 * std::sin(2 * M_PI * hz * i / 8000.0)));
    return b;
}

TEST(PeriodicDetection, HighTonesAreMeasuredThroughTheHoldOff)
{
    EXPECT_TRUE(periodic(tone(425.0)));  // 18.8 samples between crossings
    EXPECT_TRUE(periodic(tone(1100.0))); // every second crossing survives: 14 or 15 apart
    // Crossings exactly 16 apart fail the spacing test, yet a PBX sends
    // just such a tone: the steady-tone check hears it.
    EXPECT_TRUE(periodic(tone(1000.0)));
    // Crossings 11 and 12 apart: those 11 after a kept one fall in the
    // hold-off, so the kept ones are evenly 23 apart.
    std::vector<int> close;
    for (int k = 0; k < 40; ++k)
        close.push_back(k % 2 ? 12 : 11);
    EXPECT_FALSE(periodic(crossingsAt(spacedCrossings(close))));
    EXPECT_FALSE(periodic(flatBlock()));
    EXPECT_TRUE(periodic(loudBlock())) << "a square wave of 8-sample steps is a steady tone";
}

std::vector<std::pair<double, int>> runCadence(const std::vector<uint8_t>& signal, std::vector<int>* disc = nullptr)
{
    TQVMdsp dsp;
    dsp.Cadence = true;
    Recorder r(dsp);
    for (const Block& b : toBlocks(signal))
        r.feed(dsp, b);
    if (disc)
        *disc = r.discAtCycle;
    return r.cycles;
}

TEST(CadenceDetection, BusyToneFromAnOffStart)
{
    std::vector<int> disc;
    const auto cycles = runCadence(cadence(256, 256, 6, true), &disc);
    ASSERT_GE(cycles.size(), 5u);
    EXPECT_EQ(cycles[0], std::make_pair(264.0, 2));
    EXPECT_EQ(cycles[1], std::make_pair(512.0, 50));
    EXPECT_EQ(cycles[2], std::make_pair(512.0, 50));
    ASSERT_FALSE(disc.empty());
    EXPECT_EQ(disc.front(), 4) << "only when three whole cycles agree";
}

TEST(CadenceDetection, DutyAndPeriodLimits)
{
    std::vector<int> disc;
    runCadence(cadence(124, 276, 8, false), &disc); // 31 %
    EXPECT_FALSE(disc.empty());
    runCadence(cadence(120, 280, 8, false), &disc); // 30 %
    EXPECT_TRUE(disc.empty());
    runCadence(cadence(280, 120, 8, false), &disc); // 70 %
    EXPECT_TRUE(disc.empty());
    runCadence(cadence(24, 24, 40, false), &disc); // 48 ms
    EXPECT_TRUE(disc.empty());
    runCadence(cadence(64, 60, 40, false), &disc); // 124 ms: a trill in music, no exchange's cadence
    EXPECT_TRUE(disc.empty());
    const auto cycles = runCadence(cadence(4, 1200, 6, false), &disc); // 0 % duty
    EXPECT_TRUE(disc.empty());
    ASSERT_FALSE(cycles.empty());
    EXPECT_EQ(cycles.back().second, 0);
}

TEST(CadenceDetection, LogsEachCycleAndBuffer)
{
    TQVMdsp dsp;
    dsp.Cadence = true;
    QStringList lines;
    dsp.Logger = [&](const QString& line) { lines.append(line); };
    dsp.LoggerOptions.ArDimS = dsp.LoggerOptions.CadenceOn = dsp.LoggerOptions.CadenceOff = dsp.LoggerOptions.MeanVal = true;
    for (const Block& b : toBlocks(cadence(256, 256, 2, true)))
        dsp.ProcessBlock(b);
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines.mid(0, 2), (QStringList{QStringLiteral("ar1 2048"), QStringLiteral("Mean value 128")}));
    EXPECT_EQ(lines.mid(2, 3), (QStringList{QStringLiteral("ar1 2048"), QStringLiteral("on  4"), QStringLiteral("off 260")}));
}

TEST(Detector, DisabledBlocksLeaveNoTrace)
{
    const auto signal = cadence(256, 256, 6, true);
    TQVMdsp dsp;
    dsp.Cadence = dsp.Silence = true;
    dsp.SilenceDim = 1;
    dsp.ResetDetector();
    Recorder r(dsp);
    dsp.Enable = false;
    for (int i = 0; i < 7; ++i) // not a multiple of the cadence buffer
        r.feed(dsp, loudBlock());
    EXPECT_TRUE(r.cycles.empty());
    dsp.Enable = true;
    for (const Block& b : toBlocks(signal))
        r.feed(dsp, b);
    EXPECT_EQ(r.cycles, runCadence(signal));
}

TEST(Detector, SampleStandardDeviationUsesNMinusOne)
{
    const std::vector<double> v{1, 2, 3, 4};
    EXPECT_DOUBLE_EQ(TQVMdsp::sampleStdDev(v), std::sqrt(5.0 / 3.0));
    EXPECT_EQ(TQVMdsp::sampleStdDev(std::vector<double>{7}), 0.0);
}

} // namespace
