#include "app/ModemDefinitionDialog.h"
#include "app/PlainMessage.h"

#include "modem/ModemDefinition.h"
#include "platform/SerialPortEnumerator.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

ModemDefinitionDialog::ModemDefinitionDialog(const QStringList& extraPorts, QWidget* parent)
    : QDialog(parent), m_extraPorts(extraPorts)
{
    setWindowTitle(QStringLiteral("Modem initialization"));
    m_list = new QListWidget(this);
    m_gauge = new QProgressBar(this);
    m_gauge->setRange(0, 100);
    m_gauge->hide();
    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(m_ok, &QPushButton::clicked, this, &ModemDefinitionDialog::probeSelected);
    connect(m_cancel, &QPushButton::clicked, this, &ModemDefinitionDialog::cancelClicked);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &ModemDefinitionDialog::probeSelected);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Modems"), this));
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    layout->addWidget(m_gauge);
    resize(420, 260);
}

ModemDefinitionDialog::~ModemDefinitionDialog() = default;

void ModemDefinitionDialog::execModal(ModemDefinition& definition)
{
    m_definition = &definition;
    setModemList(definition.modelNames());
    m_list->setCurrentRow(0);
    definition.select(0);
    exec();
    m_definition = nullptr;
}

void ModemDefinitionDialog::probeSelected()
{
    if (!m_definition || m_definition->probing())
        return;
    m_definition->select(std::max(0, m_list->currentRow()));
    m_definition->ProbeModem();
}

void ModemDefinitionDialog::cancelClicked()
{
    if (m_definition && m_definition->probing()) {
        m_cancel->setEnabled(false);
        m_definition->cancel(); // the probe ends at its next command
        return;
    }
    reject();
}

void ModemDefinitionDialog::showMessage(const QString& text)
{
    m_messages << text;
    if (m_quiet)
        return;
    showPlainMessage(this, windowTitle(), text);
}

void ModemDefinitionDialog::ShowErrorReport(const QString& message, const QString& line)
{
    showMessage(message + QLatin1Char('\n') + line);
}

void ModemDefinitionDialog::setModemList(const QStringList& models)
{
    m_list->clear();
    for (const QString& model : models)
        m_list->addItem(model.trimmed());
}

void ModemDefinitionDialog::setBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void ModemDefinitionDialog::setControlsEnabled(bool enabled)
{
    m_ok->setEnabled(enabled);
    m_list->setEnabled(enabled);
    // Cancel stays: it stops a running probe.
    m_cancel->setEnabled(true);
    m_cancel->setText(enabled ? QStringLiteral("Cancel") : QStringLiteral("Stop"));
}

void ModemDefinitionDialog::showGauge(bool visible)
{
    m_gauge->setValue(0);
    m_gauge->setVisible(visible);
}

void ModemDefinitionDialog::setGauge(int percent)
{
    m_gauge->setValue(percent);
}

void ModemDefinitionDialog::closeDialog()
{
    accept();
}

void ModemDefinitionDialog::configureDiscovery(TQModems& modems)
{
    m_scan = &modems;
    if (!m_extraPorts.isEmpty())
        modems.setCandidatePorts(enumerateSerialPorts(m_extraPorts));
}

void ModemDefinitionDialog::showProgress(const QString& text)
{
    m_scanCancelled = false;
    if (m_quiet)
        return;
    m_finding = new QProgressDialog(text, QStringLiteral("Cancel"), 0, 100, parentWidget());
    m_finding->setWindowTitle(QStringLiteral("Finding Modems..."));
    m_finding->setWindowModality(Qt::WindowModal);
    m_finding->setMinimumDuration(0);
    connect(m_finding, &QProgressDialog::canceled, this, [this] {
        m_scanCancelled = true;
        if (m_scan)
            m_scan->cancel();
    });
    m_finding->show();
}

void ModemDefinitionDialog::setProgress(int percent)
{
    if (m_finding)
        m_finding->setValue(percent);
}

void ModemDefinitionDialog::closeProgress()
{
    if (m_finding) {
        m_finding->deleteLater();
        m_finding = nullptr;
    }
    if (m_scan && m_scan->Count() == 0 && !m_scan->unavailablePorts().isEmpty()) {
        QStringList reasons;
        for (const TQModems::Unavailable& p : m_scan->unavailablePorts())
            reasons << p.reason;
        m_messages << reasons;
        if (!m_quiet && !m_scanCancelled)
            showMessage(reasons.join(QLatin1Char('\n')));
    }
}
