#include "CallProgressDetector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using Family = CallProgressDetector::Family;
constexpr int N = CallProgressDetector::FrameSize;
constexpr double Fs = CallProgressDetector::SampleRate;

// A frame is a tone when the fit of one family explains this share of its
// energy; speech and music spread theirs over many more frequencies.
constexpr double ToneShare = 0.72;
// Below this mean square (in 8-bit steps) a frame is too weak to judge: a
// tone at -40 dBFS has 0.8.
constexpr double MinTonePower = 0.3;
// Each component of a dual tone carries at least this share of it.
constexpr double MinComponentShare = 0.12;
// Frames in a row that a burst may have that fit no tone: at -36 dBFS in
// line noise one in thirty does, now and then two together.
constexpr int MaxGlitchFrames = 2;
// A frame after a burst is quiet when it has less of the burst's power.
constexpr double QuietShare = 0.35;
constexpr int ContinuousFrames = 2500 / CallProgressDetector::FrameMs;
constexpr int MinPhaseFrames = 150 / CallProgressDetector::FrameMs;
constexpr int MaxPhaseFrames = 1100 / CallProgressDetector::FrameMs;
constexpr int CadenceCycles = 3;
// How far the frequency of a tone may wander (standard deviation, Hz).
constexpr double MaxFrequencySpread = 1.2;
constexpr double MaxBurstFrequencyDrift = 4.0;
constexpr double MaxPhaseRatio = 2.0; // longest to shortest on (or off) time
constexpr double MaxBurstPowerRatio = 2.5;

constexpr std::array<double, 7> Frequencies = {350, 400, 425, 440, 450, 480, 620};

// A family's components fall into one or two groups of neighbouring
// frequencies: a tone between two of them (446 Hz, or 440 Hz beside 450)
// is still one tone of the family.
struct FamilyDef
{
    Family family;
    int count;
    std::array<int, 3> frequency; // indexes into Frequencies
    std::array<int, 3> group;     // of each component: 0 or 1
    int groups;
};

const std::array<FamilyDef, 3> Families = {{
    {Family::Dual350_440, 3, {0, 3, 4}, {0, 1, 1}, 2}, // 350+440 Hz (North America), 350+450 Hz (UK)
    {Family::Dual480_620, 2, {5, 6, 0}, {0, 1, 0}, 2},
    {Family::Single400_450, 3, {1, 2, 4}, {0, 0, 0}, 1},
}};

// The sinusoids of every frequency over one frame, and per family the
// inverse of the Gram matrix of its cosines and sines: the least-squares
// fit of a frame is then a few dot products.
struct Tables
{
    std::array<std::array<double, N>, Frequencies.size()> cosine{};
    std::array<std::array<double, N>, Frequencies.size()> sine{};
    std::array<std::array<std::array<double, 6>, 6>, Families.size()> inverse{};

    Tables()
    {
        for (size_t f = 0; f < Frequencies.size(); ++f)
            for (int n = 0; n < N; ++n) {
                const double phase = 2 * std::numbers::pi * Frequencies[f] * n / Fs;
                cosine[f][size_t(n)] = std::cos(phase);
                sine[f][size_t(n)] = std::sin(phase);
            }
        for (size_t k = 0; k < Families.size(); ++k)
            inverse[k] = invertGram(Families[k]);
    }

    const std::array<double, N>& basis(const FamilyDef& def, int j) const
    {
        const size_t f = size_t(def.frequency[size_t(j / 2)]);
        return j % 2 == 0 ? cosine[f] : sine[f];
    }

    std::array<std::array<double, 6>, 6> invertGram(const FamilyDef& def) const
    {
        const int m = 2 * def.count;
        double a[6][12] = {};
        for (int i = 0; i < m; ++i) {
            for (int j = 0; j < m; ++j) {
                double dot = 0;
                for (int n = 0; n < N; ++n)
                    dot += basis(def, i)[size_t(n)] * basis(def, j)[size_t(n)];
                a[i][j] = dot;
            }
            a[i][m + i] = 1;
        }
        for (int col = 0; col < m; ++col) { // Gauss-Jordan with partial pivoting
            int pivot = col;
            for (int r = col + 1; r < m; ++r)
                if (std::abs(a[r][col]) > std::abs(a[pivot][col]))
                    pivot = r;
            std::swap(a[col], a[pivot]);
            const double p = a[col][col];
            for (int c = 0; c < 2 * m; ++c)
                a[col][c] /= p;
            for (int r = 0; r < m; ++r) {
                if (r == col)
                    continue;
                const double factor = a[r][col];
                for (int c = 0; c < 2 * m; ++c)
                    a[r][c] -= factor * a[col][c];
            }
        }
        std::array<std::array<double, 6>, 6> inv{};
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < m; ++j)
                inv[size_t(i)][size_t(j)] = a[i][m + j];
        return inv;
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

// The phase a tone of exactly this frequency advances from one frame to the next.
double frameAdvance(double frequency)
{
    return 2 * std::numbers::pi * frequency * N / Fs;
}

double wrap(double phase)
{
    return std::remainder(phase, 2 * std::numbers::pi);
}

double ratio(double a, double b)
{
    return std::max(a, b) / std::max(std::min(a, b), 1e-12);
}

} // namespace

QString CallProgressDetector::Detection::describe() const
{
    QString tone = QString::number(qRound(frequencies[0]));
    if (frequencies[1] > 0)
        tone += QLatin1Char('+') + QString::number(qRound(frequencies[1]));
    if (continuous)
        return QStringLiteral("dial tone %1 Hz").arg(tone);
    return QStringLiteral("busy/reorder cadence %1 Hz %2/%3 ms").arg(tone).arg(onMs).arg(offMs);
}

CallProgressDetector::CallProgressDetector()
{
    tables(); // built now, not on the first block of a call
    reset();
}

void CallProgressDetector::reset()
{
    m_fill = 0;
    m_lastFamily = Family::None;
    restart();
}

void CallProgressDetector::restart()
{
    m_on = Run();
    m_burstOpen = false;
    m_offFrames = 0;
    m_glitches = 0;
    m_cycleCount = 0;
}

void CallProgressDetector::process(std::span<const uint8_t> samples)
{
    for (const uint8_t s : samples) {
        m_frame[size_t(m_fill++)] = double(s) - 128.0;
        if (m_fill == N) {
            m_fill = 0;
            frameJudged(analyseFrame());
        }
    }
}

CallProgressDetector::FrameResult CallProgressDetector::analyseFrame()
{
    const Tables& t = tables();
    double mean = 0;
    for (const double x : m_frame)
        mean += x;
    mean /= N;
    double energy = 0;
    for (double& x : m_frame) {
        x -= mean;
        energy += x * x;
    }
    std::array<double, Frequencies.size()> c{}, s{};
    for (size_t f = 0; f < Frequencies.size(); ++f) {
        double cf = 0, sf = 0;
        for (int n = 0; n < N; ++n) {
            cf += m_frame[size_t(n)] * t.cosine[f][size_t(n)];
            sf += m_frame[size_t(n)] * t.sine[f][size_t(n)];
        }
        c[f] = cf;
        s[f] = sf;
    }

    FrameResult result;
    result.power = energy / N;
    double bestShare = 0;
    size_t best = 0;
    std::array<Phases, Families.size() + 1> phases{};
    for (size_t k = 0; k < Families.size(); ++k) {
        const FamilyDef& def = Families[k];
        const int m = 2 * def.count;
        std::array<double, 6> v{};
        for (int i = 0; i < def.count; ++i) {
            v[size_t(2 * i)] = c[size_t(def.frequency[size_t(i)])];
            v[size_t(2 * i + 1)] = s[size_t(def.frequency[size_t(i)])];
        }
        std::array<double, 6> beta{};
        double captured = 0;
        for (int i = 0; i < m; ++i) {
            for (int j = 0; j < m; ++j)
                beta[size_t(i)] += t.inverse[k][size_t(i)][size_t(j)] * v[size_t(j)];
            captured += v[size_t(i)] * beta[size_t(i)];
        }
        Phases& p = phases[size_t(def.family)];
        std::array<double, 2> groupPower{};
        for (int i = 0; i < def.count; ++i) {
            p.re[size_t(i)] = beta[size_t(2 * i)];
            p.im[size_t(i)] = -beta[size_t(2 * i + 1)];
            p.power[size_t(i)] = p.re[size_t(i)] * p.re[size_t(i)] + p.im[size_t(i)] * p.im[size_t(i)];
            groupPower[size_t(def.group[size_t(i)])] += p.power[size_t(i)];
        }
        const double total = groupPower[0] + groupPower[1];
        const bool twistOk = def.groups == 1 || std::min(groupPower[0], groupPower[1]) >= MinComponentShare * total;
        const double share = energy > 0 ? captured / energy : 0;
        if (twistOk && share > bestShare) {
            bestShare = share;
            best = k;
        }
    }
    const Family family = Families[best].family;
    if (bestShare >= ToneShare && result.power >= MinTonePower) {
        result.family = family;
        if (m_lastFamily == family)
            measureFrequencies(best, phases[size_t(family)], m_lastPhases[size_t(family)], result);
    }
    m_lastPhases = phases;
    m_lastFamily = result.family;
    return result;
}

// The phase advance of a component since the last frame measures its
// frequency; each group is measured on its strongest component.
void CallProgressDetector::measureFrequencies(size_t family, const Phases& now, const Phases& before,
                                              FrameResult& result)
{
    const FamilyDef& def = Families[family];
    std::array<int, 2> strongest = {-1, -1};
    for (int i = 0; i < def.count; ++i) {
        int& s = strongest[size_t(def.group[size_t(i)])];
        if (s < 0 || now.power[size_t(i)] > now.power[size_t(s)])
            s = i;
    }
    double sum = 0;
    for (int g = 0; g < def.groups; ++g) {
        const size_t i = size_t(strongest[size_t(g)]);
        const double f0 = Frequencies[size_t(def.frequency[i])];
        const double advance = std::atan2(now.im[i], now.re[i]) - std::atan2(before.im[i], before.re[i]);
        result.frequencies[size_t(g)] = f0 + wrap(advance - frameAdvance(f0)) * Fs / (2 * std::numbers::pi * N);
        sum += result.frequencies[size_t(g)];
    }
    result.frequency = sum / def.groups;
}

// --- Runs of frames ----------------------------------------------------------------

void CallProgressDetector::Run::start(Family f, double power)
{
    *this = Run();
    family = f;
    frames = 1;
    powerSum = power;
}

void CallProgressDetector::Run::add(const FrameResult& frame)
{
    // The first frame may hold the start of the tone only: its power and
    // frequency are not counted for steadiness.
    powerMin = frames == 1 ? frame.power : std::min(powerMin, frame.power);
    powerMax = frames == 1 ? frame.power : std::max(powerMax, frame.power);
    ++frames;
    powerSum += frame.power;
    if (frame.frequency > 0) {
        ++estimates;
        groupSums[0] += frame.frequencies[0];
        groupSums[1] += frame.frequencies[1];
        freqSum += frame.frequency;
        freqSquares += frame.frequency * frame.frequency;
    }
}

std::array<double, 2> CallProgressDetector::Run::meanFrequencies() const
{
    if (estimates == 0)
        return {};
    return {groupSums[0] / estimates, groupSums[1] / estimates};
}

bool CallProgressDetector::Run::steady() const
{
    if (estimates < 3)
        return false;
    const double mean = freqSum / estimates;
    const double variance = std::max(0.0, freqSquares / estimates - mean * mean);
    return std::sqrt(variance) <= MaxFrequencySpread;
}

// --- Decisions -------------------------------------------------------------------

void CallProgressDetector::frameJudged(const FrameResult& frame)
{
    if (frame.family != Family::None)
        toneFrame(frame);
    else
        otherFrame(frame);
}

void CallProgressDetector::toneFrame(const FrameResult& frame)
{
    if (m_burstOpen && m_on.family == frame.family) {
        m_on.add(frame);
        m_glitches = 0;
        const bool levelSteady = m_on.frames > 2 && ratio(m_on.powerMax, m_on.powerMin) <= 2.0;
        if (m_on.frames >= ContinuousFrames && m_on.steady() && levelSteady) {
            Detection d;
            d.family = m_on.family;
            d.continuous = true;
            d.frequencies = m_on.meanFrequencies();
            detected(d);
        }
        return;
    }
    if (m_burstOpen) { // another tone straight after: nothing this detector knows
        restart();
    } else if (m_cycleCount > 0 && m_cycles[size_t(m_cycleCount - 1)].onFrames > 0
               && m_on.family == frame.family && m_offFrames >= MinPhaseFrames) {
        // A burst after a quiet gap: the cycle before it is complete.
        Cycle& last = m_cycles[size_t(m_cycleCount - 1)];
        last.offFrames = m_offFrames;
        if (m_cycleCount >= CadenceCycles && cadenceHolds()) {
            Detection d;
            d.family = frame.family;
            d.onMs = last.onFrames * FrameMs;
            d.offMs = last.offFrames * FrameMs;
            d.frequencies = last.frequencies;
            detected(d);
            return;
        }
    } else {
        m_cycleCount = 0;
    }
    m_on.start(frame.family, frame.power);
    m_burstOpen = true;
    m_offFrames = 0;
    m_glitches = 0;
}

void CallProgressDetector::otherFrame(const FrameResult& frame)
{
    if (m_burstOpen) {
        if (frame.power <= QuietShare * m_on.meanPower()) {
            endOfBurst();
            m_offFrames = 1;
        } else if (++m_glitches > MaxGlitchFrames) {
            restart(); // something else is on the line
        }
        return;
    }
    if (m_cycleCount == 0)
        return;
    const Cycle& last = m_cycles[size_t(m_cycleCount - 1)];
    if (frame.power > QuietShare * last.power || ++m_offFrames > MaxPhaseFrames)
        restart();
}

// A burst has ended: it becomes the on time of a new cycle when it was
// a steady tone of a cadence's length.
void CallProgressDetector::endOfBurst()
{
    m_burstOpen = false;
    const bool usable = m_on.frames >= MinPhaseFrames && m_on.frames <= MaxPhaseFrames && m_on.steady();
    if (!usable) {
        m_cycleCount = 0;
        return;
    }
    if (m_cycleCount == int(m_cycles.size())) { // keep the latest ones
        std::rotate(m_cycles.begin(), m_cycles.begin() + 1, m_cycles.end());
        --m_cycleCount;
    }
    m_cycles[size_t(m_cycleCount++)] =
        Cycle{m_on.frames, 0, m_on.meanPower(), m_on.meanFrequency(), m_on.meanFrequencies()};
}

// The cycles so far (the last without its off time yet) keep one family,
// one frequency, one level, and on and off times of one pattern.
bool CallProgressDetector::cadenceHolds() const
{
    const int n = m_cycleCount;
    double onMin = 1e9, onMax = 0, offMin = 1e9, offMax = 0, pMin = 1e9, pMax = 0, fMin = 1e9, fMax = 0;
    for (int i = 0; i < n; ++i) {
        const Cycle& c = m_cycles[size_t(i)];
        onMin = std::min(onMin, double(c.onFrames));
        onMax = std::max(onMax, double(c.onFrames));
        offMin = std::min(offMin, double(c.offFrames));
        offMax = std::max(offMax, double(c.offFrames));
        pMin = std::min(pMin, c.power);
        pMax = std::max(pMax, c.power);
        fMin = std::min(fMin, c.frequency);
        fMax = std::max(fMax, c.frequency);
    }
    return ratio(onMax, onMin) <= MaxPhaseRatio && ratio(offMax, offMin) <= MaxPhaseRatio
        && ratio(pMax, pMin) <= MaxBurstPowerRatio && fMax - fMin <= MaxBurstFrequencyDrift;
}

void CallProgressDetector::detected(const Detection& detection)
{
    restart();
    if (OnTone)
        OnTone(detection);
}
