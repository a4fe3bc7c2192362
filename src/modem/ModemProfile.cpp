#include "ModemProfile.h"

#include "config/IniFile.h"

const std::array<ModemCommandKey, ModemCommandCount> ModemCommandKeys = {{
    {"sVoiceTransmit", "at+VTX"},
    {"sVoiceReceive", "at+VRX"},
    {"sVoiceDuplex", "at+VTR"},
    {"sStopVoiceTransmit", "<DLE><!>"},
    {"sStopVoiceReceive", "<DLE><EXT>"},
    {"sStopVoiceDuplex", "<DLE><^>"},
    {"sVoiceCompression", "at+vsm=128"},
    {"sSelectSource", "at+vls=1"},
    {"sOnHook", "at+vls=0"},
    {"sOffHook", "at+vls=1"},
    {"sReceiveGain", "at+vgr=128"},
    {"sTransmitGain", "at+vgt=128"},
    {"sToneDuration", "at+vtd=10"},
    {"sFlowControl", "at+flo=1"},
    {"sInactivityTimer", "at+vit=0"},
    {"sRingbackAway", "at+vra=50"},
    {"sRingbackNever", "at+vrn=10"},
    {"sSilDetection", "at+vsd=0,0"},
    {"sDistinctiveRing", "at+vdr=0,0"},
    {"sToneCadence", "at+vdt=0,0"},
    {"sAssertDeassert", "at+vbt=256,896"},
    {"sPacketProtocol", "at+vpp=0"},
    {"sInterfaceRate", "at+vpr=0"},
    {"sRepeatUCID", "at+vrid=1"},
    {"sRepeatFCID", "at+vrid=0"},
    {"sNoCallerID", "at+vcid=0"},
    {"sFCallerID", "at+vcid=1"},
    {"sUCallerID", "at+vcid=2"},
    {"sSpkPhone_0", "at+vsp=0"},
    {"sSpkPhone_1", "at+vsp=1"},
    {"sSpkPhone_2", "at+vsp=2"},
    {"sSpkPhone_3", "at+vsp=3"},
    {"sSpkPhone_4", "at+vsp=4"},
    {"sMicGain", "at+VGM=128"},
    {"sSpeakerGain", "at+VGS=128"},
    {"sTrainAEC", "at+VTA"},
    {"sTrainLEC", "at+VTH"},
    {"sSpkFullDuplex", "at+VDX=1"},
    {"sSpkHalfDuplex", "at+VDX=0"},
    {"sDataMode", "at+fclass=0"},
    {"sFaxClass1", "at+fclass=1"},
    {"sFaxClass2", "at+fclass=2"},
    {"sVoiceMode", "at+fclass=8"},
}};

ModemProfile::ModemProfile()
{
    for (int i = 0; i < ModemCommandCount; ++i)
        commands[size_t(i)] = QString::fromLatin1(ModemCommandKeys[size_t(i)].defaultValue);
}

namespace {

void readPortParams(const IniFile& ini, ModemProfile& p)
{
    const QString section = QStringLiteral("PortParams");
    p.portNumber = ini.readInteger(section, QStringLiteral("Port"), p.portNumber);
    p.baudRate = ini.readInteger(section, QStringLiteral("Baudrate"), p.baudRate);
    p.dataBits = ini.readInteger(section, QStringLiteral("Databits"), p.dataBits);
    p.stopBits = ini.readInteger(section, QStringLiteral("StopBits"), p.stopBits);
    p.parity = ini.readInteger(section, QStringLiteral("Parity"), p.parity);
}

void readCompression(const IniFile& ini, ModemProfile& p)
{
    const QString section = QStringLiteral("Modem compression");
    const QString bin = QStringLiteral("Bin");
    if (ini.valueExists(section, bin))
        p.modemCompression = ini.readBinary(section, bin).value_or(QByteArray());

    const QString modem = modemkeys::Modem;
    const QString none;
    p.compressionDesc = ini.readString(modem, QStringLiteral("CompressionDesc"), none);
    p.compressionCml = ini.readString(modem, QStringLiteral("CompressionCml"), none);
    p.compressionCmid = ini.readString(modem, QStringLiteral("CompressionCmid"), none);
    p.compressionBps = ini.readString(modem, QStringLiteral("CompressionBPS"), none);
    p.compressionTm = ini.readString(modem, QStringLiteral("CompressionTm"), none);
    p.compressionVsr = ini.readString(modem, QStringLiteral("CompressionVSR"), none);
    p.compressionSds = ini.readString(modem, QStringLiteral("CompressionSds"), none);
    p.compressionSel = ini.readString(modem, QStringLiteral("CompressionSel"), none);
}

void readCommands(const IniFile& ini, ModemProfile& p)
{
    for (int i = 0; i < ModemCommandCount; ++i) {
        const ModemCommandKey& k = ModemCommandKeys[size_t(i)];
        p.commands[size_t(i)] = ini.readString(modemkeys::Commands, QString::fromLatin1(k.key),
                                               QString::fromLatin1(k.defaultValue));
    }
    for (int i = 0; i < LineSourceCount; ++i)
        p.lineSources[size_t(i)] = ini.readString(modemkeys::Commands, QStringLiteral("vls_%1").arg(i), QString());
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
    p.voiceFeatures = ini.readBool(modemkeys::Modem, QStringLiteral("voiceFeatures"), false);
    p.ringSpan = ini.readInteger(modemkeys::Modem, modemkeys::RingSpan, UnmeasuredRingSpan);
    readCompression(ini, p);
    readCommands(ini, p);
    p.escapeStopPairs = ini.readBool(modemkeys::Modem, modemkeys::EscapeStopPairs, false);
    return p;
}

AnalyserSwitches readAnalyserSwitches(const IniFile& ini)
{
    const QString section = QStringLiteral("Settings");
    AnalyserSwitches s;
    s.silence = ini.readBool(section, QStringLiteral("Silence"), false);
    s.periodic = ini.readBool(section, QStringLiteral("Periodic"), true);
    s.cadence = ini.readBool(section, QStringLiteral("Cadence"), true);
    s.silenceDim = ini.readInteger(section, QStringLiteral("DiscTime"), 10) * 5;
    return s;
}
