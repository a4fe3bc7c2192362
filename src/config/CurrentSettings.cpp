#include "config/CurrentSettings.h"

#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"

#include <algorithm>

namespace {

QString withoutBlanks(QString text)
{
    text.remove(QLatin1Char(' '));
    return text;
}

constexpr int MaxChallengeSeconds = 30;
constexpr int MaxBlockRings = 20;
constexpr int MaxSpokenText = 500;

// A key the caller can press: a digit, * or #; anything else is the default.
QChar challengeKey(const QString& text)
{
    const QString t = text.trimmed();
    if (t.size() == 1 && (t[0].isDigit() || t[0] == QLatin1Char('*') || t[0] == QLatin1Char('#')) && t[0].unicode() < 128)
        return t[0];
    return QLatin1Char('1');
}

void readScreening(const IniFile& ini, CallSettings& s)
{
    using namespace settings;
    s.screenUnknown = readBool(ini, keys::ScreenUnknown);
    s.blockAction = readString(ini, keys::BlockAction).trimmed().toLower();
    s.blockRings = std::clamp(readInteger(ini, keys::BlockRings), 1, MaxBlockRings);
    s.blockGreeting = readString(ini, keys::BlockGreeting).left(MaxSpokenText);
    s.challengeKey = challengeKey(readString(ini, keys::ChallengeKey));
    s.challengeText = readString(ini, keys::ChallengeText).left(MaxSpokenText);
    if (s.challengeText.trimmed().isEmpty())
        s.challengeText = keys::ChallengeText.fallback;
    s.challengeSeconds = std::clamp(readInteger(ini, keys::ChallengeTime), 1, MaxChallengeSeconds);
    s.allowPassers = readBool(ini, keys::AllowPassers);
    s.liveScreening = readBool(ini, keys::LiveScreening);
}

} // namespace

CallSettings CallSettings::read(const IniFile& ini)
{
    using namespace settings;
    CallSettings s;
    s.autoRecord = readBool(ini, keys::AutoRecord);
    s.silence = readBool(ini, keys::Silence);
    s.periodic = readBool(ini, keys::Periodic);
    s.cadence = readBool(ini, keys::Cadence);
    s.callProgress = readBool(ini, keys::CallProgress);
    s.discTime = readInteger(ini, keys::DiscTime);
    s.answeringMachine = readBool(ini, keys::AnsweringMachine);
    s.amRings = readInteger(ini, keys::AmRings);
    s.beep = readBool(ini, keys::ChkBeep);
    s.msgTime = readInteger(ini, keys::MsgTime);
    s.maxMsgEnable = readBool(ini, keys::MaxMsgEnable);
    s.hangupSeq = readString(ini, keys::HangupSeq).trimmed();
    s.remoteCode = withoutBlanks(readString(ini, keys::RemoteCode));
    s.ttsVoice = readInteger(ini, keys::TTSvoice);
    s.ttsVoiceId = readString(ini, keys::TTSvoiceId);
    s.ttsVolume = readInteger(ini, keys::TTSvolume);
    s.callerId = readBool(ini, keys::CallerID);
    s.recordTrace = readBool(ini, keys::RecordTrace);
    s.periods = readPeriods(ini);
    readScreening(ini, s);
    return s;
}

GreetingPeriods CallSettings::readPeriods(const IniFile& ini)
{
    using namespace settings;
    GreetingPeriods periods;
    for (int i = 0; i < int(periods.size()); ++i) {
        const auto period = Period(i);
        PeriodSettings& p = periods[size_t(i)];
        p.enabled = readBool(ini, periodKey(period, PeriodField::Enabled));
        p.from = readTime(ini, periodKey(period, PeriodField::From));
        p.to = readTime(ini, periodKey(period, PeriodField::To));
        p.msgType = readInteger(ini, periodKey(period, PeriodField::MessageType));
        p.wav = readString(ini, periodKey(period, PeriodField::Wav));
        p.tts = readString(ini, periodKey(period, PeriodField::Text));
    }
    return periods;
}

bool CallSettings::writePeriods(IniFile& ini, const GreetingPeriods& periods)
{
    using namespace settings;
    ini.beginUpdate();
    for (int i = 0; i < int(periods.size()); ++i) {
        const auto period = Period(i);
        const PeriodSettings& p = periods[size_t(i)];
        writeBool(ini, periodKey(period, PeriodField::Enabled), p.enabled);
        writeTime(ini, periodKey(period, PeriodField::From), p.from);
        writeTime(ini, periodKey(period, PeriodField::To), p.to);
        writeInteger(ini, periodKey(period, PeriodField::MessageType), p.msgType);
        writeString(ini, periodKey(period, PeriodField::Wav), p.wav);
        writeString(ini, periodKey(period, PeriodField::Text), p.tts);
    }
    return ini.commitUpdate();
}

CurrentSettings::CurrentSettings(const IniFile& ini) : m_ini(ini)
{
    reloadIfChanged();
}

void CurrentSettings::replace(const CallSettings& values)
{
    m_values = values;
    if (m_periods)
        m_values.periods = *m_periods;
    m_version = m_ini.contentVersion(); // what the dialog wrote is what it holds
}

void CurrentSettings::setPeriods(const GreetingPeriods& periods)
{
    m_periods = periods;
    m_values.periods = periods;
}

void CurrentSettings::periodsStored()
{
    m_periods.reset();
    m_version = 0; // read the file again before the next call
}

bool CurrentSettings::reloadIfChanged()
{
    const quint64 version = m_ini.contentVersion();
    if (version == m_version && m_version != 0)
        return false;
    m_values = CallSettings::read(m_ini);
    if (m_periods)
        m_values.periods = *m_periods;
    m_version = version;
    return true;
}
