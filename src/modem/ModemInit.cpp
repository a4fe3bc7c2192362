#include "TQVModem253.h"

#include "config/IniFile.h"
#include "linedsp/TQVMdsp.h"
#include "modem/WaitWindow.h"
#include "platform/SerialPort.h"

namespace {

SerialParity parityFromProfile(int parity)
{
    switch (parity) {
    case 1: return SerialParity::Odd;
    case 2: return SerialParity::Even;
    case 3: return SerialParity::Mark;
    case 4: return SerialParity::Space;
    default: return SerialParity::None;
    }
}

} // namespace

bool TQVModem253::LoadProfile()
{
    if (!IniFileRef)
        return false;
    Profile = readModemProfile(*IniFileRef, Profile);
    EscapeStopPairs = Profile.escapeStopPairs;
    if (SerialPort* port = SerialPortRef.data()) {
        port->setComNumber(Profile.portNumber);
        port->setBaud(Profile.baudRate);
        port->setDataBits(Profile.dataBits);
        port->setStopBits(Profile.stopBits);
        port->setParity(parityFromProfile(Profile.parity));
    }
    // A stored block that is not a whole format record leaves the format.
    if (const auto stored = settings::readBinary(*IniFileRef, keys::FileCompressionBin))
        DTEfmt.setFormatBuffer(*stored);
    if (DSP) {
        const AnalyserSwitches s = readAnalyserSwitches(*IniFileRef);
        DSP->Silence = s.silence;
        DSP->Periodic = s.periodic;
        DSP->Cadence = s.cadence;
        DSP->SilenceDim = s.silenceDim;
        DSP->CallProgress = s.callProgress;
    }
    return true;
}

int TQVModem253::SendProfileCommand(ModemCommand command)
{
    QString text = Profile.command(command);
    if (sentOnlyWhenNotBlank(command)) {
        text = text.trimmed();
        if (text.isEmpty())
            return ReplyError;
    }
    setLastCommand(text);
    std::optional<bool> hook;
    if (command == ModemCommand::sOnHook)
        hook = false;
    else if (command == ModemCommand::sOffHook)
        hook = true;
    return sendCommand(text, hook);
}

bool TQVModem253::InitModem()
{
    DtmfToneOn = false;
    DtmfReported = false;
    if (!BindModem())
        return false;
    if (!IniFileRef)
        throw InitScriptError("There is no settings file, so the init script cannot be found");
    const QStringList script = readInitScript(initScriptPath(IniFileRef->fileName()));
    CommandsSent = CommandsAnswered = 0;
    ExecuteScript(script);
    // ERROR to a vendor's command is fine; silence to every one is no modem.
    if (CommandsSent > 0 && CommandsAnswered == 0) {
        Log(QStringLiteral("<ERROR> The modem answered none of the %1 initialisation commands").arg(CommandsSent.load()));
        return false;
    }
    if (settings::readBool(*IniFileRef, keys::Atdt))
        runAtdtCycle();
    return true;
}

// For a modem that refused to start receiving: take the line off hook and
// put it back, which lets such modems receive afterwards.
void TQVModem253::runAtdtCycle()
{
    if (WaitWindowRef)
        WaitWindowRef->showWait();
    else
        Log(WaitWindow::labelText(0));
    const QString dial = QStringLiteral("atdt");
    setLastCommand(dial);
    if (SendCommand(dial) != ReplyOk)
        pollUntil([] { return false; }, 100, 100, true); // about ten seconds
    else
        Sleep(500);
    const QString onHook = QStringLiteral("at+vls=0");
    setLastCommand(onHook);
    SendCommand(onHook);
    if (WaitWindowRef)
        WaitWindowRef->closeWait();
}

bool TQVModem253::ExecuteScript(const QStringList& lines)
{
    // Elsewhere a missing init-string section is imported from the modem
    // driver's registry entry; getModemRegistryKey finds none here.
    sendInitStrings();
    int number = 0;
    for (const QString& line : lines) {
        ++number;
        const ScriptLine entry = classifyScriptLine(line);
        switch (entry.kind) {
        case ScriptLine::Kind::Operation:
            runScriptOp(entry.op);
            break;
        case ScriptLine::Kind::ProfileCommand:
            SendProfileCommand(entry.command);
            break;
        case ScriptLine::Kind::AtCommand:
            setLastCommand(line);
            SendCommand(line);
            break;
        case ScriptLine::Kind::Ignored:
            // Said, so a mistyped keyword does not fail without a word.
            if (!line.trimmed().isEmpty())
                Log(QStringLiteral("initScript.txt line %1 ignored (not a keyword, an AT command or a comment): %2")
                        .arg(number)
                        .arg(line));
            break;
        case ScriptLine::Kind::Comment:
            break;
        }
    }
    return true;
}

// st1 .. st10 of "ModemInitString", up to the first missing or empty one.
void TQVModem253::sendInitStrings()
{
    if (!IniFileRef)
        return;
    for (int n = 1; n <= 10; ++n) {
        const QString command = settings::readString(*IniFileRef, settings::initStringKey(n));
        if (command.isEmpty())
            return;
        setLastCommand(command);
        SendCommand(command);
    }
}

void TQVModem253::runScriptOp(ScriptOp op)
{
    switch (op) {
    case ScriptOp::SetDataMode: SetDataMode(); break;
    case ScriptOp::SetFaxClass1: SetFaxClass1(); break;
    case ScriptOp::SetFaxClass2: SetFaxClass2(); break;
    case ScriptOp::SetVoiceMode: SetVoiceMode(); break;
    case ScriptOp::StartVTX: StartVTX(); break;
    case ScriptOp::StopVTX: StopVTX(); break;
    case ScriptOp::StartVRX: StartVRX(); break;
    case ScriptOp::StopVRX: StopVRX(); break;
    case ScriptOp::StartVTR: StartVTR(); break;
    case ScriptOp::StopVTR: StopVTR(); break;
    case ScriptOp::BindModem: BindModem(); break;
    case ScriptOp::ReleaseModem: ReleaseModem(); break;
    }
}
