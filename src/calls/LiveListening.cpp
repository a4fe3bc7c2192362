#include "calls/LiveListening.h"

#include "audio/AudioErrors.h"
#include "audio/WaveFormat.h"
#include "calls/CallState.h"
#include "calls/LineEvents.h"

LiveListening::LiveListening(LineEvents& events, CallState& state, QObject* parent)
    : QObject(parent), m_state(state)
{
    m_out.setBufferCount(0); // no pre-roll: the lead of silence is the only wait
    m_out.setFormat(standardPcm8k());
    m_out.OnAudioPlayed = [this](TdeAudioIO*, const void*, qint64 size) {
        if (onPlayed)
            onPlayed(size);
    };
    m_out.OnDeviceError = [this](TdeAudioIO*, const QString& message) {
        m_failedCall = m_state.callId;
        if (onError)
            onError(message);
    };
    connect(&events, &LineEvents::pcmData, this, &LiveListening::block, Qt::DirectConnection);
}

LiveListening::~LiveListening()
{
    m_out.Close();
}

bool LiveListening::wanted() const
{
    return m_state.phase == CallPhase::MessageRecording && m_failedCall != m_state.callId
        && (m_everyMessage || m_callId == m_state.callId);
}

bool LiveListening::listenToThisCall()
{
    if (m_state.phase != CallPhase::Ringing && m_state.phase != CallPhase::Greeting
        && m_state.phase != CallPhase::MessageRecording)
        return false;
    m_callId = m_state.callId;
    return true;
}

void LiveListening::stop()
{
    m_callId = 0;
    m_out.Close();
}

void LiveListening::block(const uint8_t* data, int size)
{
    if (!wanted()) {
        if (m_out.active())
            m_out.Close();
        return;
    }
    try {
        if (!m_out.active()) {
            m_out.Open();
            const QByteArray lead(LeadMs * 8, char(0x80));
            m_out.Queue(lead.constData(), lead.size());
        }
        if (m_out.inFlight() > MaxBlocksBehind)
            return; // heard late is worse than a gap
        m_out.Queue(data, size);
    } catch (const std::exception& e) {
        m_failedCall = m_state.callId;
        m_out.Close();
        if (onError)
            onError(QString::fromUtf8(e.what()));
        return;
    }
    if (onQueued)
        onQueued(size);
}
