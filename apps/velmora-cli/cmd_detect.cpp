#include "CliCommand.h"

#include "audio/AudioErrors.h"
#include "audio/FileConversion.h"
#include "linedsp/CallEndRules.h"
#include "linedsp/TQVMdsp.h"

#include <QIODevice>
#include <array>
#include <cmath>

namespace {

constexpr int BlockSize = 1536;

// Takes the converted 8 kHz samples as they are written and hands the
// detector whole 1536-sample blocks, as the engine does while recording, so
// a long file never has to be held in memory.
class DetectorFeed : public QIODevice
{
public:
    explicit DetectorFeed(TQVMdsp& dsp) : m_dsp(dsp) { open(QIODevice::WriteOnly); }

    int blocks() const { return m_blocks; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        for (qint64 i = 0; i < size; ++i) {
            m_block[size_t(m_fill++)] = uint8_t(data[i]);
            if (m_fill == BlockSize) {
                m_fill = 0;
                ++m_blocks;
                m_dsp.ProcessBlock(m_block);
            }
        }
        return size;
    }

private:
    TQVMdsp& m_dsp;
    std::array<uint8_t, BlockSize> m_block{};
    int m_fill = 0;
    int m_blocks = 0;
};

// Runs the disconnect detector over a WAV file and shows its decisions.
int runDetect(CliContext& ctx)
{
    CliArgs args(ctx.args);
    bool silence = args.flag(QStringLiteral("--silence"));
    bool periodic = args.flag(QStringLiteral("--periodic"));
    bool cadence = args.flag(QStringLiteral("--cadence"));
    bool tones = args.flag(QStringLiteral("--tones"));
    const std::optional<int> discTime = args.intOption(QStringLiteral("--disc-time"));
    QStringList files;
    if (!args.positional(1, 1, files))
        return cliUsageError(ctx, QStringLiteral("detect"), args.error());
    if (discTime && (*discTime < 0 || *discTime > 3600))
        return cliUsageError(ctx, QStringLiteral("detect"), QStringLiteral("--disc-time must be 0 to 3600 seconds"));
    if (!silence && !periodic && !cadence && !tones)
        silence = periodic = cadence = tones = true; // none named: all of them

    TQVMdsp dsp;
    dsp.Silence = silence;
    dsp.Periodic = periodic;
    dsp.Cadence = cadence;
    dsp.CallProgress = tones;
    dsp.SilenceDim = discTime.value_or(10) * 5;
    dsp.ResetDetector();
    DetectorFeed feed(dsp);
    const auto show = [&](const QString& what) {
        ctx.out << "block " << feed.blocks() << ' ' << what << '\n';
    };
    dsp.OnSilence = [&](TQVMdsp*) { show(QStringLiteral("silence")); };
    int periodicRun = 0;
    int64_t lastPeriodic = 0;
    dsp.OnPeriodic = [&](TQVMdsp*) {
        show(QStringLiteral("periodic"));
        if (PeriodicSignalRule::periodicBlock(periodicRun, lastPeriodic, dsp.blocks())) {
            show(QStringLiteral("periodic-disconnect"));
            periodicRun = 0; // a call would end here; the next run counts anew
        }
    };
    dsp.OnCadence = [&](TQVMdsp*, double period, int duty) {
        show(QStringLiteral("cadence period=%1 duty=%2").arg(std::lround(period)).arg(duty));
    };
    dsp.OnCadenceDisc = [&](TQVMdsp*) { show(QStringLiteral("cadence-disconnect")); };
    dsp.OnCallProgress = [&](TQVMdsp*, const QString& tone) { show(QStringLiteral("tone-disconnect ") + tone); };
    dsp.OnCriticalError = [&](TQVMdsp*, const QString& message, const QString& line) {
        ctx.err << "velmora-cli detect: " << message << " (" << line << ")\n";
    };

    StderrMessageSink messages;
    try {
        if (!WavToPcm8k(files.first(), feed, &messages))
            return 1;
    } catch (const std::exception& e) {
        ctx.err << "velmora-cli detect: " << e.what() << '\n';
        return 1;
    }
    ctx.err << feed.blocks() << " blocks of 1536 samples analysed\n";
    return 0;
}

CliCommandRegistrar detect({QStringLiteral("detect"),
                            QStringLiteral("IN.wav [--silence] [--periodic] [--cadence] [--tones] [--disc-time S]"),
                            QStringLiteral("run the disconnect detection over a WAV file (all detectors when "
                                           "none is named; --tones: dial tone, busy and reorder of real "
                                           "exchanges; silence window S seconds, default 10)"),
                            &runDetect});

} // namespace
