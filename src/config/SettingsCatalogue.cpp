#include "SettingsCatalogue.h"

#include "IniFile.h"
#include "IniSyntax.h"

#include <QDebug>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <algorithm>
#include <deque>

namespace {

using settings::Key;
using settings::Type;

Key key(const char* section, const char* name, Type type, const char* fallback, bool created = false,
        const char* createdValue = nullptr)
{
    return Key{QLatin1String(section), QLatin1String(name), type, QLatin1String(fallback), created,
               createdValue ? QString::fromLatin1(createdValue) : QString()};
}

Key ranged(Key k, int minimum, int maximum)
{
    k.minimum = minimum;
    k.maximum = maximum;
    return k;
}

// Colours hold a system colour as this plus its index.
constexpr int SystemColour = std::numeric_limits<int>::min();

constexpr bool Created = true;
constexpr auto S = Type::String;
constexpr auto I = Type::Integer;
constexpr auto B = Type::Boolean;
constexpr auto T = Type::Time;
constexpr auto Bin = Type::Binary;

// PCM, 1 channel, 8000 samples/s, 8 bits: the 512-byte format record.
QString standardPcm8kHex()
{
    return QStringLiteral("0100" "0100" "401F0000" "401F0000" "0100" "0800" "0000") + QString(2 * (512 - 18), '0');
}

struct CommandDefault
{
    const char* name;
    const char* fallback;
};

// In the order of the engine's command table.
const CommandDefault CommandDefaults[settings::CommandCount] = {
    {"sVoiceTransmit", "at+VTX"},     {"sVoiceReceive", "at+VRX"},      {"sVoiceDuplex", "at+VTR"},
    {"sStopVoiceTransmit", "<DLE><!>"}, {"sStopVoiceReceive", "<DLE><EXT>"}, {"sStopVoiceDuplex", "<DLE><^>"},
    {"sVoiceCompression", "at+vsm=128"}, {"sSelectSource", "at+vls=1"}, {"sOnHook", "at+vls=0"},
    {"sOffHook", "at+vls=1"},         {"sReceiveGain", "at+vgr=128"},   {"sTransmitGain", "at+vgt=128"},
    {"sToneDuration", "at+vtd=10"},   {"sFlowControl", "at+flo=1"},     {"sInactivityTimer", "at+vit=0"},
    {"sRingbackAway", "at+vra=50"},   {"sRingbackNever", "at+vrn=10"},  {"sSilDetection", "at+vsd=0,0"},
    {"sDistinctiveRing", "at+vdr=0,0"}, {"sToneCadence", "at+vdt=0,0"}, {"sAssertDeassert", "at+vbt=256,896"},
    {"sPacketProtocol", "at+vpp=0"},  {"sInterfaceRate", "at+vpr=0"},   {"sRepeatUCID", "at+vrid=1"},
    {"sRepeatFCID", "at+vrid=0"},     {"sNoCallerID", "at+vcid=0"},     {"sFCallerID", "at+vcid=1"},
    {"sUCallerID", "at+vcid=2"},      {"sSpkPhone_0", "at+vsp=0"},      {"sSpkPhone_1", "at+vsp=1"},
    {"sSpkPhone_2", "at+vsp=2"},      {"sSpkPhone_3", "at+vsp=3"},      {"sSpkPhone_4", "at+vsp=4"},
    {"sMicGain", "at+VGM=128"},       {"sSpeakerGain", "at+VGS=128"},   {"sTrainAEC", "at+VTA"},
    {"sTrainLEC", "at+VTH"},          {"sSpkFullDuplex", "at+VDX=1"},   {"sSpkHalfDuplex", "at+VDX=0"},
    {"sDataMode", "at+fclass=0"},     {"sFaxClass1", "at+fclass=1"},    {"sFaxClass2", "at+fclass=2"},
    {"sVoiceMode", "at+fclass=8"},
};

const char* const PeriodSections[] = {"DefaultSchedule", "FirstSchedule", "SecordSchedule", "ThirdSchedule"};

// The keys of the families, made once.
struct Families
{
    Families()
    {
        for (const CommandDefault& c : CommandDefaults)
            commands.push_back(key("Commands", c.name, S, c.fallback));
        for (int n = 0; n < settings::LineSourceCount; ++n)
            lineSources.push_back(Key{sections::Commands, QStringLiteral("vls_%1").arg(n), S, QString()});
        for (int n = 1; n <= settings::InitStringCount; ++n)
            initStrings.push_back(Key{sections::ModemInitString, QStringLiteral("st%1").arg(n), S, QString()});
        for (int p = 0; p < 4; ++p) {
            const QString section = QLatin1String(PeriodSections[p]);
            const bool whole = p == 0; // the default period covers the whole day
            periods.push_back(Key{section, QStringLiteral("prdEn"), B, QStringLiteral("0"), true, {}});
            periods.push_back(Key{section, QStringLiteral("prdFrom"), T, QStringLiteral("09:00:00"), true,
                                  whole ? QStringLiteral("00:00:00") : QString()});
            periods.push_back(Key{section, QStringLiteral("prdTo"), T, QStringLiteral("17:00:00"), true,
                                  whole ? QStringLiteral("23:59:59") : QString()});
            periods.push_back(Key{section, QStringLiteral("prdMsgType"), I, QStringLiteral("1"), true, {}, 0, 2});
            periods.push_back(Key{section, QStringLiteral("prdWav"), S, QString(), true, {}});
            periods.push_back(Key{section, QStringLiteral("prdTTS"), S, settings::DefaultGreetingText, true, {}});
        }
    }
    std::deque<Key> commands;
    std::deque<Key> lineSources;
    std::deque<Key> initStrings;
    std::deque<Key> periods;
};

const Families& families()
{
    static const Families f;
    return f;
}

bool sameName(const QString& a, const QString& b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// CallerID: shown and stored when the probe found a caller-ID command.
QString createdCallerId(const IniFile& ini)
{
    const Key& command = *settings::find(sections::Commands, QStringLiteral("sFCallerID"));
    if (!ini.valueExists(command.section, command.name))
        return QStringLiteral("1");
    return ini.readString(command.section, command.name, QString()).trimmed().isEmpty() ? QStringLiteral("0")
                                                                                        : QStringLiteral("1");
}

// Each stored value out of range is reported once, not at every read.
void noteOutOfRange(const IniFile& ini, const Key& k, int value)
{
    static QMutex mutex;
    static QSet<QString> reported;
    const QString text = QStringLiteral("%1: [%2] %3=%4 is outside %5...%6; the default is used")
                             .arg(ini.fileName(), k.section, k.name.trimmed())
                             .arg(value)
                             .arg(k.minimum)
                             .arg(k.maximum);
    const QMutexLocker lock(&mutex);
    if (!reported.contains(text)) {
        reported.insert(text);
        qWarning().noquote() << text;
    }
}

QString createdText(const IniFile& ini, const Key& k)
{
    if (&k == &keys::CallerID)
        return createdCallerId(ini);
    return k.createdValue.isNull() ? settings::fallbackText(ini, k) : k.createdValue;
}

} // namespace

namespace settings {

const QString DefaultGreetingText = QStringLiteral("Please leave your message after the tone. Thank you.");

} // namespace settings

namespace keys {
// [Settings]
const Key AutoRecord = key("Settings", "AutoRecord", B, "1", Created);
const Key DiscTime = ranged(key("Settings", "DiscTime", I, "10", Created), 1, 30);
const Key Silence = key("Settings", "Silence", B, "0", Created);
const Key Periodic = key("Settings", "Periodic", B, "1", Created);
const Key Cadence = key("Settings", "Cadence", B, "1", Created);
const Key AnsweringMachine = key("Settings", "Answering Machine", B, "1", Created);
const Key AmRings = ranged(key("Settings", "amRings", I, "4", Created), 2, 20);
const Key ChkBeep = key("Settings", "chkBeep", B, "1", Created);
const Key MsgTime = ranged(key("Settings", "MsgTime", I, "20", Created), 10, 1000);
const Key MaxMsgEnable = key("Settings", "MaxMsgEnable", B, "1", Created);
const Key HangupSeq = key("Settings", "hangupSeq", S, "#0", Created);
const Key RemoteCode = key("Settings", "RemoteCode", S, "00");
const Key TTSvoice = ranged(key("Settings", "TTSvoice", I, "0", Created), 0, 9999);
const Key TTSvolume = ranged(key("Settings", "TTSvolume", I, "100", Created), 0, 100);
// The chosen voice's own id: an engine upgrade can shift the indexes.
const Key TTSvoiceId = key("Settings", "TTSvoiceId", S, "");
const Key CallerID = key("Settings", "CallerID", B, "1", Created);
const Key WavDir = key("Settings", "wavDir", S, "", Created);
const Key ExtPlayer = key("Settings", "ExtPlayer", B, "0");
// The desktop's own opener plays a file with whatever player the user has.
const Key Player = key("Settings", "Player", S, "xdg-open");
// The web address a mailed recording names; the line is left out when empty.
const Key MailWebAddress = key("Settings", "MailWebAddress", S, "");
const Key SupportAddress = key("Settings", "SupportAddress", S, "");
// A mail server of the user's own for support mail; empty: the mail program.
// The password is asked when sending and never stored.
const Key SmtpServer = key("Settings", "SmtpServer", S, "");
const Key SmtpPort = ranged(key("Settings", "SmtpPort", I, "587"), 1, 65535);
const Key SmtpAccount = key("Settings", "SmtpAccount", S, "");
const Key StartUp = key("Settings", "StartUp", B, "0", Created);
// Calls, messages and the modem told through the desktop's notification service when it has one.
const Key Notifications = key("Settings", "Notifications", B, "1");
// The caller-ID popup shown as well when a notification told the call.
const Key PopupWithNotification = key("Settings", "PopupWithNotification", B, "0");
const Key ShowHints = key("Settings", "ShowHints", B, "1", Created);
const Key SettingsCompression = ranged(key("Settings", "Compression", I, "0"), 0, 65535);
const Key Volume = ranged(key("Settings", "Volume", I, "8"), 0, 16);
const Key MainTop = ranged(key("Settings", "MainTop", I, "100"), -100000, 100000);
const Key MainLeft = ranged(key("Settings", "MainLeft", I, "100"), -100000, 100000);
const Key MainWid = ranged(key("Settings", "MainWid", I, "900"), 0, 100000);
const Key MainHeight = ranged(key("Settings", "MainHeight", I, "600"), 0, 100000);
const Key Splitter = ranged(key("Settings", "Splitter", I, "220"), 0, 100000);
const Key GDate = ranged(key("Settings", "gDate", I, "75"), 0, 100000);
const Key GTime = ranged(key("Settings", "gTime", I, "70"), 0, 100000);
const Key GDuration = ranged(key("Settings", "gDuration", I, "70"), 0, 100000);
const Key GCallerID = ranged(key("Settings", "gCallerID", I, "70"), 0, 100000);
const Key EventsMainTop = ranged(key("Settings", "EventsMainTop", I, "140"), -100000, 100000);
const Key EventsMainLeft = ranged(key("Settings", "EventsMainLeft", I, "140"), -100000, 100000);
const Key EventsMainWid = ranged(key("Settings", "EventsMainWid", I, "640"), 0, 100000);
const Key EventsMainHeight = ranged(key("Settings", "EventsMainHeight", I, "420"), 0, 100000);
// The tones that follow a hang-up on real lines end a call too (0: off).
const Key CallProgress = key("Settings", "CallProgress", B, "1");
// [Monitor]
const Key PlayTrace = key("Monitor", "PlayTrace", B, "1", Created);
const Key RecordTrace = key("Monitor", "RecordTrace", B, "1", Created);
const Key Points = ranged(key("Monitor", "Points", I, "3", Created), 0, 9);
const Key BackColor = ranged(key("Monitor", "BackColor", I, "0", Created), SystemColour, 0xFFFFFF);
const Key TraceColor = ranged(key("Monitor", "TraceColor", I, "65280", Created), SystemColour, 0xFFFFFF);
// [Fonts]
const Key FontName = key("Fonts", "FontName", S, "tahoma", Created, "MS Sans Serif");
const Key FontSize = ranged(key("Fonts", "FontSize", I, "8", Created), 1, 1000);
const Key FontColor = ranged(key("Fonts", "FontColor", I, "0", Created, "-2147483640"), SystemColour, 0xFFFFFF);
// [File compression]
// Missing, they read as what they are created with: the format recordings are written in then.
const Key FileCompressionDesc =
    key("File compression", "Desc", S, "PCM: 8.000 kHz, 8 Bit, Mono", Created, "PCM: 8.000 kHz, 8 Bit, Mono");
const Key FileCompressionBin = Key{QStringLiteral("File compression"), QStringLiteral("Bin"), Bin, standardPcm8kHex(),
                                   true, standardPcm8kHex()};
// [PortParams]
const Key Port = ranged(key("PortParams", "Port", I, "3"), 0, 255);
const Key Baudrate = ranged(key("PortParams", "Baudrate", I, "115200"), 300, 4000000);
const Key Databits = ranged(key("PortParams", "Databits", I, "8"), 5, 8);
const Key StopBits = ranged(key("PortParams", "StopBits", I, "1"), 1, 2);
const Key Parity = ranged(key("PortParams", "Parity", I, "0"), 0, 4);
// The device the probe found, so the same one opens when the numbering changes.
const Key PortName = key("PortParams", "PortName", S, "");
// [Modem]
const Key Model = key("Modem", "Model", S, "");
const Key Voicefeatures = key("Modem", "Voicefeatures", B, "0");
const Key Timeout = ranged(key("Modem", "Timeout", I, "4", Created), 1, 8);
const Key FlowControl = ranged(key("Modem", "FlowControl", I, "0"), 0, 2);
const Key RingSpan = ranged(key("Modem", "ringSpan", I, "8233"), 0, 60000);
const Key Atdt = key("Modem", "atdt", B, "0");
const Key ModemCompressionIndex = ranged(key("Modem", "Compression", I, "0"), 0, 65535);
const Key SamplingFreq = ranged(key("Modem", "SamplingFreq", I, "0"), 0, 192000);
const Key CompressionDesc = key("Modem", "CompressionDesc", S, "");
const Key CompressionCml = key("Modem", "CompressionCml", S, "");
const Key CompressionCmid = key("Modem", "CompressionCmid", S, "");
const Key CompressionBPS = key("Modem", "CompressionBPS", S, "");
const Key CompressionTm = key("Modem", "CompressionTm", S, "");
const Key CompressionVSR = key("Modem", "CompressionVSR", S, "");
const Key CompressionSds = key("Modem", "CompressionSds", S, "");
const Key CompressionSel = key("Modem", "CompressionSel", S, "");
const Key AGC = key("Modem", "AGC", B, "0");
const Key AVC = key("Modem", "AVC", B, "0");
// The maximum keys are written with a blank in front, as they always were.
const Key VgrMin = ranged(key("Modem", "vgrMin", I, "0"), 0, 255);
const Key VgrMax = ranged(key("Modem", " vgrMax", I, "255"), 0, 255);
const Key VgtMin = ranged(key("Modem", "vgtMin", I, "0"), 0, 255);
const Key VgtMax = ranged(key("Modem", " vgtMax", I, "255"), 0, 255);
const Key VgmMin = ranged(key("Modem", "vgmMin", I, "0"), 0, 255);
const Key VgmMax = ranged(key("Modem", " vgmMax", I, "255"), 0, 255);
const Key VgsMin = ranged(key("Modem", "vgsMin", I, "0"), 0, 255);
const Key VgsMax = ranged(key("Modem", " vgsMax", I, "255"), 0, 255);
const Key Distinctive = key("Modem", "Distinctive", B, "0");
// The modem obeys stop pairs only behind an escaped DLE (learned, or set).
const Key EscapeStopPairs = key("Modem", "EscapeStopPairs", B, "0");
// [Screening]
// Unknown callers (on no list) are asked for a key before the greeting.
const Key ScreenUnknown = key("Screening", "ScreenUnknown", B, "0");
// hangup, tones, greeting or rings: what a block-list entry without an action of its own does.
const Key BlockAction = key("Screening", "BlockAction", S, "hangup");
const Key BlockRings = ranged(key("Screening", "BlockRings", I, "6"), 1, 20);
const Key BlockGreeting = key("Screening", "BlockGreeting", S, "This line does not take your calls. Good-bye.");
const Key ChallengeKey = key("Screening", "ChallengeKey", S, "1");
const Key ChallengeText = key("Screening", "ChallengeText", S, "Please press 1 to be put through.");
const Key ChallengeTime = ranged(key("Screening", "ChallengeTime", I, "6"), 1, 30);
const Key AllowPassers = key("Screening", "AllowPassers", B, "0");
// The message being recorded is heard on the sound card (desktop).
const Key LiveScreening = key("Screening", "LiveScreening", B, "0");
// [Modem compression]
const Key ModemCompressionDesc = key("Modem compression", "Desc", S, "");
const Key ModemCompressionBin = key("Modem compression", "Bin", Bin, "");
// [MessageMail] and [MQTT]: the owner hears of calls away from the desktop.
const Key MailEnabled = key("MessageMail", "Enabled", B, "0");
const Key MailTo = key("MessageMail", "To", S, ""); // comma-separated
const Key MailFrom = key("MessageMail", "From", S, "");
const Key MailOnMessage = key("MessageMail", "OnMessage", B, "1");
const Key MailOnEveryCall = key("MessageMail", "OnEveryCall", B, "0");
const Key MailOnModemLost = key("MessageMail", "OnModemLost", B, "0");
const Key MailAttach = key("MessageMail", "Attach", B, "1");
const Key MailFormat = key("MessageMail", "Format", S, "opus"); // opus or wav
const Key MailSubject = key("MessageMail", "Subject", S, "New message from {name} {number} ({duration})");
const Key MailBody = key("MessageMail", "Body", S,
                         "{name} {number} called on {date} at {time}: {duration} in {folder}.");
// `run` has no desktop to keep the password: a file only its user can read.
const Key MailPasswordFile = key("MessageMail", "PasswordFile", S, "");
const Key MailCaFile = key("MessageMail", "CaFile", S, "");
const Key MqttEnabled = key("MQTT", "Enabled", B, "0");
const Key MqttHost = key("MQTT", "Host", S, "localhost");
const Key MqttPort = ranged(key("MQTT", "Port", I, "1883"), 1, 65535);
const Key MqttTls = key("MQTT", "Tls", B, "0");
const Key MqttCaFile = key("MQTT", "CaFile", S, "");
const Key MqttUser = key("MQTT", "User", S, "");
const Key MqttPasswordFile = key("MQTT", "PasswordFile", S, "");
const Key MqttLine = key("MQTT", "Line", S, "line1"); // topics under velmora/<line>
const Key MqttDiscovery = key("MQTT", "Discovery", B, "1");
// [Web]
// The web interface: off unless enabled; any address but the loopback is served over HTTPS only.
const Key WebEnabled = key("Web", "Enabled", B, "0");
const Key WebAddress = key("Web", "Address", S, "127.0.0.1");
const Key WebPort = ranged(key("Web", "Port", I, "8765"), 1, 65535);
// The login password as a salted PBKDF2 hash; never the password itself.
const Key WebPasswordHash = key("Web", "PasswordHash", S, "");
// PEM files of the user's certificate and key; empty: one the program makes.
const Key WebCertificate = key("Web", "Certificate", S, "");
const Key WebPrivateKey = key("Web", "PrivateKey", S, "");
// SHA-256 of the certificate served, written by the program for the owner to compare.
const Key WebFingerprint = key("Web", "Fingerprint", S, "");
const Key WebSessionMinutes = ranged(key("Web", "SessionMinutes", I, "30"), 5, 1440);
const Key WebUploadMegabytes = ranged(key("Web", "UploadMegabytes", I, "10"), 1, 50);
} // namespace keys

namespace settings {

const Key& commandKey(int index)
{
    return families().commands.at(size_t(index));
}

const Key& lineSourceKey(int n)
{
    return families().lineSources.at(size_t(n));
}

const Key& initStringKey(int n)
{
    return families().initStrings.at(size_t(n - 1));
}

const Key& periodKey(Period period, PeriodField field)
{
    return families().periods.at(size_t(period) * 6 + size_t(field));
}

const std::vector<const Key*>& all()
{
    static const std::vector<const Key*> table = [] {
        using namespace keys;
        std::vector<const Key*> t = {
            &AutoRecord, &DiscTime, &Silence, &Periodic, &Cadence, &AnsweringMachine, &AmRings, &ChkBeep, &MsgTime,
            &MaxMsgEnable, &HangupSeq, &RemoteCode, &TTSvoice, &TTSvolume, &TTSvoiceId, &CallerID, &WavDir, &ExtPlayer, &Player, &MailWebAddress, &SupportAddress, &SmtpServer, &SmtpPort, &SmtpAccount,
            &StartUp, &Notifications, &PopupWithNotification, &ShowHints, &SettingsCompression, &Volume, &MainTop, &MainLeft, &MainWid, &MainHeight,
            &Splitter, &GDate, &GTime, &GDuration, &GCallerID, &EventsMainTop, &EventsMainLeft, &EventsMainWid,
            &EventsMainHeight, &CallProgress, &PlayTrace, &RecordTrace, &Points, &BackColor, &TraceColor,
            &FontName, &FontSize, &FontColor, &FileCompressionDesc, &FileCompressionBin, &Port, &Baudrate,
            &Databits, &StopBits, &Parity, &PortName, &Model, &Voicefeatures, &Timeout, &FlowControl, &RingSpan,
            &Atdt, &ModemCompressionIndex, &SamplingFreq, &CompressionDesc, &CompressionCml, &CompressionCmid,
            &CompressionBPS, &CompressionTm, &CompressionVSR, &CompressionSds, &CompressionSel, &AGC, &AVC,
            &VgrMin, &VgrMax, &VgtMin, &VgtMax, &VgmMin, &VgmMax, &VgsMin, &VgsMax, &Distinctive,
            &EscapeStopPairs, &ScreenUnknown, &BlockAction, &BlockRings, &BlockGreeting, &ChallengeKey,
            &ChallengeText, &ChallengeTime, &AllowPassers, &LiveScreening, &ModemCompressionDesc,
            &ModemCompressionBin,
            &MailEnabled, &MailTo, &MailFrom, &MailOnMessage, &MailOnEveryCall, &MailOnModemLost, &MailAttach,
            &MailFormat, &MailSubject, &MailBody, &MailPasswordFile, &MailCaFile, &MqttEnabled, &MqttHost,
            &MqttPort, &MqttTls, &MqttCaFile, &MqttUser, &MqttPasswordFile, &MqttLine, &MqttDiscovery,
            &WebEnabled, &WebAddress, &WebPort, &WebPasswordHash, &WebCertificate, &WebPrivateKey, &WebFingerprint,
            &WebSessionMinutes, &WebUploadMegabytes};
        const Families& f = families();
        for (const std::deque<Key>* family : {&f.commands, &f.lineSources, &f.initStrings, &f.periods})
            for (const Key& k : *family)
                t.push_back(&k);
        return t;
    }();
    return table;
}

const Key* find(const QString& section, const QString& name)
{
    for (const Key* k : all())
        if (sameName(k->section, section) && sameName(k->name, name))
            return k;
    return nullptr;
}

QString fallbackText(const IniFile& ini, const Key& key)
{
    if (&key == &keys::WavDir)
        return QFileInfo(ini.fileName()).absolutePath() + QStringLiteral("/wav/");
    return key.fallback;
}

bool acceptsText(const Key& key, const QString& text)
{
    switch (key.type) {
    case Type::String: return !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
    case Type::Integer: {
        const auto value = inisyntax::parseInteger(text);
        return value && key.inRange(*value);
    }
    case Type::Boolean: return inisyntax::parseInteger(text).has_value();
    case Type::Time: return inisyntax::parseTime(text).isValid();
    case Type::Binary: return inisyntax::parseHex(text).has_value();
    }
    return false;
}

QString effectiveText(const IniFile& ini, const Key& key)
{
    switch (key.type) {
    case Type::String: return readString(ini, key);
    case Type::Integer: return QString::number(readInteger(ini, key));
    case Type::Boolean: return readBool(ini, key) ? QStringLiteral("1") : QStringLiteral("0");
    case Type::Time: return readTime(ini, key).toString(QStringLiteral("HH:mm:ss"));
    case Type::Binary: {
        const auto bytes = readBinary(ini, key);
        return bytes ? QString::fromLatin1(bytes->toHex().toUpper()) : QString();
    }
    }
    return {};
}

QString readString(const IniFile& ini, const Key& key)
{
    return ini.readString(key.section, key.name, fallbackText(ini, key));
}

int readInteger(const IniFile& ini, const Key& key)
{
    return readInteger(ini, key, inisyntax::parseInteger(key.fallback).value_or(0));
}

int readInteger(const IniFile& ini, const Key& key, int fallback)
{
    const int value = ini.readInteger(key.section, key.name, fallback);
    if (key.inRange(value))
        return value;
    noteOutOfRange(ini, key, value);
    return fallback;
}

bool readBool(const IniFile& ini, const Key& key)
{
    return ini.readBool(key.section, key.name, inisyntax::parseInteger(key.fallback).value_or(0) != 0);
}

QTime readTime(const IniFile& ini, const Key& key)
{
    return ini.readTime(key.section, key.name, inisyntax::parseTime(key.fallback));
}

std::optional<QByteArray> readBinary(const IniFile& ini, const Key& key)
{
    if (const auto stored = ini.readBinary(key.section, key.name))
        return stored;
    if (key.fallback.isEmpty())
        return std::nullopt;
    return inisyntax::parseHex(key.fallback);
}

bool exists(const IniFile& ini, const Key& key)
{
    return ini.valueExists(key.section, key.name);
}

bool writeString(IniFile& ini, const Key& key, const QString& value)
{
    return ini.writeString(key.section, key.name, value);
}

bool writeInteger(IniFile& ini, const Key& key, int value)
{
    return ini.writeInteger(key.section, key.name, std::clamp(value, key.minimum, key.maximum));
}

bool writeBool(IniFile& ini, const Key& key, bool value)
{
    return ini.writeBool(key.section, key.name, value);
}

bool writeTime(IniFile& ini, const Key& key, const QTime& value)
{
    return ini.writeTime(key.section, key.name, value);
}

bool writeBinary(IniFile& ini, const Key& key, const QByteArray& value)
{
    return ini.writeBinary(key.section, key.name, value);
}

std::vector<const Key*> createMissingKeys(IniFile& ini)
{
    std::vector<const Key*> missing;
    for (const Key* k : all())
        if (k->createdAtStart && !exists(ini, *k))
            missing.push_back(k);
    if (missing.empty())
        return missing;
    ini.beginUpdate();
    for (const Key* k : missing)
        ini.writeString(k->section, k->name, createdText(ini, *k));
    if (!ini.commitUpdate())
        return {};
    return missing;
}

} // namespace settings
