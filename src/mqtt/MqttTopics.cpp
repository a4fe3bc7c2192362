#include "mqtt/MqttTopics.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace mqtttopics {

QString lineId(const QString& line)
{
    QString id;
    for (const QChar c : line.left(40)) {
        const bool kept = (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-') || c == QLatin1Char('_');
        id += kept ? c : QLatin1Char('_');
    }
    return id.isEmpty() ? QStringLiteral("line1") : id;
}

QString prefix(const QString& line)
{
    return QStringLiteral("velmora/") + lineId(line);
}

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::vector<std::pair<QString, QByteArray>> discovery(const QString& line)
{
    const QString id = lineId(line), base = prefix(line);
    const QString uid = QStringLiteral("velmora_") + id;
    const QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{uid}},
                             {QStringLiteral("name"), QStringLiteral("Velmora ") + id},
                             {QStringLiteral("manufacturer"), QStringLiteral("Velmora")}};
    const auto entity = [&](const char* component, const char* key, const char* name, QJsonObject extra) {
        extra.insert(QStringLiteral("name"), QLatin1String(name));
        extra.insert(QStringLiteral("unique_id"), uid + QLatin1Char('_') + QLatin1String(key));
        extra.insert(QStringLiteral("device"), device);
        extra.insert(QStringLiteral("availability_topic"), base + QStringLiteral("/availability"));
        return std::pair{QStringLiteral("homeassistant/%1/%2/%3/config").arg(QLatin1String(component), uid, QLatin1String(key)),
                         json(extra)};
    };
    return {
        entity("sensor", "state", "Line", {{QStringLiteral("state_topic"), base + QStringLiteral("/state")}}),
        entity("sensor", "new_messages", "New messages",
               {{QStringLiteral("state_topic"), base + QStringLiteral("/new_messages")},
                {QStringLiteral("state_class"), QStringLiteral("measurement")}}),
        entity("sensor", "event", "Last event",
               {{QStringLiteral("state_topic"), base + QStringLiteral("/event")},
                {QStringLiteral("value_template"), QStringLiteral("{{ value_json.event }}")},
                {QStringLiteral("json_attributes_topic"), base + QStringLiteral("/event")}}),
        entity("switch", "answering_machine", "Answering machine",
               {{QStringLiteral("state_topic"), base + QStringLiteral("/answering_machine")},
                {QStringLiteral("command_topic"), base + QStringLiteral("/command")},
                {QStringLiteral("payload_on"), QLatin1String(CommandOn)},
                {QStringLiteral("payload_off"), QLatin1String(CommandOff)},
                {QStringLiteral("state_on"), QStringLiteral("on")},
                {QStringLiteral("state_off"), QStringLiteral("off")}}),
    };
}

int answeringMachineCommand(const QByteArray& payload)
{
    const QByteArray text = payload.trimmed().toLower();
    if (text == CommandOn)
        return 1;
    if (text == CommandOff)
        return 0;
    return -1;
}

} // namespace mqtttopics
