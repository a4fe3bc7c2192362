// The voice path while a call is recorded: 8000 bytes a second of shielded
// mu-law arriving in serial-sized chunks, unshielded, gathered into blocks,
// converted for the file and for the live blocks, written as WAV and run
// through all three disconnect detectors. One iteration is one second of
// audio, so the CPU time per iteration is the share of one core it costs.
#include "audio/WaveFormat.h"
#include "config/IniFile.h"
#include "linedsp/TQVMdsp.h"
#include "modem/TQVModem253.h"
#include "platform/FakeSerialPort.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr int BytesPerSecond = 8000;

TdeWaveFormat muLaw8k()
{
    TdeWaveFormat f = standardPcm8k();
    f.setFormatTag(WaveTag::MuLaw);
    return f;
}

// Speech-like mu-law: a few tones under a slow swell, with its data DLEs
// doubled as the modem sends them.
QByteArray shieldedSecond()
{
    QByteArray out;
    for (int i = 0; i < BytesPerSecond; ++i) {
        const double t = i / 8000.0;
        const double swell = 0.5 + 0.5 * std::sin(2 * M_PI * 3 * t);
        const double s = swell * (0.5 * std::sin(2 * M_PI * 300 * t) + 0.3 * std::sin(2 * M_PI * 1170 * t));
        const char byte = char(int(std::lround(127.5 + 127 * s)) & 0xFF);
        out.append(byte);
        if (byte == 0x10)
            out.append(byte);
    }
    return out;
}

void BM_RecordingOneSecondOfAudio(benchmark::State& state)
{
    const int chunkSize = int(state.range(0));
    // tmpfs when there is one: the writer's syncs then cost no disk waits.
    QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/velmora-bench-XXXXXX")
                                                              : QString());
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    ini.writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"), muLaw8k().formatBuffer());
    ini.writeBool(QStringLiteral("Settings"), QStringLiteral("Silence"), true);
    FakeSerialPort port;
    TQVModem253 engine;
    TQVMdsp dsp;
    engine.setSerialPort(&port);
    engine.setIniFile(&ini);
    engine.setDSP(&dsp);
    engine.setSleepFunction([](int) {});
    port.addReply("at+fclass=8", {"\r\nOK\r\n"});
    port.addReply("at+vls=", {"\r\nOK\r\n"});
    port.addReply("at+vrx", {"\r\nCONNECT\r\n"});
    port.addReply("\x10!", {QByteArray("\x10\x03\r\nOK\r\n", 7)});
    if (!engine.BindModem() || !engine.StartRecording(dir.filePath(QStringLiteral("rec.wav")))) {
        state.SkipWithError("the recording did not start");
        return;
    }
    const QByteArray second = shieldedSecond();
    for (auto _ : state)
        for (qsizetype at = 0; at < second.size(); at += chunkSize)
            engine.ProcessArrival(QByteArray::fromRawData(second.constData() + at,
                                                          std::min<qsizetype>(chunkSize, second.size() - at)));
    engine.StopRecording();
    state.counters["audio_s"] = benchmark::Counter(double(state.iterations()));
    // CPU seconds per second of audio, as a percentage of one core.
    state.counters["core_pct"] =
        benchmark::Counter(double(state.iterations()) / 100.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RecordingOneSecondOfAudio)->Arg(64)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);

} // namespace
