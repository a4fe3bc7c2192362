// The engine's cost per received chunk of 1536 voice bytes in the arrival
// pipeline (reply detection), while a receive stream runs.
#include "modem/TQVModem253.h"
#include "platform/FakeSerialPort.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <random>

namespace {

QByteArray voiceChunk(int size)
{
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray chunk(size, Qt::Uninitialized);
    for (char& c : chunk)
        c = char(byte(random));
    return chunk;
}

// An engine on a fake port with a receive stream running.
struct ReceivingEngine
{
    ReceivingEngine()
    {
        engine.setSerialPort(&port);
        engine.setSleepFunction([](int) {});
        port.addReply("at+vrx", {"\r\nCONNECT\r\n"});
        ready = engine.BindModem() && engine.StartVRX() == TQVModem253::ReplyConnect;
    }
    FakeSerialPort port;
    TQVModem253 engine;
    bool ready = false;
};

void BM_ArrivalWhileReceiving(benchmark::State& state)
{
    ReceivingEngine rx;
    if (!rx.ready) {
        state.SkipWithError("the receive stream did not start");
        return;
    }
    const QByteArray chunk = voiceChunk(int(state.range(0)));
    for (auto _ : state)
        rx.engine.ProcessArrival(chunk);
    state.SetBytesProcessed(int64_t(state.iterations()) * chunk.size());
}
BENCHMARK(BM_ArrivalWhileReceiving)->Arg(1536);

// The same chunk read through the port's notification as the event loop
// delivers it: the fake port's queueing is included.
void BM_ArrivalThroughPortNotification(benchmark::State& state)
{
    ReceivingEngine rx;
    if (!rx.ready) {
        state.SkipWithError("the receive stream did not start");
        return;
    }
    const QByteArray chunk = voiceChunk(int(state.range(0)));
    for (auto _ : state) {
        rx.port.deliver(chunk);
        QCoreApplication::processEvents();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * chunk.size());
}
BENCHMARK(BM_ArrivalThroughPortNotification)->Arg(1536);

} // namespace
