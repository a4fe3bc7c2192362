#include "support/SystemFacts.h"

#include <QFile>
#include <QSysInfo>
#include <cmath>

namespace {

QString valueOf(const QByteArray& line)
{
    const int colon = line.indexOf(':');
    return colon < 0 ? QString() : QString::fromUtf8(line.mid(colon + 1)).trimmed();
}

QString osRelease(const QString& root)
{
    for (const char* name : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(root + QLatin1String(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine(4096).trimmed();
            if (line.startsWith("PRETTY_NAME=")) {
                QString value = QString::fromUtf8(line.mid(12));
                if (value.size() >= 2 && (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))))
                    value = value.mid(1, value.size() - 2);
                return value;
            }
        }
    }
    return QSysInfo::prettyProductName();
}

QString firstProcessor(const QString& root)
{
    QFile file(root + QStringLiteral("/proc/cpuinfo"));
    QString model, mhz;
    // /proc files report no size, so atEnd() would hold at once: read it whole.
    if (file.open(QIODevice::ReadOnly)) {
        // The first processor's block ends at its first empty line.
        for (const QByteArray& line : file.read(1 << 20).split('\n')) {
            if (line.trimmed().isEmpty() && !model.isEmpty())
                break;
            if (model.isEmpty() && (line.startsWith("model name") || line.startsWith("Model")))
                model = valueOf(line);
            else if (mhz.isEmpty() && line.startsWith("cpu MHz"))
                mhz = valueOf(line);
        }
    }
    if (model.isEmpty())
        model = QSysInfo::currentCpuArchitecture();
    bool ok = false;
    const double rate = mhz.toDouble(&ok);
    return model + QLatin1Char(' ') + (ok ? QString::number(std::lround(rate)) : QStringLiteral("0")) + QStringLiteral("Mhz");
}

} // namespace

SystemFacts SystemFacts::read(const QString& root)
{
    return {osRelease(root), firstProcessor(root)};
}
