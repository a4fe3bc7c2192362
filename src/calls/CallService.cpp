#include "calls/CallService.h"

#include "calls/AnsweringMachine.h"
#include "calls/CallClock.h"
#include "calls/CallNews.h"
#include "calls/CallScreen.h"
#include "calls/CallerListTable.h"
#include "calls/LiveListening.h"
#include "calls/GreetingTable.h"
#include "calls/SpokenTexts.h"
#include "calls/CallState.h"
#include "calls/EventLog.h"
#include "calls/LeftoverRecording.h"
#include "calls/LineEvents.h"
#include "calls/RecordingController.h"
#include "calls/TvModem.h"
#include "catalogue/Catalogue.h"
#include "catalogue/DataFolder.h"
#include "catalogue/TableError.h"
#include "config/CurrentSettings.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "config/VoiceChoice.h"
#include "speech/TextToSpeech.h"
#include "linedsp/TQVMdsp.h"
#include "modem/TQVModem253.h"

#include <QDir>

CallService::CallService(Options options) : m_options(std::move(options))
{
    if (!m_options.clock)
        m_ownClock = std::make_unique<SystemCallClock>();
    m_clock = m_options.clock ? m_options.clock : m_ownClock.get();
    m_log = std::make_unique<EventLog>();
    m_ini = std::make_unique<IniFile>(m_options.dataFolder + QLatin1Char('/') + datafolder::SettingsFileName);
    m_catalogue =
        std::make_unique<Catalogue>(m_options.dataFolder, datafolder::recordingsFolder(m_options.dataFolder));
    m_dsp = std::make_unique<TQVMdsp>(); // every detector off until a call arms them
    m_dsp->SilThreshold = 1.0f;
    m_engine = std::make_unique<TQVModem253>();
    m_engine->setSerialPort(m_options.port);
    m_engine->setIniFile(m_ini.get());
    m_engine->setLogger(m_log.get());
    m_engine->setDSP(m_dsp.get());
    m_engine->setTickClock([clock = m_clock] { return uint32_t(clock->tickMs()); });
    m_events = std::make_unique<LineEvents>(*m_engine, *m_dsp);
    // Before the call session's own: a ring is told before the answer it leads to.
    m_news = std::make_unique<CallNews>();
    m_news->setView(m_options.view);
    QObject::connect(m_events.get(), &LineEvents::ring, m_news.get(), &CallNews::reportRing);
    m_state = std::make_unique<CallState>();
}

CallService::~CallService()
{
    shutDown();
}

CallService::Start CallService::start(QString* error)
{
    if (!open(error))
        return Start::Failed;
    return startCalls();
}

bool CallService::open(QString* error)
{
    m_log->open(m_options.dataFolder);
    if (settings::createMissingKeys(*m_ini).empty() && !m_ini->lastError().isEmpty())
        m_log->LogEvent(QStringLiteral("<ERROR> Cannot write the settings file: ") + m_ini->lastError());
    m_settings = std::make_unique<CurrentSettings>(*m_ini);
    try {
        m_catalogue->OpenCatalogue();
        for (const QString& note : m_catalogue->openNotes())
            m_log->LogEvent(note);
    } catch (const TableError& e) {
        if (error)
            *error = e.message();
        m_log->LogEvent(QStringLiteral("<ERROR> ") + e.message());
        return false;
    }
    m_greetings = std::make_unique<GreetingTable>(m_options.dataFolder);
    try {
        m_greetings->open();
    } catch (const TableError& e) {
        // Left as it is; the periods still greet every caller.
        m_log->LogEvent(QStringLiteral("<ERROR> ") + e.message());
        m_greetings.reset();
    }
    m_lists = std::make_unique<CallerListTable>(m_options.dataFolder);
    try {
        m_lists->open();
    } catch (const TableError& e) {
        m_log->LogEvent(QStringLiteral("<ERROR> ") + e.message() + QStringLiteral(": no caller is blocked"));
        m_lists.reset();
    }
    m_screen = std::make_unique<CallScreen>(CallScreen::Parts{*m_log, *m_catalogue, *m_settings, *m_clock, m_lists.get()});
    QObject::connect(m_screen.get(), &CallScreen::callScreened, m_news.get(), [this](const ScreenEvent& e) {
        if (e.kind == ScreenEvent::Kind::Blocked)
            m_news->reportBlocked(e.number, e.name, e.action);
    });
    if (!QDir().mkpath(m_catalogue->recordingsFolder()))
        m_log->LogEvent(QStringLiteral("<ERROR> Cannot create the recordings folder ") + m_catalogue->recordingsFolder());
    return true;
}

CallService::Start CallService::startCalls()
{
    recoverLeftoverRecordings(*m_catalogue, *m_log);
    m_controller = std::make_unique<RecordingController>(RecordingController::Parts{
        *m_engine, *m_dsp, *m_catalogue, *m_log, *m_clock, *m_state, *m_news, *m_ini});
    m_controller->onRecordingSaved = [this](const RecordingSession& s, bool newMessage) { reportSaved(s, newMessage); };
    m_news->setUserReleased([this] { return m_controller->userReleased(); });
    m_session = std::make_unique<TvModem>(TvModem::Parts{*m_engine, *m_dsp, *m_events, *m_settings, *m_state,
                                                          *m_controller, *m_log, *m_clock, *m_news, *m_ini});
    startAnsweringMachine();
    // After the call session's own: a call it takes on the last ring is not idle.
    QObject::connect(m_events.get(), &LineEvents::ringAway, m_news.get(), &CallNews::reportRingAway);
    const bool ready = m_session->DataModuleCreate() == TvModem::Start::Ready;
    m_answerer->prepareTexts();
    return ready ? Start::Ready : Start::NoModem;
}

void CallService::startAnsweringMachine()
{
    m_texts = std::make_unique<SpokenTexts>(nullptr);
    m_answerer = std::make_unique<AnsweringMachine>(AnsweringMachine::Parts{
        *m_engine, *m_dsp, *m_events, *m_settings, *m_state, *m_controller, *m_log, *m_clock, *m_news,
        *m_catalogue, *m_texts, m_greetings.get(), m_options.dataFolder});
    m_session->setAnswerer(m_answerer.get());
    m_session->setScreen(m_screen.get());
    m_answerer->setScreen(m_screen.get());
    m_session->onSpeechReady = [this](TextToSpeech* tts) {
        m_texts->setSpeech(tts);
        settings::adoptVoiceIndex(*m_ini, tts->voiceIds()); // read with the settings before the next call
    };
    m_live = std::make_unique<LiveListening>(*m_events, *m_state);
    m_live->setEveryMessage(m_settings->values().liveScreening);
    m_live->onError = [this](const QString& message) {
        m_log->LogEvent(QStringLiteral("<ERROR> The message cannot be heard live: ") + message);
    };
    m_session->betweenCalls = [this] {
        m_answerer->prepareTexts();
        m_live->setEveryMessage(m_settings->values().liveScreening);
        m_live->stop();
    };
}

void CallService::setView(RecordingView* view)
{
    m_options.view = view;
    m_news->setView(view);
}

void CallService::reportSaved(const RecordingSession& session, bool newMessage)
{
    SavedRecording saved;
    saved.number = session.callerNumber;
    saved.name = session.callerName;
    saved.start = session.startTime;
    saved.seconds = session.seconds;
    saved.fileName = session.fileName;
    saved.message = newMessage;
    m_catalogue->tree().forEach([&](const FolderNode& node, int) {
        if (node.folderKey == m_catalogue->recordFolderId())
            saved.folder = node.text;
    });
    try {
        saved.newMessages = m_catalogue->newMessageCount();
    } catch (const TableError&) {
    }
    m_news->reportSaved(saved);
}

void CallService::shutDown()
{
    if (m_shutDown || !m_settings)
        return;
    m_shutDown = true;
    if (m_session)
        m_session->shutDown();
    try {
        m_catalogue->saveTree();
    } catch (const TableError& e) {
        m_log->LogEvent(QStringLiteral("<ERROR> ") + e.message());
    }
    m_log->endSession();
}
