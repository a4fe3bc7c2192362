#include "calls/LineEvents.h"

#include "linedsp/TQVMdsp.h"
#include "modem/TQVModem253.h"

LineEvents::LineEvents(TQVModem253& engine, TQVMdsp& dsp, QObject* parent)
    : QObject(parent), m_engine(engine), m_dsp(dsp)
{
    bindEngine(engine);
    bindDetector(dsp);
}

// The engine and the detector may outlive this object.
LineEvents::~LineEvents()
{
    m_engine.OnPortOpen = m_engine.OnPortClose = m_engine.OnRing = nullptr;
    m_engine.OnRingAway = nullptr;
    m_engine.OnCallerID = nullptr;
    m_engine.OnPCMdata = nullptr;
    m_engine.OnDTMF = nullptr;
    m_engine.OnLclOffHook = m_engine.OnExtOffHook = m_engine.OnHandsetOffHook = m_engine.OnLclOnHook = nullptr;
    m_engine.OnTrxEnd = m_engine.OnTransmitDone = nullptr;
    m_engine.OnTransmitError = nullptr;
    m_dsp.OnSilence = m_dsp.OnPeriodic = m_dsp.OnCadenceDisc = nullptr;
    m_dsp.OnCadence = nullptr;
    m_dsp.OnCallProgress = nullptr;
    m_dsp.OnCriticalError = nullptr;
}

void LineEvents::postWorker(void (LineEvents::*signal)(quint64), quint64 worker)
{
    QMetaObject::invokeMethod(this, [this, signal, worker] { emit(this->*signal)(worker); }, Qt::QueuedConnection);
}

void LineEvents::bindEngine(TQVModem253& e)
{
    e.OnPortOpen = [this](TQVModem253*) { emit portOpened(); };
    e.OnPortClose = [this](TQVModem253*) { emit portClosed(); };
    e.OnRing = [this](TQVModem253*) { emit ring(); };
    e.OnRingAway = [this](int rings) { emit ringAway(rings); };
    e.OnCallerID = [this](const QString& date, const QString& time, const QString& number, const QString& name) {
        emit callerId(date, time, number, name);
    };
    e.OnPCMdata = [this](const uint8_t* data, int size) { emit pcmData(data, size); };
    e.OnDTMF = [this](char digit) { emit dtmf(digit); };
    e.OnLclOffHook = [this](TQVModem253*) { emit localOffHook(); };
    e.OnExtOffHook = [this](TQVModem253*) { emit extensionOffHook(); };
    e.OnHandsetOffHook = [this](TQVModem253*) { emit handsetOffHook(); };
    e.OnLclOnHook = [this](TQVModem253*) { emit localOnHook(); };
    e.OnTrxEnd = [this](TQVModem253* engine) { postWorker(&LineEvents::trxEnd, engine->trxEndWorker()); };
    e.OnTransmitDone = [this](TQVModem253* engine) { postWorker(&LineEvents::transmitDone, engine->doneWorker()); };
    e.OnTransmitError = [this](const QString& message) {
        QMetaObject::invokeMethod(this, [this, message] { emit transmitError(message); }, Qt::QueuedConnection);
    };
}

void LineEvents::bindDetector(TQVMdsp& d)
{
    d.OnSilence = [this](TQVMdsp*) { emit silence(); };
    d.OnPeriodic = [this](TQVMdsp*) { emit periodic(); };
    d.OnCadence = [this](TQVMdsp*, double period, int duty) { emit cadence(period, duty); };
    d.OnCadenceDisc = [this](TQVMdsp*) { emit cadenceDisconnect(); };
    d.OnCallProgress = [this](TQVMdsp*, const QString& tone) { emit callProgressTone(tone); };
    d.OnCriticalError = [this](TQVMdsp*, const QString& message, const QString& line) {
        emit criticalError(message, line);
    };
}
