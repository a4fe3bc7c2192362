// Options, Diagnostics; Help, Ask support.
#include "app/MainWindow.h"

#include "app/SupportDialog.h"
#include "calls/CallService.h"
#include "calls/CallState.h"
#include "calls/EventLog.h"
#include "calls/RecordingController.h"
#include "modem/TQVModem253.h"
#include "support/ModemDiagnostics.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>

// The call handling lets go of the modem while the diagnostics talk to it
// and takes it back (initialised again) afterwards.
bool MainWindow::runDiagnostics()
{
    if (m_service.callsStarted() && m_service.state().phase != CallPhase::Idle) {
        showMessage(QStringLiteral("A call is in progress. Run the diagnostics when it has ended."));
        return false;
    }
    m_service.log().LogEvent(QStringLiteral("Diagnostics"));
    TQVModem253& engine = m_service.engine();
    const bool wasOpen = engine.portIsOpen();
    if (wasOpen && m_service.callsStarted())
        m_service.controller().releaseForDefinition(QStringLiteral("the diagnostics"));
    QProgressDialog progress(QStringLiteral("Asking the modem..."), QStringLiteral("Cancel"), 0, 100, this);
    progress.setWindowTitle(QStringLiteral("Progress..."));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    ModemDiagnostics diagnostics(engine, m_service.dataFolder());
    diagnostics.onProgress = [&progress](int percent) { progress.setValue(percent); };
    diagnostics.cancelled = [&progress] { return progress.wasCanceled(); };
    QString message;
    const ModemDiagnostics::Result result = diagnostics.run(&message);
    progress.reset();
    if (engine.portIsOpen())
        engine.ReleaseModem();
    if (wasOpen && m_service.callsStarted())
        m_service.controller().Bind();
    else if (wasOpen)
        engine.BindModem();
    updateActions();
    switch (result) {
    case ModemDiagnostics::Result::Written:
        m_service.log().LogEvent(QStringLiteral("Diagnostics written to ") + diagnostics.logPath());
        return true;
    case ModemDiagnostics::Result::PortFailed:
        m_service.log().LogEvent(QStringLiteral("<ERROR> during opening com port ") + message.section(QLatin1Char(' '), -1));
        break;
    case ModemDiagnostics::Result::Cancelled:
        m_service.log().LogEvent(message);
        return false;
    default:
        m_service.log().LogEvent(QStringLiteral("<ERROR> ") + message);
        break;
    }
    showMessage(message);
    return false;
}

void MainWindow::askSupport()
{
    m_service.log().LogEvent(QStringLiteral("-- Ask support clicked"));
    SupportDialog dialog(m_service.dataFolder(), m_ini, [this] { return runDiagnostics(); }, this);
    dialog.saveEventLog = [this] { m_service.log().save(); };
    dialog.exec();
}
