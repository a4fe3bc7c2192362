#include "TQModems.h"

#include "modem/CapabilityReplies.h"
#include "modem/TQVModem253.h"
#include "core/TextSink.h"
#include "platform/LinuxSerialPort.h"

#include <QCoreApplication>
#include <QThread>
#include <chrono>

namespace {

constexpr int SettleTicks = 9;  // after closing or opening a port
constexpr int AnswerTicks = 36; // for the answer to AT

void waitTicksProcessingEvents(int ticks)
{
    const auto now = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    const qint64 start = now() / TQModems::TickMs;
    while (now() / TQModems::TickMs - start <= ticks) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
}

QString comName(const SerialPortInfo& info)
{
    return QStringLiteral("COM%1").arg(info.number);
}

} // namespace

void TQModems::FindModems()
{
    // The modem driver registry of other systems has no counterpart here.
    m_entries.clear();
    if (vModem)
        ScanPorts();
}

void TQModems::ScanPorts()
{
    if (m_progress)
        m_progress->showProgress(QStringLiteral("Finding modems... "));
    log(QStringLiteral("----- finding modems -----"));
    m_entries.clear();
    m_unavailable.clear();
    m_cancelled = false;
    const QList<SerialPortInfo> ports = m_candidates ? *m_candidates : enumerateSerialPorts();
    std::unique_ptr<SerialPort> probe = m_portFactory ? m_portFactory() : std::make_unique<LinuxSerialPort>();

    for (qsizetype i = 0; i < ports.size() && !m_cancelled; ++i) {
        const SerialPortInfo& info = ports[i];
        if (m_progress)
            m_progress->setProgress(qRound(double(i + 1) / double(ports.size()) * 100.0));
        if (!openTemporary(*probe, info))
            continue;
        log(QStringLiteral("Opening ") + comName(info) + QStringLiteral(":") + QStringLiteral(" Successful!"));
        if (!answersAt(*probe, info))
            continue;
        log(QStringLiteral("Modem Found on ") + comName(info) + QStringLiteral(":"));
        probe->setOpen(false);
        if (!openEngineOn(info))
            continue;
        vModem->SendCommand(QStringLiteral("atE0"));
        m_entries.append({info.number, info.path, queryModel()});
        vModem->serialPort()->setOpen(false);
    }

    probe.reset();
    log(QStringLiteral("----- finding modems finished -----"));
    if (m_progress)
        m_progress->closeProgress();
}

// Closes the port, sets it to the device and opens it again, with a settling
// wait after each; passes on SerialPortError.
void TQModems::reopen(SerialPort& port, const SerialPortInfo& info)
{
    port.setOpen(false);
    wait(SettleTicks);
    port.setComNumber(info.number);
    port.setDeviceName(info.path);
    port.setOpen(true);
    wait(SettleTicks);
}

bool TQModems::openTemporary(SerialPort& port, const SerialPortInfo& info)
{
    try {
        reopen(port, info);
    } catch (const SerialPortError& e) {
        log(QStringLiteral("Opening ") + comName(info) + QStringLiteral(":") + QStringLiteral(" Port Unavailable."));
        // Not in a message box per port: a scan passes many ports that are
        // not modems. The reason is logged and kept for the caller.
        const QString reason = QString::fromUtf8(e.what());
        log(reason);
        m_unavailable.append({info.path, reason});
        return false;
    }
    return true;
}

// Opens the port once more and looks for "OK" in what arrives after "AT".
bool TQModems::answersAt(SerialPort& port, const SerialPortInfo& info)
{
    try {
        reopen(port, info);
    } catch (const SerialPortError&) {
        return false;
    }

    QByteArray heard;
    const QMetaObject::Connection watch =
        QObject::connect(&port, &SerialPort::triggerAvail, &port, [&port, &heard](int count) {
            QByteArray chunk(std::max(count, 1), Qt::Uninitialized);
            const qint64 got = port.read(chunk.data(), chunk.size());
            if (got > 0 && heard.size() < 4096)
                heard.append(chunk.constData(), got);
        });
    port.write(QByteArrayLiteral("AT\r\n"));
    wait(AnswerTicks);
    QObject::disconnect(watch);
    return heard.toUpper().contains("OK");
}

bool TQModems::openEngineOn(const SerialPortInfo& info)
{
    SerialPort* port = vModem ? vModem->serialPort() : nullptr;
    if (!port)
        return false;
    port->setOpen(false);
    port->setComNumber(info.number);
    port->setDeviceName(info.path);
    try {
        port->setOpen(true); // directly: binding would load the stored profile over this port
    } catch (const SerialPortError& e) {
        log(QString::fromUtf8(e.what()));
        m_unavailable.append({info.path, QString::fromUtf8(e.what())});
        return false;
    }
    return true;
}

QString TQModems::queryModel()
{
    for (const char* query : {"AT+GMM?", "AT+FMM?", "ATI4"}) {
        if (vModem->SendCommand(QLatin1String(query)) != TQVModem253::ReplyOk)
            continue;
        if (const auto model = modelFromReply(vModem->GetLastReply()))
            return *model;
    }
    return QStringLiteral("Unspecified model");
}

std::optional<QString> TQModems::modelFromReply(const QString& reply)
{
    for (const QString& line : replyLines(reply)) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        if (trimmed.compare(QLatin1String("OK"), Qt::CaseInsensitive) == 0)
            return std::nullopt; // answered, but with no text
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        return colon >= 0 ? line.mid(colon + 1) : line;
    }
    return std::nullopt;
}

void TQModems::log(const QString& line) const
{
    if (vModem && vModem->logger())
        vModem->logger()->appendLine(line);
}

void TQModems::wait(int ticks) const
{
    if (m_wait)
        m_wait(ticks);
    else
        waitTicksProcessingEvents(ticks);
}
