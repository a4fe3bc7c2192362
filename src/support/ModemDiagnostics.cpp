#include "support/ModemDiagnostics.h"

#include "modem/TQVModem253.h"
#include "platform/SerialPort.h"
#include "support/SystemFacts.h"

#include <QDate>
#include <QDir>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTime>
#include <cmath>

const std::array<const char*, 50> ModemDiagnostics::Commands = {
    "atE0",      "atI0",      "atI1",      "atI2",      "atI3",      "atI4",      "atI5",      "atI6",
    "atI7",      "atI8",      "atI9",      "atI10",     "at+fclass=8", "at+fclass=?", "at+VRID=?", "at+VCID=?",
    "at+VNH=?",  "at+VRL=?",  "at+VTS=?",  "at+VGR=?",  "at+VGT=?",  "at+VIT=?",  "at+VLS=?",  "at+VRA=?",
    "at+VRN=?",  "at+VSD=?",  "at+VSM=?",  "at+VTD=?",  "at+VDR=?",  "at+VDT=?",  "at+ITF=?",  "at+VBT=?",
    "at+VPP=?",  "at+IPR=?",  "at+FPR=?",  "at+VPR=?",  "at+VSP=?",  "at+VGM=?",  "at+VGS=?",  "at+VTA=?",
    "at+VTH=?",  "at+VDX=?",  "at+FLO=?",  "at+IFC=?",  "at+GMI?",   "at+FMI?",   "at+GMM?",   "at+FMM?",
    "at+GMR?",   "at+FMR?"};

namespace {

constexpr int SilentLimit = 3;

// The locale's time as a clock shows it: its long form names the time zone.
QString timeFormat()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("[\\s(\\[]*\\bt+\\b[)\\]]*")));
    return format.trimmed();
}

} // namespace

ModemDiagnostics::ModemDiagnostics(TQVModem253& engine, const QString& dataFolder)
    : m_engine(engine), m_dataFolder(dataFolder)
{
}

QString ModemDiagnostics::logPath() const
{
    return QDir(m_dataFolder).filePath(FileName);
}

QString ModemDiagnostics::replyText(const QString& reply)
{
    QStringList lines;
    for (const QString& line : reply.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts))
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    if (!lines.isEmpty() && lines.last().compare(QLatin1String("OK"), Qt::CaseInsensitive) == 0)
        lines.removeLast();
    return lines.join(QLatin1Char('\n'));
}

ModemDiagnostics::Result ModemDiagnostics::run(QString* message)
{
    const SerialPort* serial = m_engine.serialPort();
    const QString port = serial ? serial->portText() : QString();
    bool bound = m_engine.portIsOpen();
    if (!bound) {
        try {
            bound = m_engine.BindModem();
        } catch (const std::exception&) {
        }
    }
    if (!bound) {
        *message = QStringLiteral("Error during opening com port ") + port;
        return Result::PortFailed;
    }
    const SystemFacts facts = SystemFacts::read();
    QStringList lines{QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat),
                      QLocale::system().toString(QTime::currentTime(), timeFormat()), facts.osName,
                      facts.processor, QStringLiteral(" ")};
    int silentInRow = 0;
    int notSent = 0;
    for (size_t i = 0; i < Commands.size(); ++i) {
        if (cancelled && cancelled()) {
            *message = QStringLiteral("The diagnostics were cancelled; nothing was written.");
            return Result::Cancelled;
        }
        const QString command = QLatin1String(Commands[i]);
        // A modem that stays silent this long will not wake up for the next
        // command: 50 time-outs would only keep the user waiting.
        const bool send = silentInRow < SilentLimit;
        const int reply = send ? m_engine.SendCommand(command) : int(TQVModem253::ReplyTimeOut);
        silentInRow = reply == TQVModem253::ReplyTimeOut ? silentInRow + 1 : 0;
        notSent += send ? 0 : 1;
        lines << command;
        if (reply != TQVModem253::ReplyOk)
            lines << QStringLiteral("ERROR");
        else if (const QString text = replyText(m_engine.GetLastReply()); !text.isEmpty())
            lines << text;
        lines << QStringLiteral(" ");
        if (onProgress)
            onProgress(int(std::nearbyint(double(i) / 49.0 * 100.0)));
    }
    if (notSent > 0)
        lines << QStringLiteral("The modem did not answer %1 commands in a row; the last %2 were not sent and are "
                                "marked ERROR.")
                     .arg(SilentLimit)
                     .arg(notSent);
    QSaveFile file(logPath());
    if (!file.open(QIODevice::WriteOnly) || file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) < 0
        || !file.commit()) {
        *message = QStringLiteral("Cannot write %1: %2").arg(logPath(), file.errorString());
        return Result::WriteFailed;
    }
    if (notSent > 0) {
        *message = QStringLiteral("The modem on port %1 does not answer; %2 says so, for support").arg(port, logPath());
        return Result::NoAnswer;
    }
    return Result::Written;
}
