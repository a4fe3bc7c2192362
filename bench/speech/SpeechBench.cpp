// How soon a typical greeting (about 25 words) is ready to send to the line:
// from speak() to its end event, rendered by espeak-ng and converted to
// 8 kHz 8-bit.
#include "speech/TextToSpeech.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>

namespace {

const QString Greeting = QStringLiteral(
    "Hello, you have reached Margaret and John. We cannot take your call right now, so please leave your name, "
    "your number and a short message after the tone.");

void BM_GreetingReadyToSend(benchmark::State& state)
{
    TextToSpeech tts;
    if (!tts.available()) {
        state.SkipWithError("espeak-ng is not available");
        return;
    }
    qint64 bytes = 0;
    bool done = false;
    QObject::connect(&tts, &TextToSpeech::endStream, &tts, [&](quint64, const QByteArray& audio, const QString&) {
        bytes = audio.size();
        done = true;
    });
    for (auto _ : state) {
        done = false;
        tts.speak(Greeting);
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    state.counters["audio_s"] = double(bytes) / 8000.0;
}
BENCHMARK(BM_GreetingReadyToSend)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
