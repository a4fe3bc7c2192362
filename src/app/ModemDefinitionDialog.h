#pragma once

#include "modem/ModemDefinitionView.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QProgressDialog;

// "Modem initialization": the modems found, Ok to probe the chosen one and
// a gauge while it runs. Cancel closes without writing anything, or stops
// a running probe (the earlier settings are kept). The scan shows "Finding
// Modems..." with its own Cancel.
class ModemDefinitionDialog : public QDialog, public ModemDefinitionView
{
    Q_OBJECT
public:
    // `extraPorts`: devices the scan also tries (the simulator's terminal).
    explicit ModemDefinitionDialog(const QStringList& extraPorts, QWidget* parent = nullptr);
    ~ModemDefinitionDialog() override;

    // The view.
    void execModal(ModemDefinition& definition) override;
    void showMessage(const QString& text) override;
    void ShowErrorReport(const QString& message, const QString& line) override;
    void setModemList(const QStringList& models) override;
    void setBusy(bool busy) override;
    void setControlsEnabled(bool enabled) override;
    void showGauge(bool visible) override;
    void setGauge(int percent) override;
    void closeDialog() override;
    void configureDiscovery(TQModems& modems) override;
    void showProgress(const QString& text) override;
    void setProgress(int percent) override;
    void closeProgress() override;

    // Tests and screenshots: what a message box would have shown.
    void setQuiet(bool quiet) { m_quiet = quiet; }
    const QStringList& messages() const { return m_messages; }
    QListWidget* modems() const { return m_list; }
    // Ok without the click.
    void probeSelected();

private:
    void cancelClicked();

    QStringList m_extraPorts;
    ModemDefinition* m_definition = nullptr;
    QListWidget* m_list;
    QPushButton *m_ok, *m_cancel;
    QProgressBar* m_gauge;
    QProgressDialog* m_finding = nullptr;
    TQModems* m_scan = nullptr;
    QStringList m_messages;
    bool m_quiet = false;
    bool m_scanCancelled = false;
};
