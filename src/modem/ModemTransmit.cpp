// Sending audio to the line: starting, stopping and finishing the transmit
// workers. Everything here runs on the engine's thread.
#include "TQVModem253.h"

#include "modem/TransmitWorkers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>

namespace {

// Beyond the audio still to play, a stop waits for the transmit stop and
// its retry (each a command time-out) and this much.
constexpr qint64 StopMarginMs = 5000;
constexpr qint64 EndedWorkerWaitMs = 2000;

} // namespace

LineFormat TQVModem253::lineFormat() const
{
    LineFormat line;
    TdeWaveFormat stored;
    if (stored.setFormatBuffer(Profile.modemCompression))
        line.modem = stored;
    line.flipSign = line.modem.bitsPerSample() == 8
                 && Profile.compressionDesc.trimmed().compare(QLatin1String("SIGNED PCM"), Qt::CaseInsensitive) == 0;
    line.speed = TransmitSpeed;
    return line;
}

bool TQVModem253::startWorker(std::unique_ptr<TransmitWorker> worker)
{
    // A worker whose stream has ended is only returning: the next
    // transmission, started from its end notice, waits for it.
    if (Worker && TrxEndWorker == Worker->id())
        Worker->wait(QDeadlineTimer(EndedWorkerWaitMs));
    reapEndedWorker(); // its own notice may still be on its way
    if (Worker) {
        Log(QStringLiteral("A transmission is already running; the new one is not started"));
        return false;
    }
    Worker = std::move(worker);
    const quint64 id = Worker->id();
    connect(Worker.get(), &QThread::finished, this, [this, id] { workerFinished(id); }, Qt::QueuedConnection);
    Worker->start();
    return true;
}

bool TQVModem253::transmitting() const
{
    return Worker && !Worker->done();
}

quint64 TQVModem253::PlayWaveToLine(const QString& fileName)
{
    const quint64 id = ++WorkerIds;
    return startWorker(std::make_unique<Twav2Line>(*this, id, lineFormat(), fileName, GetModemMode())) ? id : 0;
}

quint64 TQVModem253::TransmitRaw(const QByteArray& data)
{
    const quint64 id = ++WorkerIds;
    return startWorker(std::make_unique<TTransmitRawAsync>(*this, id, lineFormat(), data)) ? id : 0;
}

bool TQVModem253::StopWaveToLine()
{
    return stopWorker(int(TransmitWorker::Kind::Wave));
}

bool TQVModem253::StopTransmitRaw()
{
    return stopWorker(int(TransmitWorker::Kind::Raw));
}

// Tells the worker to stop and waits, processing events (the worker's
// transmit stop needs this thread's reply detection), until it has ended,
// for at most the audio it has still to play and the stop's own time-outs.
bool TQVModem253::stopWorker(int kind)
{
    // A worker still waiting for its CONNECT is stopped as well: left alone,
    // its stream would start beside the next command and take its reply.
    const bool starting = Worker && !Worker->done() && VoiceState.load() == VoiceIdle;
    if (VoiceState.load() != VoiceTransmit && !starting)
        return true;
    if (!Worker || int(Worker->kind()) != kind)
        return false; // it ended already: its stop failed, nothing to wait for
    Worker->requestStop();
    const quint64 id = Worker->id();
    const qint64 limitMs = Worker->unplayedMs() + 2LL * CmdTimeoutDur * 1000 + StopMarginMs;
    QElapsedTimer clock;
    clock.start();
    // Its end notice, handled among these events, deletes the worker.
    const auto running = [this, id] { return Worker && Worker->id() == id && !Worker->done(); };
    while (running() && clock.elapsed() < limitMs) {
        Sleep(1);
        QCoreApplication::processEvents();
    }
    reapEndedWorker();
    return VoiceState.load() != VoiceTransmit;
}

void TQVModem253::workerFinished(quint64 id)
{
    if (Worker && Worker->id() == id) // else a stale notice of a worker already reaped
        reapEndedWorker();
}

void TQVModem253::reapEndedWorker()
{
    if (!Worker || !Worker->done())
        return;
    Worker->wait();
    DoneWorker = Worker->id();
    Worker.reset();
    if (auto handler = OnTransmitDone)
        handler(this);
}

void TQVModem253::transmitFailed(const QString& why)
{
    runOnEngineThread([this, why] {
        Log(QStringLiteral("<ERROR> was created startWav2Line: %1").arg(why));
        if (auto handler = OnTransmitError)
            handler(QStringLiteral("Error was created startWav2Line"));
    });
}

void TQVModem253::stopWorkerForGood()
{
    if (!Worker)
        return;
    Worker->requestStop();
    // Its waits end at once when the port is gone.
    if (SerialPort* port = SerialPortRef.data()) {
        try {
            port->setOpen(false);
        } catch (const std::exception&) {
        }
    }
    Worker->wait();
    Worker.reset();
}
