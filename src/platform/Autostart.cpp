#include "platform/Autostart.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString EntryName = QStringLiteral("velmora.desktop");

} // namespace

Autostart::Autostart(QString configHome)
{
    if (configHome.isEmpty())
        configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    m_folder = configHome + QStringLiteral("/autostart");
}

QString Autostart::entryPath() const
{
    return m_folder + QLatin1Char('/') + EntryName;
}

bool Autostart::exists() const
{
    return QFile::exists(entryPath());
}

// Inside double quotes, `"`, "`", "$" and "\" are escaped with a backslash;
// in the file each backslash is written twice again.
QString Autostart::execLine(const QString& programPath)
{
    QString quoted;
    for (const QChar c : programPath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QStringLiteral("\" STARTUP");
}

bool Autostart::add(const QString& programPath, QString* error)
{
    if (!QDir().mkpath(m_folder)) {
        *error = QStringLiteral("Cannot create the folder %1").arg(m_folder);
        return false;
    }
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("Cannot write %1: %2").arg(entryPath(), file.errorString());
        return false;
    }
    const QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=Velmora\n"
                                        "Comment=Telephone call recorder and answering machine\n"
                                        "Exec=%1\nTerminal=false\nX-GNOME-Autostart-enabled=true\n")
                             .arg(execLine(programPath));
    file.write(text.toUtf8());
    if (!file.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(entryPath(), file.errorString());
        return false;
    }
    return true;
}

bool Autostart::remove(QString* error)
{
    QFile file(entryPath());
    if (!file.exists() || file.remove())
        return true;
    *error = QStringLiteral("Cannot remove %1: %2").arg(entryPath(), file.errorString());
    return false;
}
