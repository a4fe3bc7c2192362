#pragma once

#include "calls/CallNews.h"
#include "mqtt/MqttClient.h"

#include <QObject>
#include <memory>

class EventLog;
class IniFile;

// The line for home automation: the call handling's news as retained state
// and JSON events under velmora/<line>, Home Assistant discovery, and the
// one command it takes (answering machine on or off).
class MqttNews : public QObject
{
    Q_OBJECT
public:
    struct Parts
    {
        CallNews& news;
        IniFile& ini;
        EventLog& log;
    };
    MqttNews(Parts parts, QObject* parent = nullptr);
    ~MqttNews() override;

    // Connects when the settings say so; the password comes from the front
    // end (the secret store, or run's password file).
    bool start(const QString& password);
    static MqttEndpoint endpoint(const IniFile& ini, const QString& password);

signals:
    // The answering machine was switched by a command.
    void answeringMachineSet(bool on);

private:
    void publishEvent(const QString& kind, QJsonObject fields);
    void publishState(CallNews::LineState state);
    void publishSwitch();
    void connectedChanged(bool connected, const QString& reason);
    void command(const QString& topic, const QByteArray& payload);
    QString topic(const char* leaf) const;

    Parts m_;
    QString m_prefix;
    bool m_discovery = true;
    bool m_wasConnected = false;
    std::unique_ptr<MqttClient> m_client;
};
