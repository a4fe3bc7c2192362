#include "CliLineSession.h"

#include "audio/WaveFormat.h"
#include "linedsp/CallEndRules.h"
#include "linedsp/TQVMdsp.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <cmath>
#include <memory>

namespace {

// A receive stream delivers a live block five times a second.
constexpr int QuietModemMs = 5000;

// Prints the detector's decisions, numbered by live block, and ends the
// recording at the first disconnect when asked to.
void watchDetector(CliLineSession& session, TQVMdsp& dsp, const int& blocks, bool untilDisconnect)
{
    const auto decided = [&session, &dsp, &blocks, untilDisconnect](const QString& what, bool disconnect) {
        session.printLine(QStringLiteral("block %1 %2").arg(blocks).arg(what));
        if (disconnect && untilDisconnect) {
            dsp.Enable = false; // acted on once, as the call handling does
            session.printLine(QStringLiteral("DISCONNECT %1").arg(what));
            session.stop();
        }
    };
    dsp.OnSilence = [decided](TQVMdsp*) { decided(QStringLiteral("silence"), true); };
    // A periodic block is a disconnect only in a run, as in a call.
    auto run = std::make_shared<std::pair<int, int64_t>>(0, 0);
    dsp.OnPeriodic = [decided, run, &dsp](TQVMdsp*) {
        decided(QStringLiteral("periodic"), PeriodicSignalRule::periodicBlock(run->first, run->second, dsp.blocks()));
    };
    dsp.OnCadence = [decided](TQVMdsp*, double period, int duty) {
        decided(QStringLiteral("cadence period=%1 duty=%2").arg(std::lround(period)).arg(duty), false);
    };
    dsp.OnCadenceDisc = [decided](TQVMdsp*) { decided(QStringLiteral("cadence-disconnect"), true); };
    dsp.OnCallProgress = [decided](TQVMdsp*, const QString& tone) {
        decided(QStringLiteral("tone-disconnect ") + tone, true);
    };
    dsp.OnCriticalError = [&session](TQVMdsp*, const QString& message, const QString& line) {
        session.printLine(QStringLiteral("DETECTOR-ERROR %1 (%2)").arg(message, line));
    };
}

// Takes the line and records it into a WAV file.
int runRecord(CliContext& ctx)
{
    CliArgs args(ctx.args);
    const std::optional<int> seconds = args.intOption(QStringLiteral("--seconds"));
    const bool untilDisconnect = args.flag(QStringLiteral("--until-disconnect"));
    QStringList files;
    if (!args.positional(1, 1, files))
        return cliUsageError(ctx, QStringLiteral("record"), args.error());
    if (seconds && *seconds < 0)
        return cliUsageError(ctx, QStringLiteral("record"), QStringLiteral("--seconds must not be negative"));
    const QString fileName = QFileInfo(files.first()).absoluteFilePath();

    CliLineSession session(ctx, QStringLiteral("record"));
    TQVMdsp dsp;
    TQVModem253& engine = session.engine();
    engine.setDSP(&dsp);               // the settings switch its detectors
    engine.setDteFmt(standardPcm8k()); // unless "File compression" says otherwise
    session.printEvents();
    if (!session.initialise())
        return 1;
    if (engine.profile().modemCompression.size() != TdeWaveFormat::BufferSize) {
        ctx.err << "velmora-cli record: the modem's voice format is not known; run velmora-cli probe first\n";
        return 1;
    }
    int blocks = 0;
    QElapsedTimer sinceBlock;
    engine.OnPCMdata = [&blocks, &sinceBlock](const uint8_t*, int) {
        ++blocks;
        sinceBlock.restart();
    };
    watchDetector(session, dsp, blocks, untilDisconnect);
    // The call ends, whatever the modem does: a modem that vanishes or stops
    // sending audio gives the detectors nothing to decide on.
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (!engine.portIsOpen())
            session.printLine(QStringLiteral("MODEM-GONE the port closed"));
        else if (sinceBlock.elapsed() > QuietModemMs)
            session.printLine(QStringLiteral("MODEM-QUIET no audio for %1 s").arg(QuietModemMs / 1000));
        else
            return;
        session.stop();
    });

    if (!engine.StartRecording(fileName)) {
        ctx.err << "velmora-cli record: the modem did not start recording the line (see the log above)\n";
        engine.StopRecording();
        return 1;
    }
    session.printLine(QStringLiteral("RECORDING %1").arg(fileName));
    sinceBlock.start();
    watchdog.start(250);
    session.run(seconds);
    watchdog.stop();
    const bool stopped = engine.StopRecording();
    session.printLine(QStringLiteral("STOPPED %1 seconds=%2").arg(fileName).arg(blocks * 0.192, 0, 'f', 1));
    if (!stopped) {
        ctx.err << "velmora-cli record: the modem did not leave the receive stream; the port was closed\n";
        return 1;
    }
    if (!engine.recordingProblem().isEmpty()) {
        ctx.err << "velmora-cli record: " << fileName << " is incomplete: " << engine.recordingProblem() << '\n';
        return 1;
    }
    return 0;
}

CliCommandRegistrar record({QStringLiteral("record"), QStringLiteral("OUT.wav [--seconds N] [--until-disconnect]"),
                            QStringLiteral("take the line and record it into OUT.wav until N seconds pass, "
                                           "the first disconnect the settings enable, or Ctrl+C"),
                            &runRecord});

} // namespace
