// The answering machine and remote access on a fake modem: greetings,
// the beep, messages, the caller's keys, and what is catalogued.
#include "CallFixture.h"
#include "RealLine.h"
#include "TestSupport.h"

#include "audio/AudioDevices.h"
#include "audio/RiffWriter.h"
#include "calls/AnsweringMachine.h"
#include "calls/CallerListTable.h"
#include "calls/Greeting.h"
#include "calls/LiveListening.h"
#include "calls/RemoteAccess.h"
#include "catalogue/RecordingNames.h"
#include "config/CurrentSettings.h"
#include "config/SettingsCatalogue.h"
#include "platform/SoundBackend.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cmath>
#include <iostream>
#include <numbers>

namespace {

using Engine = TQVModem253;

class AnsweringMachineTest : public CallTest
{
protected:
    void SetUp() override
    {
        CallTest::SetUp();
        IniFile ini(dataFolder + QStringLiteral("/vlm.ini"));
        ini.beginUpdate();
        settings::writeBool(ini, keys::AnsweringMachine, true);
        settings::writeInteger(ini, keys::AmRings, 2);
        settings::writeString(ini, keys::RemoteCode, QStringLiteral("4711"));
        ini.commitUpdate();
        start();
        engine().setSleepFunction({}); // the transmit worker's waits need real time
        engine().setTransmitSpeed(20);
    }
    void TearDown() override
    {
        if (HasFailure())
            for (const QString& line : logLines())
                std::cerr << line.toStdString() << "\n";
        CallTest::TearDown();
    }
    void setDefaultPeriod(int type, const QString& content)
    {
        GreetingPeriods periods = CallSettings::readPeriods(service->ini());
        periods[0].msgType = type;
        (type == 0 ? periods[0].wav : periods[0].tts) = content;
        ASSERT_TRUE(CallSettings::writePeriods(service->ini(), periods));
        service->settings().reloadIfChanged();
    }
    // Real time for the transmit worker, simulated time for the rest.
    bool waitFor(const std::function<bool()>& done, int ms = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms)
                return false;
            clock.advance(0);
            QThread::msleep(2);
        }
        return true;
    }
    void answer(const QString& number = QStringLiteral("5551234"))
    {
        ring();
        if (!number.isEmpty())
            callerId(number, QStringLiteral("SMITH JOHN"));
        ring(); // the second ring: amRings
    }
    void keys(const char* digits)
    {
        for (const char* d = digits; *d; ++d)
            key(*d);
    }
    bool callOver() { return state().phase == CallPhase::Idle && !recording() && onHook(); }
    int newMessages() { return service->catalogue().newMessageCount(); }
    void expectRow(const char* accessed, const QString& comment)
    {
        EXPECT_EQ(lastRow("accessed"), QLatin1String(accessed));
        EXPECT_EQ(lastRow("Comment"), comment);
    }
    // A message left earlier: half a second of 8 kHz 8-bit audio.
    QByteArray addMessage(const QString& fileName)
    {
        QByteArray audio(4000, char(0));
        for (qsizetype i = 0; i < audio.size(); ++i)
            audio[i] = char(60 + (i * 7 + fileName.size()) % 130);
        const QString path = service->catalogue().recordingsFolder() + fileName;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        TdeRIFFAudioWriter writer(&file);
        writer.setFormat(standardPcm8k());
        writer.writeData(audio.constData(), audio.size());
        writer.finish();
        file.close();
        RecordingSession session;
        session.startTime = clock.now();
        session.callerNumber = QStringLiteral("5550000");
        session.answeredByMachine = true;
        session.recordedFile = path;
        session.fileName = fileName;
        service->catalogue().AddRecordingRow(session);
        return audio;
    }
    // 480+620 Hz, 0.5 s on and off, at about -10 dB.
    void busyTone(int ms)
    {
        QByteArray bytes(ms * 8, char(0x80));
        for (qsizetype i = 0; i < bytes.size(); ++i)
            if ((i / 4000) % 2 == 0) {
                const double t = double(i) / 8000.0;
                bytes[i] = char(128 + std::lround(20 * std::sin(2 * std::numbers::pi * 480 * t)
                                                  + 20 * std::sin(2 * std::numbers::pi * 620 * t)));
            }
        for (qsizetype at = 0; at < bytes.size(); at += 1600) {
            port.deliver(bytes.mid(at, 1600));
            clock.advance(200);
        }
        settle();
    }
};

TEST(SelectGreetingTest, CallerBeatsPeriodsAndPeriodsKeepTheirBounds)
{
    GreetingPeriods periods;
    periods[0] = {false, QTime(9, 0), QTime(17, 0), 1, QString(), QStringLiteral("default")};
    periods[1] = {true, QTime(9, 0), QTime(17, 0), 1, QString(), QStringLiteral("day")};
    periods[2] = {true, QTime(22, 0), QTime(6, 0), 0, QStringLiteral("/g/night.wav"), QString()};
    periods[3] = {false, QTime(0, 0), QTime(23, 59, 59), 1, QString(), QStringLiteral("disabled")};
    const std::vector<CallerGreeting> callers = {{QStringLiteral("A1"), QStringLiteral("555"), 2, {}, {}},
                                                 {QStringLiteral("A2"), QStringLiteral("555"), 1, {}, {}}};
    auto pick = [&](const char* number, QTime at) {
        return SelectGreeting(callers, periods, QLatin1String(number), at, QStringLiteral("/data"));
    };
    const Greeting personal = pick("555", QTime(12, 0));
    EXPECT_EQ(personal.type, GreetingType::Recorded); // the first row of two for the number
    EXPECT_EQ(personal.content, QStringLiteral("/data/Msgs/A1.wav"));
    EXPECT_EQ(pick("5555", QTime(12, 0)).content, QStringLiteral("day")); // numbers match exactly
    EXPECT_EQ(pick("", QTime(17, 0, 0, 900)).content, QStringLiteral("day"));
    EXPECT_EQ(pick("", QTime(17, 0, 1)).content, QStringLiteral("default")); // the default, though disabled
    EXPECT_EQ(pick("", QTime(23, 30)).content, QStringLiteral("/g/night.wav")); // across midnight
    EXPECT_EQ(pick("", QTime(5, 59, 59)).type, GreetingType::WavFile);
    EXPECT_EQ(pick("", QTime(6, 0, 1)).content, QStringLiteral("default"));
    EXPECT_EQ(pick("", QTime(5, 0)).source, QStringLiteral("Second time period"));
}

TEST_F(AnsweringMachineTest, AnsweredCallGreetsBeepsAndKeepsTheMessage)
{
    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    EXPECT_EQ(state().phase, CallPhase::MessageRecording);
    ASSERT_EQ(transmissions().size(), 1);
    EXPECT_GT(transmissions()[0].size(), 8000) << "a spoken greeting of over a second";
    EXPECT_EQ(beepCommands(), 1);
    EXPECT_TRUE(logged(QStringLiteral("Greeting: Default time period")));
    EXPECT_TRUE(logged(QStringLiteral("trx end")));
    talk(3000);
    service->session().dsp1CadenceDisc();
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    ASSERT_EQ(rowCount(), 1);
    expectRow("False", QStringLiteral("SMITH JOHN"));
    EXPECT_EQ(lastRow("callerID"), QStringLiteral("5551234"));
    EXPECT_EQ(view.tray, TrayIcon::NewMessages);
    EXPECT_EQ(view.newMessages, 1);

    // The message time ends a caller who talks on; without a beep the
    // recording follows the greeting at once.
    set(keys::MsgTime, QStringLiteral("10"));
    set(keys::ChkBeep, QStringLiteral("0"));
    answer(QString());
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    talk(12000);
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    EXPECT_TRUE(logged(QStringLiteral("Message time reached")));
    EXPECT_EQ(lastRow("Duration"), QStringLiteral("00:10"));
    EXPECT_EQ(beepCommands(), 1);
    EXPECT_EQ(newMessages(), 2);
}

TEST_F(AnsweringMachineTest, GreetingsThatCannotPlayAndARefusedBeepStillLeadToTheMessage)
{
    refuseBeep = true;
    setDefaultPeriod(0, dir.filePath(QStringLiteral("missing.wav")));
    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    EXPECT_EQ(logLines().filter(QStringLiteral("<ERROR> The greeting cannot be played")).size(), 1);
    QList<QByteArray> sent = transmissions();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_GT(sent[0].size(), 8000) << "the default text, spoken";
    EXPECT_EQ(sent[1], AnsweringMachine::beepTone()) << "a refused +VTS is sent as a tone";
    service->session().dsp1CadenceDisc();
    ASSERT_TRUE(waitFor([&] { return callOver(); }));

    // The modem refuses to transmit: no greeting, still a message.
    refuseTransmit = true;
    refuseBeep = false;
    setDefaultPeriod(1, QStringLiteral("Hello."));
    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    EXPECT_EQ(transmissions().size(), 2);
    service->session().dsp1CadenceDisc();
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    EXPECT_EQ(rowCount(), 2);
}

TEST_F(AnsweringMachineTest, HangUpSequenceEndsTheGreetingOrTheMessage)
{
    engine().setTransmitSpeed(2); // the keys come while the greeting plays
    answer();
    keys("#0"); // while the greeting renders or plays
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    clock.advance(1000);
    ASSERT_TRUE(waitFor([&] { return !engine().transmitting(); }));
    EXPECT_EQ(rowCount(), 0);
    EXPECT_TRUE(logged(QStringLiteral("-- Stop Transmitting")));
    EXPECT_LE(transmissions().size(), 1) << "nothing is sent after the Stop";

    // In the first seconds of the message too it is the caller's end: a
    // message, new.
    engine().setTransmitSpeed(20);
    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    talk(2000);
    keys("#0");
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    ASSERT_EQ(rowCount(), 1);
    expectRow("False", QStringLiteral("SMITH JOHN"));

    // Later, the caller's own end of a message, which is kept as new.
    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    talk(11000);
    keys("#0");
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    ASSERT_EQ(rowCount(), 2);
    expectRow("False", QStringLiteral("SMITH JOHN"));
}

TEST_F(AnsweringMachineTest, AMessageOfSilenceAndBusyToneIsAMissedCall)
{
    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    for (int i = 0; i < 5; ++i) {
        audio(200, true);
        clock.advance(200);
    }
    busyTone(3000);
    service->session().dsp1CadenceDisc();
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    ASSERT_EQ(rowCount(), 1); // kept
    expectRow("True", AnsweringMachine::MissedCallComment);
    EXPECT_TRUE(logged(QStringLiteral("Missed call 5551234 SMITH JOHN")));
    EXPECT_EQ(newMessages(), 0);
    EXPECT_NE(view.tray, TrayIcon::NewMessages);
}

TEST_F(AnsweringMachineTest, RemoteAccessWalksTheNewMessages)
{
    const QByteArray first = addMessage(QStringLiteral("m1.wav"));
    const QByteArray second = addMessage(QStringLiteral("m2.wav"));
    const QByteArray third = addMessage(QStringLiteral("m3.wav"));
    answer();
    ASSERT_TRUE(waitFor([&] { return !transmissions().isEmpty(); }));
    keys("4711");
    ASSERT_TRUE(waitFor([&] { return logged(QStringLiteral("Play m1.wav")) && transmissions().size() == 5; }));
    EXPECT_TRUE(logged(QStringLiteral("-- Remote access")));
    // greeting, count, announcement, message, menu
    EXPECT_EQ(transmissions()[3], first);
    EXPECT_EQ(newMessages(), 2) << "a message is marked heard once it was played";
    key('1'); // again, without its announcement
    ASSERT_TRUE(waitFor([&] { return transmissions().size() == 7; }));
    EXPECT_EQ(transmissions()[5], first);
    key('2');
    ASSERT_TRUE(waitFor([&] { return transmissions().size() == 10; }));
    EXPECT_EQ(transmissions()[8], second);
    key('2');
    ASSERT_TRUE(waitFor([&] { return transmissions().size() == 13; }));
    EXPECT_EQ(transmissions()[11], third);
    key('2'); // past the last: "Good bye."
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    EXPECT_EQ(transmissions().size(), 14);
    EXPECT_TRUE(logged(QStringLiteral("-- Remote completed")));
    EXPECT_EQ(newMessages(), 0);
    EXPECT_EQ(view.tray, TrayIcon::Bound);
}

TEST_F(AnsweringMachineTest, ASilentOwnerHearsGoodByeAfterTheFirstMessage)
{
    addMessage(QStringLiteral("m1.wav"));
    addMessage(QStringLiteral("m2.wav"));
    answer();
    ASSERT_TRUE(waitFor([&] { return !transmissions().isEmpty(); }));
    keys("4711");
    ASSERT_TRUE(waitFor([&] { return transmissions().size() == 5 && !engine().transmitting(); }));
    settle(); // the menu has ended: the wait for a key begins
    clock.advance(RemoteAccess::DigitWaitMs);
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    EXPECT_EQ(transmissions().size(), 6); // and "Good bye."
    EXPECT_EQ(newMessages(), 1);
}

TEST_F(AnsweringMachineTest, RemoteCodeRules)
{
    // A digit from before the answer never completes the code; three wrong
    // codes end the call.
    engine().setTransmitSpeed(2);
    ring();
    key('4');
    ring();
    ASSERT_TRUE(waitFor([&] { return !transmissions().isEmpty(); }));
    keys("711");
    keys("1111");
    keys("2222");
    EXPECT_FALSE(logged(QStringLiteral("-- Remote access")));
    EXPECT_EQ(logLines().filter(QStringLiteral("Wrong remote code")).size(), 2);
    keys("3333");
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    EXPECT_TRUE(logged(QStringLiteral("3 wrong remote codes: hanging up")));
    EXPECT_EQ(rowCount(), 0);

    // A modem deaf while it transmits: the code in the first seconds of the
    // message still works, and that recording is no new message.
    engine().setTransmitSpeed(20);
    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    talk(3000);
    const int sent = int(transmissions().size());
    keys("4711");
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    EXPECT_TRUE(logged(QStringLiteral("-- Remote access")));
    EXPECT_EQ(transmissions().size(), sent + 1) << "the no-new-messages text";
    ASSERT_EQ(rowCount(), 1);
    expectRow("True", QStringLiteral("SMITH JOHN"));
    EXPECT_EQ(newMessages(), 0);
}

// A modem that reports its own line take as a handset lifted: the call is
// still answered. A handset lifted later, while the machine greets, takes
// the call over: a conversation, heard.
TEST_F(AnsweringMachineTest, OffHookReportsAfterTheAnswer)
{
    dleHAfterLineSelect = true;
    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    EXPECT_EQ(state().phase, CallPhase::MessageRecording);
    EXPECT_EQ(transmissions().size(), 1) << "the greeting";
    talk(3000);
    service->session().dsp1CadenceDisc();
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    expectRow("False", QStringLiteral("SMITH JOHN"));

    dleHAfterLineSelect = false;
    engine().setTransmitSpeed(1);
    answer();
    ASSERT_TRUE(waitFor([&] { return !transmissions().isEmpty() && engine().transmitting(); }));
    clock.advance(TvModem::OwnLineTakeReportMs + 500);
    deliver(QByteArray("\x10H"));
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    EXPECT_EQ(state().phase, CallPhase::AutoRecording);
    talk(2000);
    service->session().dsp1CadenceDisc();
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    EXPECT_EQ(rowCount(), 2);
    expectRow("True", QStringLiteral("SMITH JOHN"));
}

// Whatever ends the call, the line ends on hook, by the fake modem's own
// account: a call that rang off while the answer command waited, and a
// message whose file has gone (told once, never offered again).
TEST_F(AnsweringMachineTest, LineIsFreedAndMissingMessagesAreToldOnce)
{
    onCommand = [this](const QByteArray& line) {
        if (line == "at+vls=1")
            service->engine().RingAwayTimer(); // the caller gives up meanwhile
    };
    answer();
    settle();
    EXPECT_TRUE(onHook());
    EXPECT_TRUE(logged(QStringLiteral("The call ended while the line was taken: it is freed")));
    EXPECT_TRUE(transmissions().isEmpty());
    onCommand = nullptr;

    addMessage(QStringLiteral("gone.wav"));
    QFile::remove(service->catalogue().recordingsFolder() + QStringLiteral("gone.wav"));
    answer();
    ASSERT_TRUE(waitFor([&] { return !transmissions().isEmpty(); }));
    keys("4711");
    ASSERT_TRUE(waitFor([&] { return transmissions().size() == 5 && !engine().transmitting(); }));
    settle();
    clock.advance(RemoteAccess::DigitWaitMs);
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    EXPECT_TRUE(logged(QStringLiteral("<ERROR> The recording of message 1 could not be found; it is marked heard")));
    EXPECT_EQ(newMessages(), 0);
}

// A modem deaf while it transmits hears only the end of a code keyed
// during the greeting; the whole code keyed after it still opens remote
// access, while wrong tries are still counted.
TEST_F(AnsweringMachineTest, APartlyHeardCodeNeverLocksTheOwnerOut)
{
    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    keys("11");
    talk(1000);
    keys("4711");
    ASSERT_TRUE(waitFor([&] { return logged(QStringLiteral("-- Remote access")); }));
    ASSERT_TRUE(waitFor([&] { return callOver(); }));

    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    keys("12");
    talk(RemoteCodeTries::PauseMs + 200); // a short try, not counted
    keys("1234");
    talk(RemoteCodeTries::PauseMs + 200);
    EXPECT_EQ(logLines().filter(QStringLiteral("Wrong remote code")).size(), 1);
    ASSERT_TRUE(waitFor([&] { return recording(); }));
}

// A message ends at the caller's last word: the line after it and the busy
// tone that ended it are cut, half a second at most kept; the row gives the
// length and size of the saved file, as sox reads it.
TEST_F(AnsweringMachineTest, AMessageEndsAtTheCallersLastWord)
{
    const QStringList prompts = realline::spokenPrompts();
    ASSERT_GT(prompts.size(), 30) << "install the Debian package asterisk-prompt-es-co (scripts/install-deps.sh)";
    // The words, then the line after the caller hung up.
    const std::vector<uint8_t> words = realline::onLine(prompts.mid(20, 3), -18, true, 0, 2.0);
    ASSERT_FALSE(words.empty());
    const QString raw = dir.filePath(QStringLiteral("words.raw"));
    const QString spoken = dir.filePath(QStringLiteral("spoken.wav"));
    testsupport::writeFile(raw, QByteArray(reinterpret_cast<const char*>(words.data()), qsizetype(words.size())));
    // sox's own idea of where the last word ends.
    ASSERT_EQ(testsupport::run(QStringLiteral("sox"),
                               {QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-r"), QStringLiteral("8000"),
                                QStringLiteral("-e"), QStringLiteral("unsigned-integer"), QStringLiteral("-b"),
                                QStringLiteral("8"), QStringLiteral("-c"), QStringLiteral("1"), raw, spoken,
                                QStringLiteral("reverse"), QStringLiteral("silence"), QStringLiteral("1"),
                                QStringLiteral("0.02"), QStringLiteral("-40d"), QStringLiteral("reverse")})
                  .exitCode,
              0);
    const double lastWord = testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-D"), spoken}).out.toDouble();
    ASSERT_GT(lastWord, 1.0);
    // The recordings end with the room they were made in, above the line's noise.
    const double recorded = double(words.size()) / 8000 - 2.0;

    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()), qsizetype(words.size()));
    for (qsizetype at = 0; at < bytes.size(); at += 1600) {
        port.deliver(bytes.mid(at, 1600));
        clock.advance(200);
        settle();
    }
    busyTone(4000);
    service->session().dsp1CadenceDisc();
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    ASSERT_EQ(rowCount(), 1);
    expectRow("False", QStringLiteral("SMITH JOHN"));

    const QString saved = service->catalogue().recordingsFolder() + lastRow("fileName");
    const double seconds = testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-D"), saved}).out.toDouble();
    EXPECT_GE(seconds, lastWord);
    EXPECT_LE(seconds, recorded + 0.5);
    EXPECT_EQ(lastRow("fileSize"), QString::number(QFileInfo(saved).size()));
    EXPECT_EQ(lastRow("Duration"), DurationText(qint64(seconds)));
}

} // namespace

// The owner hears the message on the (virtual) sound card as it comes,
// then picks up from the window: the call goes on as a conversation.
TEST_F(AnsweringMachineTest, TheOwnerListensLiveAndPicksUp)
{
    const std::shared_ptr<VirtualSoundDevice> card = VirtualSoundDevice::instance();
    card->setSpeed(0);
    card->setKeepPlayed(true);
    card->takePlayed();
    service->live()->setDeviceNumber(int(audioOutDevices().size()) - 1); // the virtual card is last
    set(keys::LiveScreening, QStringLiteral("1"));
    answer();
    ASSERT_TRUE(waitFor([&] { return recording(); }));
    QByteArray heard;
    for (int i = 0; i < 8; ++i) { // the card's reports need real time between the blocks
        talk(500);
        waitFor([&] {
            heard += card->takePlayed();
            return false;
        }, 100);
    }
    EXPECT_GT(heard.size(), 3 * 8000) << "the message, as it came";
    EXPECT_NE(heard.count(char(0x80)), heard.size()) << "not silence";

    ASSERT_TRUE(service->answeringMachine().pickUp());
    EXPECT_EQ(state().phase, CallPhase::AutoRecording);
    talk(1000);
    EXPECT_FALSE(service->live()->listening()) << "a conversation is not played to the room";
    service->session().dsp1CadenceDisc();
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    expectRow("True", QStringLiteral("SMITH JOHN"));
    EXPECT_FALSE(service->answeringMachine().pickUp()) << "no call to take";
    card->setSpeed(1);
}

// Each action of a block-list entry, judged by the fake modem's line and
// what it was sent: a click, the information tones, a greeting of its own,
// or the machine after the entry's rings (even with the machine off).
TEST_F(AnsweringMachineTest, BlockedCallersAreTurnedAwayAsTheirEntrySays)
{
    CallerListTable lists(dataFolder);
    auto block = [&](const char* caller, BlockAction action, int rings = 0) {
        ListEntry e;
        ASSERT_TRUE(callerlists::parseCaller(QLatin1String(caller), e).isEmpty());
        e.action = action;
        e.rings = rings;
        e.greeting = QStringLiteral("Go away.");
        lists.add(e);
    };
    block("5550001", BlockAction::HangUp);
    block("5550002", BlockAction::Greeting);
    block("withheld", BlockAction::Tones);
    block("5550003", BlockAction::Rings, 3);

    ring();
    callerId(QStringLiteral("5550001"), QStringLiteral("SALES"));
    EXPECT_FALSE(onHook()) << "the line is taken at the caller ID";
    clock.advance(AnsweringMachine::HangUpHoldMs);
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    EXPECT_TRUE(transmissions().isEmpty()) << "a click, nothing sent";
    EXPECT_TRUE(logged(QStringLiteral("Blocked: 5550001 SALES: hung up")));

    ring();
    callerId(QStringLiteral("5550002"), QStringLiteral("SALES"));
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    ASSERT_EQ(transmissions().size(), 1) << "its own greeting";

    ring();
    callerId(QStringLiteral("P"), QString());
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    ASSERT_EQ(transmissions().size(), 2);
    const QByteArray tone = transmissions()[1].left(274 * 8);
    int crossings = 0;
    for (qsizetype i = 1; i < tone.size(); ++i)
        crossings += (uint8_t(tone[i - 1]) < 128) != (uint8_t(tone[i]) < 128);
    EXPECT_NEAR(crossings, 2 * 913.8 * 0.274, 10) << "the first information tone";
    EXPECT_EQ(rowCount(), 0) << "no recording";

    set(keys::AnsweringMachine, QStringLiteral("0"));
    ring();
    callerId(QStringLiteral("5550003"), QStringLiteral("SALES"));
    ring();
    EXPECT_EQ(state().phase, CallPhase::Ringing) << "two rings: not yet";
    ring();
    ASSERT_TRUE(waitFor([&] { return recording(); })) << "the machine takes it at the entry's third ring";
    talk(1000);
    service->session().dsp1CadenceDisc();
    ASSERT_TRUE(waitFor([&] { return callOver(); }));
    EXPECT_EQ(lastRow("callerID"), QStringLiteral("5550003"));
}
