#pragma once

#include "CliCommand.h"
#include "config/IniFile.h"
#include "modem/TQVModem253.h"
#include "core/StreamTextSink.h"
#include "platform/LinuxSerialPort.h"

// The modem engine on the real serial port with the data folder's settings
// (the data folder is not created).
// The device is --port when given, else the settings' PortName, else the
// port number of the settings.
class CliModem
{
public:
    explicit CliModem(const CliContext& context);
    ~CliModem();

    TQVModem253& engine() { return m_engine; }
    IniFile& settings() { return m_settings; }
    const QString& dataFolder() const { return m_dataFolder; }
    // Whether a probe has defined the modem; prints what to do when not.
    // Default commands sent to a modem nobody probed only mislead.
    bool checkProbed(QTextStream& err, const QString& commandName) const;

private:
    QString m_dataFolder;
    IniFile m_settings;
    LinuxSerialPort m_port;
    TQVModem253 m_engine;
};

// A modem reply as one printable line: CR and LF as \r and \n, other
// control bytes as \xHH.
QString printableReply(const QString& text);
