#include "SerialPortEnumerator.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

namespace {

const QStringList& kinds()
{
    static const QStringList prefixes{QStringLiteral("ttyACM"), QStringLiteral("ttyUSB"), QStringLiteral("ttyS")};
    return prefixes;
}

// (kind index, number) of a device name such as ttyUSB3; kind -1 when the
// name is not one we list.
std::pair<int, int> sortKey(const QString& name)
{
    for (int k = 0; k < kinds().size(); ++k) {
        const QString& prefix = kinds()[k];
        if (!name.startsWith(prefix))
            continue;
        bool ok = false;
        const int n = name.mid(prefix.size()).toInt(&ok);
        if (ok && n >= 0)
            return {k, n};
    }
    return {-1, 0};
}

QString udevDescription(const QSerialPortInfo& info)
{
    QStringList parts;
    if (!info.description().isEmpty())
        parts << info.description();
    if (!info.manufacturer().isEmpty() && !parts.contains(info.manufacturer()))
        parts << info.manufacturer();
    if (info.hasVendorIdentifier() && info.hasProductIdentifier())
        parts << QStringLiteral("%1:%2")
                     .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                     .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
    return parts.join(QStringLiteral(", "));
}

} // namespace

bool isEnumeratedSerialName(const QString& name)
{
    return sortKey(name).first >= 0;
}

bool serialDeviceLess(const QString& a, const QString& b)
{
    return sortKey(a) < sortKey(b);
}

QList<SerialPortInfo> enumerateSerialPorts(const QStringList& extraPaths)
{
    QList<QSerialPortInfo> found;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        if (isEnumeratedSerialName(info.portName()))
            found << info;
    std::sort(found.begin(), found.end(), [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
        return serialDeviceLess(a.portName(), b.portName());
    });

    QList<SerialPortInfo> ports;
    for (const QSerialPortInfo& info : found)
        ports.append({int(ports.size()) + 1, info.systemLocation(), udevDescription(info)});
    for (const QString& path : extraPaths) {
        const bool listed = std::any_of(ports.cbegin(), ports.cend(),
                                        [&](const SerialPortInfo& p) { return p.path == path; });
        if (!listed && QFileInfo::exists(path))
            ports.append({int(ports.size()) + 1, path, QStringLiteral("given by path")});
    }
    return ports;
}

QString devicePathForPort(int comNumber, const QString& portName, const QList<SerialPortInfo>& ports)
{
    if (!portName.trimmed().isEmpty())
        return portName.trimmed();
    for (const SerialPortInfo& p : ports)
        if (p.number == comNumber)
            return p.path;
    return {};
}

QString devicePathForPort(int comNumber, const QString& portName)
{
    if (!portName.trimmed().isEmpty())
        return portName.trimmed();
    return devicePathForPort(comNumber, QString(), enumerateSerialPorts());
}
