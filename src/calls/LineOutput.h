#pragma once

#include "calls/CallClock.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class EventLog;
class LineEvents;
class SpokenTexts;
class TQVModem253;

// Sends one thing at a time to the line for a call: a spoken text or a
// WAV file. Each request ends with exactly one result, unless cancelled:
// Played when the modem ended the stream (its trxEnd), Failed when nothing
// or not all of it could go out, TimedOut when the modem did not end the
// stream within the audio's length and a margin. Late notices of an
// earlier transmission are told apart by the worker's id.
class LineOutput : public QObject
{
    Q_OBJECT
public:
    enum class Result { Played, Failed, TimedOut };
    using Done = std::function<void(Result)>;
    static constexpr int MarginMs = 5000;
    static constexpr int RenderLimitMs = 15000;

    LineOutput(TQVModem253& engine, LineEvents& events, SpokenTexts& texts, CallClock& clock, EventLog& log,
               QObject* parent = nullptr);
    ~LineOutput() override;

    void speak(const QString& text, Done done);
    // 8 kHz 8-bit unsigned audio, into a stream started here.
    void send(const QByteArray& audio, Done done);
    void playFile(const QString& path, Done done);
    // Forgets the request under way and stops its transmission; true when
    // nothing transmits afterwards.
    bool cancel();
    bool busy() const { return bool(m_done); }
    // Asked before anything is sent: false once the call has ended, so no
    // transmission starts after a Stop.
    void setAllowed(std::function<bool()> allowed) { m_allowed = std::move(allowed); }
    // The length of a WAV file's audio in ms, or -1 with why it cannot play.
    static qint64 wavFileMs(const QString& path, QString* why);

    // A transmit stream is being started: its command waits for CONNECT,
    // and nothing else may be sent to the modem meanwhile.
    bool starting() const { return m_starting; }

private:
    void begin(Done done, int limitMs);
    bool allowed() const { return !m_allowed || m_allowed(); }
    void finish(Result result);
    void armLimit(int ms);
    void trxEnded(quint64 worker);
    void workerDone(quint64 worker);

    TQVModem253& m_engine;
    SpokenTexts& m_texts;
    CallClock& m_clock;
    EventLog& m_log;
    Done m_done;
    std::function<bool()> m_allowed;
    bool m_starting = false;
    quint64 m_request = 0;     // counts requests; a stale callback is dropped
    quint64 m_worker = 0;      // the worker of the request under way
    quint64 m_renderTicket = 0;
    CallClock::TimerId m_limit = 0;
};
