// The MQTT client against Debian's mosquitto broker on 127.0.0.1: what is
// published while the broker is away arrives, in order, once it is back;
// past the queue's bound the oldest is dropped and said so.
#include "Broker.h"

#include "mqtt/MqttClient.h"
#include "mqtt/MqttTopics.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <gtest/gtest.h>

namespace {

TEST(MqttClient, EventsWaitForABrokerThatIsAwayAndTheOldestGoPastTheBound)
{
    Broker broker;
    // The test's subscriber has a session on the broker before anything is sent.
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(broker.subscribe());
    broker.unsubscribe();
    broker.stop();

    MqttEndpoint endpoint;
    endpoint.host = QStringLiteral("127.0.0.1");
    endpoint.port = broker.port;
    endpoint.clientId = QStringLiteral("velmora-test");
    MqttClient client(endpoint, 3);
    std::atomic<int> droppedCount{0};
    QObject::connect(&client, &MqttClient::dropped, &client, [&](int count) { droppedCount += count; },
                     Qt::DirectConnection);
    QString error;
    ASSERT_TRUE(client.start(&error)) << error.toStdString();
    for (int i = 1; i <= 5; ++i)
        client.publish(QStringLiteral("velmora/t/event"), QByteArray::number(i), false);
    EXPECT_EQ(droppedCount, 2);

    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(broker.subscribe());
    EXPECT_TRUE(broker.waitFor(QStringLiteral("0 velmora/t/event 5"), 90000)) << qPrintable(broker.lines().join('\n'));
    // Lost and back: the broker restarts while the client has more to say.
    broker.unsubscribe();
    broker.stop();
    QDeadlineTimer gone(10000);
    while (client.connected() && !gone.hasExpired())
        QThread::msleep(20);
    client.publish(QStringLiteral("velmora/t/event"), "6", false);
    client.publish(QStringLiteral("velmora/t/state"), "bound", true);
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(broker.subscribe());
    EXPECT_TRUE(broker.waitFor(QStringLiteral("0 velmora/t/state bound"), 90000)) << qPrintable(broker.lines().join('\n'));
    EXPECT_EQ(broker.lines().filter(QStringLiteral("velmora/t/")),
              (QStringList{QStringLiteral("0 velmora/t/event 3"), QStringLiteral("0 velmora/t/event 4"),
                           QStringLiteral("0 velmora/t/event 5"), QStringLiteral("0 velmora/t/event 6"),
                           QStringLiteral("0 velmora/t/state bound")}));
}

TEST(MqttTopics, OnlyTheTwoAnsweringMachineCommandsAreTaken)
{
    const std::pair<const char*, int> commands[] = {{"answering machine on", 1}, {"Answering Machine OFF\n", 0},
                                                    {"answering machine", -1}, {"on", -1}, {"", -1},
                                                    {"answering machine on; rm -rf /", -1}};
    for (const auto& [payload, expected] : commands)
        EXPECT_EQ(mqtttopics::answeringMachineCommand(payload), expected) << payload;
    EXPECT_EQ(mqtttopics::prefix(QStringLiteral("hall/+#")), QStringLiteral("velmora/hall___"));
    EXPECT_EQ(mqtttopics::prefix(QString()), QStringLiteral("velmora/line1"));
    for (const auto& [topic, payload] : mqtttopics::discovery(QStringLiteral("hall"))) {
        EXPECT_TRUE(topic.startsWith(QLatin1String("homeassistant/"))) << topic.toStdString();
        const QJsonObject o = QJsonDocument::fromJson(payload).object();
        EXPECT_TRUE(o[QStringLiteral("unique_id")].toString().startsWith(QLatin1String("velmora_hall_")));
        EXPECT_TRUE(o[QStringLiteral("state_topic")].toString().startsWith(QLatin1String("velmora/hall/")));
    }
}

} // namespace
