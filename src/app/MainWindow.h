#pragma once

#include "app/ActionRules.h"
#include "app/ThemeIcons.h"
#include "app/TrayAnimation.h"
#include "calls/CallerLists.h"
#include "calls/RecordingView.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

class CallService;
class CallerIdPopup;
class DesktopNotifier;
class ErrorReportDialog;
class FolderTreeWidget;
class IniFile;
class LoggerWindow;
class NewMessagesWindow;
class Oscilloscope;
class Playback;
class QSplitter;
class RecordingGrid;
class RecordingsModel;
struct RecordingRow;
struct ScreenEvent;

// The main window: display, transport, folder tree and recordings list,
// menus, status bar and tray. It mirrors what the call handling shows
// (RecordingView) and sends the user's Record, Stop, Bind and Release to it.
class MainWindow : public QMainWindow, public RecordingView
{
    Q_OBJECT
public:
    static inline const QString NoSoundCardText =
        QStringLiteral("Your system has no sound card or\nyour sound card is not set up properly.\n"
                       "This software requires a sound card to play WAV files");

    explicit MainWindow(CallService& service, QWidget* parent = nullptr);
    ~MainWindow() override;

    // After the window is shown: the call handling has started (or not).
    void callsStarted(bool modemReady, const QString& note);
    // A second start asked for the window.
    void restore();
    void setExitRequested(bool on) { m_exitRequested = on; }
    // Logout or SIGTERM: close now; a recording under way is saved without asking.
    void endSession();
    // A tray icon shown in a system tray: only then may the window hide.
    bool hasTray() const;
    // The status bar's and tray's text while a call is recorded.
    static QString callPanelText(const QString& elapsed, const QString& number, const QString& name);
    static QString sanitizedCaller(const QString& text);

    LoggerWindow* logger() const { return m_logger; }
    NewMessagesWindow* newMessagesWindow() const { return m_newMessages; }
    CallerIdPopup* callerIdPopup() const { return m_popup; }
    DesktopNotifier* notifier() const { return m_notifier; }
    // The window shown on the recording with this id, in its folder; played when asked.
    bool showRecording(const QString& id, bool play);
    QMenu* trayMenu() const { return m_trayMenu; }
    RecordingGrid* grid() const { return m_grid; }
    QLineEdit* searchBox() const { return m_search; }
    FolderTreeWidget* folderTree() const { return m_tree; }
    // The settings dialog's Find modems: the modem definition, then the
    // call handling on the modem found.
    void findModems();
    // Options, Diagnostics: Diagnostics.log with progress, cancellable.
    bool runDiagnostics();
    void askSupport();
    RecordingsModel* recordings() const { return m_model; }
    const ActionStates& actions() const { return m_states; }

    // RecordingView
    void showTransport(TransportMode mode) override;
    void showTray(TrayIcon icon) override;
    void showStatus(const QString& text) override;
    void showCallerId(const QString& number, const QString& name) override;
    void hideCallerId() override;
    void showNewMessages(int count) override;
    void showMessage(const QString& text) override;
    void showLiveAudio(const uint8_t* data, int size) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildActions();
    void buildMenus();
    void buildLayout();
    void buildTray();
    void applyView(); // UpdatefromView
    void applyIcons();
    void applyPalette();
    void volumeChanged(int position);
    void updateTrayTip();
    void notifyNewMessage();
    void notifyModem(bool lost);
    void placeWindows();
    void saveLayout();
    void updateActions();
    void folderSelected(const QString& key);
    void currentRowChanged();
    void play();
    void pause();
    void stop();
    void record();
    void bind();
    void release();
    void exitProgram();
    void showHelp(int context);
    void showSettings();
    // The volume level or the voice equaliser on the current recording.
    void postProcess(bool volumeLevel);
    void showAbout();
    void moveRecordings(const QStringList& ids, const QString& folderKey);
    void moveSelected();
    QStringList selectedIds() const;
    // The list's operations (MainWindowOperations.cpp).
    void editComment();
    void deleteRecordings();
    void copyRecordings();
    void mailRecordings();
    void findNext();
    void openContainingFolder();
    void importFiles(const QStringList& paths, const QString& folderKey);
    bool playExternally(const RecordingRow& row);
    void markHeard(const RecordingRow& row);
    void searchChanged(const QString& text);
    void playbackProgress(qint64 position, qint64 length);
    void recordingTick();
    void trayTick();
    void chooseSoundDevice();
    void reloadList();
    // Call screening (MainWindowScreening.cpp).
    void buildScreening();
    void showCallerLists();
    void listCaller(CallerList list);
    void listenToMessage();
    void pickUpCall();
    void callScreened(const ScreenEvent& event);

    CallService& m_service;
    IniFile& m_ini;
    Playback* m_playback;
    RecordingsModel* m_model;
    FolderTreeWidget* m_tree = nullptr;
    RecordingGrid* m_grid = nullptr;
    QLineEdit* m_search = nullptr;
    QString m_findText;
    bool m_findMatchCase = false;
    bool m_firstFind = true;
    QSplitter* m_splitter = nullptr;
    Oscilloscope* m_scope = nullptr;
    QLabel* m_elapsed = nullptr;
    QLabel* m_details = nullptr;
    QLabel* m_total = nullptr;
    QSlider* m_position = nullptr;
    QSlider* m_volume = nullptr;
    QLabel* m_status[3] = {};
    QLabel* m_callPanel = nullptr; // the call being recorded: its time and caller
    QString m_callText;
    DesktopNotifier* m_notifier = nullptr;
    bool m_modemBound = false;
    bool m_modemLost = false;
    int m_newCount = 0;
    std::vector<std::pair<QObject*, themeicons::Glyph>> m_icons;
    std::vector<QToolButton*> m_navigation;
    LoggerWindow* m_logger = nullptr;
    CallerIdPopup* m_popup = nullptr;
    ErrorReportDialog* m_errorReport = nullptr;
    NewMessagesWindow* m_newMessages = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    TrayAnimation m_trayAnimation;
    QTimer m_trayTimer;
    QTimer m_recordTimer;
    QTimer m_repeatTimer;
    QToolButton* m_rewindButton = nullptr;
    QToolButton* m_forwardButton = nullptr;
    bool m_rewindHeld = false; // the mouse is held on the button
    bool m_forwardHeld = false;
    WindowState m_window;
    ActionStates m_states;
    bool m_exitRequested = true;
    bool m_sessionEnding = false;
    bool m_closed = false;
    bool m_displayErrorShown = false;
    bool m_starting = true;
    bool m_treeChanged = false;
    bool m_recordTrace = true;
    int m_outputDevice = -1;
    int m_storedWidths[4] = {}; // gDate ... gCallerID as read
    int m_shownWidths[4] = {};  // as shown: never narrower than their text

    struct Actions
    {
        QAction *memo, *remove, *moveTo, *copyTo, *email, *search, *exit, *selectAll;
        QAction *addNode, *addChild, *insertNode, *deleteNode, *renameNode, *expandNode, *collapseNode, *expandAll,
            *collapseAll;
        QAction *play, *pause, *stop, *rewind, *forward, *record;
        QAction *level, *equalizer, *settings, *bind, *release, *diagnostics;
        QAction *contents, *support, *about, *openFolder;
        QAction *trayShow, *trayPlay, *trayStop, *trayRecord, *trayBind, *trayRelease, *trayExit;
        QMenu* modemMenu;
    } a{};
};
