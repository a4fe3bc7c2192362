// velmora-cli run against the modem simulator and Debian's mosquitto
// broker: every event of an answered call reaches the test's own
// subscriber in order, with its JSON; the command topic switches the
// answering machine and takes nothing else.
#include "Broker.h"
#include "CliProcess.h"
#include "ModemSim.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <memory>

using testsupport::ModemSim;

namespace {

class CliMqtt : public testing::Test
{
protected:
    void SetUp() override
    {
        ModemSim::Options options;
        options.profile = QStringLiteral("conexant");
        options.speed = 10;
        options.extraArgs = {QStringLiteral("--link"), link};
        sim = std::make_unique<ModemSim>(options);
        ASSERT_TRUE(sim->start()) << qPrintable(sim->error());
        ASSERT_EQ(velmora.cli({QStringLiteral("probe")}).exitCode, 0);
        const QStringList settings[] = {{"Settings", "amRings", "2"},     {"Modem", "ringSpan", "4000"},
                                        {"MQTT", "Enabled", "1"},         {"MQTT", "Host", "127.0.0.1"},
                                        {"MQTT", "Port", QString::number(broker.port)}, {"MQTT", "Line", "hall"}};
        for (const QStringList& s : settings)
            ASSERT_TRUE(velmora.set(s[0], s[1], s[2])) << qPrintable(s.join(' '));
    }
    // The payloads of one topic, in order.
    QStringList payloads(const QString& leaf)
    {
        QStringList found;
        const QString prefix = QStringLiteral(" velmora/hall/") + leaf + QLatin1Char(' ');
        for (const QString& line : broker.lines())
            if (line.indexOf(prefix) == 1)
                found << line.mid(1 + prefix.size());
        return found;
    }

    Broker broker;
    QTemporaryDir data;
    const QString link = data.filePath(QStringLiteral("modem"));
    std::unique_ptr<ModemSim> sim;
    testsupport::CliProcess velmora{data.path(), link};
};

TEST_F(CliMqtt, EveryEventOfAnAnsweredCallArrivesInOrder)
{
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(broker.subscribe());
    velmora.whileWaiting = [this] { broker.lines(); };
    velmora.startRun();
    ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened..."), 60000));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("MQTT: connected to the broker"), 60000));
    for (const char* line : {"call", "cid DATE=1209 TIME=1000 NMBR=5551234 NAME=\"SMITH JOHN\"", "ring 2 every 15s",
                             "await rx timeout 200s", "say \"Hello, this is John. Please call me back.\"", "busy 10s"})
        sim->command(QLatin1String(line));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- File saved"), 120000)) << qPrintable(sim->log().join(QLatin1Char('\n')));
    QElapsedTimer sinceSaved;
    sinceSaved.start();
    ASSERT_TRUE(broker.waitFor(QStringLiteral("1 velmora/hall/new_messages 1"), 1) || broker.waitFor(QStringLiteral("0 velmora/hall/new_messages 1")));
    QStringList kinds;
    QJsonObject saved;
    QDeadlineTimer deadline(10000);
    do {
        kinds.clear();
        for (const QString& payload : payloads(QStringLiteral("event"))) {
            const QJsonObject o = QJsonDocument::fromJson(payload.toUtf8()).object();
            kinds << o[QStringLiteral("event")].toString();
            if (kinds.last() == QLatin1String("caller_id")) {
                EXPECT_EQ(o[QStringLiteral("number")].toString(), QStringLiteral("5551234"));
                EXPECT_EQ(o[QStringLiteral("name")].toString(), QStringLiteral("SMITH JOHN"));
            }
            if (kinds.last() == QLatin1String("message_saved"))
                saved = o;
        }
        broker.subscriber.waitForReadyRead(20);
    } while (saved.isEmpty() && !deadline.hasExpired());
    RecordProperty("event_ms_after_file_saved", int(sinceSaved.elapsed()));
    EXPECT_EQ(kinds, (QStringList{"ring", "caller_id", "ring", "answered", "message_saved"})) << qPrintable(broker.lines().join('\n'));
    EXPECT_EQ(saved[QStringLiteral("number")].toString(), QStringLiteral("5551234"));
    EXPECT_EQ(saved[QStringLiteral("name")].toString(), QStringLiteral("SMITH JOHN"));
    EXPECT_GT(saved[QStringLiteral("duration")].toInt(), 0);
    EXPECT_TRUE(saved[QStringLiteral("file")].toString().endsWith(QLatin1String(".wav")));
    EXPECT_EQ(saved[QStringLiteral("new_messages")].toInt(), 1);
    EXPECT_TRUE(velmora.output().contains(saved[QStringLiteral("file")].toString().toUtf8()));
    EXPECT_EQ(payloads(QStringLiteral("state")), (QStringList{"bound", "ringing", "answering", "recording", "bound"}));
    EXPECT_EQ(broker.lines().filter(QStringLiteral(" homeassistant/")).size(), 4);

    // The command topic: the answering machine off; anything else ignored.
    broker.publish(QStringLiteral("velmora/hall/command"), "reboot now");
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("MQTT: command \"reboot now\" ignored"), 60000));
    broker.publish(QStringLiteral("velmora/hall/command"), "answering machine off");
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("MQTT: answering machine switched off"), 60000));
    EXPECT_TRUE(broker.waitFor(QStringLiteral("0 velmora/hall/answering_machine off")));
    EXPECT_EQ(velmora.cli({QStringLiteral("get"), QStringLiteral("Settings"), QStringLiteral("Answering Machine")}).out.trimmed(), "0");
}

} // namespace
