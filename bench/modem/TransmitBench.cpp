// The transmit worker's cost: ten seconds of a 44.1 kHz stereo 16-bit WAV
// file converted to the modem's 8 kHz 8-bit samples, shielded and written
// to a port that always has room. The CPU time of all threads per second of
// audio is the share of one core a greeting costs.
#include "audio/RiffWriter.h"
#include "config/IniFile.h"
#include "modem/TQVModem253.h"
#include "platform/FakeSerialPort.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr int Seconds = 10;

QString makeFile(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("greeting.wav"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    TdeRIFFAudioWriter writer(&file);
    writer.setFormat(pcmFormat(44100, 16, 2));
    std::vector<qint16> samples(size_t(44100 * 2 * Seconds));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = qint16(8000 * std::sin(2 * M_PI * 300 * double(i / 2) / 44100));
    writer.writeData(samples.data(), qint64(samples.size() * 2));
    writer.finish();
    return path;
}

void BM_PlayingAFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString file = makeFile(dir);
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    FakeSerialPort port;
    TQVModem253 engine;
    engine.setSerialPort(&port);
    engine.setIniFile(&ini);
    port.addReply("at+fclass=8", {"\r\nOK\r\n"});
    port.addReply("at+vtx", {"\r\nCONNECT\r\n"});
    port.addReply(QByteArray("\x10\x03", 2), {"\r\nOK\r\n"});
    engine.BindModem();
    bool done = false;
    engine.OnTransmitDone = [&](TQVModem253*) { done = true; };
    for (auto _ : state) {
        done = false;
        engine.PlayWaveToLine(file);
        while (!done) // waits without spinning: only the worker's cost counts
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        port.clearWritten();
    }
    // CPU seconds per second of audio, as a percentage of one core.
    state.counters["core_pct"] = benchmark::Counter(double(state.iterations()) * Seconds / 100.0,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlayingAFile)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
