#include "CliModem.h"

#include "catalogue/DataFolder.h"

CliModem::CliModem(const CliContext& context)
    : m_dataFolder(datafolder::choose(datafolder::currentInputs(context.dataDir))),
      m_settings(m_dataFolder + QLatin1Char('/') + datafolder::SettingsFileName)
{
    m_engine.setSerialPort(&m_port);
    m_engine.setIniFile(&m_settings);
    QString device = context.port;
    if (device.isEmpty())
        device = settings::readString(m_settings, keys::PortName).trimmed();
    m_port.setDeviceName(device);
}

bool CliModem::checkProbed(QTextStream& err, const QString& commandName) const
{
    if (m_settings.sectionExists(sections::Commands))
        return true;
    err << "velmora-cli " << commandName << ": no modem has been set up in " << m_dataFolder
        << "; run velmora-cli probe first\n";
    err.flush();
    return false;
}

CliModem::~CliModem()
{
    m_engine.ReleaseModem();
}

QString printableReply(const QString& text)
{
    QString shown;
    for (const QChar c : text) {
        if (c == QLatin1Char('\r'))
            shown += QLatin1String("\\r");
        else if (c == QLatin1Char('\n'))
            shown += QLatin1String("\\n");
        else if (c == QLatin1Char('\\'))
            shown += QLatin1String("\\\\");
        else if (c.unicode() < 0x20 || c.unicode() >= 0x7f)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}
