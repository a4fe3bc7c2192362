#include "CliProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

namespace testsupport {

CliProcess::CliProcess(QString dataDir, QString port)
    : m_dataDir(std::move(dataDir))
    , m_port(std::move(port))
{
}

CliProcess::~CliProcess()
{
    stopRun();
}

QString CliProcess::program()
{
    return QStringLiteral(VELMORA_CLI);
}

ProcessResult CliProcess::cli(const QStringList& command) const
{
    return testsupport::run(program(), QStringList{QStringLiteral("--data-dir"), m_dataDir, QStringLiteral("--port"), m_port} + command);
}

bool CliProcess::set(const QString& section, const QString& key, const QString& value) const
{
    return cli({QStringLiteral("set"), section, key, value}).exitCode == 0;
}

int CliProcess::newCount() const
{
    bool ok = false;
    const int count = QString::fromUtf8(cli({QStringLiteral("list"), QStringLiteral("--new"), QStringLiteral("--count")}).out)
                          .trimmed()
                          .toInt(&ok);
    return ok ? count : -1;
}

void CliProcess::startRun(const QProcessEnvironment& environment)
{
    m_output.clear();
    m_run.setProcessEnvironment(environment);
    m_run.start(program(), {QStringLiteral("--data-dir"), m_dataDir, QStringLiteral("--port"), m_port, QStringLiteral("run")});
}

void CliProcess::startRunAfter(const QString& setUp)
{
    m_output.clear();
    m_run.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), setUp + QStringLiteral("; exec \"$0\" --data-dir \"$1\" --port \"$2\" run"),
                                            program(), m_dataDir, m_port});
}

const QByteArray& CliProcess::collect()
{
    m_output += m_run.readAllStandardOutput();
    return m_output;
}

bool CliProcess::waitFor(const QString& text, int timeoutMs, int times, bool report)
{
    const QByteArray wanted = text.toUtf8();
    QDeadlineTimer deadline(timeoutMs);
    while (true) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (whileWaiting)
            whileWaiting();
        if (collect().count(wanted) >= times)
            return true;
        if (deadline.hasExpired())
            break;
        m_run.waitForReadyRead(20);
    }
    if (report)
        ADD_FAILURE() << "no \"" << qPrintable(text) << "\" in:\n" << m_output.constData();
    return false;
}

bool CliProcess::stopRun(int timeoutMs)
{
    if (m_run.state() == QProcess::NotRunning)
        return true;
    m_run.terminate();
    const bool ended = m_run.waitForFinished(timeoutMs);
    if (!ended) {
        m_run.kill();
        m_run.waitForFinished();
    }
    collect();
    return ended;
}

void CliProcess::killRun()
{
    m_run.kill();
    m_run.waitForFinished(10000);
    collect();
}

} // namespace testsupport
