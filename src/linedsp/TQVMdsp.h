#pragma once

#include "linedsp/CallProgressDetector.h"
#include "linedsp/SteadyTone.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// Switches for the detector's diagnostic lines, in their published order.
struct TLoggerOptions
{
    bool ArDimS = false;     // "ar1 <samples>" per cadence buffer
    bool BreakS = false;     // "--- Break ---" before a partial snippet
    bool SnippetVal = false; // "sum  <mean>" per 4 ms snippet
    bool CadenceOn = false;  // "on  <ms>" per cycle
    bool CadenceOff = false; // "off <ms>" per cycle
    bool MeanVal = false;    // "Mean value <mean>" per cadence buffer
    bool Silence = false;    // "silence Stdv  <deviation>" per block
};

// Tells from the received audio that the far end has hung up: a mostly
// silent window, a steady tone, or a stable on/off cadence; and, beside
// these three, the dial tone or busy and reorder cadences real exchanges
// send after a hang-up (CallProgressDetector).
//
// Fed with blocks of 8 kHz unsigned 8-bit samples (1536 a block, five blocks
// counted as one second); raises its events synchronously from ProcessBlock.
// No clock, no I/O: everything it knows comes from the samples.
class TQVMdsp
{
public:
    static constexpr int CadenceBufferSize = 2048;
    static constexpr int SnippetSize = 32;
    static constexpr double SnippetMs = 4.0;

    using SenderEvent = std::function<void(TQVMdsp* sender)>;
    using TCadenceEvent = std::function<void(TQVMdsp* sender, double period, int dutyCycle)>;
    using TCriticalErrorEvent = std::function<void(TQVMdsp* sender, const QString& errorMsg, const QString& line)>;

    TQVMdsp();

    // Published properties.
    std::function<void(const QString&)> Logger;
    float SilThreshold = 1.0f;
    int SilenceDim = 0;
    bool Periodic = false;
    bool Silence = false;
    bool Cadence = false;
    // The exchange's call-progress tones (a project addition; the settings
    // turn it off with CallProgress=0).
    bool CallProgress = false;
    TLoggerOptions LoggerOptions;
    bool Enable = true;
    float SilenceValue() const { return m_silenceValue; }
    // Blocks analysed since the last ResetDetector.
    int64_t blocks() const { return m_blocks; }
    // Whether the periodic-signal detector judged the last block periodic.
    bool lastBlockPeriodic() const { return m_lastPeriodic; }

    // Published events; each is called only when set.
    SenderEvent OnSilence;
    SenderEvent OnPeriodic;
    TCadenceEvent OnCadence;
    SenderEvent OnCadenceDisc;
    TCriticalErrorEvent OnCriticalError;
    // A dial tone or a busy/reorder cadence: a disconnect, with what was heard.
    std::function<void(TQVMdsp* sender, const QString& tone)> OnCallProgress;

    // Starts a new recording: empty silence window, seeded cadence history.
    void ResetDetector();
    void ProcessBlock(std::span<const uint8_t> block);

    // Sample standard deviation (divisor n - 1); 0 for fewer than two values.
    static double sampleStdDev(std::span<const double> values);

private:
    struct CadenceCycle
    {
        double period;
        int duty;
    };

    bool IsSilentBlock(std::span<const double> block);
    void CheckSilence(std::span<const double> block);
    bool IsPeriodic(std::span<const double> ar1);
    void CheckPeriodic(std::span<const double> block);
    void CheckCadence(std::span<const double> buffer);
    void cadenceSwitchedOn();
    bool isDisconnectCadence() const;
    int& silenceEntry(int index, const char* label);
    void criticalError(const QString& message, const char* label);
    void log(const QString& line) const;

    float m_silenceValue = 0.0f;
    int64_t m_blocks = 0;
    bool m_lastPeriodic = false;
    std::vector<int> m_arSil;
    int m_arSilCount = 0;
    std::array<double, CadenceBufferSize> m_cadenceBuffer{};
    int m_cadenceIndex = -1;
    bool m_cadenceOn = false;
    double m_onTime = 4.0;
    double m_offTime = 4.0;
    std::array<CadenceCycle, 3> m_history{};
    // Reused per block, so the receive path does not allocate.
    std::vector<double> m_samples;
    std::vector<int> m_crossings;
    std::vector<double> m_periods;
    CallProgressDetector m_tones;
    SteadyTone m_steadyTone;
};
