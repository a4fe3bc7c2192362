#pragma once

#include "core/ErrorReporter.h"
#include "modem/TQModems.h"

#include <QString>
#include <QStringList>

class ModemDefinition;
class TextSink;

// What shows the modem definition to the user: the "Modem initialization"
// dialog in the desktop program (a list of the modems found, Ok and Cancel,
// a progress gauge), or a headless stand-in. The logic lives in
// ModemDefinition; a view only shows it and passes the user's choices on.
class ModemDefinitionView : public ErrorReporter, public DiscoveryProgress
{
public:
    // Shows the dialog modally and returns when it is closed. The dialog
    // selects the first modem on showing; Ok runs definition.ProbeModem(),
    // Cancel closes without writing anything.
    virtual void execModal(ModemDefinition& definition) = 0;
    // A message box with a fixed text.
    virtual void showMessage(const QString& text) = 0;

    // The model texts of the modems found, in list order.
    virtual void setModemList(const QStringList& models) { Q_UNUSED(models); }
    // The busy cursor while probing.
    virtual void setBusy(bool busy) { Q_UNUSED(busy); }
    // Ok, Cancel and the list.
    virtual void setControlsEnabled(bool enabled) { Q_UNUSED(enabled); }
    // The gauge across the bottom, shown only while probing; 0..100 percent.
    virtual void showGauge(bool visible) { Q_UNUSED(visible); }
    virtual void setGauge(int percent) { Q_UNUSED(percent); }
    // The probe is over: the dialog closes.
    virtual void closeDialog() {}
    // Before the discovery runs: a view may narrow the ports to scan.
    virtual void configureDiscovery(TQModems& modems) { Q_UNUSED(modems); }
};

// Without a dialog: Ok on the first modem found; messages, error reports and
// progress go to a text sink (the engine's log, or nowhere).
class HeadlessDefinitionView : public ModemDefinitionView
{
public:
    explicit HeadlessDefinitionView(TextSink* sink) : m_sink(sink) {}

    void execModal(ModemDefinition& definition) override;
    void showMessage(const QString& text) override;
    void ShowErrorReport(const QString& message, const QString& line) override;

private:
    void print(const QString& text) const;
    TextSink* m_sink;
};
