#include "mqtt/MqttNews.h"

#include "calls/EventLog.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "mqtt/MqttTopics.h"

#include <QDateTime>
#include <QCoreApplication>
#include <QJsonObject>

MqttNews::MqttNews(Parts parts, QObject* parent) : QObject(parent), m_(parts) {}

MqttNews::~MqttNews() = default;

MqttEndpoint MqttNews::endpoint(const IniFile& ini, const QString& password)
{
    MqttEndpoint e;
    e.host = settings::readString(ini, keys::MqttHost).trimmed();
    e.port = settings::readInteger(ini, keys::MqttPort);
    e.tls = settings::readBool(ini, keys::MqttTls);
    e.caFile = settings::readString(ini, keys::MqttCaFile).trimmed();
    e.user = settings::readString(ini, keys::MqttUser).trimmed();
    e.password = password;
    const QString line = mqtttopics::lineId(settings::readString(ini, keys::MqttLine));
    e.clientId = QStringLiteral("velmora-%1-%2").arg(line).arg(QCoreApplication::applicationPid());
    e.willTopic = mqtttopics::prefix(line) + QStringLiteral("/availability");
    return e;
}

QString MqttNews::topic(const char* leaf) const
{
    return m_prefix + QLatin1Char('/') + QLatin1String(leaf);
}

bool MqttNews::start(const QString& password)
{
    if (!settings::readBool(m_.ini, keys::MqttEnabled))
        return false;
    m_prefix = mqtttopics::prefix(settings::readString(m_.ini, keys::MqttLine));
    m_discovery = settings::readBool(m_.ini, keys::MqttDiscovery);
    m_client = std::make_unique<MqttClient>(endpoint(m_.ini, password));
    connect(m_client.get(), &MqttClient::connectedChanged, this, &MqttNews::connectedChanged, Qt::QueuedConnection);
    connect(m_client.get(), &MqttClient::message, this, &MqttNews::command, Qt::QueuedConnection);
    connect(m_client.get(), &MqttClient::dropped, this, [this](int count) {
        m_.log.LogEvent(QStringLiteral("<ERROR> MQTT: the broker is away; %1 oldest event(s) dropped").arg(count));
    }, Qt::QueuedConnection);
    QString error;
    if (!m_client->start(&error)) {
        m_.log.LogEvent(QStringLiteral("<ERROR> MQTT: ") + error);
        m_client.reset();
        return false;
    }
    m_client->subscribe(topic("command"));
    m_client->publish(topic("availability"), "online", true);
    if (m_discovery)
        for (const auto& [t, payload] : mqtttopics::discovery(settings::readString(m_.ini, keys::MqttLine)))
            m_client->publish(t, payload, true);
    publishState(m_.news.state());
    m_client->publish(topic("new_messages"), QByteArray::number(qMax(0, m_.news.newMessages())), true);
    publishSwitch();

    CallNews* news = &m_.news;
    connect(news, &CallNews::stateChanged, this, &MqttNews::publishState);
    connect(news, &CallNews::ring, this, [this] { publishEvent(QStringLiteral("ring"), {}); });
    connect(news, &CallNews::callerId, this, [this](const QString& number, const QString& name) {
        publishEvent(QStringLiteral("caller_id"), {{QStringLiteral("number"), number}, {QStringLiteral("name"), name}});
    });
    connect(news, &CallNews::answered, this, [this] { publishEvent(QStringLiteral("answered"), {}); });
    connect(news, &CallNews::saved, this, [this](const SavedRecording& r) {
        if (!r.message)
            return;
        publishEvent(QStringLiteral("message_saved"),
                     {{QStringLiteral("number"), r.number}, {QStringLiteral("name"), r.name},
                      {QStringLiteral("duration"), r.seconds}, {QStringLiteral("file"), r.fileName},
                      {QStringLiteral("new_messages"), r.newMessages}});
    });
    connect(news, &CallNews::blocked, this, [this](const QString& number, const QString& name, const QString& action) {
        publishEvent(QStringLiteral("blocked"), {{QStringLiteral("number"), number}, {QStringLiteral("name"), name},
                                                 {QStringLiteral("action"), action}});
    });
    connect(news, &CallNews::modemLost, this, [this] { publishEvent(QStringLiteral("modem_lost"), {}); });
    connect(news, &CallNews::newMessagesChanged, this, [this](int count) {
        m_client->publish(topic("new_messages"), QByteArray::number(qMax(0, count)), true);
    });
    return true;
}

void MqttNews::publishEvent(const QString& kind, QJsonObject fields)
{
    fields.insert(QStringLiteral("event"), kind);
    fields.insert(QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODate));
    m_client->publish(topic("event"), mqtttopics::json(fields), false);
}

void MqttNews::publishState(CallNews::LineState state)
{
    m_client->publish(topic("state"), CallNews::stateName(state).toUtf8(), true);
}

void MqttNews::publishSwitch()
{
    const bool on = settings::readBool(m_.ini, keys::AnsweringMachine);
    m_client->publish(topic("answering_machine"), on ? "on" : "off", true);
}

void MqttNews::connectedChanged(bool connected, const QString& reason)
{
    if (connected == m_wasConnected)
        return;
    m_wasConnected = connected;
    if (connected)
        m_.log.LogEvent(QStringLiteral("MQTT: connected to the broker"));
    else
        m_.log.LogEvent(QStringLiteral("<ERROR> MQTT: the broker is away (%1); tried again").arg(reason.left(100)));
}

void MqttNews::command(const QString& t, const QByteArray& payload)
{
    if (t != topic("command"))
        return;
    const int on = mqtttopics::answeringMachineCommand(payload);
    if (on < 0) {
        QString shown;
        for (const char c : payload.left(40))
            shown += c >= 32 && c < 127 ? QLatin1Char(c) : QLatin1Char('?');
        m_.log.LogEvent(QStringLiteral("MQTT: command \"%1\" ignored").arg(shown));
        return;
    }
    settings::writeBool(m_.ini, keys::AnsweringMachine, on == 1);
    m_.log.LogEvent(on ? QStringLiteral("MQTT: answering machine switched on")
                       : QStringLiteral("MQTT: answering machine switched off"));
    publishSwitch();
    emit answeringMachineSet(on == 1);
}
