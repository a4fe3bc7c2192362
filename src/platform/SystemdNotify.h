#pragma once

#include <QObject>
#include <QTimer>

// Tells the service manager that started us (systemd, Type=notify) that we
// are ready and still alive. Speaks the datagram protocol itself: one
// sendto() needs no libsystemd, and outside systemd there is nothing to do.
namespace systemdnotify {

// False when NOTIFY_SOCKET is unset or the message cannot be sent.
bool send(const QByteArray& state);

// The keep-alive interval systemd expects (half of WATCHDOG_USEC), 0 when
// no watchdog is set for this process.
int watchdogIntervalMs();

} // namespace systemdnotify

// READY=1 at once, then WATCHDOG=1 from the event loop, so a process whose
// main thread hangs stops sending and is restarted. STOPPING=1 when destroyed.
class SystemdService : public QObject
{
public:
    explicit SystemdService(QObject* parent = nullptr);
    ~SystemdService() override;

    void ready(const QString& status);

private:
    QTimer m_watchdog;
};
