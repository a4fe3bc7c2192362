#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <vector>

// The topics and payloads of one line, as home automation reads them.
namespace mqtttopics {

// "velmora/<line>": the line's name reduced to letters, digits, "_" and "-".
QString prefix(const QString& line);
QString lineId(const QString& line);

// Home Assistant's discovery messages (topic, retained JSON) for the line's
// state, new-message count, last event and the answering-machine switch.
std::vector<std::pair<QString, QByteArray>> discovery(const QString& line);

// What a command payload asks for: answering machine on (1), off (0), or
// nothing this program accepts (-1).
int answeringMachineCommand(const QByteArray& payload);
inline constexpr char CommandOn[] = "answering machine on";
inline constexpr char CommandOff[] = "answering machine off";

QByteArray json(const QJsonObject& object);

} // namespace mqtttopics
