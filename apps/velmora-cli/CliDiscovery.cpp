#include "CliDiscovery.h"

#include "platform/SerialPortEnumerator.h"

void cliSetUpDiscovery(const CliContext& context, TQModems& modems)
{
    if (context.port.isEmpty())
        return;
    // Numbered as the ports command numbers it, so the stored port number
    // means the same device.
    SerialPortInfo given{0, context.port, QString()};
    for (const SerialPortInfo& p : enumerateSerialPorts({context.port}))
        if (p.path == context.port)
            given = p;
    modems.setCandidatePorts({given});
}

void StreamDiscoveryProgress::showProgress(const QString& text)
{
    m_text = text;
}

void StreamDiscoveryProgress::setProgress(int percent)
{
    m_out << m_text << percent << "%\n";
    m_out.flush();
}

void printUnavailablePorts(QTextStream& err, const QList<TQModems::Unavailable>& ports)
{
    for (const TQModems::Unavailable& p : ports)
        err << p.reason << '\n';
}
