#include "TQVMdsp.h"

#include <charconv>
#include <cmath>
#include <new>
#include <stdexcept>

namespace {

constexpr double OnLevel = 1.5;          // mean deviation from 128 of a snippet that is "on"
constexpr double SilentShare = 0.85;     // share of silent blocks in the window that ends a call
constexpr int CrossingHoldOff = 11;      // positions skipped after an upward crossing
constexpr int MinCrossings = 13;
constexpr double MaxPeriodDeviation = 1.0;
constexpr double CadenceTolerancePct = 3.0;
// Busy and reorder cadences repeat every 400 ms or slower; a beat or a
// trill in music can repeat every 100 ms for seconds.
constexpr double MinCadencePeriodMs = 300.0;

// Shortest decimal form that reads back as the same value.
template <typename T>
QString number(T value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return QString::fromLatin1(text, int(result.ptr - text));
}

// A failure inside one analysis step, with the label the step reports.
struct StepFailure : std::runtime_error
{
    StepFailure(const char* message, const char* step) : std::runtime_error(message), label(step) {}
    const char* label;
};

bool similar(double newer, double older)
{
    // A zero in the divisor (0 % duty) would divide by zero: not similar.
    return newer != 0.0 && std::abs(newer - older) / newer * 100.0 < CadenceTolerancePct;
}

} // namespace

TQVMdsp::TQVMdsp()
{
    m_tones.OnTone = [this](const CallProgressDetector::Detection& d) {
        if (OnCallProgress)
            OnCallProgress(this, d.describe());
    };
    ResetDetector();
}

void TQVMdsp::ResetDetector()
{
    m_arSil.assign(size_t(std::max(0, SilenceDim)) + 1, 0);
    m_arSilCount = 0;
    m_blocks = 0;
    m_cadenceIndex = -1;
    m_cadenceOn = false;
    m_onTime = SnippetMs;
    m_offTime = SnippetMs;
    // Seeds far apart, so no disconnect cadence before three measured cycles.
    m_history = {CadenceCycle{0.0, 0}, CadenceCycle{1.0, 1}, CadenceCycle{2.0, 2}};
    m_tones.reset();
    m_steadyTone.reset();
}

void TQVMdsp::ProcessBlock(std::span<const uint8_t> block)
{
    if (!Enable)
        return;
    ++m_blocks;
    m_lastPeriodic = false;
    m_samples.assign(block.begin(), block.end());
    for (const double sample : m_samples) {
        m_cadenceBuffer[size_t(++m_cadenceIndex)] = sample;
        if (m_cadenceIndex == CadenceBufferSize - 1) {
            if (Cadence)
                CheckCadence(m_cadenceBuffer);
            m_cadenceIndex = -1;
        }
    }
    try {
        if (Silence)
            CheckSilence(m_samples);
        if (Periodic)
            CheckPeriodic(m_samples);
    } catch (const StepFailure& failure) {
        m_arSil.clear();
        criticalError(QString::fromLatin1(failure.what()), failure.label);
    }
    if (CallProgress)
        m_tones.process(block);
}

double TQVMdsp::sampleStdDev(std::span<const double> values)
{
    const size_t n = values.size();
    if (n < 2)
        return 0.0;
    double mean = 0.0;
    for (const double v : values)
        mean += v;
    mean /= double(n);
    double squares = 0.0;
    for (const double v : values)
        squares += (v - mean) * (v - mean);
    return std::sqrt(squares / double(n - 1));
}

bool TQVMdsp::IsSilentBlock(std::span<const double> block)
{
    m_silenceValue = float(sampleStdDev(block));
    if (LoggerOptions.Silence)
        log(QStringLiteral("silence Stdv  ") + number(m_silenceValue));
    return m_silenceValue < SilThreshold;
}

int& TQVMdsp::silenceEntry(int index, const char* label)
{
    if (index < 0 || size_t(index) >= m_arSil.size())
        throw StepFailure("Range check error", label);
    return m_arSil[size_t(index)];
}

void TQVMdsp::CheckSilence(std::span<const double> block)
{
    const bool silent = IsSilentBlock(block);
    const int mark = silent ? 1 : 0;
    if (m_arSilCount < SilenceDim) {
        ++m_arSilCount;
        silenceEntry(m_arSilCount, silent ? "arSil[arSilCount] := 1" : "arSil[arSilCount] := 0") = mark;
        return; // no decision while the window fills
    }
    for (int i = 1; i <= SilenceDim - 1; ++i)
        silenceEntry(i, "arSil[i1] := arSil[i1+1];") = silenceEntry(i + 1, "arSil[i1] := arSil[i1+1];");
    silenceEntry(SilenceDim, silent ? "arSil[arSilDim] := 1;" : "arSil[arSilDim] := 0;") = mark;
    int sum = 0;
    for (int i = 1; i <= SilenceDim; ++i)
        sum += silenceEntry(i, "sum := sum+arSil[i1];");
    if (double(sum) >= SilentShare * double(SilenceDim) && OnSilence)
        OnSilence(this);
}

bool TQVMdsp::IsPeriodic(std::span<const double> ar1)
{
    const char* step = "if (ar1[i1-1]<127) and";
    try {
        m_crossings.clear();
        const int n = int(ar1.size());
        for (int i = 1; i <= n - 2; ++i) {
            if (ar1[size_t(i - 1)] < 127 && ar1[size_t(i + 1)] > 127) {
                m_crossings.push_back(i);
                i += CrossingHoldOff;
            }
        }
        const int count = int(m_crossings.size());
        if (count < MinCrossings)
            return false;
        step = "Period := round(BaseLine[i1+1]-BaseLine[i1]);";
        m_periods.resize(size_t(count - 2));
        step = "Periods[i1] := Period;";
        // The spacing after the last crossing but one is left out.
        for (int k = 0; k < count - 2; ++k)
            m_periods[size_t(k)] = double(m_crossings[size_t(k + 1)] - m_crossings[size_t(k)]);
        step = "stdvMax := stdDev(Periods);";
        const double stdvMax = sampleStdDev(m_periods);
        // A perfectly constant spacing does not count.
        return stdvMax > 0.0 && stdvMax <= MaxPeriodDeviation;
    } catch (const std::bad_alloc&) {
        throw StepFailure("Out of memory", step);
    }
}

void TQVMdsp::CheckPeriodic(std::span<const double> block)
{
    // Both every block: the steady-tone filter carries its state over.
    const bool steady = m_steadyTone.isSteady(block);
    m_lastPeriodic = IsPeriodic(block) || steady;
    if (m_lastPeriodic && OnPeriodic)
        OnPeriodic(this);
}

void TQVMdsp::CheckCadence(std::span<const double> buffer)
{
    if (LoggerOptions.ArDimS)
        log(QStringLiteral("ar1 ") + QString::number(buffer.size()));
    double total = 0.0;
    for (size_t start = 0; start < buffer.size(); start += SnippetSize) {
        const size_t end = std::min(buffer.size(), start + SnippetSize);
        if (end - start < SnippetSize && LoggerOptions.BreakS)
            log(QStringLiteral("--- Break ---"));
        double deviation = 0.0;
        for (size_t i = start; i < end; ++i) {
            deviation += std::abs(buffer[i] - 128.0);
            total += buffer[i];
        }
        const double m = deviation / SnippetSize;
        if (LoggerOptions.SnippetVal)
            log(QStringLiteral("sum  ") + number(m));
        const bool on = m > OnLevel;
        if (on == m_cadenceOn) {
            (on ? m_onTime : m_offTime) += SnippetMs;
        } else {
            if (on)
                cadenceSwitchedOn();
            (on ? m_onTime : m_offTime) = SnippetMs;
        }
        m_cadenceOn = on;
    }
    if (LoggerOptions.MeanVal && !buffer.empty())
        log(QStringLiteral("Mean value ") + QString::number(std::nearbyint(total / double(buffer.size())), 'f', 0));
}

void TQVMdsp::cadenceSwitchedOn()
{
    if (LoggerOptions.CadenceOn)
        log(QStringLiteral("on  ") + number(m_onTime));
    if (LoggerOptions.CadenceOff)
        log(QStringLiteral("off ") + number(m_offTime));
    const double period = m_onTime + m_offTime;
    const int duty = int(std::nearbyint(m_onTime / period * 100.0)); // halves to even
    if (OnCadence)
        OnCadence(this, period, duty);
    m_history = {m_history[1], m_history[2], CadenceCycle{period, duty}};
    if (isDisconnectCadence() && OnCadenceDisc)
        OnCadenceDisc(this);
}

bool TQVMdsp::isDisconnectCadence() const
{
    const auto& [h0, h1, h2] = m_history;
    return similar(h1.period, h0.period) && similar(h2.period, h1.period) &&
           similar(double(h1.duty), double(h0.duty)) && similar(double(h2.duty), double(h1.duty)) &&
           h0.period > MinCadencePeriodMs && h0.duty > 30 && h0.duty < 70;
}

void TQVMdsp::criticalError(const QString& message, const char* label)
{
    if (OnCriticalError)
        OnCriticalError(this, message, QString::fromLatin1(label));
}

void TQVMdsp::log(const QString& line) const
{
    if (Logger)
        Logger(line);
}
