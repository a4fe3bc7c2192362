#include "RealLine.h"

#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <random>

namespace realline {

QStringList spokenPrompts()
{
    const QDir dir(QStringLiteral("/usr/share/asterisk/sounds/es"));
    QStringList files;
    for (const QString& name : dir.entryList({QStringLiteral("*.gsm")}, QDir::Files, QDir::Name))
        if (!name.startsWith(QLatin1String("beep")))
            files.append(dir.filePath(name));
    return files;
}

QString excerpt(const QString& name)
{
    return QStringLiteral(VELMORA_LINE_DATA "/") + name;
}

std::vector<uint8_t> onLine(const QStringList& files, double peakDbfs, bool noise, double seconds, double padSeconds)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("line.raw"));
    QStringList args = files;
    args << QStringLiteral("-t") << QStringLiteral("raw") << QStringLiteral("-r") << QStringLiteral("8000")
         << QStringLiteral("-c") << QStringLiteral("1") << QStringLiteral("-b") << QStringLiteral("16")
         << QStringLiteral("-e") << QStringLiteral("signed-integer") << out << QStringLiteral("sinc")
         << QStringLiteral("300-3400") << QStringLiteral("gain") << QStringLiteral("-n")
         << QString::number(peakDbfs);
    if (seconds > 0)
        args << QStringLiteral("trim") << QStringLiteral("0") << QString::number(seconds);
    if (padSeconds > 0)
        args << QStringLiteral("pad") << QStringLiteral("0") << QString::number(padSeconds);
    if (testsupport::run(QStringLiteral("sox"), args, 120000).exitCode != 0)
        return {};
    const QByteArray bytes = testsupport::readFile(out);
    std::vector<uint8_t> line(size_t(bytes.size() / 2));
    std::mt19937 random(7);
    // -55 dBFS root mean square, and hum whose peak is at -50 dBFS.
    std::normal_distribution<double> white(0.0, 128.0 * std::pow(10.0, -55.0 / 20));
    const double hum = 128.0 * std::pow(10.0, -50.0 / 20);
    for (size_t i = 0; i < line.size(); ++i) {
        const auto sample = int16_t(uint16_t(uint8_t(bytes[qsizetype(2 * i)]))
                                    | uint16_t(uint8_t(bytes[qsizetype(2 * i + 1)]) << 8));
        double v = sample / 256.0;
        if (noise)
            v += white(random) + hum * std::sin(2 * M_PI * 50.0 * double(i) / 8000.0);
        line[i] = uint8_t(std::clamp(std::lround(128.0 + v), 0L, 255L));
    }
    return line;
}

} // namespace realline
