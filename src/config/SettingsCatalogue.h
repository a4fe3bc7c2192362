#pragma once

#include <QByteArray>
#include <QString>
#include <QTime>
#include <limits>
#include <optional>
#include <vector>

class IniFile;

// Every section and key of vlm.ini the program knows, with its type, the
// value a missing key reads as, and whether it is written at start when
// missing. Modules read and write settings only through these keys.
namespace settings {

enum class Type : uint8_t { String, Integer, Boolean, Time, Binary };

struct Key
{
    QString section;
    QString name;
    Type type = Type::String;
    // What a missing key reads as, written as the file holds it: "1" for
    // true, "09:00:00", hexadecimal for Binary ("" there: no value).
    QString fallback;
    // Written at start when missing (createMissingKeys).
    bool createdAtStart = false;
    // The value written then, when it is not the fallback (a null string).
    QString createdValue;
    // What an Integer key may hold; a value outside reads as the default.
    int minimum = std::numeric_limits<int>::min();
    int maximum = std::numeric_limits<int>::max();

    bool inRange(int value) const { return value >= minimum && value <= maximum; }
};

// The whole table, in the order of the sections and keys as documented.
const std::vector<const Key*>& all();
// The key of the table with these names (case and surrounding blanks do not
// matter); nullptr when the table has none.
const Key* find(const QString& section, const QString& name);

// The value a missing key reads as, in the file's text form. Depends on the
// file for the keys whose default follows from where it lies (wavDir).
QString fallbackText(const IniFile& ini, const Key& key);
// Whether `text` is a value of the key's type (and range).
bool acceptsText(const Key& key, const QString& text);
// The value as `get` shows it: what the program reads (the default when
// missing), in the file's text form.
QString effectiveText(const IniFile& ini, const Key& key);

QString readString(const IniFile& ini, const Key& key);
// A stored value outside the key's range reads as the default, and says so
// once on the program's log.
int readInteger(const IniFile& ini, const Key& key);
// For keys whose default is a value the caller holds (the port parameters).
int readInteger(const IniFile& ini, const Key& key, int fallback);
bool readBool(const IniFile& ini, const Key& key);
QTime readTime(const IniFile& ini, const Key& key);
// Nothing when missing and the key has no default block.
std::optional<QByteArray> readBinary(const IniFile& ini, const Key& key);
bool exists(const IniFile& ini, const Key& key);

bool writeString(IniFile& ini, const Key& key, const QString& value);
// Outside the key's range, the nearest value in it.
bool writeInteger(IniFile& ini, const Key& key, int value);
bool writeBool(IniFile& ini, const Key& key, bool value);
bool writeTime(IniFile& ini, const Key& key, const QTime& value);
bool writeBinary(IniFile& ini, const Key& key, const QByteArray& value);

// Writes every key marked createdAtStart that the file lacks, with its
// created value, as one write. Returns the keys it wrote; an empty list
// also when the write failed (see IniFile::lastError()).
std::vector<const Key*> createMissingKeys(IniFile& ini);

// Families of keys.
inline constexpr int CommandCount = 43;
inline constexpr int LineSourceCount = 21;
inline constexpr int InitStringCount = 10;
enum class Period : uint8_t { Default, First, Second, Third };
enum class PeriodField : uint8_t { Enabled, From, To, MessageType, Wav, Text };

// "Commands": the modem command strings, in the order of the engine's
// command table (sVoiceTransmit ... sVoiceMode).
const Key& commandKey(int index);
// "Commands" vls_0 ... vls_20.
const Key& lineSourceKey(int n);
// "ModemInitString" st1 ... st10.
const Key& initStringKey(int n);
// prdEn ... prdTTS of DefaultSchedule, FirstSchedule, SecordSchedule,
// ThirdSchedule.
const Key& periodKey(Period period, PeriodField field);

// The greeting stored in a new period and a new greeting row.
extern const QString DefaultGreetingText;

} // namespace settings

// The keys by name, as the documentation spells them.
namespace keys {
using settings::Key;
// [Settings]
extern const Key AutoRecord, DiscTime, Silence, Periodic, Cadence, AnsweringMachine, AmRings, ChkBeep, MsgTime,
    MaxMsgEnable, HangupSeq, RemoteCode, TTSvoice, TTSvolume, TTSvoiceId, CallerID, WavDir, ExtPlayer, Player, MailWebAddress, SupportAddress, SmtpServer, SmtpPort, SmtpAccount, StartUp, Notifications, PopupWithNotification,
    ShowHints, SettingsCompression, Volume, MainTop, MainLeft, MainWid, MainHeight, Splitter, GDate, GTime,
    GDuration, GCallerID, EventsMainTop, EventsMainLeft, EventsMainWid, EventsMainHeight, CallProgress;
// [Monitor]
extern const Key PlayTrace, RecordTrace, Points, BackColor, TraceColor;
// [Fonts]
extern const Key FontName, FontSize, FontColor;
// [File compression]
extern const Key FileCompressionDesc, FileCompressionBin;
// [PortParams]
extern const Key Port, Baudrate, Databits, StopBits, Parity, PortName;
// [Modem]
extern const Key Model, Voicefeatures, Timeout, FlowControl, RingSpan, Atdt, ModemCompressionIndex, SamplingFreq,
    CompressionDesc, CompressionCml, CompressionCmid, CompressionBPS, CompressionTm, CompressionVSR, CompressionSds,
    CompressionSel, AGC, AVC, VgrMin, VgrMax, VgtMin, VgtMax, VgmMin, VgmMax, VgsMin, VgsMax, Distinctive,
    EscapeStopPairs;
// [Screening]
extern const Key ScreenUnknown, BlockAction, BlockRings, BlockGreeting, ChallengeKey, ChallengeText, ChallengeTime,
    AllowPassers, LiveScreening;
// [Modem compression]
extern const Key ModemCompressionDesc, ModemCompressionBin;
// [MessageMail], [MQTT]
extern const Key MailEnabled, MailTo, MailFrom, MailOnMessage, MailOnEveryCall, MailOnModemLost, MailAttach,
    MailFormat, MailSubject, MailBody, MailPasswordFile, MailCaFile, MqttEnabled, MqttHost, MqttPort, MqttTls,
    MqttCaFile, MqttUser, MqttPasswordFile, MqttLine, MqttDiscovery;
// [Web]
extern const Key WebEnabled, WebAddress, WebPort, WebPasswordHash, WebCertificate, WebPrivateKey, WebFingerprint,
    WebSessionMinutes, WebUploadMegabytes;
} // namespace keys

// Sections whose keys are not fixed.
namespace sections {
inline const QString Commands = QStringLiteral("Commands");
inline const QString ModemInitString = QStringLiteral("ModemInitString");
inline const QString ModemCompressions = QStringLiteral("Modem compressions");
inline const QString Modem = QStringLiteral("Modem");
inline const QString ModemCompression = QStringLiteral("Modem compression");
} // namespace sections
