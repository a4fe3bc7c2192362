#include "TQVModem253.h"

#include "config/IniFile.h"
#include "modem/ModemDefinition.h"
#include "modem/ModemDefinitionView.h"
#include "core/TextSink.h"

void TQVModem253::DefineModem()
{
    HeadlessDefinitionView headless(Logger);
    ModemDefinitionView& view = DefinitionView ? *DefinitionView : headless;
    ModemDefinition definition(view);
    definition.SetEngine(this);
    if (definition.ListModems()) {
        view.execModal(definition);
        resetRingTicks(); // the line may have changed with the modem
        return;
    }
    if (IniFileRef)
        settings::writeBool(*IniFileRef, keys::Voicefeatures, false);
    Profile.voiceFeatures = false;
    view.showMessage(QStringLiteral("There is no modem found in your system"));
}

void HeadlessDefinitionView::execModal(ModemDefinition& definition)
{
    definition.select(0);
    definition.ProbeModem();
}

void HeadlessDefinitionView::showMessage(const QString& text)
{
    print(text);
}

void HeadlessDefinitionView::ShowErrorReport(const QString& message, const QString& line)
{
    print(message);
    print(line);
}

void HeadlessDefinitionView::print(const QString& text) const
{
    if (m_sink)
        m_sink->appendLine(text);
}
