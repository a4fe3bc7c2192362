#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct mosquitto;
struct mosquitto_message;

struct MqttEndpoint
{
    QString host = QStringLiteral("localhost");
    int port = 1883;
    bool tls = false;
    QString caFile; // empty: the system's certificate store
    QString user;
    QString password;
    QString clientId;
    QString willTopic; // "offline" is left there, retained, when the connection is lost
};

// One connection to a broker, kept by a thread of its own: a broker that is
// not there, or lost, is tried again, each wait longer (up to a minute). What is
// published while the broker is away waits in a bounded queue and goes
// out, in order, once it is back; past the bound the oldest is dropped.
// Signals come from that thread: connect them queued.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    static constexpr size_t DefaultQueueLimit = 1000;

    explicit MqttClient(MqttEndpoint endpoint, size_t queueLimit = DefaultQueueLimit, QObject* parent = nullptr);
    ~MqttClient() override;

    // Starts connecting; false with *error when the library refuses the settings.
    bool start(QString* error);
    void subscribe(const QString& topic);
    void publish(const QString& topic, const QByteArray& payload, bool retain);
    bool connected() const;

signals:
    void connectedChanged(bool connected, const QString& reason);
    void message(const QString& topic, const QByteArray& payload);
    void dropped(int count);

private:
    struct Pending
    {
        QString topic;
        QByteArray payload;
        bool retain;
    };
    static void onConnect(mosquitto*, void* self, int rc);
    static void onDisconnect(mosquitto*, void* self, int rc);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* m);
    bool send(const Pending& p);
    void run();


    MqttEndpoint m_endpoint;
    size_t m_limit;
    mosquitto* m_mosq = nullptr;
    mutable std::mutex m_mutex;
    std::atomic<bool> m_connected{false};
    std::deque<Pending> m_queue;
    QStringList m_subscriptions;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_finished{true};
    std::condition_variable m_wake;
    std::thread m_thread;
};
