#include "config/CurrentSettings.h"

#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"

namespace {

QString withoutBlanks(QString text)
{
    text.remove(QLatin1Char(' '));
    return text;
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
    return s;
}

CurrentSettings::CurrentSettings(const IniFile& ini) : m_ini(ini)
{
    reloadIfChanged();
}

void CurrentSettings::replace(const CallSettings& values)
{
    m_values = values;
    m_version = m_ini.contentVersion(); // what the dialog wrote is what it holds
}

bool CurrentSettings::reloadIfChanged()
{
    const quint64 version = m_ini.contentVersion();
    if (version == m_version && m_version != 0)
        return false;
    m_values = CallSettings::read(m_ini);
    m_version = version;
    return true;
}
