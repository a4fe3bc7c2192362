#include "ModemSim.h"

#include "EventWait.h"

#include <QFile>

namespace testsupport {

ModemSim::ModemSim() : ModemSim(Options()) {}

ModemSim::ModemSim(Options options) : m_options(std::move(options)) {}

ModemSim::~ModemSim()
{
    kill();
}

QString ModemSim::program()
{
    const QString fromEnvironment = qEnvironmentVariable("VELMORA_MODEM_SIM");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
#ifdef VELMORA_MODEM_SIM
    return QStringLiteral(VELMORA_MODEM_SIM);
#else
    return QStringLiteral("velmora-modem-sim");
#endif
}

bool ModemSim::start(int timeoutMs)
{
    QStringList args{QStringLiteral("--profile"), m_options.profile, QStringLiteral("--speed"),
                     QString::number(m_options.speed)};
    if (m_options.chunk > 0)
        args << QStringLiteral("--chunk") << QString::number(m_options.chunk);
    if (m_options.capture)
        args << QStringLiteral("--capture-dir") << m_dir.path();
    if (!m_options.scenario.isEmpty()) {
        const QString file = m_dir.filePath(QStringLiteral("scenario.txt"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(m_options.scenario.toUtf8()) < 0) {
            m_error = QStringLiteral("cannot write the scenario file");
            return false;
        }
        args << QStringLiteral("--scenario") << file;
    }
    args << m_options.extraArgs;
    m_process.start(program(), args);
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(program(), m_process.errorString());
        return false;
    }
    waitUntil(
        [&] {
            collect();
            return !m_path.isEmpty() || !running();
        },
        timeoutMs);
    if (m_path.isEmpty())
        m_error = QStringLiteral("the simulator printed no device path: %1")
                      .arg(QString::fromUtf8(m_process.readAllStandardError()));
    return !m_path.isEmpty();
}

void ModemSim::collect()
{
    m_pending += m_process.readAllStandardOutput();
    int nl;
    while ((nl = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_pending.left(nl));
        m_pending.remove(0, nl + 1);
        if (m_path.isEmpty())
            m_path = line.trimmed();
        else
            m_log << line;
    }
}

void ModemSim::command(const QString& line)
{
    m_process.write((line + QLatin1Char('\n')).toUtf8());
    m_process.waitForBytesWritten(1000);
}

bool ModemSim::waitForLog(const QString& text, int timeoutMs, int fromLine)
{
    return waitUntil(
        [&] {
            collect();
            for (int i = fromLine; i < m_log.size(); ++i)
                if (m_log[i].contains(text))
                    return true;
            return false;
        },
        timeoutMs);
}

QStringList ModemSim::log()
{
    collect();
    return m_log;
}

void ModemSim::kill()
{
    if (running()) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

} // namespace testsupport
