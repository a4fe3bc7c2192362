#include "DataFolder.h"

#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace datafolder {

namespace {

QString clean(const QString& path)
{
    QString cleaned = QDir::cleanPath(QDir(path).absolutePath());
    while (cleaned.size() > 1 && cleaned.endsWith(QLatin1Char('/')))
        cleaned.chop(1);
    return cleaned;
}

} // namespace

QString choose(const Inputs& inputs)
{
    if (!inputs.overrideDir.isEmpty())
        return clean(inputs.overrideDir);
    if (!inputs.programFolder.isEmpty()
        && QFileInfo(inputs.programFolder + QLatin1Char('/') + SettingsFileName).isFile())
        return clean(inputs.programFolder);
    const QString base = QDir::isAbsolutePath(inputs.xdgDataHome)
                             ? inputs.xdgDataHome
                             : inputs.home + QStringLiteral("/.local/share");
    return clean(base + QLatin1Char('/') + ApplicationTitle);
}

Inputs currentInputs(const QString& overrideDir)
{
    Inputs inputs;
    inputs.overrideDir = overrideDir;
    if (QCoreApplication::instance())
        inputs.programFolder = QCoreApplication::applicationDirPath();
    inputs.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    inputs.home = QDir::homePath();
    return inputs;
}

QString prepare(const QString& overrideDir, QString* error)
{
    const QString folder = choose(currentInputs(overrideDir));
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        if (error)
            *error = QStringLiteral("cannot create the data folder %1").arg(folder);
        return {};
    }
    return folder;
}

QString recordingsFolder(const QString& dataFolder)
{
    const QString fallback = dataFolder + QStringLiteral("/wav/");
    const IniFile ini(dataFolder + QLatin1Char('/') + SettingsFileName);
    QString folder = settings::readString(ini, keys::WavDir);
    if (folder.trimmed().isEmpty())
        folder = fallback;
    else if (QDir::isRelativePath(folder))
        folder = dataFolder + QLatin1Char('/') + folder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

} // namespace datafolder
