#pragma once

#include "calls/CallClock.h"
#include "calls/CallService.h"
#include "calls/CallState.h"
#include "calls/EventLog.h"
#include "calls/RecordingController.h"
#include "calls/RecordingView.h"
#include "calls/TvModem.h"
#include "catalogue/Catalogue.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "modem/TQVModem253.h"
#include "platform/FakeSerialPort.h"

#include <QRecursiveMutex>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>

// Simulated time: timers fire only when a test advances the clock.
class ManualCallClock : public CallClock
{
public:
    qint64 tickMs() const override { return m_now; }
    QDateTime now() const override { return m_wall.addMSecs(m_now); }
    TimerId after(int ms, std::function<void()> work) override;
    void cancel(TimerId id) override;
    // Runs, in time order, every timer due within the next `ms`.
    void advance(qint64 ms);
    void setWall(const QDateTime& wall) { m_wall = wall.addMSecs(-m_now); }

private:
    struct Timer
    {
        qint64 due;
        TimerId id;
        std::function<void()> work;
    };
    qint64 m_now = 100000;
    QDateTime m_wall = QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0));
    std::vector<Timer> m_timers;
    TimerId m_next = 0;
};

// What the window would show, kept for the tests.
class ViewSpy : public RecordingView
{
public:
    void showTransport(TransportMode mode) override { transport = mode; }
    void showTray(TrayIcon icon) override { tray = icon; }
    void showStatus(const QString& text) override { status = text; }
    void showCallerId(const QString& number, const QString&) override { popup = number; }
    void hideCallerId() override { popup.clear(); }
    void showNewMessages(int count) override { newMessages = count; }
    void showMessage(const QString& text) override { messages.append(text); }
    void showLiveAudio(const uint8_t*, int) override {}

    TransportMode transport = TransportMode::NoRecord;
    TrayIcon tray = TrayIcon::Bound;
    QString status;
    QString popup;
    int newMessages = -1;
    QStringList messages;
};

// A probed modem behind a fake port that says OK to every command, CONNECT
// to a stream start and ends a receive stream when asked; a test adds the
// line's events and audio.
class CallTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the service (optionally after preparing the data folder).
    void start();
    // Processes events and runs due timers until nothing is left to do.
    void settle();
    void deliver(const QByteArray& bytes);
    // A ring, `gapMs` after the last one.
    void ring(int gapMs = 6000);
    void callerId(const QString& number, const QString& name);
    // `ms` of audio (8-bit unsigned, as the modem sends it): noise, or silence.
    void audio(int ms, bool silent = false);
    // Lets `ms` pass, with audio arriving all the while unless silent.
    void talk(int ms);
    void ringAway();
    // A DTMF key pressed and let go, as the modem reports it.
    void key(char digit);

    // What the program sent in its transmit streams, one entry a stream.
    QList<QByteArray> transmissions();
    int beepCommands() const { return m_beepCommands.load(); }

    TQVModem253& engine() { return service->engine(); }
    CallState& state() { return service->state(); }
    bool recording() { return engine().GetVoiceState() == TQVModem253::VoiceReceive; }
    // The line as the fake modem holds it (from the commands it answered),
    // not as the program believes it; a closed port has dropped DTR.
    bool onHook() { return !m_lineTaken || !port.isOpen(); }
    // Writes a setting and lets the service read it, as between calls.
    void set(const settings::Key& key, const QString& value);

    int rowCount();
    // The fields of the last catalogue row.
    QString lastRow(const char* field);
    QStringList logLines() const { return service->log().lines(); }
    bool logged(const QString& line) const { return logLines().contains(line); }

    QTemporaryDir dir;
    QString dataFolder;
    FakeSerialPort port;
    ManualCallClock clock;
    ViewSpy view;
    std::unique_ptr<CallService> service;
    QByteArray pendingCommand;
    bool answerStops = true; // the modem ends a stream it is asked to stop
    bool failRecording = false;
    uint32_t noiseSeed = 1;
    std::function<void()> onStopPair; // runs when the program asks the modem to stop receiving
    std::function<void(const QByteArray& line)> onCommand; // runs before a command is answered
    bool refuseBeep = false;          // +VTS answers ERROR
    bool refuseTransmit = false;      // +VTX answers ERROR
    bool dleHAfterLineSelect = false; // DLE H after the OK of AT+VLS=1, as some modems send

private:
    void onWrite(const QByteArray& bytes);
    void command(const QByteArray& line);
    void takeTransmitted(const QByteArray& bytes, qsizetype from);

    QRecursiveMutex m_writeMutex; // writes come from the main thread and the transmit worker
    bool m_transmitting = false;
    bool m_pendingDle = false;
    bool m_lineTaken = false;
    QList<QByteArray> m_transmissions;
    std::atomic<int> m_beepCommands{0};
};
