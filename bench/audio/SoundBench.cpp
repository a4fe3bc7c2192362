// The sound-card path: what a second of playback costs (read, convert,
// queue, the 8 kHz tap), measured on the virtual card at full speed, and how
// long it takes from Play to the first audio at the card.
#include "audio/AudioPlayers.h"
#include "audio/RiffWriter.h"
#include "audio/WaveFormat.h"
#include "audio/GsmCodec.h"
#include "platform/SoundBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr int FileSeconds = 60;

QString writeFile(const QTemporaryDir& dir, const TdeWaveFormat& format)
{
    const QString path = dir.filePath(QStringLiteral("bench.wav"));
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    TdeRIFFAudioWriter writer(&file);
    writer.setFormat(format);
    writer.setSyncOnRefresh(false);
    QByteArray audio(qsizetype(format.avgBytesPerSec()), '\0');
    for (qsizetype i = 0; i < audio.size(); ++i)
        audio[i] = char(std::lround(60 * std::sin(double(i) * 0.07)));
    for (int s = 0; s < FileSeconds; ++s)
        writer.writeData(audio.constData(), audio.size());
    writer.finish();
    return path;
}

TdeWaveFormat formatOf(int which)
{
    switch (which) {
    case 0:
        return pcmFormat(8000, 16, 1);
    case 1:
        return pcmFormat(44100, 16, 2);
    default:
        return gsmFormat(8000);
    }
}

void playToEnd(TQAudioPlayer& player, qint64 fromMs)
{
    QEventLoop loop;
    player.OnAudioCompleted = [&](TQAudioPlayer*) { loop.quit(); };
    player.Play(fromMs);
    loop.exec();
    player.Stop();
}

int virtualDevice()
{
    return int(soundDevices().size()) - 1; // always the last
}

// range(0): the file's format; range(1): 0 the card at full speed (the
// work alone), 1 in real time for the last 5 s of the file (the work plus
// the device's 5 ms timer, what a user's machine spends). The time per
// iteration, divided by the audio seconds (the counter), is CPU per second.
void BM_CpuPerSecondPlayed(benchmark::State& state)
{
    const bool realTime = state.range(1) == 1;
    const auto card = VirtualSoundDevice::instance();
    card->setSpeed(realTime ? 1 : 0);
    card->setKeepPlayed(false);
    QTemporaryDir dir;
    const TdeWaveFormat format = formatOf(int(state.range(0)));
    state.SetLabel(format.describe().toStdString() + (realTime ? ", real time" : ", full speed"));
    TQAudioPlayer player;
    player.FileName = writeFile(dir, format);
    player.device().setDeviceNumber(virtualDevice());
    const int seconds = realTime ? 5 : FileSeconds;
    for (auto _ : state)
        playToEnd(player, (FileSeconds - seconds) * 1000);
    state.counters["audio_s"] = seconds;
    card->setKeepPlayed(true);
}
BENCHMARK(BM_CpuPerSecondPlayed)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(3);

// range(0): 0 the virtual card, 1 the system's default card (skipped without one).
void BM_PlayToFirstAudio(benchmark::State& state)
{
    const bool real = state.range(0) == 1;
    if (real && !haveRealSoundDevice()) {
        state.SkipWithError("no sound card");
        return;
    }
    const auto card = VirtualSoundDevice::instance();
    card->setSpeed(1);
    QTemporaryDir dir;
    TQAudioPlayer player;
    player.FileName = writeFile(dir, pcmFormat(8000, 16, 1));
    player.device().setDeviceNumber(real ? TdeAudioIO::DefaultDevice : virtualDevice());
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        player.Play();
        while (player.device().playedBytes() == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        player.Stop();
    }
}
BENCHMARK(BM_PlayToFirstAudio)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

} // namespace
