#include "calls/GreetingForms.h"

#include "audio/AudioErrors.h"
#include "audio/AudioImport.h"
#include "calls/GreetingTable.h"
#include "calls/LineOutput.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"

#include <QDir>
#include <QFileInfo>
#include <QTime>

Greeting GreetingMessage::greeting(const QString& source) const
{
    switch (GreetingType(msgType)) {
    case GreetingType::WavFile:
        return {GreetingType::WavFile, wav, source};
    case GreetingType::Recorded:
        return {GreetingType::Recorded, recordedFile, source};
    case GreetingType::Text:
        break;
    }
    return {GreetingType::Text, tts, source};
}

QString greetingFileFor(const QString& dataFolder, const QString& file, QString* error, bool* imported)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    if (!QFileInfo(path).isFile()) {
        *error = file + QStringLiteral(" is not a file");
        return QString();
    }
    QString why;
    if (LineOutput::wavFileMs(path, &why) >= 0)
        return path;
    const QString folder = greetings::messagesFolder(dataFolder);
    QDir().mkpath(folder);
    const QString stem = QFileInfo(path).completeBaseName();
    QString target = folder + stem + QStringLiteral(".wav");
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = folder + QStringLiteral("%1_%2.wav").arg(stem).arg(n);
    try {
        ImportAudioFile(path, target, greetingFormat());
    } catch (const EACMError& e) {
        *error = e.message();
        return QString();
    }
    if (imported)
        *imported = true;
    return target;
}

// --- Greeting Messages --------------------------------------------------------------

GreetingMessagesForm::GreetingMessagesForm(GreetingTable& table, const QString& dataFolder)
    : m_table(table), m_dataFolder(dataFolder)
{
    QDir().mkpath(greetings::messagesFolder(dataFolder)); // errors show when a greeting is recorded
    reload(QString());
}

void GreetingMessagesForm::reload(const QString& currentId)
{
    m_rows = m_table.rows();
    m_current = m_rows.empty() ? -1 : 0;
    for (int i = 0; i < int(m_rows.size()); ++i)
        if (m_rows[size_t(i)].msgId == currentId)
            m_current = i;
}

void GreetingMessagesForm::setCurrent(int index)
{
    if (index >= 0 && index < int(m_rows.size()))
        m_current = index;
}

GreetingMessage GreetingMessagesForm::message() const
{
    if (m_current < 0)
        return {};
    const CallerGreeting& row = m_rows[size_t(m_current)];
    return {row.msgType, row.wavFile, row.tts, greetings::recordedCallerFile(m_dataFolder, row.msgId)};
}

std::optional<QString> GreetingMessagesForm::add(const QString& callerId)
{
    const QString number = callerId.trimmed();
    if (number.isEmpty())
        return std::nullopt;
    const QString id = m_table.add(number, int(GreetingType::Text), QString(), settings::DefaultGreetingText);
    reload(id);
    return id;
}

void GreetingMessagesForm::removeCurrent()
{
    if (m_current < 0)
        return;
    const int was = m_current;
    m_table.remove(m_rows[size_t(was)].msgId);
    reload(QString());
    if (!m_rows.empty())
        m_current = std::min(was, int(m_rows.size()) - 1);
}

void GreetingMessagesForm::store(const CallerGreeting& row)
{
    if (!m_table.update(row)) { // removed by someone else meanwhile
        reload(QString());
        return;
    }
    m_rows[size_t(m_current)] = row;
}

void GreetingMessagesForm::setType(int msgType)
{
    if (m_current < 0 || msgType < 0 || msgType > 2)
        return;
    CallerGreeting row = m_rows[size_t(m_current)];
    row.msgType = msgType;
    store(row);
}

void GreetingMessagesForm::setWavFile(const QString& path)
{
    if (m_current < 0)
        return;
    CallerGreeting row = m_rows[size_t(m_current)];
    row.wavFile = path;
    store(row);
}

void GreetingMessagesForm::setText(const QString& text)
{
    if (m_current < 0 || m_rows[size_t(m_current)].tts == text)
        return;
    CallerGreeting row = m_rows[size_t(m_current)];
    row.tts = text;
    store(row);
}

// --- Schedule -----------------------------------------------------------------------

ScheduleForm::ScheduleForm(IniFile& ini, CurrentSettings& current, const QString& dataFolder)
    : m_ini(ini), m_settings(current), m_dataFolder(dataFolder)
{
    QDir().mkpath(greetings::messagesFolder(dataFolder));
    settings::createMissingKeys(ini);
    m_settings.reloadIfChanged();
    m_periods = m_settings.values().periods; // with changes not yet stored
}

void ScheduleForm::setCurrent(int period)
{
    if (period >= 0 && period < int(m_periods.size()))
        m_current = period;
}

GreetingMessage ScheduleForm::message() const
{
    const PeriodSettings& p = period();
    return {p.msgType, p.wav, p.tts, greetings::recordedPeriodFile(m_dataFolder, m_current)};
}

void ScheduleForm::apply()
{
    m_settings.setPeriods(m_periods);
}

void ScheduleForm::setEnabled(bool on)
{
    if (!editsTimes())
        return;
    m_periods[size_t(m_current)].enabled = on;
    apply();
}

// Times of day in whole seconds, as the pickers show them.
static QTime wholeSeconds(const QTime& t)
{
    return QTime(t.hour(), t.minute(), t.second());
}

void ScheduleForm::setFrom(const QTime& from)
{
    if (!editsTimes() || !from.isValid())
        return;
    m_periods[size_t(m_current)].from = wholeSeconds(from);
    apply();
}

void ScheduleForm::setTo(const QTime& to)
{
    if (!editsTimes() || !to.isValid())
        return;
    m_periods[size_t(m_current)].to = wholeSeconds(to);
    apply();
}

void ScheduleForm::setType(int msgType)
{
    if (msgType < 0 || msgType > 2)
        return;
    m_periods[size_t(m_current)].msgType = msgType;
    apply();
}

void ScheduleForm::setWavFile(const QString& path)
{
    m_periods[size_t(m_current)].wav = path;
    apply();
}

void ScheduleForm::setText(const QString& text)
{
    if (m_periods[size_t(m_current)].tts == text)
        return;
    m_periods[size_t(m_current)].tts = text;
    apply();
}

bool ScheduleForm::close()
{
    if (!CallSettings::writePeriods(m_ini, m_periods))
        return false;
    m_settings.periodsStored();
    m_settings.reloadIfChanged();
    return true;
}
