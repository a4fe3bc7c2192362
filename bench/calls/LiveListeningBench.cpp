// Live listening: from the modem to the (virtual) speaker. The engine hands
// the call's audio over in 1536-byte blocks (192 ms); each block is timed
// from its arrival to the moment the card reports it played. A sample of
// the block entered the modem one block length before the block arrived,
// and is heard one block length before the block's end is played, so that
// span is every sample's latency.
#include "audio/AudioDevices.h"
#include "calls/CallState.h"
#include "calls/LineEvents.h"
#include "calls/LiveListening.h"
#include "linedsp/TQVMdsp.h"
#include "modem/TQVModem253.h"
#include "platform/SoundBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <deque>
#include <vector>

namespace {

constexpr int BlockBytes = 1536;
constexpr int BlockMs = BlockBytes / 8;
constexpr int Blocks = 40; // about 8 s of a message

void BM_ModemToSpeaker(benchmark::State& state)
{
    VirtualSoundDevice::instance()->setSpeed(1);
    VirtualSoundDevice::instance()->setKeepPlayed(false);
    TQVModem253 engine;
    TQVMdsp dsp;
    LineEvents events(engine, dsp);
    CallState call;
    call.phase = CallPhase::MessageRecording;
    LiveListening live(events, call);
    live.setEveryMessage(true);
    live.setDeviceNumber(int(audioOutDevices().size()) - 1);

    QElapsedTimer clock;
    clock.start();
    std::deque<std::pair<qint64, qint64>> queued; // arrival, bytes still to be played
    std::vector<double> latencies;
    live.onQueued = [&](qint64 bytes) { queued.emplace_back(clock.elapsed(), bytes); };
    live.onPlayed = [&](qint64 bytes) {
        while (bytes > 0 && !queued.empty()) {
            const qint64 take = std::min(bytes, queued.front().second);
            queued.front().second -= take;
            bytes -= take;
            if (queued.front().second == 0) {
                latencies.push_back(double(clock.elapsed() - queued.front().first));
                queued.pop_front();
            }
        }
    };
    QByteArray block(BlockBytes, char(0x80));
    for (auto _ : state) {
        latencies.clear();
        const qint64 start = clock.elapsed();
        for (int i = 0; i < Blocks; ++i) {
            while (clock.elapsed() < start + qint64(i) * BlockMs)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            emit events.pcmData(reinterpret_cast<const uint8_t*>(block.constData()), BlockBytes);
        }
        const qint64 drain = clock.elapsed() + 2000;
        while (!queued.empty() && clock.elapsed() < drain)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        live.stop();
    }
    if (latencies.empty()) {
        state.SkipWithError("nothing was played");
        return;
    }
    std::sort(latencies.begin(), latencies.end());
    double sum = 0;
    for (double l : latencies)
        sum += l;
    state.counters["latency_mean_ms"] = sum / double(latencies.size());
    state.counters["latency_max_ms"] = latencies.back();
    state.counters["blocks_heard"] = double(latencies.size());
}
BENCHMARK(BM_ModemToSpeaker)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
