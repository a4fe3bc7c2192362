// Judges one long recording of the line as a call does, for corpus.sh:
// 8 kHz 8-bit unsigned samples on standard input, the settings' defaults.
//
//   bench_line_corpus call [--silence] [--no-tones] [--cadence-only]
//       every disconnect, with its time; the call goes on as a new recording after it
//   bench_line_corpus message            what the answering machine would file
#include "calls/MessageContent.h"
#include "calls/TvModem.h"
#include "config/CurrentSettings.h"
#include "config/IniFile.h"
#include "linedsp/CallEndRules.h"
#include "linedsp/TQVMdsp.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace {

constexpr int BlockSize = 1536;
constexpr double BlockSeconds = BlockSize / 8000.0;

CallSettings defaultSettings()
{
    QTemporaryDir dir;
    return CallSettings::read(IniFile(dir.filePath(QStringLiteral("vlm.ini"))));
}

bool readBlock(std::array<uint8_t, BlockSize>& block)
{
    return std::fread(block.data(), 1, block.size(), stdin) == block.size();
}

// The session's handlers, reduced to what ends a call.
struct Call
{
    TQVMdsp dsp;
    CallSettings settings = defaultSettings();
    SilenceBackstop backstop;
    int periodicCount = 0;
    int64_t periodicLastBlock = 0;
    int64_t totalBlocks = 0;
    int64_t periodicBlocks = 0;
    int longestPeriodicRun = 0;
    bool traceCadence = false;
    int disconnects = 0;
    bool ended = false;

    void start()
    {
        TvModem::armDetector(dsp, settings);
        dsp.ResetDetector();
        backstop.reset();
        periodicCount = 0;
        ended = false;
    }
    void end(const char* what, const QString& detail = QString())
    {
        if (ended)
            return;
        ended = true;
        ++disconnects;
        std::printf("disconnect %.3f %s %s\n", double(totalBlocks) * BlockSeconds, what, qPrintable(detail));
    }
    void connect()
    {
        dsp.OnSilence = [this](TQVMdsp*) { end("silence"); };
        dsp.OnCadenceDisc = [this](TQVMdsp*) { end("cadence"); };
        dsp.OnCadence = [this](TQVMdsp*, double period, int duty) {
            if (traceCadence)
                std::printf("cadence %.3f %.0f ms %d %%\n", double(totalBlocks) * BlockSeconds, period, duty);
        };
        dsp.OnCallProgress = [this](TQVMdsp*, const QString& tone) { end("tone", tone); };
        dsp.OnPeriodic = [this](TQVMdsp*) {
            ++periodicBlocks;
            const bool ends = PeriodicSignalRule::periodicBlock(periodicCount, periodicLastBlock, dsp.blocks());
            longestPeriodicRun = std::max(longestPeriodicRun, periodicCount);
            if (ends)
                end("periodic", QString::number(periodicCount));
        };
    }
    void block(const std::array<uint8_t, BlockSize>& b)
    {
        ++totalBlocks;
        dsp.ProcessBlock(b);
        backstop.audio(b.data(), int(b.size()));
        if (backstop.ends())
            end("backstop");
        if (ended)
            start();
    }
};

int runCall(const QStringList& options)
{
    Call call;
    call.settings.silence = call.settings.silence || options.contains(QStringLiteral("--silence"));
    if (options.contains(QStringLiteral("--no-tones")))
        call.settings.callProgress = false;
    call.traceCadence = options.contains(QStringLiteral("--trace-cadence"));
    if (options.contains(QStringLiteral("--cadence-only")))
        call.settings.callProgress = call.settings.periodic = false;
    call.connect();
    call.start();
    std::array<uint8_t, BlockSize> block{};
    while (readBlock(block))
        call.block(block);
    std::printf("seconds %.1f disconnects %d periodic-blocks %lld longest-run %d\n",
                double(call.totalBlocks) * BlockSeconds, call.disconnects, static_cast<long long>(call.periodicBlocks),
                call.longestPeriodicRun);
    return 0;
}

int runMessage()
{
    MessageContent content;
    content.reset();
    std::array<uint8_t, BlockSize> block{};
    while (readBlock(block))
        content.process(block.data(), int(block.size()));
    std::printf("voice-ms %d verdict %s last-voice-ms %lld\n", content.voiceMs(),
                content.holdsVoice() ? "message" : "missed-call", static_cast<long long>(content.lastVoiceEndMs()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "call")
        return runCall(QCoreApplication::arguments().mid(2));
    if (mode == "message")
        return runMessage();
    std::fprintf(stderr, "usage: bench_line_corpus call [--silence] [--no-tones] [--cadence-only] | message"
                         "  < 8 kHz u8 samples\n");
    return 2;
}
