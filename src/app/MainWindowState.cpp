// What the main window shows: the enable state, the transport, what the
// call handling reports, and the start and close of the program.
#include "app/MainWindow.h"

#include "app/CallerIdPopup.h"
#include "app/DesktopNotifier.h"
#include "catalogue/Sqlite.h"
#include "app/ErrorReportDialog.h"
#include "app/FolderTreeWidget.h"
#include "app/HelpTopics.h"
#include "app/LoggerWindow.h"
#include "app/MoveDialog.h"
#include "app/NewMessagesWindow.h"
#include "app/Oscilloscope.h"
#include "app/Playback.h"
#include "app/RecordingGrid.h"
#include "app/RecordingsModel.h"
#include "app/TransportMath.h"
#include "app/TrayIcons.h"
#include "audio/AudioDevices.h"
#include "calls/CallService.h"
#include "calls/CallState.h"
#include "calls/EventLog.h"
#include "calls/RecordingController.h"
#include "catalogue/Catalogue.h"
#include "catalogue/DataFolder.h"
#include "catalogue/FolderOperations.h"
#include "catalogue/TableError.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "modem/TQVModem253.h"
#include "platform/SerialPort.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

// --- state -----------------------------------------------------------------------------

void MainWindow::updateActions()
{
    m_window.hasRows = m_model->rowCount() > 0;
    m_window.playing = m_playback->playing();
    m_window.paused = m_playback->paused();
    m_window.portOpen = m_service.engine().portIsOpen();
    m_states = actionStates(m_window);
    const ActionStates& s = m_states;
    a.play->setEnabled(s.play);
    a.trayPlay->setEnabled(s.play);
    a.play->setChecked(s.playPressed);
    a.pause->setEnabled(s.pause || s.pausePressed);
    a.pause->setChecked(s.pausePressed);
    a.stop->setEnabled(s.stop);
    a.trayStop->setEnabled(s.stop);
    a.rewind->setEnabled(s.rewind);
    a.forward->setEnabled(s.fastForward);
    a.record->setEnabled(s.record || s.recordPressed);
    a.record->setChecked(s.recordPressed);
    a.trayRecord->setEnabled(s.record);
    m_position->setEnabled(s.slider);
    for (QToolButton* button : m_navigation)
        button->setEnabled(m_window.hasRows);
    for (QAction* op : {a.memo, a.remove, a.moveTo, a.copyTo, a.email, a.search, a.selectAll, a.openFolder})
        op->setEnabled(s.listOperations);
    a.level->setEnabled(s.postProcessing);
    a.equalizer->setEnabled(s.postProcessing);
    a.settings->setEnabled(s.settings);
    a.modemMenu->setEnabled(s.modemMenu);
    a.trayBind->setEnabled(s.modemMenu);
    a.trayRelease->setEnabled(s.modemMenu);
    a.diagnostics->setEnabled(s.diagnostics);
    for (QAction* bindAction : {a.bind, a.trayBind})
        bindAction->setChecked(s.bindChecked);
    for (QAction* releaseAction : {a.release, a.trayRelease})
        releaseAction->setChecked(s.releaseChecked);

    QTreeWidgetItem* item = m_tree->currentItem();
    NodeState node;
    node.selected = item != nullptr;
    node.first = item && m_tree->indexOfTopLevelItem(item) == 0;
    node.hasChildren = item && item->childCount() > 0;
    node.expanded = item && item->isExpanded();
    const TreeActionStates t = treeActionStates(node);
    a.insertNode->setEnabled(t.insert);
    a.deleteNode->setEnabled(t.remove);
    a.renameNode->setEnabled(t.rename);
    a.expandNode->setEnabled(t.expand);
    a.collapseNode->setEnabled(t.collapse);
}

void MainWindow::folderSelected(const QString& key)
{
    if (key.isEmpty())
        return;
    if (m_search && !m_search->text().isEmpty()) {
        const QSignalBlocker quiet(m_search); // back to the folder chosen, read once
        m_search->clear();
    }
    m_model->showFolder(key);
    if (!m_model->lastError().isEmpty())
        showMessage(m_model->lastError());
    if (m_model->rowCount() > 0)
        m_grid->setCurrentIndex(m_model->index(0, 0));
    updateActions();
}

void MainWindow::reloadList()
{
    const QString current = m_grid->currentIndex().isValid() ? m_model->recording(m_grid->currentIndex().row()).id : QString();
    m_model->reload();
    const int row = current.isEmpty() ? -1 : m_model->rowOfId(current);
    if (m_model->rowCount() > 0)
        m_grid->setCurrentIndex(m_model->index(std::max(row, 0), 0));
    updateActions();
}

void MainWindow::currentRowChanged()
{
    updateActions();
}

QStringList MainWindow::selectedIds() const
{
    return m_grid->idsToActOn();
}

// --- transport ---------------------------------------------------------------------------

void MainWindow::play()
{
    if (m_playback->active()) {
        m_playback->resume();
        return;
    }
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return;
    const RecordingRow row = m_model->recording(current.row());
    if (row.fileName.isEmpty() || QFileInfo(row.fileName).fileName() != row.fileName)
        return;
    const QLocale locale = QLocale::system();
    m_details->setText(locale.toString(row.date, QLocale::ShortFormat) + QStringLiteral("  ")
                       + row.time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") + row.comment);
    m_displayErrorShown = false;
    if (settings::readBool(m_ini, keys::ExtPlayer)) {
        m_details->clear();
        playExternally(row);
        return;
    }
    if (!m_playback->start(m_service.catalogue().recordingPath(row.fileName))) {
        m_details->clear();
        updateActions();
        return;
    }
    markHeard(row); // once playback really started: a missing file keeps its mark
}

void MainWindow::pause()
{
    if (m_playback->playing())
        m_playback->pause();
    updateActions();
}

void MainWindow::stop()
{
    if (m_service.callsStarted()
        && (m_window.transport == TransportMode::Recording || m_window.transport == TransportMode::Answering
            || m_service.state().phase != CallPhase::Idle)) {
        m_service.controller().Stop();
    }
    m_playback->stop();
    updateActions();
}

void MainWindow::record()
{
    if (!m_service.callsStarted()) {
        updateActions();
        return;
    }
    m_service.controller().Record(CallPhase::ManualRecording);
    updateActions();
}

void MainWindow::bind()
{
    if (m_service.callsStarted())
        m_service.controller().Bind();
    updateActions();
}

void MainWindow::release()
{
    if (m_service.callsStarted())
        m_service.controller().Release();
    updateActions();
}

void MainWindow::playbackProgress(qint64 position, qint64 length)
{
    if (!m_position->isSliderDown())
        m_position->setValue(transport::sliderPosition(position, length));
    m_elapsed->setText(transport::clockText(position));
    m_total->setText(QStringLiteral("Total Time ") + transport::clockText(length));
}

void MainWindow::recordingTick()
{
    if (!m_service.callsStarted() || m_service.engine().GetVoiceState() != TQVModem253::VoiceReceive)
        return;
    const qint64 ms = m_service.state().recordStartTime.msecsTo(QDateTime::currentDateTime());
    showStatus(QLatin1Char(' ') + transport::clockText(ms));
    const CallState& call = m_service.state();
    m_callText = callPanelText(transport::clockText(ms), call.callerNumber, call.callerName);
    // The time is in the first panel already.
    const QString caller = (sanitizedCaller(call.callerNumber) + QLatin1Char(' ') + sanitizedCaller(call.callerName)).trimmed();
    m_callPanel->setText(caller.isEmpty() ? QStringLiteral("Recording") : QStringLiteral("Recording: ") + caller);
    m_callPanel->show();
    updateTrayTip();
}

QString MainWindow::callPanelText(const QString& elapsed, const QString& number, const QString& name)
{
    QString caller = (sanitizedCaller(number) + QLatin1Char(' ') + sanitizedCaller(name)).trimmed();
    return QStringLiteral("Recording %1").arg(elapsed) + (caller.isEmpty() ? QString() : QStringLiteral(" - ") + caller);
}

// Caller ID comes from the line: never markup, no control characters, not overly long.
QString MainWindow::sanitizedCaller(const QString& text)
{
    QString clean;
    for (const QChar c : text)
        clean += c.isPrint() ? c : QLatin1Char(' ');
    return clean.simplified().left(40);
}

void MainWindow::updateTrayTip()
{
    QString tip = datafolder::ApplicationTitle;
    if (!m_callText.isEmpty())
        tip += QStringLiteral(" - ") + m_callText;
    else if (m_newCount > 0)
        tip += QStringLiteral(" - %1 new").arg(m_newCount);
    if (m_tray)
        m_tray->setToolTip(tip);
}

void MainWindow::volumeChanged(int position)
{
    // The device list's number, not its place among the outputs: an input-only card may come first.
    for (const TdeAudioOutDevice& device : audioOutDevices())
        if (device.deviceNumber == m_outputDevice) {
            try {
                device.SetVolume(position > 0 ? quint16(position * 4096 - 1) : 0);
            } catch (const std::exception&) {
            }
        }
}

// --- what the call handling shows ---------------------------------------------------------

void MainWindow::showTransport(TransportMode mode)
{
    const bool wasCall = m_window.transport == TransportMode::Recording || m_window.transport == TransportMode::Answering;
    m_window.transport = mode;
    const bool call = mode == TransportMode::Recording || mode == TransportMode::Answering;
    if (call) {
        m_recordTimer.start();
        if (m_playback->active())
            m_playback->stop();
    } else {
        m_recordTimer.stop();
        m_callText.clear();
        m_callPanel->hide();
        updateTrayTip();
        m_scope->ClearDisplay();
        if (wasCall)
            reloadList(); // a recording was saved
    }
    updateActions();
}

void MainWindow::showTray(TrayIcon icon)
{
    // A modem that goes away by itself, not by Release or the program's end, is told; and when it is back.
    if (icon == TrayIcon::Released && m_modemBound && !m_closed && m_service.callsStarted()
        && !m_service.controller().userReleased())
        notifyModem(true);
    else if (icon == TrayIcon::Bound && m_modemLost)
        notifyModem(false);
    if (icon == TrayIcon::Bound)
        m_modemBound = true;
    else if (icon == TrayIcon::Released)
        m_modemBound = false;
    m_trayAnimation.show(icon);
    if (m_trayAnimation.cycling())
        m_trayTimer.start();
    else
        m_trayTimer.stop();
    trayTick();
}

void MainWindow::trayTick()
{
    if (sender() == &m_trayTimer)
        m_trayAnimation.tick();
    if (m_tray)
        m_tray->setIcon(trayIcon(m_trayAnimation.list(), m_trayAnimation.frame()));
}

void MainWindow::showStatus(const QString& text)
{
    m_status[0]->setText(text);
}

void MainWindow::showCallerId(const QString& number, const QString& name)
{
    const bool notifications = settings::readBool(m_ini, keys::Notifications);
    if (!notifications || !m_notifier->available() || settings::readBool(m_ini, keys::PopupWithNotification))
        m_popup->showCaller(number, name);
    if (!notifications)
        return;
    const QString caller = (DesktopNotifier::escaped(number) + QLatin1Char(' ') + DesktopNotifier::escaped(name)).trimmed();
    m_notifier->notify(DesktopNotifier::Kind::IncomingCall, QStringLiteral("Incoming call"),
                       caller.isEmpty() ? QStringLiteral("Caller unknown") : caller, QString(), [this, number, name] {
                           if (!m_popup->isVisible())
                               m_popup->showCaller(number, name);
                       });
}

void MainWindow::notifyModem(bool lost)
{
    m_modemLost = lost;
    if (!settings::readBool(m_ini, keys::Notifications))
        return;
    const SerialPort* port = m_service.engine().serialPort();
    const QString where = DesktopNotifier::escaped(port ? port->portText() : QString());
    m_notifier->notify(lost ? DesktopNotifier::Kind::ModemLost : DesktopNotifier::Kind::ModemFound,
                       lost ? QStringLiteral("Modem lost") : QStringLiteral("Modem found again"),
                       lost ? QStringLiteral("%1 is gone: calls are not answered until it is back").arg(where)
                            : QStringLiteral("%1 answers calls again").arg(where),
                       QString(), [this, lost] {
                           if (hasTray())
                               m_tray->showMessage(datafolder::ApplicationTitle,
                                                   lost ? QStringLiteral("Modem lost") : QStringLiteral("Modem found again"),
                                                   lost ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
                       });
}

// The newest message not heard yet: who called and for how long.
void MainWindow::notifyNewMessage()
{
    if (!settings::readBool(m_ini, keys::Notifications))
        return; // the tray's animation and its "N new" say it
    QString id, caller, name, duration;
    try {
        sqlite::Statement newest(m_service.catalogue().database().connection(),
                                 QStringLiteral("SELECT id, callerID, Comment, Duration FROM %1 WHERE accessed = 0 "
                                                "ORDER BY rowid DESC LIMIT 1")
                                     .arg(m_service.catalogue().calls().qualifiedName()));
        if (!newest.step())
            return;
        id = newest.column(0).toString();
        caller = newest.column(1).toString();
        name = newest.column(2).toString();
        duration = newest.column(3).toString();
    } catch (const TableError&) {
        return;
    }
    QString from = (DesktopNotifier::escaped(caller) + QLatin1Char(' ') + DesktopNotifier::escaped(name)).trimmed();
    const QString body = (from.isEmpty() ? QStringLiteral("Caller unknown") : from) + QStringLiteral(", ")
                         + DesktopNotifier::escaped(duration);
    const auto trayBalloon = [this, body] {
        if (hasTray())
            m_tray->showMessage(QStringLiteral("New message"), QTextDocumentFragment::fromHtml(body).toPlainText());
    };
    m_notifier->notify(DesktopNotifier::Kind::NewMessage, QStringLiteral("New message"), body, id, trayBalloon);
}

bool MainWindow::showRecording(const QString& id, bool play)
{
    QString folder;
    try {
        sqlite::Statement find(m_service.catalogue().database().connection(),
                               QStringLiteral("SELECT FolderId FROM %1 WHERE id = ?").arg(m_service.catalogue().calls().qualifiedName()));
        find.bind(1, id);
        if (!find.step())
            return false;
        folder = find.column(0).toString();
    } catch (const TableError&) {
        return false;
    }
    restore();
    int row = m_model->rowOfId(id);
    if (row < 0) {
        m_tree->selectKey(folder);
        row = m_model->rowOfId(id);
    }
    if (row < 0)
        return true;
    m_grid->setCurrentIndex(m_model->index(row, 0));
    m_grid->scrollTo(m_model->index(row, 0));
    if (play && !m_states.recordPressed) {
        if (m_playback->active())
            m_playback->stop();
        this->play();
    }
    return true;
}

void MainWindow::hideCallerId()
{
    m_popup->hideCaller();
}

void MainWindow::showNewMessages(int count)
{
    reloadList();
    if (m_newMessages->isVisible())
        m_newMessages->openQuery();
    const bool more = count > m_newCount;
    m_newCount = count;
    updateTrayTip();
    if (more)
        notifyNewMessage();
}

// Never modal: call handling goes on behind it, and an unattended start
// (logon, demo) never waits for a click.
void MainWindow::showMessage(const QString& text)
{
    if (m_starting) {
        statusBar()->showMessage(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')), 15000);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, datafolder::ApplicationTitle, text, QMessageBox::Ok, this);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void MainWindow::showLiveAudio(const uint8_t* data, int size)
{
    if (m_recordTrace && isVisible() && !isMinimized())
        m_scope->DisplayData(data, size);
}

// --- start, close ------------------------------------------------------------------------

void MainWindow::callsStarted(bool modemReady, const QString& note)
{
    if (!note.isEmpty()) {
        m_service.log().LogEvent(note);
        statusBar()->showMessage(note, 30000);
    }
    chooseSoundDevice();
    applyView();
    m_starting = false;
    if (!modemReady && m_status[0]->text().isEmpty())
        showStatus(QStringLiteral(" Modem released"));
}

void MainWindow::chooseSoundDevice()
{
    const auto& devices = audioOutDevices();
    for (const TdeAudioOutDevice& device : devices)
        if ((device.capabilities & TdeAudioOutDevice::Volume) && device.name.compare(QLatin1String("virtual"), Qt::CaseInsensitive) != 0) {
            m_outputDevice = device.deviceNumber;
            m_playback->setDevice(device.deviceNumber);
            return;
        }
    // Logged and shown in the status bar, never a box that waits for a click.
    m_service.log().LogEvent(QStringLiteral("<ERROR> ") + NoSoundCardText);
    statusBar()->showMessage(QString(NoSoundCardText).replace(QLatin1Char('\n'), QLatin1Char(' ')), 30000);
    if (!devices.empty())
        m_outputDevice = devices.back().deviceNumber; // the virtual device plays silently
}

void MainWindow::restore()
{
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::exitProgram()
{
    m_exitRequested = true;
    close();
}

void MainWindow::endSession()
{
    m_exitRequested = true;
    m_sessionEnding = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (m_playback->active())
        m_playback->stop();
    if (settings::readBool(m_ini, keys::StartUp) && !m_exitRequested) {
        event->ignore();
        if (hasTray())
            hide();
        else
            showMinimized(); // without a tray the window stays reachable
        return;
    }
    const bool recording = m_service.callsStarted() && m_service.engine().GetVoiceState() == TQVModem253::VoiceReceive;
    if (recording && !m_sessionEnding
        && QMessageBox::question(this, datafolder::ApplicationTitle, QStringLiteral("Exit while recording?"),
                                 QMessageBox::Yes | QMessageBox::No)
               != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    m_closed = true;
    saveLayout();
    m_service.shutDown(); // saves a recording under way, releases the modem, ends the session
    if (m_tray)
        m_tray->hide();
    m_logger->close();
    m_newMessages->close();
    m_popup->close();
    event->accept();
    QApplication::quit();
}

bool MainWindow::hasTray() const
{
    return m_tray && m_tray->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        applyPalette();
    if (event->type() == QEvent::WindowStateChange && isMinimized() && hasTray())
        QTimer::singleShot(0, this, &QWidget::hide); // to the tray; its icon brings it back
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_2 && qApp->property("onide").toBool()) {
        m_logger->show();
        return;
    }
    if (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_3 && qApp->property("onide").toBool()) {
        m_newMessages->openQuery();
        m_newMessages->show();
        return;
    }
    if (event->key() == Qt::Key_F1) {
        showHelp(help::Introduction);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

// --- the rest -----------------------------------------------------------------------------

void MainWindow::moveSelected()
{
    const QStringList ids = selectedIds();
    if (ids.isEmpty())
        return;
    const QString key = MoveDialog::chooseFolder(m_service.catalogue().tree(), this);
    if (key.isEmpty())
        m_model->clearMarks(); // a cancelled move ends the marking as a move would
    else
        moveRecordings(ids, key);
}

void MainWindow::moveRecordings(const QStringList& ids, const QString& folderKey)
{
    try {
        FolderOperations(m_service.catalogue()).fileRecordings(ids, folderKey);
    } catch (const TableError& e) {
        showMessage(e.message());
    }
    reloadList();
}

void MainWindow::showHelp(int context)
{
    if (!help::show(context))
        showMessage(QStringLiteral("Cannot open the help page %1").arg(help::pathOf(context)));
}

void MainWindow::showAbout()
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("About"),
                    QStringLiteral("%1 %2\nA telephone call recorder and answering machine for a voice modem.")
                        .arg(datafolder::ApplicationTitle, QApplication::applicationVersion()),
                    QMessageBox::Ok, this);
    box.setIconPixmap(programIcon().pixmap(48, 48));
    box.exec();
}

