#include "app/DesktopNotifier.h"

#include "app/TrayIcons.h"
#include "catalogue/DataFolder.h"

#include <QDBusArgument>
#include <QIcon>
#include <QImage>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString Interface = QStringLiteral("org.freedesktop.Notifications");
const QString PlayAction = QStringLiteral("play");
const QString DefaultAction = QStringLiteral("default");

// The program's icon as the service's raw image (iiibiiay), for a build
// whose icon is not installed where the service looks it up by name.
QVariant imageData()
{
    const QImage image = programIcon().pixmap(48, 48).toImage().convertToFormat(QImage::Format_RGBA8888);
    QDBusArgument data;
    data.beginStructure();
    data << image.width() << image.height() << int(image.bytesPerLine()) << true << 8 << 4
         << QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
    data.endStructure();
    return QVariant::fromValue(data);
}

} // namespace

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

void DesktopNotifier::probe()
{
    if (!m_bus.isConnected())
        return;
    const QDBusMessage ask = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        const bool was = m_available;
        m_available = !reply.isError();
        m_actions = m_available && reply.value().contains(QStringLiteral("actions"));
        if (was != m_available)
            emit availabilityChanged(m_available);
    });
}

QVariantMap DesktopNotifier::hintsFor(Kind kind)
{
    struct Hint { uchar urgency; const char* category; };
    static const Hint hints[] = {{2, "x-velmora.call"}, {1, "x-velmora.message"}, {2, "device.removed"}, {1, "device.added"}};
    const Hint& h = hints[int(kind)]; // in the order of Kind
    return {{QStringLiteral("desktop-entry"), QStringLiteral("velmora")},
            {QStringLiteral("urgency"), QVariant::fromValue(h.urgency)},
            {QStringLiteral("category"), QString::fromLatin1(h.category)}};
}

QStringList DesktopNotifier::actionsFor(Kind kind, bool withPlay)
{
    if (kind == Kind::NewMessage && withPlay)
        return {DefaultAction, QStringLiteral("Open"), PlayAction, QStringLiteral("Play")};
    return {DefaultAction, QStringLiteral("Open")};
}

QString DesktopNotifier::escaped(const QString& text)
{
    QString clean;
    for (const QChar c : text)
        clean += c.isPrint() ? c : QLatin1Char(' ');
    return clean.simplified().toHtmlEscaped();
}

void DesktopNotifier::notify(Kind kind, const QString& summary, const QString& body, const QString& recordingId,
                             const std::function<void()>& fallback)
{
    if (!m_available) {
        if (fallback)
            fallback();
        probe(); // a service started since is used next time
        return;
    }
    const uint replaces = kind == Kind::IncomingCall ? m_callNotification : 0;
    const int timeout = kind == Kind::IncomingCall ? IncomingCallShownMs : -1;
    QVariantMap hints = hintsFor(kind);
    const bool installed = QIcon::hasThemeIcon(QStringLiteral("velmora"));
    if (!installed)
        hints.insert(QStringLiteral("image-data"), imageData());
    QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    message << datafolder::ApplicationTitle << replaces << (installed ? QStringLiteral("velmora") : QString()) << summary
            << body << actionsFor(kind, !recordingId.isEmpty()) << hints << timeout;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, kind, recordingId, fallback](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            if (fallback)
                fallback();
            return;
        }
        if (kind == Kind::IncomingCall)
            m_callNotification = reply.value();
        m_playIds.insert(reply.value(), recordingId);
    });
}

void DesktopNotifier::actionInvoked(uint id, const QString& action)
{
    const auto it = m_playIds.constFind(id);
    if (it == m_playIds.constEnd())
        return; // another program's
    if (action == PlayAction || action == DefaultAction)
        emit activated(it.value(), action == PlayAction);
}

void DesktopNotifier::notificationClosed(uint id, uint)
{
    m_playIds.remove(id);
    if (id == m_callNotification)
        m_callNotification = 0;
}
