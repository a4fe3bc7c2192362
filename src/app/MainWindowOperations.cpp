// What the main window does with the recordings of its list.
#include "app/MainWindow.h"

#include "app/ErrorReportDialog.h"
#include "app/FindDialog.h"
#include "app/FolderTreeWidget.h"
#include "app/Playback.h"
#include "app/ModemDefinitionDialog.h"
#include "app/Oscilloscope.h"
#include "app/PostProcessDialog.h"
#include "calls/AnsweringMachine.h"
#include "calls/RecordingController.h"
#include "app/SettingsDialog.h"
#include "calls/TvModem.h"
#include "modem/TQVModem253.h"
#include "speech/TextToSpeech.h"
#include "app/RecordingGrid.h"
#include "app/RecordingsModel.h"
#include "audio/AudioImport.h"
#include "calls/CallService.h"
#include "calls/CallState.h"
#include "calls/EventLog.h"
#include "audio/RiffReader.h"
#include "catalogue/Catalogue.h"
#include "catalogue/DataFolder.h"
#include "catalogue/FolderOperations.h"
#include "catalogue/RecordingImport.h"
#include "catalogue/RecordingOperations.h"
#include "catalogue/TableError.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "support/RecordingMail.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStatusBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString listOf(const QStringList& lines)
{
    return lines.mid(0, 12).join(QLatin1Char('\n')) + (lines.size() > 12 ? QStringLiteral("\n...") : QString());
}

qint64 wavLengthMs(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    TdeRIFFAudioReader reader(&file);
    const qint64 perSecond = reader.trackFormat().avgBytesPerSec();
    return perSecond > 0 ? reader.trackSize() * 1000 / perSecond : 0;
}

} // namespace

void MainWindow::searchChanged(const QString& text)
{
    if (text.trimmed().isEmpty())
        m_model->showFolder(m_tree->currentKey());
    else
        m_model->showSearch(text);
    if (m_model->rowCount() > 0)
        m_grid->setCurrentIndex(m_model->index(0, 0));
    updateActions();
}

void MainWindow::editComment()
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return;
    const RecordingRow row = m_model->recording(current.row());
    QInputDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Comment"));
    dialog.setLabelText(QString());
    dialog.setTextValue(row.comment);
    dialog.resize(420, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted || dialog.textValue().isEmpty())
        return; // an empty answer changes nothing
    const QString text = dialog.textValue();
    try {
        RecordingOperations(m_service.catalogue()).setComment(row.id, text);
    } catch (const TableError& e) {
        showMessage(e.message());
    }
    reloadList();
}

void MainWindow::deleteRecordings()
{
    const QStringList ids = selectedIds();
    if (ids.isEmpty())
        return;
    QStringList shown; // the current row counts and is shown marked while asked
    for (const QString& id : ids)
        if (!m_model->isMarked(id)) {
            m_model->toggleMark(m_model->rowOfId(id));
            shown << id;
        }
    const QString question = QStringLiteral("Delete selected record(s)?\n\n%1 recording(s) and their files.").arg(ids.size());
    if (QMessageBox::question(this, datafolder::ApplicationTitle, question, QMessageBox::Ok | QMessageBox::Cancel)
        != QMessageBox::Ok) {
        for (const QString& id : shown)
            m_model->toggleMark(m_model->rowOfId(id));
        return;
    }
    RecordingOperations ops(m_service.catalogue());
    // A recording being played is stopped before its file goes.
    const std::vector<RecordingRow> rows = ops.rows(ids);
    if (m_playback->active())
        for (const RecordingRow& row : rows)
            if (ops.filePath(row) == m_playback->fileName())
                m_playback->stop();
    try {
        const DeleteOutcome outcome = ops.remove(ids);
        for (const QString& problem : outcome.fileProblems)
            m_service.log().LogEvent(QStringLiteral("<ERROR> Cannot remove the file ") + problem);
        if (!outcome.fileProblems.isEmpty())
            showMessage(QStringLiteral("The recordings were deleted, but these files could not be removed:\n")
                        + listOf(outcome.fileProblems));
    } catch (const TableError& e) {
        showMessage(e.message() + QStringLiteral("\nNothing was deleted."));
    }
    m_model->clearMarks();
    reloadList();
}

void MainWindow::copyRecordings()
{
    const QStringList ids = selectedIds();
    if (ids.isEmpty())
        return;
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Copy to folder"));
    if (folder.isEmpty())
        return;
    const CopyOutcome outcome = RecordingOperations(m_service.catalogue()).copyOut(ids, folder);
    m_model->clearMarks();
    if (!outcome.failed.isEmpty())
        showMessage(QStringLiteral("These files could not be copied:\n") + listOf(outcome.failed));
    else
        statusBar()->showMessage(QStringLiteral("%1 file(s) copied to %2").arg(outcome.copied.size()).arg(folder), 8000);
}

void MainWindow::mailRecordings()
{
    const QStringList ids = selectedIds();
    if (ids.isEmpty())
        return;
    RecordingOperations ops(m_service.catalogue());
    const RecordingMail mail = RecordingMail::compose(ops.rows(ids), m_service.catalogue().recordingsFolder(),
                                                      settings::readString(m_ini, keys::MailWebAddress));
    if (mail.message.attachments.isEmpty()) {
        showMessage(QStringLiteral("The recordings' files are missing; there is nothing to attach."));
        return;
    }
    if (mail.totalBytes > RecordingMail::AskAboveBytes
        && QMessageBox::question(this, datafolder::ApplicationTitle,
                                 QStringLiteral("The files come to %1 MB; many mail servers refuse that much. Send them?")
                                     .arg(double(mail.totalBytes) / 1048576.0, 0, 'f', 1))
               != QMessageBox::Yes)
        return;
    QString error;
    const int code = MailFacility().send(mail.message, &error);
    m_model->clearMarks();
    if (code != 0) {
        m_service.log().LogEvent(QStringLiteral("<ERROR> ") + error);
        showMessage(error);
        return;
    }
    // A mail program may drop attachments without a word: the files are a click away.
    QMessageBox box(QMessageBox::Information, datafolder::ApplicationTitle,
                    QStringLiteral("%1 file(s), %2 KB, went to your mail program.")
                        .arg(mail.message.attachments.size())
                        .arg(mail.totalBytes / 1024),
                    QMessageBox::Close, this);
    QPushButton* open = box.addButton(QStringLiteral("Open folder"), QMessageBox::ActionRole);
    box.exec();
    if (box.clickedButton() == open)
        QDesktopServices::openUrl(QUrl::fromLocalFile(m_service.catalogue().recordingsFolder()));
}

// The find dialog: the caller number from the current row on.
void MainWindow::findNext()
{
    FindDialog dialog(QString(), m_findMatchCase, this); // a new search starts from an empty text
    dialog.findNext = [&] {
        m_findText = dialog.text();
        m_findMatchCase = dialog.matchCase();
        const Qt::CaseSensitivity cs = m_findMatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
        const int start = m_firstFind ? 0 : m_grid->currentIndex().row() + 1;
        m_firstFind = false;
        for (int row = std::max(start, 0); row < m_model->rowCount(); ++row)
            if (m_model->recording(row).callerId.contains(m_findText, cs)) {
                m_grid->setCurrentIndex(m_model->index(row, 0));
                return true;
            }
        return false;
    };
    dialog.exec();
}

void MainWindow::openContainingFolder()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(m_service.catalogue().recordingsFolder()));
}

void MainWindow::importFiles(const QStringList& paths, const QString& folderKey)
{
    QStringList failed;
    for (const QString& path : paths) {
        try {
            QTemporaryDir scratch;
            QString wav = path;
            if (!path.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive)) {
                wav = scratch.path() + QStringLiteral("/imported.wav");
                ImportAudioFile(path, wav, greetingFormat()); // any file libsndfile reads becomes a WAV file first
            }
            ImportedCall call;
            call.lengthMs = wavLengthMs(wav);
            const QString name = importRecording(m_service.catalogue(), wav, call);
            if (!folderKey.isEmpty() && folderKey != m_service.catalogue().recordFolderId()) {
                const QString id = RecordingOperations(m_service.catalogue()).idOfFile(name);
                FolderOperations(m_service.catalogue()).fileRecordings({id}, folderKey);
            }
        } catch (const TableError& e) {
            failed << QFileInfo(path).fileName() + QStringLiteral(": ") + e.message();
        } catch (const std::exception& e) {
            failed << QFileInfo(path).fileName() + QStringLiteral(": ") + QString::fromUtf8(e.what());
        }
    }
    reloadList();
    if (!failed.isEmpty())
        showMessage(QStringLiteral("These files could not be added:\n") + listOf(failed));
}

bool MainWindow::playExternally(const RecordingRow& row)
{
    m_service.log().LogEvent(QStringLiteral("-- External MediaPlayer playback"));
    const QString path = RecordingOperations(m_service.catalogue()).filePath(row);
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        const QString text = QLatin1Char('"') + path + QStringLiteral("\" file does not exist");
        m_service.log().LogEvent(text);
        showMessage(text);
        return false;
    }
    const QString player = settings::readString(m_ini, keys::Player).trimmed();
    const bool desktopDefault = player.isEmpty() || player.compare(QLatin1String("wmPlayer.exe"), Qt::CaseInsensitive) == 0
                                || player == QLatin1String("xdg-open");
    const bool started = desktopDefault ? QDesktopServices::openUrl(QUrl::fromLocalFile(path))
                                        : QProcess::startDetached(player, {path}); // never through a shell
    if (!started) {
        const QString text = QStringLiteral("Cannot start the player %1 for %2").arg(desktopDefault ? QStringLiteral("of the desktop") : player, path);
        m_service.log().LogEvent(QStringLiteral("<ERROR> ") + text);
        showMessage(text);
        return false;
    }
    markHeard(row);
    return true;
}

void MainWindow::markHeard(const RecordingRow& row)
{
    if (row.accessed)
        return;
    try {
        m_service.catalogue().markHeard(row.id);
        showTray(TrayIcon::Bound);
        reloadList();
    } catch (const TableError& e) {
        showMessage(e.message());
    }
}

void MainWindow::showSettings()
{
    m_service.log().LogEvent(QStringLiteral("-- Options -> Settings clicked"));
    std::vector<SpeechVoice> voices;
    if (m_service.callsStarted() && m_service.session().speech())
        voices = m_service.session().speech()->voices();
    SettingsDialog dialog(m_ini, voices, this);
    dialog.setLinks({m_service.dataFolder(), m_service.greetings(), &m_service.settings(), [this] { findModems(); },
                     [this](const QString& message, const QString& line) { m_errorReport->ShowErrorReport(message, line); }});
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The call handling reads the file again before the next call; the modem takes its new profile now.
    setEnabled(false);
    if (m_service.callsStarted() && m_ini.sectionExists(QStringLiteral("Commands")) && m_service.engine().portIsOpen()
        && m_service.state().phase == CallPhase::Idle) {
        m_service.engine().LoadProfile();
        m_service.engine().InitModem();
    }
    applyView();
    setEnabled(true);
    m_exitRequested = !settings::readBool(m_ini, keys::StartUp);
    if (m_service.callsStarted())
        m_service.answeringMachine().prepareTexts(); // the new voice and greetings, before the next call
}

// The modem is released for the scan and the probe (they open its port
// themselves), and the call handling starts again on what was found.
void MainWindow::findModems()
{
    if (m_service.callsStarted() && m_service.state().phase != CallPhase::Idle) {
        QMessageBox::information(this, windowTitle(), QStringLiteral("A call is in progress. Find modems when it has ended."));
        return;
    }
    m_service.log().LogEvent(QStringLiteral("-- Find modems clicked"));
    TQVModem253& engine = m_service.engine();
    const bool started = m_service.callsStarted() && m_service.session().speech();
    if (started)
        m_service.controller().releaseForDefinition();
    QStringList extra;
    if (engine.serialPort() && !engine.serialPort()->deviceName().isEmpty())
        extra << engine.serialPort()->deviceName(); // a simulator's terminal is not enumerated
    ModemDefinitionDialog view(extra, this);
    engine.setDefinitionView(&view);
    engine.DefineModem();
    engine.setDefinitionView(nullptr);
    if (!m_service.callsStarted())
        return;
    if (!started)
        m_service.session().DataModuleCreate(); // the first modem of this data folder
    else
        m_service.controller().Bind();
    updateActions();
}

void MainWindow::postProcess(bool volumeLevel)
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return;
    const RecordingRow row = m_model->recording(current.row());
    const QString path = RecordingOperations(m_service.catalogue()).filePath(row);
    if (m_playback->active())
        stop(); // one user of the sound card and the display at a time
    PostProcessDialog dialog(volumeLevel ? PostProcessDialog::Kind::VolumeLevel : PostProcessDialog::Kind::VoiceEqualizer, this);
    dialog.onDisplay = [this](const QByteArray& audio) { m_scope->DisplayFile(audio); };
    dialog.onClearDisplay = [this] { m_scope->ClearDisplay(); };
    dialog.onSaved = [this, id = row.id](const QString& saved) {
        try {
            RecordingOperations(m_service.catalogue()).setFileSize(id, QFileInfo(saved).size());
        } catch (const TableError& e) {
            showMessage(e.message());
        }
        m_service.log().LogEvent(QStringLiteral("-- File saved (") + QFileInfo(saved).fileName() + QLatin1Char(')'));
    };
    QString error;
    if (!dialog.open(path, &error)) {
        showMessage(error);
        return;
    }
    dialog.exec();
    reloadList();
}
