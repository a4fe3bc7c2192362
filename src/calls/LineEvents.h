#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class TQVModem253;
class TQVMdsp;

// The engine's and the detector's events, taken once and given out as Qt
// signals, so the call session, the event log, the display and the popups
// can all follow them. The end of a transmission and the worker's results
// arrive queued, never inside the worker's or the engine's stack.
class LineEvents : public QObject
{
    Q_OBJECT
public:
    // Takes over the events of both; nothing else may set them.
    LineEvents(TQVModem253& engine, TQVMdsp& dsp, QObject* parent = nullptr);
    ~LineEvents() override;

signals:
    void portOpened();
    void portClosed();
    void ring();
    void ringAway(int rings);
    void callerId(const QString& date, const QString& time, const QString& number, const QString& name);
    // One live block; valid only during the call, so connect directly.
    void pcmData(const uint8_t* data, int size);
    void dtmf(char digit);
    void localOffHook();
    void extensionOffHook();
    void handsetOffHook();
    void localOnHook();
    // The transmit worker whose stream ended, and the one that has ended.
    void trxEnd(quint64 worker);
    void transmitDone(quint64 worker);
    void transmitError(const QString& message);

    void silence();
    void periodic();
    void cadence(double period, int dutyCycle);
    void cadenceDisconnect();
    void callProgressTone(const QString& tone);
    void criticalError(const QString& message, const QString& line);

private:
    void bindEngine(TQVModem253& engine);
    void bindDetector(TQVMdsp& dsp);
    void postWorker(void (LineEvents::*signal)(quint64), quint64 worker);

    TQVModem253& m_engine;
    TQVMdsp& m_dsp;
};
