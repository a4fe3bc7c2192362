#include "ModemProfile.h"

#include "config/IniFile.h"

static_assert(ModemCommandCount == settings::CommandCount);
static_assert(LineSourceCount == settings::LineSourceCount);

const settings::Key& commandKey(ModemCommand command)
{
    return settings::commandKey(int(command));
}

ModemProfile::ModemProfile()
{
    for (int i = 0; i < ModemCommandCount; ++i)
        commands[size_t(i)] = settings::commandKey(i).fallback;
}

namespace {

void readPortParams(const IniFile& ini, ModemProfile& p)
{
    p.portNumber = settings::readInteger(ini, keys::Port, p.portNumber);
    p.baudRate = settings::readInteger(ini, keys::Baudrate, p.baudRate);
    p.dataBits = settings::readInteger(ini, keys::Databits, p.dataBits);
    p.stopBits = settings::readInteger(ini, keys::StopBits, p.stopBits);
    p.parity = settings::readInteger(ini, keys::Parity, p.parity);
}

void readCompression(const IniFile& ini, ModemProfile& p)
{
    p.modemCompression = settings::readBinary(ini, keys::ModemCompressionBin).value_or(QByteArray());
    p.compressionDesc = settings::readString(ini, keys::CompressionDesc);
    p.compressionCml = settings::readString(ini, keys::CompressionCml);
    p.compressionCmid = settings::readString(ini, keys::CompressionCmid);
    p.compressionBps = settings::readString(ini, keys::CompressionBPS);
    p.compressionTm = settings::readString(ini, keys::CompressionTm);
    p.compressionVsr = settings::readString(ini, keys::CompressionVSR);
    p.compressionSds = settings::readString(ini, keys::CompressionSds);
    p.compressionSel = settings::readString(ini, keys::CompressionSel);
}

void readCommands(const IniFile& ini, ModemProfile& p)
{
    for (int i = 0; i < ModemCommandCount; ++i)
        p.commands[size_t(i)] = settings::readString(ini, settings::commandKey(i));
    for (int i = 0; i < LineSourceCount; ++i)
        p.lineSources[size_t(i)] = settings::readString(ini, settings::lineSourceKey(i));
}

} // namespace

ModemProfile readModemProfile(const IniFile& ini, const ModemProfile& current)
{
    ModemProfile p; // everything but the port parameters starts from the defaults
    p.portNumber = current.portNumber;
    p.baudRate = current.baudRate;
    p.dataBits = current.dataBits;
    p.stopBits = current.stopBits;
    p.parity = current.parity;
    readPortParams(ini, p);
    p.voiceFeatures = settings::readBool(ini, keys::Voicefeatures);
    p.ringSpan = settings::readInteger(ini, keys::RingSpan);
    readCompression(ini, p);
    readCommands(ini, p);
    p.escapeStopPairs = settings::readBool(ini, keys::EscapeStopPairs);
    return p;
}

AnalyserSwitches readAnalyserSwitches(const IniFile& ini)
{
    AnalyserSwitches s;
    s.silence = settings::readBool(ini, keys::Silence);
    s.periodic = settings::readBool(ini, keys::Periodic);
    s.cadence = settings::readBool(ini, keys::Cadence);
    s.silenceDim = settings::readInteger(ini, keys::DiscTime) * 5;
    s.callProgress = settings::readBool(ini, keys::CallProgress);
    return s;
}
