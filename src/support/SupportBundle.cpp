#include "support/SupportBundle.h"

#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char* const Logs[] = {"Diagnostics.log", "Events.log", "Events.1.log"};
const QString Settings = QStringLiteral("vlm.ini");
const QString Folder = QStringLiteral("velmora-support");

bool writeText(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

// The remote code and the hang-up sequence, as keys are logged.
QStringList secretKeySequences(const QString& folder)
{
    const IniFile ini(QDir(folder).filePath(Settings));
    QStringList secrets;
    for (const settings::Key* key : {&keys::RemoteCode, &keys::HangupSeq}) {
        const QString keysPressed = settings::readString(ini, *key).remove(QLatin1Char(' ')).toUpper();
        if (!keysPressed.isEmpty())
            secrets << keysPressed;
    }
    return secrets;
}

// Every logged key ("<< 4 >>") that is part of a secret pressed in a row,
// whatever other lines come between the keys.
void maskKeys(QStringList& lines, const QStringList& secrets)
{
    static const QRegularExpression keyLine(QStringLiteral("<< ([0-9A-D*#]) >>"));
    QString pressed;
    std::vector<qsizetype> at;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (const auto match = keyLine.match(lines[i]); match.hasMatch()) {
            pressed += match.captured(1);
            at.push_back(i);
        }
    std::vector<bool> secret(at.size(), false);
    for (const QString& s : secrets)
        for (qsizetype from = pressed.indexOf(s); from >= 0; from = pressed.indexOf(s, from + 1))
            std::fill(secret.begin() + from, secret.begin() + from + s.size(), true);
    for (size_t k = 0; k < at.size(); ++k)
        if (secret[k])
            lines[at[k]].replace(keyLine, SupportBundle::MaskedKey);
}

} // namespace

SupportBundle::SupportBundle(const QString& dataFolder) : m_folder(dataFolder) {}

bool SupportBundle::isSecret(const QString& key)
{
    const QString k = key.trimmed().toLower();
    return k == QLatin1String("remotecode") || k == QLatin1String("hangupseq") || k.contains(QLatin1String("password"))
        || k.contains(QLatin1String("smtp")) || k.contains(QLatin1String("account"));
}

QStringList SupportBundle::files() const
{
    QStringList found;
    for (const char* name : Logs)
        if (QFileInfo::exists(QDir(m_folder).filePath(QLatin1String(name))))
            found << QLatin1String(name);
    if (QFileInfo::exists(QDir(m_folder).filePath(Settings)))
        found << Settings;
    return found;
}

QString SupportBundle::redactedSettings() const
{
    QFile file(QDir(m_folder).filePath(Settings));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QStringList out;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const bool entry = equals > 0 && !line.trimmed().startsWith(QLatin1Char(';')) && !line.trimmed().startsWith(QLatin1Char('['));
        out << (entry && isSecret(line.left(equals)) ? line.left(equals + 1) + Masked : line);
    }
    return out.join(QLatin1Char('\n'));
}

QString SupportBundle::redacted(const QString& name) const
{
    if (name == Settings)
        return redactedSettings();
    RegularFile file(QDir(m_folder).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    maskKeys(lines, secretKeySequences(m_folder));
    return lines.join(QLatin1Char('\n'));
}

bool SupportBundle::write(const QString& out, const QString& description, QString* error) const
{
    QTemporaryDir stage;
    const QString folder = stage.filePath(Folder);
    if (!stage.isValid() || !QDir().mkpath(folder)) {
        *error = QStringLiteral("Cannot make a temporary folder");
        return false;
    }
    bool ok = writeText(folder + QStringLiteral("/description.txt"), description + QLatin1Char('\n'));
    for (const QString& name : files())
        ok = writeText(folder + QLatin1Char('/') + name, redacted(name)) && ok;
    if (!ok) {
        *error = QStringLiteral("Cannot copy the files into the bundle");
        return false;
    }
    // Written beside its name first: a failed run leaves no half archive.
    const QString partial = QFileInfo(out).absoluteFilePath() + QStringLiteral(".part");
    QProcess tar;
    tar.start(QStringLiteral("tar"), {QStringLiteral("-czf"), partial, QStringLiteral("-C"), stage.path(), Folder});
    if (!tar.waitForFinished(60000) || tar.exitStatus() != QProcess::NormalExit || tar.exitCode() != 0) {
        *error = QStringLiteral("tar failed: ") + QString::fromLocal8Bit(tar.readAllStandardError()).trimmed()
               + tar.errorString();
        QFile::remove(partial);
        return false;
    }
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(QFileInfo(out).absoluteFilePath()).constData()) != 0) {
        *error = QStringLiteral("Cannot write ") + out;
        QFile::remove(partial);
        return false;
    }
    return true;
}
