#pragma once

#include <QString>
#include <memory>

class AnsweringMachine;
class CallClock;
class CallNews;
class CallScreen;
class CallerListTable;
class LiveListening;
class Catalogue;
class CurrentSettings;
class EventLog;
class GreetingTable;
class SpokenTexts;
class IniFile;
class LineEvents;
class RecordingController;
class RecordingView;
struct RecordingSession;
class SerialPort;
class TQVMdsp;
class TQVModem253;
class TvModem;
struct CallState;

// The call handling as one piece, put together as the program starts it:
// the event log, the settings, the catalogue, the engine on its port with
// its detector, the call session and the recording controller. The desktop
// program shows it; the headless `run` only logs it.
class CallService
{
public:
    struct Options
    {
        QString dataFolder;
        SerialPort* port = nullptr;    // not owned
        RecordingView* view = nullptr; // not owned
        CallClock* clock = nullptr;    // not owned; the system's clock when null
    };
    enum class Start { Ready, NoModem, Failed };

    explicit CallService(Options options);
    ~CallService();
    CallService(const CallService&) = delete;
    CallService& operator=(const CallService&) = delete;

    // Opens the log, writes the missing settings, opens the catalogue,
    // saves a recording an earlier run left, and starts the call session.
    // Failed (with *error) when the catalogue cannot be opened.
    Start start(QString* error);
    // The two halves of start, for a window that shows the catalogue before
    // the modem is bound: open (false with *error when the catalogue cannot
    // be opened), then startCalls.
    bool open(QString* error);
    Start startCalls();
    bool callsStarted() const { return m_session != nullptr; }
    // Where the call handling shows itself; before startCalls.
    void setView(RecordingView* view);
    // As closing the main window: a recording under way is saved, the modem
    // released, "---------- End session ----------", the log saved.
    void shutDown();

    const QString& dataFolder() const { return m_options.dataFolder; }
    EventLog& log() { return *m_log; }
    IniFile& ini() { return *m_ini; }
    Catalogue& catalogue() { return *m_catalogue; }
    TQVModem253& engine() { return *m_engine; }
    TQVMdsp& dsp() { return *m_dsp; }
    LineEvents& events() { return *m_events; }
    CallState& state() { return *m_state; }
    RecordingController& controller() { return *m_controller; }
    TvModem& session() { return *m_session; }
    CallClock& clock() { return *m_clock; }
    CurrentSettings& settings() { return *m_settings; }
    AnsweringMachine& answeringMachine() { return *m_answerer; }
    // Null when Msgs.d cannot be opened.
    GreetingTable* greetings() { return m_greetings.get(); }
    // Null when Lists.d cannot be opened (nobody is blocked then).
    CallerListTable* callerLists() { return m_lists.get(); }
    // Reports every blocked, key-checked and waiting call (callScreened).
    // Null before open.
    CallScreen* screen() { return m_screen.get(); }
    // The message being recorded on the sound card; null before startCalls.
    LiveListening* live() { return m_live.get(); }
    // Everything that happens on the line, for mail and home automation.
    CallNews& news() { return *m_news; }

private:
    void startAnsweringMachine();
    void reportSaved(const RecordingSession& session, bool newMessage);

    Options m_options;
    std::unique_ptr<CallClock> m_ownClock;
    CallClock* m_clock;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<IniFile> m_ini;
    std::unique_ptr<CurrentSettings> m_settings;
    std::unique_ptr<Catalogue> m_catalogue;
    std::unique_ptr<TQVMdsp> m_dsp;
    std::unique_ptr<TQVModem253> m_engine;
    std::unique_ptr<LineEvents> m_events;
    std::unique_ptr<CallNews> m_news;
    std::unique_ptr<CallState> m_state;
    std::unique_ptr<RecordingController> m_controller;
    std::unique_ptr<TvModem> m_session;
    std::unique_ptr<SpokenTexts> m_texts;
    std::unique_ptr<GreetingTable> m_greetings;
    std::unique_ptr<CallerListTable> m_lists;
    std::unique_ptr<CallScreen> m_screen;
    std::unique_ptr<LiveListening> m_live;
    std::unique_ptr<AnsweringMachine> m_answerer;
    bool m_shutDown = false;
};
