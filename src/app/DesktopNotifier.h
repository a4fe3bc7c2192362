#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

class QDBusPendingCallWatcher;

// The desktop's notifications (org.freedesktop.Notifications on the
// session bus). Every call is asynchronous: the call handling never waits
// for the service, and a notification it does not take runs the fallback.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    static inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString Path = QStringLiteral("/org/freedesktop/Notifications");
    static constexpr int CallTimeoutMs = 3000;
    static constexpr int IncomingCallShownMs = 10000;

    enum class Kind { IncomingCall, NewMessage, ModemLost, ModemFound };

    explicit DesktopNotifier(QObject* parent = nullptr) : DesktopNotifier(QDBusConnection::sessionBus(), parent) {}
    DesktopNotifier(const QDBusConnection& bus, QObject* parent);
    // Asks the service what it can; until its answer (or without one) the
    // service counts as absent.
    void probe();
    bool available() const { return m_available; }
    bool hasActions() const { return m_actions; }

    // `recordingId` names the message a "Play" action opens; the fallback
    // runs when no service takes the notification.
    void notify(Kind kind, const QString& summary, const QString& body, const QString& recordingId,
                const std::function<void()>& fallback);

    // What goes to the service, for a kind: hints and actions.
    static QVariantMap hintsFor(Kind kind);
    static QStringList actionsFor(Kind kind, bool withPlay);
    // Text from outside (caller ID) for the body, which the service may read as markup.
    static QString escaped(const QString& text);

signals:
    // A click on a notification (play: its Play action); the id is empty for one that names no message.
    void activated(const QString& recordingId, bool play);
    void availabilityChanged(bool available);

private Q_SLOTS:
    // QDBusConnection::connect takes slots by signature only.
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    bool m_available = false;
    bool m_actions = false;
    uint m_callNotification = 0; // a new call replaces the last one's notification
    QHash<uint, QString> m_playIds;
};
