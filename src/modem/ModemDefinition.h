#pragma once

#include "modem/CompressionRecord.h"
#include "modem/ModemProfile.h"
#include "modem/TQModems.h"

#include <QString>
#include <QStringList>

class IniFile;
class ModemDefinitionView;
class TQVModem253;

// The logic of the "Modem initialization" dialog: lists the modems of the
// computer and, for the one the user picks, probes which voice commands it
// accepts, which voice compressions it offers and how its gains run. The
// results go into the settings file (sections "Modem", "PortParams",
// "Commands", "Modem compression", "Modem compressions"), into
// Compressions.d beside it, and into the engine's profile.
//
// Lives for one showing of the dialog; a view shows it (ModemDefinitionView).
class ModemDefinition
{
public:
    static constexpr int GaugeSteps = 30;
    // Compressions.d is read up to this many records.
    static constexpr int MaxCompressions = 101;

    enum class Gain { Receive, Transmit, Microphone, Speaker };

    explicit ModemDefinition(ModemDefinitionView& view);
    ModemDefinition(const ModemDefinition&) = delete;
    ModemDefinition& operator=(const ModemDefinition&) = delete;

    void SetEngine(TQVModem253* engine) { m_engine = engine; }
    // The discovery: fills the modem list; false when it finds none.
    bool ListModems();
    QStringList modelNames() const;
    // The modem the list has selected (the first after ListModems).
    void select(int index) { m_selected = index; }
    int selected() const { return m_selected; }
    // Ok: probes the selected modem.
    void ProbeModem();
    // Ends a running probe at its next command; the modem's settings from
    // before the probe are put back (a half-probed profile is worse).
    void cancel() { m_cancelled = true; }
    bool probing() const { return m_probing; }

    // The steps of the probe, each on one reply of the modem.
    bool ParseVsmReply(const QString& reply);
    void ParseVlsReply(const QString& reply);
    void ParseGainRange(Gain gain, const QString& reply);
    bool ChooseCompression();
    bool SelectModemFormat();

    TQModems ModemList;

private:
    bool openPort(const TModemProperties& modem);
    void probeVoice(const TModemProperties& modem);
    void probeBrokeOff(const QString& command);
    struct Snapshot;
    Snapshot takeSnapshot() const;
    void restore(const Snapshot& before);
    void probeVoiceCommands();
    void writeTriedCommands();
    void probeStopForm();
    void writePortParams(const TModemProperties& modem);
    void noCompressionRecognised();
    void writeChoice(const CompressionRecord& record, int index);
    void writeCommand(ModemCommand command, const QString& value);
    void writeVoiceFeatures(bool on);
    // A command of the probe; one that gets no answer ends the probe.
    int send(const QString& command);
    void step();
    void logLine(const QString& text) const;
    void reportBadInteger(const QString& text, const QString& line);
    QString compressionsPath() const;
    QList<CompressionRecord> readCompressions() const;
    IniFile* ini() const;
    ModemProfile* profile() const;

    ModemDefinitionView& m_view;
    TQVModem253* m_engine = nullptr;
    int m_selected = -1;
    int m_stepsDone = 0;
    bool m_cancelled = false;
    bool m_probing = false;
};
