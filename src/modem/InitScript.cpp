#include "InitScript.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

const std::array<const char*, 12> ScriptOpNames = {
    "SetDataMode", "SetFaxClass1", "SetFaxClass2", "SetVoiceMode", "StartVTX",  "StopVTX",
    "StartVRX",    "StopVRX",      "StartVTR",     "StopVTR",      "BindModem", "ReleaseModem",
};

const std::array<ProfileCommandOp, 27> ProfileCommandOps = {{
    {"cmdVgr", ModemCommand::sReceiveGain},
    {"cmdVgt", ModemCommand::sTransmitGain},
    {"cmdVls", ModemCommand::sSelectSource},
    {"cmdVsm", ModemCommand::sVoiceCompression},
    {"cmdVtd", ModemCommand::sToneDuration},
    {"cmdOnHook", ModemCommand::sOnHook},
    {"cmdOffHook", ModemCommand::sOffHook},
    {"cmdFlo", ModemCommand::sFlowControl},
    {"cmdVit", ModemCommand::sInactivityTimer},
    {"cmdVra", ModemCommand::sRingbackAway},
    {"cmdVrn", ModemCommand::sRingbackNever},
    {"cmdVsd", ModemCommand::sSilDetection},
    {"cmdVdr", ModemCommand::sDistinctiveRing},
    {"cmdVdt", ModemCommand::sToneCadence},
    {"cmdVbt", ModemCommand::sAssertDeassert},
    {"cmdVpp", ModemCommand::sPacketProtocol},
    {"cmdVpr", ModemCommand::sInterfaceRate},
    {"cmdUVrid", ModemCommand::sRepeatUCID},
    {"cmdFVrid", ModemCommand::sRepeatFCID},
    {"cmdNoVcid", ModemCommand::sNoCallerID},
    {"cmdFVcid", ModemCommand::sFCallerID},
    {"cmdUVcid", ModemCommand::sUCallerID},
    {"cmdSpkPhone_0", ModemCommand::sSpkPhone_0},
    {"cmdSpkPhone_1", ModemCommand::sSpkPhone_1},
    {"cmdSpkPhone_2", ModemCommand::sSpkPhone_2},
    {"cmdSpkPhone_3", ModemCommand::sSpkPhone_3},
    {"cmdSpkPhone_4", ModemCommand::sSpkPhone_4},
}};

bool sentOnlyWhenNotBlank(ModemCommand command)
{
    return command == ModemCommand::sRepeatFCID || command == ModemCommand::sNoCallerID
        || command == ModemCommand::sFCallerID;
}

ScriptLine classifyScriptLine(const QString& line)
{
    ScriptLine result;
    if (line.startsWith(QLatin1String("//"))) {
        result.kind = ScriptLine::Kind::Comment;
        return result;
    }
    for (size_t i = 0; i < ScriptOpNames.size(); ++i) {
        if (line == QLatin1String(ScriptOpNames[i])) {
            result.kind = ScriptLine::Kind::Operation;
            result.op = ScriptOp(i);
            return result;
        }
    }
    for (const ProfileCommandOp& op : ProfileCommandOps) {
        if (line == QLatin1String(op.name)) {
            result.kind = ScriptLine::Kind::ProfileCommand;
            result.command = op.command;
            return result;
        }
    }
    // "AT+VCID=1" in capitals is as plainly a command as in lower case.
    if (line.contains(QLatin1String("at"), Qt::CaseSensitive)
        || line.trimmed().startsWith(QLatin1String("at"), Qt::CaseInsensitive))
        result.kind = ScriptLine::Kind::AtCommand;
    return result;
}

QString initScriptPath(const QString& settingsFileName)
{
    return QFileInfo(settingsFileName).absoluteDir().filePath(QStringLiteral("initScript.txt"));
}

QStringList defaultInitScript()
{
    return {QStringLiteral("SetVoiceMode"), QStringLiteral("cmdVsm"), QStringLiteral("cmdVgt"),
            QStringLiteral("cmdVgr"),       QStringLiteral("cmdFVcid"), QStringLiteral("cmdVtd")};
}

namespace {
// A script is a handful of lines; anything this large is not one.
constexpr qint64 MaxScriptBytes = 1 << 20;
} // namespace

QStringList readInitScript(const QString& path)
{
    RegularFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw InitScriptError(QStringLiteral("Cannot read the init script %1: %2")
                                  .arg(QDir::toNativeSeparators(path), file.errorString())
                                  .toStdString());
    if (file.size() > MaxScriptBytes)
        throw InitScriptError(
            QStringLiteral("The init script %1 is too large to be a script").arg(path).toStdString());
    QStringList lines;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(QString::fromUtf8(line));
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the final line end does not start another line
    return lines;
}

void ensureInitScript(const QString& path)
{
    if (QFileInfo::exists(path))
        return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(defaultInitScript().join(QLatin1Char('\n')).toUtf8() + '\n');
        if (file.commit())
            return;
    }
    throw InitScriptError(QStringLiteral("Cannot write the init script %1: %2")
                              .arg(QDir::toNativeSeparators(path), file.errorString())
                              .toStdString());
}
