#include "ModemDefinition.h"

#include "config/IniFile.h"
#include "modem/CapabilityReplies.h"
#include "modem/CompressionChoice.h"
#include "modem/ModemDefinitionView.h"
#include "modem/TQVModem253.h"
#include "core/TextSink.h"
#include "modem/VsmParser.h"
#include "platform/SerialPort.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <optional>

namespace {

constexpr int ProbeTimeout = 4;

struct GainQuery
{
    const char* query;
    const char* prefix;
    const settings::Key* flagKey; // nullptr: no automatic-gain flag
    const settings::Key& minKey;
    const settings::Key& maxKey;
    const char* command;
    ModemCommand key;
};

const GainQuery GainQueries[] = {
    {"at+VGR=?", "+VGR:", &keys::AGC, keys::VgrMin, keys::VgrMax, "at+vgr=", ModemCommand::sReceiveGain},
    {"at+VGT=?", "+VGT:", &keys::AVC, keys::VgtMin, keys::VgtMax, "at+vgt=", ModemCommand::sTransmitGain},
    {"at+VGM=?", "+VGM:", nullptr, keys::VgmMin, keys::VgmMax, "at+vgm=", ModemCommand::sMicGain},
    {"at+VGS=?", "+VGS:", nullptr, keys::VgsMin, keys::VgsMax, "at+vgs=", ModemCommand::sSpeakerGain},
};

struct TriedCommand
{
    ModemCommand key;
    const char* candidates[3]; // unused ones are null
};

const TriedCommand TriedCommands[] = {
    {ModemCommand::sToneDuration, {"at+vtd=10"}},
    {ModemCommand::sFlowControl, {"at+flo=1", "at+ifc=1"}},
    {ModemCommand::sInactivityTimer, {"at+vit=0"}},
    {ModemCommand::sRingbackAway, {"at+vra=50"}},
    {ModemCommand::sRingbackNever, {"at+vrn=10"}},
    {ModemCommand::sSilDetection, {"at+vsd=0,0"}},
    {ModemCommand::sDistinctiveRing, {"at+vdr=0,0"}},
    {ModemCommand::sToneCadence, {"at+vdt=0,0"}},
    {ModemCommand::sAssertDeassert, {"at+vbt=256,896", "at+itf=256,896"}},
    {ModemCommand::sPacketProtocol, {"at+vpp=0"}},
    {ModemCommand::sInterfaceRate, {"at+vpr=0", "at+ipr=0", "at+fpr=0"}},
    {ModemCommand::sRepeatUCID, {"at+vrid=1"}},
    {ModemCommand::sRepeatFCID, {"at+vrid=0"}},
    {ModemCommand::sNoCallerID, {"at+vcid=0"}},
    {ModemCommand::sFCallerID, {"at+vcid=1"}},
    {ModemCommand::sUCallerID, {"at+vcid=2"}},
    {ModemCommand::sSpkPhone_0, {"at+vsp=0"}},
    {ModemCommand::sSpkPhone_1, {"at+vsp=1"}},
    {ModemCommand::sSpkPhone_2, {"at+vsp=2"}},
    {ModemCommand::sSpkPhone_3, {"at+vsp=3"}},
    {ModemCommand::sSpkPhone_4, {"at+vsp=4"}},
};

// A probe step the modem did not answer at all (time-out, or the port went
// away): nothing after it can be trusted.
struct ProbeStepUnanswered
{
    QString command;
};

// The user cancelled the probe.
struct ProbeCancelled
{
};

int parityIndex(SerialParity parity)
{
    switch (parity) {
    case SerialParity::Odd: return 1;
    case SerialParity::Even: return 2;
    case SerialParity::Mark: return 3;
    case SerialParity::Space: return 4;
    case SerialParity::None: break;
    }
    return 0;
}

} // namespace

ModemDefinition::ModemDefinition(ModemDefinitionView& view) : m_view(view) {}

IniFile* ModemDefinition::ini() const
{
    return m_engine ? m_engine->iniFile() : nullptr;
}

ModemProfile* ModemDefinition::profile() const
{
    return m_engine ? &m_engine->profileForUpdate() : nullptr;
}

// --- The modem list --------------------------------------------------------------

bool ModemDefinition::ListModems()
{
    m_view.setControlsEnabled(true);
    m_view.setModemList({});
    ModemList.vModem = m_engine;
    ModemList.setProgress(&m_view);
    m_view.configureDiscovery(ModemList);
    ModemList.FindModems();
    m_view.setModemList(modelNames());
    m_selected = ModemList.Count() > 0 ? 0 : -1;
    return ModemList.Count() > 0;
}

QStringList ModemDefinition::modelNames() const
{
    QStringList names;
    for (const TModemProperties& modem : ModemList.entries())
        names.append(modem.ModelName);
    return names;
}

// --- The probe ---------------------------------------------------------------------

struct ModemDefinition::Snapshot
{
    QList<std::pair<QString, QList<std::pair<QString, QString>>>> sections;
    std::optional<QByteArray> compressions;
};

void ModemDefinition::ProbeModem()
{
    if (!m_engine || !m_engine->serialPort() || m_selected < 0 || m_selected >= ModemList.Count())
        return;
    const TModemProperties modem = ModemList.entry(m_selected);
    m_stepsDone = 0;
    m_view.setBusy(true);
    m_view.setControlsEnabled(false);
    SerialPort* port = m_engine->serialPort();
    port->setComNumber(modem.PortNumber);
    port->setDeviceName(modem.PortName);
    QCoreApplication::processEvents();

    if (!openPort(modem)) {
        m_view.setBusy(false);
        m_view.setControlsEnabled(true);
        return; // the dialog stays open for another choice
    }
    const Snapshot before = takeSnapshot();
    m_cancelled = false;
    m_probing = true;
    if (m_engine->SendCommand(QStringLiteral("at")) != TQVModem253::ReplyOk) {
        writeVoiceFeatures(false);
        m_view.showMessage(QStringLiteral("Error detected\nPossible cause\nYour modem is not connected to port"));
    } else {
        try {
            probeVoice(modem);
        } catch (const ProbeStepUnanswered& step) {
            probeBrokeOff(step.command);
        } catch (const ProbeCancelled&) {
            restore(before);
            m_view.showGauge(false);
            m_view.showMessage(QStringLiteral("The probe was cancelled; the modem settings from before it were kept."));
        }
    }
    m_probing = false;
    m_view.setBusy(false);
    m_view.setControlsEnabled(true);
    m_engine->ReleaseModem();
    m_view.closeDialog();
}

bool ModemDefinition::openPort(const TModemProperties& modem)
{
    SerialPort* port = m_engine->serialPort();
    if (port->isOpen())
        return true;
    try {
        port->setOpen(true);
        return true;
    } catch (const SerialPortError& e) {
        writeVoiceFeatures(false);
        // The system's reason (permission, device gone, held by another
        // program) follows the fixed text: it says what to do on this system.
        m_view.showMessage(QStringLiteral("Error detected opening Com") + QString::number(modem.PortNumber)
                           + QStringLiteral("\nPossible cause\nYour modem is bound to another software such as a "
                                            "fax software\n")
                           + QString::fromUtf8(e.what()));
        return false;
    }
}

// Half a profile would make every later start send empty commands to a modem
// taken for voice-capable: what the probe wrote of the modem goes, so the
// data folder reads as not probed, and the user learns which step failed.
void ModemDefinition::probeBrokeOff(const QString& command)
{
    if (IniFile* settings = ini()) {
        for (const QString& section :
             {sections::Modem, sections::Commands, sections::ModemCompression, sections::ModemCompressions})
            settings->eraseSection(section);
    }
    writeVoiceFeatures(false);
    m_engine->LoadProfile();
    m_view.showGauge(false);
    m_view.showMessage(QStringLiteral("The modem stopped answering during the probe: no answer to %1. Nothing of "
                                      "the probe was kept. Check that the modem is connected and that no other "
                                      "program uses its port, then probe again.")
                           .arg(command));
}

void ModemDefinition::probeVoice(const TModemProperties& modem)
{
    IniFile* settings = ini();
    if (settings) {
        settings->eraseSection(sections::Modem);
        settings->eraseSection(sections::Commands);
        settings::writeString(*settings, keys::Model, modem.ModelName);
    }
    writePortParams(modem);

    if (send(QStringLiteral("at+fclass=8")) == TQVModem253::ReplyOk
        && send(QStringLiteral("at+vls=0")) == TQVModem253::ReplyOk) {
        probeVoiceCommands();
        return;
    }
    writeVoiceFeatures(false);
    if (settings)
        settings::writeInteger(*settings, keys::Timeout, ProbeTimeout);
    m_view.showMessage(QStringLiteral("Your modem does not support V.253 standard"));
}

void ModemDefinition::writePortParams(const TModemProperties& modem)
{
    IniFile* settings = ini();
    const SerialPort* port = m_engine->serialPort();
    if (!settings || !port)
        return;
    settings::writeInteger(*settings, keys::Port, port->comNumber());
    settings::writeInteger(*settings, keys::Baudrate, port->baud());
    settings::writeInteger(*settings, keys::Databits, port->dataBits());
    settings::writeInteger(*settings, keys::StopBits, port->stopBits());
    settings::writeInteger(*settings, keys::Parity, parityIndex(port->parity()));
    // The device itself, so the next start opens the same one even when
    // the port numbering has changed.
    settings::writeString(*settings, keys::PortName, modem.PortName);
}

void ModemDefinition::probeVoiceCommands()
{
    m_stepsDone = 0;
    m_view.showGauge(true);
    m_view.setGauge(0);
    writeVoiceFeatures(true);

    logLine(QStringLiteral("now vsm"));
    if (send(QStringLiteral("at+vsm=?")) == TQVModem253::ReplyOk)
        ParseVsmReply(m_engine->GetLastReply());
    else
        noCompressionRecognised(); // a voice modem that lists none cannot be recorded from
    step();
    logLine(QStringLiteral("now vls"));
    if (send(QStringLiteral("at+vls=?")) == TQVModem253::ReplyOk)
        ParseVlsReply(m_engine->GetLastReply());
    step();

    writeCommand(ModemCommand::sSelectSource, QStringLiteral("at+vls=1"));
    step();
    writeCommand(ModemCommand::sOnHook, QStringLiteral("at+vls=0"));
    step();
    writeCommand(ModemCommand::sOffHook, QStringLiteral("at+vls=1"));
    step();
    writeCommand(ModemCommand::sVoiceTransmit, QStringLiteral("at+VTX"));
    writeCommand(ModemCommand::sStopVoiceTransmit, QStringLiteral("<DLE><ETX>"));
    writeCommand(ModemCommand::sVoiceReceive, QStringLiteral("at+VRX"));
    writeCommand(ModemCommand::sStopVoiceReceive, QStringLiteral("<DLE><!>"));
    writeCommand(ModemCommand::sVoiceDuplex, QStringLiteral("at+VTR"));
    writeCommand(ModemCommand::sStopVoiceDuplex, QStringLiteral("<DLE><^>"));

    for (const Gain gain : {Gain::Receive, Gain::Transmit, Gain::Microphone, Gain::Speaker}) {
        const GainQuery& q = GainQueries[int(gain)];
        if (send(QLatin1String(q.query)) == TQVModem253::ReplyOk)
            ParseGainRange(gain, m_engine->GetLastReply());
        else
            writeCommand(q.key, QString());
        step();
    }
    writeTriedCommands();
    probeStopForm();
    send(QStringLiteral("at+vsp=0"));

    writeCommand(ModemCommand::sDataMode, QStringLiteral("at+fclass=0"));
    writeCommand(ModemCommand::sFaxClass1, QStringLiteral("at+fclass=1"));
    writeCommand(ModemCommand::sFaxClass2, QStringLiteral("at+fclass=2"));
    writeCommand(ModemCommand::sVoiceMode, QStringLiteral("at+fclass=8"));
    if (IniFile* settings = ini())
        settings::writeInteger(*settings, keys::Timeout, ProbeTimeout);
    m_view.showGauge(false);
}

// Found once here, so no call pays a time-out to learn which stop pair the
// modem obeys.
void ModemDefinition::probeStopForm()
{
    logLine(QStringLiteral("now stop pairs"));
    if (send(QStringLiteral("at+vls=1")) != TQVModem253::ReplyOk)
        return;
    if (m_engine->FindStopForm() == TQVModem253::StopForm::None && !m_engine->portIsOpen()) {
        try {
            m_engine->serialPort()->setOpen(true); // closed to end the stream
        } catch (const SerialPortError&) {
            throw ProbeStepUnanswered{QStringLiteral("at+vrx")};
        }
    }
    send(QStringLiteral("at+vls=0"));
}

// Each function gets the first of its commands the modem accepts, or an
// empty string when it accepts none.
void ModemDefinition::writeTriedCommands()
{
    for (const TriedCommand& tried : TriedCommands) {
        QString accepted;
        for (const char* candidate : tried.candidates) {
            if (candidate && send(QLatin1String(candidate)) == TQVModem253::ReplyOk) {
                accepted = QLatin1String(candidate);
                break;
            }
        }
        writeCommand(tried.key, accepted);
        step();
    }
}

// --- Compressions -----------------------------------------------------------------

bool ModemDefinition::ParseVsmReply(const QString& reply)
{
    logLine(QStringLiteral("at+vsm=?"));
    IniFile* settings = ini();
    if (!settings)
        return false;
    settings->eraseSection(sections::ModemCompressions);

    QByteArray records;
    int index = -1;
    for (const QString& line : replyLines(reply)) {
        const QString text = line.trimmed();
        CompressionRecord record;
        if (text.isEmpty() || !ParseVsmLine(text, record))
            continue; // echo, "OK", a compression we cannot name
        if (index + 1 >= MaxCompressions)
            break;
        record.vsm = BuildVsmCommand(record).left(CompressionRecord::FieldLength);
        ++index;
        records += encodeCompressionRecord(record);
        settings->writeString(sections::ModemCompressions, QString::number(index), record.displayLine());
    }

    QSaveFile file(compressionsPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(records) != records.size() || !file.commit()) {
        m_view.showMessage(QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString()));
        return false;
    }
    if (index < 0) {
        noCompressionRecognised();
        return false;
    }
    ChooseCompression();
    SelectModemFormat();
    return true;
}

void ModemDefinition::noCompressionRecognised()
{
    m_view.showMessage(QStringLiteral("None modem compression can be recognized"));
    // Written, not only cleared in memory: a missing key would read back as
    // the default "at+vsm=128", a compression this modem does not offer.
    writeCommand(ModemCommand::sVoiceCompression, QString());
    if (IniFile* settings = ini()) {
        settings::writeInteger(*settings, keys::SamplingFreq, 0);
        settings::writeString(*settings, keys::ModemCompressionIndex, QString());
        settings->eraseSection(sections::ModemCompression); // the previous modem's format
    }
    writeVoiceFeatures(false);
}

bool ModemDefinition::ChooseCompression()
{
    const QList<CompressionRecord> records = readCompressions();
    if (records.isEmpty())
        return false;
    if (const auto chosen = chooseCompressionIndex(records)) {
        writeChoice(records[*chosen], *chosen);
        return true;
    }
    writeChoice(records.first(), 0);
    writeVoiceFeatures(false);
    return false;
}

void ModemDefinition::writeChoice(const CompressionRecord& record, int index)
{
    if (IniFile* settings = ini()) {
        using namespace keys;
        const std::pair<const settings::Key&, const QString&> fields[] = {
            {CompressionDesc, record.desc}, {CompressionCml, record.cml}, {CompressionCmid, record.cmid},
            {CompressionBPS, record.bps},   {CompressionTm, record.tm},   {CompressionVSR, record.vsr},
            {CompressionSds, record.sds},   {CompressionSel, record.sel},
        };
        for (const auto& [key, value] : fields)
            settings::writeString(*settings, key, value);
        settings::writeInteger(*settings, ModemCompressionIndex, index);
    }
    if (ModemProfile* p = profile()) {
        p->compressionDesc = record.desc;
        p->compressionCml = record.cml;
        p->compressionCmid = record.cmid;
        p->compressionBps = record.bps;
        p->compressionTm = record.tm;
        p->compressionVsr = record.vsr;
        p->compressionSds = record.sds;
        p->compressionSel = record.sel;
    }
    writeCommand(ModemCommand::sVoiceCompression, record.vsm);
}

bool ModemDefinition::SelectModemFormat()
{
    IniFile* settings = ini();
    if (!settings)
        return false;
    // Erased first, so that a selection that fails never leaves the format
    // of a modem probed before.
    settings->eraseSection(sections::ModemCompression);
    const QList<CompressionRecord> records = readCompressions();
    const int index = settings::readInteger(*settings, keys::ModemCompressionIndex, -1);
    const CompressionRecord record = index >= 0 && index < records.size() ? records[index] : CompressionRecord();

    bool ok = false;
    const int bits = record.bps.toInt(&ok);
    if (!ok) {
        reportBadInteger(record.bps, QStringLiteral("testInt := StrToInt(cmp.bps);"));
        return false;
    }
    const int rate = record.vsr.toInt(&ok);
    if (!ok) {
        reportBadInteger(record.vsr, QStringLiteral("testInt := StrToInt(cmp.vsr);"));
        return false;
    }
    const std::optional<ModemCodec> codec = modemCodecFor(record.desc, bits, rate);
    if (!codec) {
        m_view.showMessage(QStringLiteral("None Codec found to match modem encoding"));
        writeVoiceFeatures(false);
        return false;
    }
    const TdeWaveFormat& format = codec->format;
    settings::writeBinary(*settings, keys::ModemCompressionBin, format.formatBuffer());
    settings::writeString(*settings, keys::ModemCompressionDesc, format.describe());
    if (ModemProfile* p = profile())
        p->modemCompression = format.formatBuffer();
    return true;
}

// --- Line sources and gains ---------------------------------------------------------

void ModemDefinition::ParseVlsReply(const QString& reply)
{
    const LineSourceReply sources = parseLineSources(reply);
    for (const QString& text : sources.unreadable)
        reportBadInteger(text, QStringLiteral("testInt := StrToInt(stValues[i2]);"));
    IniFile* settings = ini();
    ModemProfile* p = profile();
    for (int n = 0; n <= LineSourceReply::MaxSource; ++n) {
        const QString command = sources.offered[size_t(n)] ? QStringLiteral("at+vls=%1").arg(n) : QString();
        if (p)
            p->lineSources[size_t(n)] = command;
        if (settings)
            settings::writeString(*settings, settings::lineSourceKey(n), command);
    }
}

void ModemDefinition::ParseGainRange(Gain gain, const QString& reply)
{
    const GainQuery& q = GainQueries[int(gain)];
    IniFile* settings = ini();
    for (const GainLine& line : parseGainReply(reply, QLatin1String(q.prefix))) {
        if (q.flagKey && settings)
            settings::writeBool(*settings, *q.flagKey, line.admitsZero);
        if (!line.hasRange)
            continue;
        if (!line.rangeUsable()) {
            writeCommand(q.key, QString());
            continue;
        }
        if (settings) {
            settings::writeInteger(*settings, q.minKey, line.low);
            settings::writeInteger(*settings, q.maxKey, line.high);
        }
        const qint64 middle = (qint64(line.low) + qint64(line.high)) / 2; // both ends are >= 0 in practice
        writeCommand(q.key, QLatin1String(q.command) + QString::number(middle));
    }
}

// --- Small helpers -------------------------------------------------------------------

void ModemDefinition::writeCommand(ModemCommand command, const QString& value)
{
    if (IniFile* settings = ini())
        settings::writeString(*settings, commandKey(command), value);
    if (ModemProfile* p = profile())
        p->commands[size_t(command)] = value;
}

void ModemDefinition::writeVoiceFeatures(bool on)
{
    if (IniFile* settings = ini())
        settings::writeBool(*settings, keys::Voicefeatures, on);
    if (ModemProfile* p = profile())
        p->voiceFeatures = on;
}

int ModemDefinition::send(const QString& command)
{
    if (m_cancelled)
        throw ProbeCancelled{};
    const int result = m_engine->SendCommand(command);
    if (m_cancelled)
        throw ProbeCancelled{};
    if (result == TQVModem253::ReplyTimeOut)
        throw ProbeStepUnanswered{command};
    return result;
}


ModemDefinition::Snapshot ModemDefinition::takeSnapshot() const
{
    Snapshot s;
    if (IniFile* settings = ini())
        for (const QString& section : {sections::Modem, sections::Commands, sections::ModemCompression,
                                       sections::ModemCompressions, QStringLiteral("PortParams")})
            s.sections.push_back({section, settings->readSectionValues(section)});
    QFile file(compressionsPath());
    if (file.open(QIODevice::ReadOnly))
        s.compressions = file.readAll();
    return s;
}

void ModemDefinition::restore(const Snapshot& before)
{
    if (IniFile* settings = ini()) {
        settings->beginUpdate();
        for (const auto& [section, values] : before.sections) {
            settings->eraseSection(section);
            for (const auto& [key, value] : values)
                settings->writeString(section, key, value);
        }
        settings->commitUpdate();
    }
    if (before.compressions) {
        QSaveFile file(compressionsPath());
        if (file.open(QIODevice::WriteOnly) && file.write(*before.compressions) == before.compressions->size())
            file.commit();
    } else {
        QFile::remove(compressionsPath());
    }
    m_engine->LoadProfile();
}

void ModemDefinition::step()
{
    ++m_stepsDone;
    m_view.setGauge(qRound(double(m_stepsDone) / GaugeSteps * 100.0));
}

void ModemDefinition::logLine(const QString& text) const
{
    if (m_engine && m_engine->logger())
        m_engine->logger()->appendLine(text);
}

void ModemDefinition::reportBadInteger(const QString& text, const QString& line)
{
    m_view.ShowErrorReport(QStringLiteral("'%1' is not a valid integer value").arg(text), line);
}

QList<CompressionRecord> ModemDefinition::readCompressions() const
{
    QFile file(compressionsPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodeCompressionRecords(file.read(qint64(MaxCompressions) * CompressionRecord::RecordSize),
                                    MaxCompressions);
}

QString ModemDefinition::compressionsPath() const
{
    IniFile* settings = ini();
    return settings ? compressionsFilePath(settings->fileName()) : QString();
}
