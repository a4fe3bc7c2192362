#pragma once

#include "platform/SerialPortEnumerator.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class SerialPort;
class TQVModem253;

// One modem found by the discovery.
struct TModemProperties
{
    int PortNumber = 0; // the port number that selects the device
    QString PortName;   // the device path, e.g. /dev/ttyACM0
    QString ModelName;  // the model text shown in the modem list
};

// The small "Finding Modems..." window with one progress bar; the desktop
// program shows it, a headless caller may print or ignore it.
class DiscoveryProgress
{
public:
    virtual ~DiscoveryProgress() = default;
    virtual void showProgress(const QString& text) { Q_UNUSED(text); }
    virtual void setProgress(int percent) { Q_UNUSED(percent); }
    virtual void closeProgress() {}
};

// Finds the modems of this machine. There is no modem driver registry here,
// so the list always comes from the port scan: each serial port is opened in
// turn, asked for an answer to AT and, when it answers, for the model.
//
// Waits are counted in ticks of 55 ms and keep processing events, so the
// engine's arrival handler runs during the model queries.
class TQModems
{
public:
    static constexpr int TickMs = 55;

    TQModems() = default;
    TQModems(const TQModems&) = delete;
    TQModems& operator=(const TQModems&) = delete;

    // Discovery never starts by itself here.
    bool AutoRetrieve = false;
    // The engine whose serial port, command transaction and logger the scan uses.
    TQVModem253* vModem = nullptr;

    int Count() const { return int(m_entries.size()); }
    const TModemProperties& entry(int index) const { return m_entries.at(index); }
    const QList<TModemProperties>& entries() const { return m_entries; }

    // Fills the list: the registry gives nothing here, so it scans the ports
    // when vModem is set.
    void FindModems();
    void ScanPorts();
    // Ends a running scan before its next port; what was found stays.
    void cancel() { m_cancelled = true; }

    // Ports that could not be opened in the last scan, each with the reason
    // (permission, in use, ...), for a caller that found no modem.
    struct Unavailable
    {
        QString path;
        QString reason;
    };
    const QList<Unavailable>& unavailablePorts() const { return m_unavailable; }

    // --- Set-up -------------------------------------------------------------
    void setProgress(DiscoveryProgress* progress) { m_progress = progress; }
    // The ports to scan; by default every enumerated serial port.
    void setCandidatePorts(QList<SerialPortInfo> ports) { m_candidates = std::move(ports); }
    // The port the scan opens first to look for an answer (a LinuxSerialPort
    // by default).
    void setPortFactory(std::function<std::unique_ptr<SerialPort>()> factory) { m_portFactory = std::move(factory); }
    // Replaces the waits (tests); the default sleeps and processes events
    // until the clock has passed `ticks` whole ticks.
    void setTickWait(std::function<void(int ticks)> wait) { m_wait = std::move(wait); }

    // The model text of a query reply: its first non-empty line that is not
    // the final result, without anything up to and including the first
    // ":". None when the reply holds no such line.
    static std::optional<QString> modelFromReply(const QString& reply);

private:
    void reopen(SerialPort& port, const SerialPortInfo& info);
    bool openTemporary(SerialPort& port, const SerialPortInfo& info);
    bool answersAt(SerialPort& port, const SerialPortInfo& info);
    bool openEngineOn(const SerialPortInfo& info);
    QString queryModel();
    void log(const QString& line) const;
    void wait(int ticks) const;

    QList<TModemProperties> m_entries;
    QList<Unavailable> m_unavailable;
    DiscoveryProgress* m_progress = nullptr;
    std::optional<QList<SerialPortInfo>> m_candidates;
    std::function<std::unique_ptr<SerialPort>()> m_portFactory;
    std::function<void(int)> m_wait;
    bool m_cancelled = false;
};
