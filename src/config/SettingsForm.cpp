#include "config/SettingsForm.h"

#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"

#include <algorithm>

namespace {

const settings::Key* command(const char* name)
{
    for (int i = 0; i < settings::CommandCount; ++i)
        if (settings::commandKey(i).name == QLatin1String(name))
            return &settings::commandKey(i);
    return nullptr;
}

bool isSettableBaud(int baud)
{
    return std::find(std::begin(SettingsForm::BaudRates), std::end(SettingsForm::BaudRates), baud)
           != std::end(SettingsForm::BaudRates);
}

// A modem without the command has no gain to show: only a text that is
// there and not a number is an error.
int readGain(const IniFile& ini, SettingsForm& f, const char* name, const QString& line)
{
    const settings::Key* k = command(name);
    const QString text = k ? settings::readString(ini, *k) : QString();
    bool readable = true;
    const int gain = SettingsForm::gainOfCommand(text, &readable);
    if (!readable && f.modemDefined && !text.trimmed().isEmpty()) {
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        const QString number = (equals < 0 ? text : text.mid(equals + 1)).trimmed();
        f.unreadableGains.push_back({QStringLiteral("'%1' is not a valid integer value").arg(number), line});
    }
    return gain;
}

} // namespace

int SettingsForm::gainOfCommand(const QString& command, bool* readable)
{
    const qsizetype equals = command.indexOf(QLatin1Char('='));
    const QString number = equals < 0 ? command : command.mid(equals + 1);
    bool ok = false;
    const int gain = number.trimmed().toInt(&ok);
    if (readable)
        *readable = ok;
    return ok ? gain : 128;
}

int SettingsForm::tickStep(int minimum, int maximum, int previous)
{
    const int r = maximum - minimum;
    if (r <= 15)
        return 1;
    if (r <= 31)
        return 2;
    if (r <= 47)
        return 3;
    if (r <= 127)
        return 4;
    if (r <= 255)
        return 8;
    return previous;
}

SettingsForm SettingsForm::load(const IniFile& ini)
{
    using namespace settings;
    SettingsForm f;
    f.startUp = readBool(ini, keys::StartUp);
    f.showHints = readBool(ini, keys::ShowHints);
    f.notifications = readBool(ini, keys::Notifications);
    f.popupWithNotification = readBool(ini, keys::PopupWithNotification);
    f.callerId = readBool(ini, keys::CallerID);
    const Key* fCallerId = command("sFCallerID");
    f.callerIdAvailable = !ini.sectionExists(sections::Commands) || (fCallerId && !readString(ini, *fCallerId).isEmpty());
    if (!f.callerIdAvailable)
        f.callerId = false;
    f.fontName = readString(ini, keys::FontName);
    f.fontSize = readInteger(ini, keys::FontSize);
    f.fontColor = readInteger(ini, keys::FontColor);
    f.modemDefined = ini.sectionExists(sections::Commands);
    f.voiceFeatures = readBool(ini, keys::Voicefeatures);
    f.model = readString(ini, keys::Model);
    f.port = readInteger(ini, keys::Port, 0);
    const int baud = readInteger(ini, keys::Baudrate, 115200);
    f.baudrate = isSettableBaud(baud) ? baud : 115200; // one the serial layer cannot set falls back
    f.flowControl = readInteger(ini, keys::FlowControl);
    f.timeout = readInteger(ini, keys::Timeout);
    f.playGain = readGain(ini, f, "sTransmitGain", QStringLiteral("SpkVolTr.Position := StrToInt(k2);"));
    f.recordGain = readGain(ini, f, "sReceiveGain", QStringLiteral("RecGainTr.Position := StrToInt(k2);"));
    f.playMin = readInteger(ini, keys::VgtMin, 0);
    f.playMax = readInteger(ini, keys::VgtMax, 255);
    f.recordMin = readInteger(ini, keys::VgrMin, 0);
    f.recordMax = readInteger(ini, keys::VgrMax, 255);
    f.points = readInteger(ini, keys::Points);
    f.playTrace = readBool(ini, keys::PlayTrace);
    f.recordTrace = readBool(ini, keys::RecordTrace);
    f.backColor = readInteger(ini, keys::BackColor);
    f.traceColor = readInteger(ini, keys::TraceColor);
    f.extPlayer = readBool(ini, keys::ExtPlayer);
    f.player = readString(ini, keys::Player);
    f.autoRecord = readBool(ini, keys::AutoRecord);
    f.silence = readBool(ini, keys::Silence);
    f.periodic = readBool(ini, keys::Periodic);
    f.cadence = readBool(ini, keys::Cadence);
    f.discTime = readInteger(ini, keys::DiscTime);
    f.answeringMachine = readBool(ini, keys::AnsweringMachine);
    f.beep = readBool(ini, keys::ChkBeep);
    f.maxMsgEnable = readBool(ini, keys::MaxMsgEnable);
    f.amRings = readInteger(ini, keys::AmRings);
    f.msgTime = readInteger(ini, keys::MsgTime);
    f.ttsVoice = readInteger(ini, keys::TTSvoice);
    f.ttsVoiceId = readString(ini, keys::TTSvoiceId);
    f.hangupSeq = readString(ini, keys::HangupSeq);
    f.remoteCode = readString(ini, keys::RemoteCode);
    f.wavDir = readString(ini, keys::WavDir);
    f.supportAddress = readString(ini, keys::SupportAddress);
    f.smtpServer = readString(ini, keys::SmtpServer);
    f.smtpPort = readInteger(ini, keys::SmtpPort);
    f.smtpAccount = readString(ini, keys::SmtpAccount);
    return f;
}

bool SettingsForm::save(IniFile& ini, QString* error) const
{
    using namespace settings;
    ini.beginUpdate();
    if (modemDefined) {
        if (const Key* k = command("sTransmitGain"); k && !readString(ini, *k).isEmpty())
            writeString(ini, *k, QStringLiteral("at+vgt=") + QString::number(playGain));
        if (const Key* k = command("sReceiveGain"); k && !readString(ini, *k).isEmpty())
            writeString(ini, *k, QStringLiteral("at+vgr=") + QString::number(recordGain));
        writeInteger(ini, keys::Baudrate, isSettableBaud(baudrate) ? baudrate : 115200);
        writeInteger(ini, keys::FlowControl, flowControl);
    }
    writeBool(ini, keys::ExtPlayer, extPlayer);
    if (extPlayer)
        writeString(ini, keys::Player, player);
    if (fontChosen) {
        writeString(ini, keys::FontName, fontName);
        writeInteger(ini, keys::FontSize, fontSize);
        writeInteger(ini, keys::FontColor, fontColor);
    }
    writeInteger(ini, keys::Timeout, timeout);
    writeBool(ini, keys::PlayTrace, playTrace);
    writeBool(ini, keys::RecordTrace, recordTrace);
    writeInteger(ini, keys::Points, points);
    writeInteger(ini, keys::BackColor, backColor);
    writeInteger(ini, keys::TraceColor, traceColor);
    writeBool(ini, keys::AutoRecord, autoRecord);
    writeInteger(ini, keys::DiscTime, discTime);
    writeBool(ini, keys::StartUp, startUp);
    writeBool(ini, keys::AnsweringMachine, answeringMachine);
    writeInteger(ini, keys::AmRings, amRings);
    writeBool(ini, keys::ChkBeep, beep);
    writeBool(ini, keys::CallerID, callerId && callerIdAvailable);
    writeString(ini, keys::WavDir, wavDir);
    writeBool(ini, keys::Silence, silence);
    writeBool(ini, keys::Periodic, periodic);
    writeBool(ini, keys::Cadence, cadence);
    writeInteger(ini, keys::TTSvoice, ttsVoice);
    writeString(ini, keys::TTSvoiceId, ttsVoiceId);
    writeInteger(ini, keys::MsgTime, msgTime);
    writeBool(ini, keys::MaxMsgEnable, maxMsgEnable);
    writeString(ini, keys::HangupSeq, hangupSeq);
    writeString(ini, keys::RemoteCode, remoteCode);
    writeString(ini, keys::SupportAddress, supportAddress.trimmed());
    writeString(ini, keys::SmtpServer, smtpServer.trimmed());
    writeInteger(ini, keys::SmtpPort, smtpPort);
    writeString(ini, keys::SmtpAccount, smtpAccount.trimmed());
    writeBool(ini, keys::ShowHints, showHints);
    writeBool(ini, keys::Notifications, notifications);
    writeBool(ini, keys::PopupWithNotification, popupWithNotification);
    if (!ini.commitUpdate()) {
        if (error)
            *error = ini.lastError();
        return false;
    }
    return true;
}
