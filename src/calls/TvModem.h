#pragma once

#include "linedsp/CallEndRules.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class CallAnswerer;
class CallClock;
class CallScreen;
class CurrentSettings;
struct CallSettings;
class EventLog;
class IniFile;
class LineEvents;
class RecordingController;
class RecordingView;
class TQVMdsp;
class TQVModem253;
class TextToSpeech;
struct CallState;

// The modem data module: handles every event of the engine and the
// detector and decides what a call becomes: nothing, an automatic
// recording of a call picked up on a handset, or (through the answerer)
// the answering machine's call.
//
// Every decision is made from the call's phase and the settings the call
// started with. A recording always ends: on a disconnect, when the modem
// sends no audio for 5 s, when the port goes away (the recording is saved
// and the modem bound again every 2 s), and after 5 minutes of silence.
class TvModem : public QObject
{
    Q_OBJECT
public:
    struct Parts
    {
        TQVModem253& engine;
        TQVMdsp& dsp;
        LineEvents& events;
        CurrentSettings& settings;
        CallState& state;
        RecordingController& controller;
        EventLog& log;
        CallClock& clock;
        RecordingView& view;
        IniFile& ini;
    };
    enum class Start { Ready, NoModem };

    static constexpr int SilentAudioMs = 5000;
    static constexpr int SilenceBackstopMs = int(SilenceBackstop::EndsAfterMs);
    static constexpr int RebindIntervalMs = 2000;
    // A caller ID this recent belongs to the ringing that follows it.
    static constexpr int CallerIdBeforeRingMs = 10000;
    static constexpr int OwnLineTakeReportMs = 2000;

    explicit TvModem(Parts parts, QObject* parent = nullptr);
    ~TvModem() override;

    // DataModuleCreate: NoModem when no modem has been defined (nothing else
    // is done then; the desktop program runs the modem definition).
    Start DataModuleCreate();
    // Loads the profile and initialises the modem; on failure the modem is
    // tried again every 2 s.
    void StartModem();
    void ShowAnsweringState();
    void setAnswerer(CallAnswerer* answerer) { m_answerer = answerer; }
    void setScreen(CallScreen* screen) { m_screen = screen; }
    // Arms the disconnect detection for a recording the program took.
    static void armDetector(TQVMdsp& dsp, const CallSettings& settings);
    // Called after every call and at the first ring of the next, once the
    // settings have been read again (the answering machine renders ahead).
    std::function<void()> betweenCalls;
    // Called once the speech engine has started, before the modem is.
    std::function<void(TextToSpeech*)> onSpeechReady;
    TextToSpeech* speech() const { return m_tts.get(); }
    // Closing: a recording under way is saved, the modem released.
    void shutDown();

    void DevPortOpen();
    void DevPortClose();
    void DevRing();
    void DevRingAway(int ringNum);
    void DevCallerID(const QString& date, const QString& time, const QString& number, const QString& name);
    void DevPCMdata(const uint8_t* data, int size);
    void DevDTMF(char digit);
    void DevTrxEnd();
    // A handset on the line was lifted (DLE "H", "P" or "t").
    void DevOffHook(const QString& which);
    void dsp1Silence();
    void dsp1Periodic();
    void dsp1CadenceDisc();
    void dsp1CallProgress(const QString& tone);
    void dsp1CriticalError(const QString& message, const QString& line);

private:
    void connectEvents();
    void refreshBetweenCalls();
    void beginRinging();
    // A call is on the line already: what rings now is a second caller.
    bool lineInUse() const;
    void callWaiting(const QString& number, const QString& name);
    void screenCaller();
    int ringsToAnswer() const;
    void startAutoRecording();
    void disconnect(const QString& line);
    void recordingStarted();
    void watchRecording(quint64 callId);
    void rebindLater();
    void rebind();
    // Loads the profile and runs the init script. A call that starts while
    // the script's commands are under way is taken once they are done, so
    // none of them lands in the call's audio stream.
    bool initialiseModem();
    void takeCallAfterInit(std::function<void()> take);
    QString portText() const;

    Parts m_;
    std::unique_ptr<TextToSpeech> m_tts;
    CallAnswerer* m_answerer = nullptr;
    CallScreen* m_screen = nullptr;
    qint64 m_waitingTick = -1; // the last second caller reported
    qint64 m_lastAudioTick = 0;
    SilenceBackstop m_backstop;
    bool m_rebinding = false;
    bool m_rebindFailed = false;
    bool m_shuttingDown = false;
    bool m_initialising = false;
    std::function<void()> m_takeAfterInit;
};
