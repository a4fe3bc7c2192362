#include "CliDiscovery.h"
#include "CliModem.h"

#include "catalogue/DataFolder.h"
#include "modem/CompressionChoice.h"
#include "modem/ModemDefinition.h"
#include "modem/ModemDefinitionView.h"
#include "core/VisibleText.h"


namespace {

// The modem definition without a dialog: Ok on the first modem found,
// messages and error reports on stderr, the gauge on stdout.
class CliProbeView : public ModemDefinitionView
{
public:
    explicit CliProbeView(CliContext& ctx) : m_ctx(ctx), m_progress(ctx.out) {}

    void execModal(ModemDefinition& definition) override
    {
        m_ctx.out << "probing " << definition.ModemList.entry(0).PortName << ": "
                  << definition.ModemList.entry(0).ModelName.trimmed() << '\n';
        definition.select(0);
        definition.ProbeModem();
    }
    void showMessage(const QString& text) override { m_ctx.err << text << '\n'; }
    void ShowErrorReport(const QString& message, const QString& line) override
    {
        m_ctx.err << "Error report: " << message << '\n' << "  at: " << line << '\n';
    }
    void setGauge(int percent) override { m_ctx.out << "progress " << percent << "%\n"; }
    void configureDiscovery(TQModems& modems) override
    {
        cliSetUpDiscovery(m_ctx, modems);
        m_modems = &modems;
    }
    void showProgress(const QString& text) override { m_progress.showProgress(text); }
    void setProgress(int percent) override { m_progress.setProgress(percent); }
    void closeProgress() override
    {
        if (m_modems && m_modems->Count() == 0)
            m_unavailable = m_modems->unavailablePorts();
    }

    const QList<TQModems::Unavailable>& unavailable() const { return m_unavailable; }

private:
    CliContext& m_ctx;
    StreamDiscoveryProgress m_progress;
    TQModems* m_modems = nullptr;
    QList<TQModems::Unavailable> m_unavailable;
};

// Finds the modem, probes its voice features and writes the profile into
// the data folder; then prints what was found.
int runProbe(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList none;
    if (!args.positional(0, 0, none))
        return cliUsageError(ctx, QStringLiteral("probe"), args.error());

    QString error;
    if (datafolder::prepare(ctx.dataDir, &error).isEmpty()) {
        ctx.err << "velmora-cli probe: " << error << '\n';
        return 1;
    }
    StreamTextSink log(ctx.out); // outlives the engine
    CliProbeView view(ctx);
    CliModem modem(ctx);
    TQVModem253& engine = modem.engine();
    engine.setLogger(&log);
    engine.setDefinitionView(&view);
    engine.DefineModem();
    engine.setDefinitionView(nullptr);
    printUnavailablePorts(ctx.err, view.unavailable());

    const IniFile& ini = modem.settings();
    const bool voice = settings::readBool(ini, keys::Voicefeatures);
    const QString codec = modemCodecName(settings::readBinary(ini, keys::ModemCompressionBin).value_or(QByteArray()));
    const auto value = [&](const settings::Key& key) { return visibleText(settings::readString(ini, key)); };
    // An unprobed modem has no compression command, not the table's default.
    const QString vsm = settings::exists(ini, commandKey(ModemCommand::sVoiceCompression))
                          ? value(commandKey(ModemCommand::sVoiceCompression))
                          : QString();
    ctx.out << "model=" << value(keys::Model) << '\n'
            << "voicefeatures=" << (voice ? 1 : 0) << '\n'
            << "compression=" << value(keys::CompressionDesc) << ',' << value(keys::CompressionBPS) << ','
            << value(keys::CompressionVSR) << '\n'
            << "vsm=" << vsm << '\n'
            << "codec=" << codec << '\n';
    return voice && !codec.isEmpty() ? 0 : 1;
}

CliCommandRegistrar probe({QStringLiteral("probe"), QString(),
                           QStringLiteral("find the modem (or take --port), probe its voice features and "
                                          "write its profile to the data folder"),
                           &runProbe});

} // namespace
