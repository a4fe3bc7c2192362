#include "calls/EventLog.h"

#include "platform/FileSync.h"
#include "core/VisibleText.h"

#include <QFile>

void EventLog::open(const QString& dataFolder)
{
    QMutexLocker lock(&m_mutex);
    m_folder = dataFolder;
    m_lines.clear();
    QFile file(path(FileName));
    if (file.open(QIODevice::ReadOnly)) {
        const QString text = QString::fromUtf8(file.readAll());
        m_lines = text.split(QLatin1Char('\n'));
        if (!m_lines.isEmpty() && m_lines.last().isEmpty())
            m_lines.removeLast();
    }
    m_lines.append(NewSessionLine);
    m_lines.append(m_early);
    m_early.clear();
}

void EventLog::LogEvent(const QString& received)
{
    const QString text = visibleLines(received); // caller ID and modem replies come from outside
    std::vector<TextSink*> mirrors;
    {
        QMutexLocker lock(&m_mutex);
        mirrors = m_mirrors;
        if (m_folder.isEmpty()) {
            m_early.append(text);
        } else {
            m_lines.append(text);
            if (m_lines.size() >= FlushLines && writeOut())
                m_lines.clear();
        }
    }
    for (TextSink* mirror : mirrors)
        mirror->appendLine(text);
}

bool EventLog::save()
{
    QMutexLocker lock(&m_mutex);
    return !m_folder.isEmpty() && writeOut();
}

bool EventLog::endSession()
{
    LogEvent(EndSessionLine);
    return save();
}

void EventLog::addMirror(TextSink* sink)
{
    QMutexLocker lock(&m_mutex);
    m_mirrors.push_back(sink);
}

void EventLog::removeMirror(TextSink* sink)
{
    QMutexLocker lock(&m_mutex);
    std::erase(m_mirrors, sink);
}

QStringList EventLog::lines() const
{
    QMutexLocker lock(&m_mutex);
    return m_folder.isEmpty() ? m_early : m_lines;
}

QString EventLog::error() const
{
    QMutexLocker lock(&m_mutex);
    return m_error;
}

QString EventLog::path(const QString& name) const
{
    return m_folder + QLatin1Char('/') + name;
}

// Replaces Events.log with the lines held; a file holding lines that are
// no longer in memory becomes Events.1.log first.
bool EventLog::writeOut()
{
    if (m_fileHoldsFlushed) {
        QFile::remove(path(PreviousFileName));
        if (!QFile::rename(path(FileName), path(PreviousFileName)) && QFile::exists(path(FileName))) {
            m_error = QStringLiteral("Cannot keep %1 as %2").arg(path(FileName), PreviousFileName);
            return false;
        }
        m_fileHoldsFlushed = false;
    }
    QByteArray content = m_lines.join(QLatin1Char('\n')).toUtf8();
    content.append('\n');
    if (!replaceFile(path(FileName), content, &m_error))
        return false;
    m_fileHoldsFlushed = m_lines.size() >= FlushLines;
    return true;
}
