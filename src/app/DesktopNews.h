#pragma once

#include <QObject>
#include <functional>
#include <memory>

class CallService;
class MessageMail;
class MqttNews;
class QWidget;

// Mail and MQTT for the desktop program: passwords come from the desktop's
// secret store, else the user is asked once per run (and may keep them
// there); they are never written to vlm.ini.
class DesktopNews : public QObject
{
    Q_OBJECT
public:
    static inline const QString MailSecretKey = QStringLiteral("smtp");
    static inline const QString MqttSecretKey = QStringLiteral("mqtt");

    DesktopNews(CallService& service, QWidget* window);
    ~DesktopNews() override;

    void start();

signals:
    void answeringMachineSet(bool on);

private:
    void askMailPassword();
    void startMqtt();
    // Never modal: calls are handled while the box waits. `done` gets the
    // password typed, or an empty text; it is kept in the store when asked to.
    void askPassword(const QString& what, const QString& key, std::function<void(const QString&)> done);
    void startMqttWith(const QString& password);

    CallService& m_service;
    QWidget* m_window;
    std::unique_ptr<MessageMail> m_mail;
    std::unique_ptr<MqttNews> m_mqtt;
    bool m_asking = false;
};
