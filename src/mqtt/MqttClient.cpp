#include "mqtt/MqttClient.h"

#include <mosquitto.h>
#include <mutex>

namespace {

constexpr int KeepAliveSeconds = 60;
constexpr int Qos = 1;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

MqttClient::MqttClient(MqttEndpoint endpoint, size_t queueLimit, QObject* parent)
    : QObject(parent), m_endpoint(std::move(endpoint)), m_limit(qMax<size_t>(1, queueLimit))
{
    initLibrary();
}

MqttClient::~MqttClient()
{
    if (!m_mosq)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    // Again until the thread has seen it: a connect under way when the first
    // came would start a loop of its own.
    while (!m_finished) {
        mosquitto_disconnect(m_mosq);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (m_thread.joinable())
        m_thread.join();
    mosquitto_destroy(m_mosq);
}

// libmosquitto's loop keeps a connection it once had; the first one, and
// any it gives up on, are made here.
void MqttClient::run()
{
    int delay = 1;
    bool first = true;
    while (!m_stopping) {
        const int rc = first ? mosquitto_connect(m_mosq, m_endpoint.host.toUtf8().constData(), m_endpoint.port, KeepAliveSeconds)
                             : mosquitto_reconnect(m_mosq);
        if (rc == MOSQ_ERR_SUCCESS) {
            first = false;
            delay = 1;
            mosquitto_loop_forever(m_mosq, 1000, 1);
            continue;
        }
        emit connectedChanged(false, QString::fromUtf8(mosquitto_strerror(rc)));
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::seconds(delay), [this] { return m_stopping.load(); });
        delay = qMin(delay * 2, 60);
    }
    m_finished = true;
}

bool MqttClient::start(QString* error)
{
    m_mosq = mosquitto_new(m_endpoint.clientId.toUtf8().constData(), true, this);
    if (!m_mosq) {
        *error = QStringLiteral("The MQTT library could not start");
        return false;
    }
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessage);
    mosquitto_reconnect_delay_set(m_mosq, 1, 60, true);
    int rc = MOSQ_ERR_SUCCESS;
    if (!m_endpoint.user.isEmpty())
        rc = mosquitto_username_pw_set(m_mosq, m_endpoint.user.toUtf8().constData(),
                                       m_endpoint.password.isEmpty() ? nullptr : m_endpoint.password.toUtf8().constData());
    if (rc == MOSQ_ERR_SUCCESS && m_endpoint.tls) {
        const QByteArray ca = m_endpoint.caFile.toUtf8();
        rc = mosquitto_tls_set(m_mosq, ca.isEmpty() ? nullptr : ca.constData(), ca.isEmpty() ? "/etc/ssl/certs" : nullptr,
                               nullptr, nullptr, nullptr);
    }
    if (rc == MOSQ_ERR_SUCCESS && !m_endpoint.willTopic.isEmpty())
        rc = mosquitto_will_set(m_mosq, m_endpoint.willTopic.toUtf8().constData(), 7, "offline", Qos, true);
    if (rc != MOSQ_ERR_SUCCESS) {
        *error = QString::fromUtf8(mosquitto_strerror(rc));
        return false;
    }
    m_finished = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

bool MqttClient::connected() const
{
    return m_connected;
}

void MqttClient::subscribe(const QString& topic)
{
    std::lock_guard lock(m_mutex);
    m_subscriptions << topic;
    if (m_connected)
        mosquitto_subscribe(m_mosq, nullptr, topic.toUtf8().constData(), Qos);
}

bool MqttClient::send(const Pending& p)
{
    return mosquitto_publish(m_mosq, nullptr, p.topic.toUtf8().constData(), int(p.payload.size()), p.payload.constData(),
                             Qos, p.retain)
           == MOSQ_ERR_SUCCESS;
}

void MqttClient::publish(const QString& topic, const QByteArray& payload, bool retain)
{
    int dropped = 0;
    {
        std::lock_guard lock(m_mutex);
        const Pending p{topic, payload, retain};
        if (m_connected && m_queue.empty() && send(p))
            return;
        m_queue.push_back(p);
        for (; m_queue.size() > m_limit; ++dropped)
            m_queue.pop_front();
    }
    if (dropped)
        emit this->dropped(dropped);
}

void MqttClient::onConnect(mosquitto*, void* self, int rc)
{
    auto* client = static_cast<MqttClient*>(self);
    if (rc != 0) {
        emit client->connectedChanged(false, QString::fromUtf8(mosquitto_connack_string(rc)));
        return;
    }
    {
        std::lock_guard lock(client->m_mutex);
        client->m_connected = true;
        for (const QString& topic : client->m_subscriptions)
            mosquitto_subscribe(client->m_mosq, nullptr, topic.toUtf8().constData(), Qos);
        while (!client->m_queue.empty() && client->send(client->m_queue.front()))
            client->m_queue.pop_front();
    }
    emit client->connectedChanged(true, QString());
}

void MqttClient::onDisconnect(mosquitto*, void* self, int rc)
{
    auto* client = static_cast<MqttClient*>(self);
    client->m_connected = false; // no lock: libmosquitto may call this inside its own
    emit client->connectedChanged(false, rc == 0 ? QString() : QString::fromUtf8(mosquitto_strerror(rc)));
}

void MqttClient::onMessage(mosquitto*, void* self, const mosquitto_message* m)
{
    auto* client = static_cast<MqttClient*>(self);
    emit client->message(QString::fromUtf8(m->topic),
                         QByteArray(static_cast<const char*>(m->payload), qMax(0, m->payloadlen)));
}
