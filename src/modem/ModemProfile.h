#pragma once

#include <QByteArray>
#include <QString>
#include <array>

#include "config/SettingsCatalogue.h"

class IniFile;

// One command string per modem function, in the order of the keys of the
// settings section "Commands". The enumerators are the key names.
enum class ModemCommand : int {
    sVoiceTransmit,
    sVoiceReceive,
    sVoiceDuplex,
    sStopVoiceTransmit,
    sStopVoiceReceive,
    sStopVoiceDuplex,
    sVoiceCompression,
    sSelectSource,
    sOnHook,
    sOffHook,
    sReceiveGain,
    sTransmitGain,
    sToneDuration,
    sFlowControl,
    sInactivityTimer,
    sRingbackAway,
    sRingbackNever,
    sSilDetection,
    sDistinctiveRing,
    sToneCadence,
    sAssertDeassert,
    sPacketProtocol,
    sInterfaceRate,
    sRepeatUCID,
    sRepeatFCID,
    sNoCallerID,
    sFCallerID,
    sUCallerID,
    sSpkPhone_0,
    sSpkPhone_1,
    sSpkPhone_2,
    sSpkPhone_3,
    sSpkPhone_4,
    sMicGain,
    sSpeakerGain,
    sTrainAEC,
    sTrainLEC,
    sSpkFullDuplex,
    sSpkHalfDuplex,
    sDataMode,
    sFaxClass1,
    sFaxClass2,
    sVoiceMode,
};

inline constexpr int ModemCommandCount = 43;
inline constexpr int LineSourceCount = 21;
// The settings key of a command ("Commands" and its name, e.g. "sOnHook").
const settings::Key& commandKey(ModemCommand command);
// The stored ring span that means "not measured yet".
inline constexpr int UnmeasuredRingSpan = 8233;

// Serial parameters, the modem's voice format and one command string per
// modem function, as the settings file holds them.
struct ModemProfile
{
    ModemProfile();

    const QString& command(ModemCommand c) const { return commands[size_t(c)]; }

    int portNumber = 3;
    int baudRate = 115200;
    int dataBits = 8;
    int stopBits = 1;
    int parity = 0; // 0 none, 1 odd, 2 even, 3 mark, 4 space
    QByteArray modemCompression; // 512-byte wave-format block; empty until stored
    bool voiceFeatures = false;
    int ringSpan = UnmeasuredRingSpan;
    QString compressionDesc;
    QString compressionCml;
    QString compressionCmid;
    QString compressionBps;
    QString compressionTm;
    QString compressionVsr;
    QString compressionSds;
    QString compressionSel;
    std::array<QString, ModemCommandCount> commands;
    std::array<QString, LineSourceCount> lineSources; // vls_0 .. vls_20
    // Send stop pairs behind an escaped DLE, for modems that obey only that.
    bool escapeStopPairs = false;
};

// The profile as the settings file holds it. Port parameters that the file
// lacks keep the values of `current`; everything else falls back to the
// defaults.
ModemProfile readModemProfile(const IniFile& ini, const ModemProfile& current);

// The disconnect detector's switches of section "Settings".
struct AnalyserSwitches
{
    bool silence = false;
    bool periodic = true;
    bool cadence = true;
    int silenceDim = 50; // blocks: the "DiscTime" seconds at five blocks a second
    bool callProgress = true; // the exchange's tones after a hang-up
};
AnalyserSwitches readAnalyserSwitches(const IniFile& ini);
