#pragma once

#include "audio/AudioDevices.h"

#include <QObject>
#include <cstdint>
#include <functional>

struct CallState;
class LineEvents;

// The message being recorded, heard on the sound card as the modem sends
// it: for every message (a setting) or for the call under way (a button).
// Blocks go to the output as they come, behind a short lead of silence;
// when the card falls behind, blocks are dropped rather than heard late.
class LiveListening : public QObject
{
    Q_OBJECT
public:
    static constexpr int LeadMs = 60;
    static constexpr quint32 MaxBlocksBehind = 2;

    LiveListening(LineEvents& events, CallState& state, QObject* parent = nullptr);
    ~LiveListening() override;

    void setEveryMessage(bool on) { m_everyMessage = on; }
    // The call ringing or answered now (its message, once recorded); false
    // when there is none.
    bool listenToThisCall();
    void stop();
    bool listening() const { return m_out.active(); }
    void setDeviceNumber(int device) { m_out.setDeviceNumber(device); }
    // Each block as it arrives and as the card has played it (for measuring).
    std::function<void(qint64 bytes)> onQueued;
    std::function<void(qint64 bytes)> onPlayed;
    // The card could not be opened or went away; the call goes on unheard.
    std::function<void(const QString& message)> onError;

private:
    bool wanted() const;
    void block(const uint8_t* data, int size);

    CallState& m_state;
    TdeAudioOut m_out;
    bool m_everyMessage = false;
    quint64 m_callId = 0; // the call asked for by the button
    quint64 m_failedCall = 0;
};
