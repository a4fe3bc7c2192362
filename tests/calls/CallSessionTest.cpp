// The call session on a fake modem in simulated time: what each call
// becomes, and that every recording ends, is saved and releases the line.
#include "CallFixture.h"

#include "calls/LineEvents.h"
#include "config/CurrentSettings.h"
#include "config/SettingsCatalogue.h"

#include <QFile>

namespace {

using Engine = TQVModem253;

class CallSessionTest : public CallTest
{
protected:
    void SetUp() override
    {
        CallTest::SetUp();
        start();
    }
    // Rings twice with caller ID and lets the rings stop: a call picked up on a handset.
    void pickedUpCall(const QString& number = QStringLiteral("5551234"))
    {
        ring();
        if (!number.isEmpty())
            callerId(number, QStringLiteral("SMITH JOHN"));
        ring();
        ringAway();
    }
    void expectCallOver()
    {
        EXPECT_FALSE(recording());
        EXPECT_TRUE(onHook());
        EXPECT_EQ(state().phase, CallPhase::Idle);
        EXPECT_TRUE(state().dtmfDigits.isEmpty());
        EXPECT_TRUE(state().callerNumber.isEmpty());
    }
};

TEST_F(CallSessionTest, RingingThatStopsEarlyIsRecordedWithTheCaller)
{
    pickedUpCall();
    ASSERT_TRUE(recording());
    EXPECT_EQ(state().phase, CallPhase::AutoRecording);
    EXPECT_TRUE(view.popup.isEmpty()) << "the caller-ID window hides when recording starts";
    talk(3000);
    service->session().dsp1CadenceDisc();
    settle();
    expectCallOver();
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(lastRow("callerID"), QStringLiteral("5551234"));
    EXPECT_EQ(lastRow("Comment"), QStringLiteral("SMITH JOHN"));
    EXPECT_EQ(lastRow("accessed"), QStringLiteral("True"));
    EXPECT_EQ(lastRow("Duration"), QStringLiteral("00:03"));
    const QString file = service->catalogue().recordingsFolder() + lastRow("fileName");
    EXPECT_GT(QFile(file).size(), 3 * 8000);
    EXPECT_FALSE(QFile::exists(service->catalogue().recordingsFolder() + Catalogue::RecordedFileName));
    for (const char* line : {"Ring", "Caller ID detected", "Auto Recording", "-- Start Recording",
                             "cadence disconnect", "-- Stop Recording"})
        EXPECT_TRUE(logged(QLatin1String(line))) << line;
    EXPECT_TRUE(logged(QStringLiteral("-- File saved (") + lastRow("fileName") + QLatin1Char(')')));
}

TEST_F(CallSessionTest, WhatRingingBecomes)
{
    // Answering machine off, amRings 4: six rings nobody takes start nothing.
    for (int i = 0; i < 6; ++i)
        ring();
    ringAway();
    EXPECT_FALSE(recording());
    EXPECT_EQ(state().phase, CallPhase::Idle);

    // AutoRecord off: an early ring-away records nothing either.
    set(keys::AutoRecord, QStringLiteral("0"));
    pickedUpCall();
    EXPECT_FALSE(recording());
    EXPECT_EQ(rowCount(), 0);
}

TEST_F(CallSessionTest, HandsetLiftedWhileRingingRecordsAtOnce)
{
    ring();
    deliver(QByteArray("\x10H"));
    ASSERT_TRUE(recording()) << "no wait for the rings to stop";
    ringAway(); // the rings stop later: the same call
    EXPECT_EQ(state().phase, CallPhase::AutoRecording);
    service->controller().Stop();
    settle();
    EXPECT_EQ(rowCount(), 1);

    // Off hook with no ringing is an outgoing call; the report after the
    // program's own AT+VLS=1 is not a handset.
    for (const char* code : {"\x10H", "\x10P", "\x10t"})
        deliver(QByteArray(code));
    EXPECT_FALSE(recording());
    service->controller().Record();
    ring(1000);
    deliver(QByteArray("\x10H"));
    EXPECT_EQ(state().phase, CallPhase::ManualRecording);
}

TEST_F(CallSessionTest, DisconnectsEndOnlyTheCallsTheProgramTook)
{
    struct Case
    {
        const char* name;
        std::function<void(TvModem&)> event;
    } cases[] = {
        {"silence", [](TvModem& s) { s.dsp1Silence(); }},
        {"cadence", [](TvModem& s) { s.dsp1CadenceDisc(); }},
        {"dial tone", [](TvModem& s) { s.dsp1CallProgress(QStringLiteral("dial tone")); }},
        {"a periodic signal", [this](TvModem& s) {
             for (int i = 0; i < PeriodicSignalRule::EventsToDisconnect; ++i) {
                 audio(192); // one block
                 settle();
                 s.dsp1Periodic();
             }
         }},
    };
    int rows = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pickedUpCall();
        ASSERT_TRUE(recording());
        talk(1000);
        c.event(service->session());
        settle();
        expectCallOver();
        EXPECT_EQ(rowCount(), ++rows);
        clock.advance(30000);
    }

    // Periodic blocks short of a run do nothing; a manual recording ignores them all.
    pickedUpCall();
    for (int i = 0; i < PeriodicSignalRule::EventsToDisconnect - 1; ++i) {
        audio(192);
        settle();
        service->session().dsp1Periodic();
    }
    settle();
    EXPECT_TRUE(recording());
    service->controller().Stop();
    settle();
    service->controller().Record();
    service->session().dsp1Silence();
    service->session().dsp1CadenceDisc();
    settle();
    EXPECT_TRUE(recording());
}

TEST_F(CallSessionTest, ARecordingAlwaysEndsAndIsSaved)
{
    // The modem stops sending audio.
    pickedUpCall();
    talk(1000);
    clock.advance(6000);
    settle();
    expectCallOver();
    EXPECT_EQ(rowCount(), 1);
    EXPECT_TRUE(logged(QStringLiteral("<ERROR> No audio from the modem for 5 s: the recording ends")));

    // Five minutes of a silent line, with silence detection off.
    clock.advance(30000);
    pickedUpCall();
    for (int s = 0; s < 301; ++s) {
        audio(1000, true);
        clock.advance(1000);
    }
    settle();
    expectCallOver();
    EXPECT_EQ(rowCount(), 2);
    EXPECT_TRUE(logged(QStringLiteral("Silence for 5 minutes: the recording ends (backstop)")));
}

TEST_F(CallSessionTest, UnpluggedModemSavesTheCallAndIsBoundAgain)
{
    pickedUpCall();
    talk(2000);
    port.setOpenError(QStringLiteral("the device does not exist"), true);
    port.vanish();
    settle();
    EXPECT_EQ(rowCount(), 1);
    EXPECT_GT(lastRow("fileSize").toInt(), 2 * 8000);
    EXPECT_EQ(state().phase, CallPhase::Idle);

    const int attempts = port.openAttempts();
    clock.advance(6500); // three attempts, the first failure logged once
    settle();
    EXPECT_GE(port.openAttempts() - attempts, 3);
    EXPECT_EQ(logLines().filter(QStringLiteral("does not answer; it is tried again every 2 s")).size(), 1);
    port.setOpenError(QString());
    clock.advance(2000);
    settle();
    EXPECT_TRUE(engine().portIsOpen());
    pickedUpCall(); // and the next call is recorded
    EXPECT_TRUE(recording());
}

// A modem that stops sending and never ends its stream is released; when it
// cannot be bound again at once (it does not open, or vanishes while it is
// initialised), it is tried until it answers.
TEST_F(CallSessionTest, ModemThatStopsAnsweringIsReleasedAndTriedUntilItAnswers)
{
    const QString gone = QStringLiteral("the device does not exist");
    for (const bool vanishAtInit : {false, true}) {
        SCOPED_TRACE(vanishAtInit);
        pickedUpCall();
        talk(1000);
        answerStops = false;
        if (vanishAtInit)
            onCommand = [&](const QByteArray& line) {
                if (!line.startsWith("at+fclass=8"))
                    return;
                onCommand = nullptr;
                port.setOpenError(gone, true);
                port.vanish();
            };
        else
            port.setOpenError(gone, true);
        clock.advance(6000);
        settle();
        EXPECT_FALSE(engine().portIsOpen());

        answerStops = true;
        const int attempts = port.openAttempts();
        clock.advance(4500);
        settle();
        EXPECT_GE(port.openAttempts() - attempts, 2);
        port.setOpenError(QString());
        clock.advance(2000);
        settle();
        EXPECT_TRUE(engine().portIsOpen());
        clock.advance(30000);
    }
    EXPECT_EQ(rowCount(), 2);
}

TEST_F(CallSessionTest, StopArrivingThreeWaysInsideTheStopWaitSavesOnce)
{
    set(keys::HangupSeq, QStringLiteral("#0"));
    pickedUpCall();
    talk(1000);
    onStopPair = [this] {
        onStopPair = nullptr;
        port.deliver(QByteArray("\x10#\x10~\x10" "0\x10~")); // the hang-up sequence, inside the wait
        service->session().dsp1Silence();
        service->controller().Stop(); // the user, too
    };
    service->session().dsp1CadenceDisc();
    settle();
    clock.advance(2000);
    settle();
    EXPECT_EQ(rowCount(), 1);
    EXPECT_EQ(logLines().filter(QStringLiteral("-- Stop Recording")).size(), 1);
    expectCallOver();
}

TEST_F(CallSessionTest, FailuresLeaveNoCallBehind)
{
    // The modem refuses to record: the line goes back on hook, the call is over.
    failRecording = true;
    pickedUpCall();
    EXPECT_FALSE(recording());
    expectCallOver();
    failRecording = false;
    clock.advance(1000); // bound again after 200 ms
    settle();
    EXPECT_TRUE(engine().portIsOpen());

    // A later call without caller ID does not inherit an earlier caller.
    clock.advance(30000);
    pickedUpCall();
    service->controller().Stop();
    settle();
    clock.advance(30000);
    pickedUpCall(QString());
    service->controller().Stop();
    settle();
    ASSERT_EQ(rowCount(), 2);
    EXPECT_TRUE(lastRow("callerID").isEmpty());
    EXPECT_TRUE(lastRow("Comment").isEmpty());

    // A caller ID that came just before the first ring (as in the UK) is kept.
    clock.advance(30000);
    callerId(QStringLiteral("01632960000"), QStringLiteral("BT"));
    pickedUpCall(QString());
    service->controller().Stop();
    settle();
    EXPECT_EQ(lastRow("callerID"), QStringLiteral("01632960000"));
}

TEST_F(CallSessionTest, SettingsChangedOnDiskApplyFromTheNextCall)
{
    pickedUpCall();
    ASSERT_TRUE(recording());
    IniFile other(service->ini().fileName()); // as velmora-cli set does it
    settings::writeString(other, keys::AutoRecord, QStringLiteral("0"));
    service->session().dsp1Silence(); // this call still ends as it began
    settle();
    EXPECT_EQ(rowCount(), 1);
    clock.advance(30000);
    pickedUpCall();
    EXPECT_FALSE(recording());
}

TEST_F(CallSessionTest, TwoRecordingsOfOneSecondBothKeepTheirFiles)
{
    for (int i = 0; i < 2; ++i) {
        clock.setWall(QDateTime(QDate(2026, 12, 9), QTime(11, 0, 0)));
        service->controller().Record();
        talk(400);
        clock.setWall(QDateTime(QDate(2026, 12, 9), QTime(11, 0, 0)));
        service->controller().Stop();
        settle();
    }
    ASSERT_EQ(rowCount(), 2);
    const QString folder = service->catalogue().recordingsFolder();
    EXPECT_EQ(lastRow("fileName"), QStringLiteral("1_20261209_110000_2.wav"));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("1_20261209_110000.wav")));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("1_20261209_110000_2.wav")));
}

} // namespace

// Caller ID is network input: a second caller's, arriving in the middle of
// a recorded call, neither answers nor renames that call, and nothing of it
// reaches the log unprintable.
TEST_F(CallSessionTest, ASecondCallerChangesNothingAboutTheCallOnTheLine)
{
    pickedUpCall();
    ASSERT_TRUE(recording());
    talk(1000);
    // Inside the receive stream, as a DLE packet and DLE R.
    deliver(QByteArray("\x10XNMBR=5550999\r\nNAME=EVIL\x1b[2J\r\n\x10.\x10R"));
    talk(1000);
    EXPECT_TRUE(recording());
    EXPECT_EQ(state().phase, CallPhase::AutoRecording);
    EXPECT_EQ(state().callerNumber, QStringLiteral("5551234"));
    service->session().dsp1CadenceDisc();
    settle();
    expectCallOver();
    ASSERT_EQ(rowCount(), 1) << "the waiting caller is noted in a folder of its own";
    EXPECT_EQ(lastRow("callerID"), QStringLiteral("5551234"));
    EXPECT_TRUE(logged(QStringLiteral("Call waiting: 5550999 EVIL?[2J"))) << qPrintable(logLines().join('\n'));
    for (const QString& line : logLines())
        for (const QChar c : line)
            ASSERT_TRUE(c.isPrint()) << qPrintable(line.toUtf8().toHex());
    EXPECT_EQ(view.popup, QStringLiteral("5550999")) << "shown";
    ring();
    EXPECT_EQ(state().phase, CallPhase::Ringing) << "the next call rings as usual";
}
