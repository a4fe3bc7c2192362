#include "calls/LineOutput.h"

#include "calls/EventLog.h"
#include "calls/LineEvents.h"
#include "calls/SpokenTexts.h"
#include "audio/RiffReader.h"
#include "modem/TQVModem253.h"
#include "platform/RegularFile.h"

#include <QFile>

namespace {

constexpr int BytesPerMs = 8; // 8 kHz 8-bit

} // namespace

LineOutput::LineOutput(TQVModem253& engine, LineEvents& events, SpokenTexts& texts, CallClock& clock, EventLog& log,
                       QObject* parent)
    : QObject(parent), m_engine(engine), m_texts(texts), m_clock(clock), m_log(log)
{
    connect(&events, &LineEvents::trxEnd, this, &LineOutput::trxEnded);
    connect(&events, &LineEvents::transmitDone, this, &LineOutput::workerDone);
}

LineOutput::~LineOutput()
{
    m_clock.cancel(m_limit);
    m_texts.cancel(m_renderTicket);
}

qint64 LineOutput::wavFileMs(const QString& path, QString* why)
{
    RegularFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return -1;
    }
    try {
        TdeRIFFAudioReader reader(&file);
        const qint64 perSecond = reader.trackFormat().avgBytesPerSec();
        if (perSecond <= 0 || reader.trackSize() <= 0) {
            *why = QStringLiteral("%1 holds no audio").arg(path);
            return -1;
        }
        return reader.trackSize() * 1000 / perSecond;
    } catch (const std::exception& e) {
        *why = QStringLiteral("%1 is not a WAV file that can be played: %2").arg(path, QString::fromUtf8(e.what()));
        return -1;
    }
}

void LineOutput::begin(Done done, int limitMs)
{
    cancel();
    m_done = std::move(done);
    ++m_request;
    armLimit(limitMs);
}

void LineOutput::armLimit(int ms)
{
    m_clock.cancel(m_limit);
    const quint64 request = m_request;
    m_limit = m_clock.after(ms, [this, request] {
        m_limit = 0;
        if (request == m_request && m_done)
            finish(Result::TimedOut);
    });
}

void LineOutput::finish(Result result)
{
    m_clock.cancel(m_limit);
    m_limit = 0;
    m_worker = 0;
    Done done = std::move(m_done);
    m_done = nullptr;
    ++m_request;
    if (done)
        done(result);
}

void LineOutput::speak(const QString& text, Done done)
{
    begin(std::move(done), RenderLimitMs);
    const quint64 request = m_request;
    m_renderTicket = m_texts.render(text, [this, request](const QByteArray& audio, const QString& error) {
        if (request != m_request)
            return;
        if (audio.isEmpty()) {
            m_log.LogEvent(QStringLiteral("<ERROR> The text could not be spoken: ") + error);
            finish(Result::Failed);
            return;
        }
        Done next = std::move(m_done);
        m_done = nullptr;
        send(audio, std::move(next));
    });
}

void LineOutput::send(const QByteArray& audio, Done done)
{
    begin(std::move(done), int(audio.size() / BytesPerMs) + MarginMs);
    if (!allowed()) {
        cancel();
        return;
    }
    const quint64 request = m_request;
    m_starting = true;
    const int started = m_engine.StartVTX(); // its wait may run a Stop
    m_starting = false;
    if (request != m_request || !allowed()) {
        if (started == TQVModem253::ReplyConnect) { // ended meanwhile: nothing goes out
            m_engine.StopVTX();
            m_engine.cmdOnHook();
        }
        cancel();
        return;
    }
    if (started != TQVModem253::ReplyConnect) {
        m_log.LogEvent(QStringLiteral("<ERROR> The modem did not start transmitting"));
        finish(Result::Failed);
        return;
    }
    m_worker = m_engine.TransmitRaw(audio);
    if (m_worker == 0) {
        m_engine.StopVTX();
        finish(Result::Failed);
    }
}

void LineOutput::playFile(const QString& path, Done done)
{
    QString why;
    const qint64 ms = wavFileMs(path, &why);
    begin(std::move(done), int(std::max<qint64>(ms, 0)) + MarginMs);
    if (ms < 0) {
        m_log.LogEvent(QStringLiteral("<ERROR> ") + why);
        finish(Result::Failed);
        return;
    }
    if (!allowed()) {
        cancel();
        return;
    }
    m_worker = m_engine.PlayWaveToLine(path);
    if (m_worker == 0)
        finish(Result::Failed);
}

bool LineOutput::cancel()
{
    m_clock.cancel(m_limit);
    m_limit = 0;
    m_texts.cancel(m_renderTicket);
    m_renderTicket = 0;
    m_done = nullptr;
    ++m_request;
    const quint64 worker = m_worker;
    m_worker = 0;
    if (worker == 0 || !m_engine.transmitting())
        return m_engine.GetVoiceState() != TQVModem253::VoiceTransmit;
    m_engine.StopTransmitRaw(); // each stops only a worker of its kind
    m_engine.StopWaveToLine();
    return m_engine.GetVoiceState() != TQVModem253::VoiceTransmit;
}

void LineOutput::trxEnded(quint64 worker)
{
    if (worker != 0 && worker == m_worker && m_done)
        finish(Result::Played);
}

// A worker that ended without ending a stream never started one.
void LineOutput::workerDone(quint64 worker)
{
    if (worker != 0 && worker == m_worker && m_done)
        finish(Result::Failed);
}
