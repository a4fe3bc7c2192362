#include "app/MainWindow.h"
#include "app/StoredLook.h"

#include "app/CallerIdPopup.h"
#include "app/DesktopNotifier.h"
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
#include <QStyleOptionSlider>
#include "app/ThemeIcons.h"
#include <QToolBar>
#include <QVBoxLayout>

namespace {

constexpr int RecordTickMs = 1000;
constexpr int RepeatMs = 100;

QToolButton* transportButton(QWidget* parent, const QString& hint, QAction* action)
{
    auto* button = new QToolButton(parent);
    action->setToolTip(hint);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setIconSize(QSize(22, 22));
    return button;
}

// A press on the position slider's track, not its handle, seeks there.
class TrackClickFilter : public QObject
{
public:
    TrackClickFilter(QSlider* slider, std::function<void(int)> seek) : QObject(slider), m_slider(slider), m_seek(std::move(seek)) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::MouseButtonPress || !m_slider->isEnabled())
            return false;
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() != Qt::LeftButton)
            return false;
        QStyleOptionSlider option;
        option.initFrom(m_slider);
        option.orientation = m_slider->orientation();
        option.minimum = m_slider->minimum();
        option.maximum = m_slider->maximum();
        option.sliderPosition = m_slider->sliderPosition();
        option.sliderValue = m_slider->value();
        const QRect handle = m_slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, m_slider);
        if (handle.contains(press->position().toPoint()))
            return false; // a drag, sought at its release
        m_seek(press->position().toPoint().x());
        return true;
    }

private:
    QSlider* m_slider;
    std::function<void(int)> m_seek;
};

// Holding the mouse on Rewind or Fast forward repeats it every 100 ms.
class RepeatFilter : public QObject
{
public:
    RepeatFilter(QObject* parent, bool& held) : QObject(parent), m_held(held) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            m_held = true;
        else if (event->type() == QEvent::MouseButtonRelease)
            m_held = false;
        return false;
    }

private:
    bool& m_held;
};

} // namespace

MainWindow::MainWindow(CallService& service, QWidget* parent)
    : QMainWindow(parent), m_service(service), m_ini(service.ini())
{
    setWindowTitle(datafolder::ApplicationTitle);
    setWindowIcon(programIcon());
    setMinimumSize(450, 320);
    m_playback = new Playback(service.log(), this);
    m_model = new RecordingsModel(service.catalogue(), this);
    buildActions();
    buildMenus();
    buildLayout();
    // The windows of the creation order that belong to the desktop.
    m_logger = new LoggerWindow(this);
    m_logger->showLines(service.log().lines());
    service.log().addMirror(m_logger);
    m_popup = new CallerIdPopup(this);
    m_notifier = new DesktopNotifier(this);
    m_notifier->probe();
    connect(m_notifier, &DesktopNotifier::activated, this, [this](const QString& id, bool play) {
        if (id.isEmpty() || !showRecording(id, play))
            restore();
    });
    buildScreening();
    m_errorReport = new ErrorReportDialog(service.dataFolder(), m_ini, this);
    m_newMessages = new NewMessagesWindow(service.catalogue(), this);
    buildTray();
    placeWindows();
    m_exitRequested = !settings::readBool(m_ini, keys::StartUp);
    m_tree->rebuild();
    applyView();
    folderSelected(m_tree->currentKey());
    showTransport(TransportMode::NoRecord);
    showTray(TrayIcon::Released);
    m_recordTimer.setInterval(RecordTickMs);
    connect(&m_recordTimer, &QTimer::timeout, this, &MainWindow::recordingTick);
    m_repeatTimer.setInterval(RepeatMs);
    connect(&m_repeatTimer, &QTimer::timeout, this, [this] {
        if (m_rewindHeld && m_states.rewind)
            m_playback->rewind();
        if (m_forwardHeld && m_states.fastForward)
            m_playback->fastForward();
    });
    m_repeatTimer.start();
    // Tree.ini is written when the program is next idle.
    connect(m_tree, &FolderTreeWidget::treeChanged, this, [this] {
        if (m_treeChanged)
            return;
        m_treeChanged = true;
        QTimer::singleShot(0, this, [this] {
            m_treeChanged = false;
            try {
                m_service.catalogue().saveTree();
            } catch (const TableError& e) {
                m_service.log().LogEvent(QStringLiteral("<ERROR> ") + e.message());
            }
        });
    });
}

MainWindow::~MainWindow()
{
    m_service.log().removeMirror(m_logger);
}

// --- building ------------------------------------------------------------------------

void MainWindow::buildActions()
{
    auto make = [this](const QString& text, const QKeySequence& keys = {}) {
        auto* action = new QAction(text, this);
        if (!keys.isEmpty())
            action->setShortcut(keys);
        return action;
    };
    a.memo = make(QStringLiteral("Memo..."), QKeySequence(Qt::CTRL | Qt::Key_M));
    a.remove = make(QStringLiteral("Delete..."), QKeySequence(Qt::CTRL | Qt::Key_D));
    a.moveTo = make(QStringLiteral("Move to..."));
    a.copyTo = make(QStringLiteral("Copy to folder..."));
    a.email = make(QStringLiteral("Email wav file to..."));
    a.search = make(QStringLiteral("Search..."), QKeySequence(Qt::CTRL | Qt::Key_F));
    a.exit = make(QStringLiteral("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    a.selectAll = make(QStringLiteral("Select all"), QKeySequence(Qt::CTRL | Qt::Key_A));
    a.addNode = make(QStringLiteral("Add node"));
    a.addChild = make(QStringLiteral("Add child node"));
    a.insertNode = make(QStringLiteral("Insert node"));
    a.deleteNode = make(QStringLiteral("Delete node..."));
    a.renameNode = make(QStringLiteral("Rename node"));
    a.expandNode = make(QStringLiteral("Expand node"));
    a.collapseNode = make(QStringLiteral("Collapse node"));
    a.expandAll = make(QStringLiteral("Expand all"));
    a.collapseAll = make(QStringLiteral("Collapse all"));
    a.play = make(QStringLiteral("Play"), QKeySequence(Qt::CTRL | Qt::Key_P));
    a.pause = make(QStringLiteral("Pause"));
    a.stop = make(QStringLiteral("Stop"), QKeySequence(Qt::CTRL | Qt::Key_S));
    a.rewind = make(QStringLiteral("Rewind"));
    a.forward = make(QStringLiteral("Fast forward"));
    a.record = make(QStringLiteral("Record"), QKeySequence(Qt::CTRL | Qt::Key_R));
    for (QAction* pressable : {a.play, a.pause, a.record})
        pressable->setCheckable(true);
    a.level = make(QStringLiteral("Volume level"));
    a.equalizer = make(QStringLiteral("Voice equalizer"));
    a.settings = make(QStringLiteral("Settings..."));
    a.bind = make(QStringLiteral("Bind"));
    a.release = make(QStringLiteral("Release"));
    a.diagnostics = make(QStringLiteral("Diagnostics"));
    a.contents = make(QStringLiteral("Contents..."), QKeySequence::HelpContents);
    a.support = make(QStringLiteral("Ask support..."));
    a.about = make(QStringLiteral("About"));
    a.trayShow = make(QStringLiteral("Show"));
    a.trayPlay = make(QStringLiteral("Play"));
    a.trayStop = make(QStringLiteral("Stop"));
    a.trayRecord = make(QStringLiteral("Record"));
    a.trayBind = make(QStringLiteral("Modem bind"));
    a.trayRelease = make(QStringLiteral("Modem release"));
    a.trayExit = make(QStringLiteral("Exit"));
    for (QAction* checked : {a.bind, a.release, a.trayBind, a.trayRelease})
        checked->setCheckable(true);

    connect(a.play, &QAction::triggered, this, &MainWindow::play);
    connect(a.trayPlay, &QAction::triggered, this, &MainWindow::play);
    connect(a.pause, &QAction::triggered, this, &MainWindow::pause);
    connect(a.stop, &QAction::triggered, this, &MainWindow::stop);
    connect(a.trayStop, &QAction::triggered, this, &MainWindow::stop);
    connect(a.rewind, &QAction::triggered, m_playback, &Playback::rewind);
    connect(a.forward, &QAction::triggered, m_playback, &Playback::fastForward);
    connect(a.record, &QAction::triggered, this, &MainWindow::record);
    connect(a.trayRecord, &QAction::triggered, this, &MainWindow::record);
    connect(a.bind, &QAction::triggered, this, &MainWindow::bind);
    connect(a.trayBind, &QAction::triggered, this, &MainWindow::bind);
    connect(a.release, &QAction::triggered, this, &MainWindow::release);
    connect(a.trayRelease, &QAction::triggered, this, &MainWindow::release);
    connect(a.exit, &QAction::triggered, this, &MainWindow::exitProgram);
    connect(a.trayExit, &QAction::triggered, this, &MainWindow::exitProgram);
    connect(a.trayShow, &QAction::triggered, this, &MainWindow::restore);
    connect(a.moveTo, &QAction::triggered, this, &MainWindow::moveSelected);
    connect(a.selectAll, &QAction::triggered, this, [this] { m_model->markAll(); });
    connect(a.settings, &QAction::triggered, this, &MainWindow::showSettings);
    connect(a.diagnostics, &QAction::triggered, this, [this] {
        m_service.log().LogEvent(QStringLiteral("-- Options -> Diagnostics clicked"));
        if (runDiagnostics())
            statusBar()->showMessage(QStringLiteral("Diagnostics.log written"), 5000);
    });
    a.openFolder = make(QStringLiteral("Open containing folder"));
    connect(a.memo, &QAction::triggered, this, &MainWindow::editComment);
    connect(a.remove, &QAction::triggered, this, &MainWindow::deleteRecordings);
    connect(a.copyTo, &QAction::triggered, this, &MainWindow::copyRecordings);
    connect(a.email, &QAction::triggered, this, &MainWindow::mailRecordings);
    connect(a.search, &QAction::triggered, this, [this] {
        m_firstFind = true;
        findNext();
    });
    connect(a.openFolder, &QAction::triggered, this, &MainWindow::openContainingFolder);
    connect(a.support, &QAction::triggered, this, &MainWindow::askSupport);
    connect(a.level, &QAction::triggered, this, [this] {
        m_service.log().LogEvent(QStringLiteral("-- Volume level clicked"));
        postProcess(true);
    });
    connect(a.equalizer, &QAction::triggered, this, [this] {
        m_service.log().LogEvent(QStringLiteral("-- Voice equilizer clicked"));
        postProcess(false);
    });
    connect(a.contents, &QAction::triggered, this, [this] { showHelp(help::Introduction); });
    connect(a.about, &QAction::triggered, this, &MainWindow::showAbout);
    using themeicons::Glyph;
    m_icons.insert(m_icons.end(), {{a.play, Glyph::Play}, {a.pause, Glyph::Pause}, {a.stop, Glyph::Stop},
                                   {a.rewind, Glyph::Rewind}, {a.forward, Glyph::Forward}, {a.record, Glyph::Record},
                                   {a.remove, Glyph::Delete}, {a.search, Glyph::Search}, {a.email, Glyph::Mail},
                                   {a.contents, Glyph::Help}, {a.trayPlay, Glyph::Play}, {a.trayStop, Glyph::Stop},
                                   {a.trayRecord, Glyph::Record}});
}

void MainWindow::applyIcons()
{
    for (const auto& [target, glyph] : m_icons) {
        const QIcon icon = themeicons::icon(glyph, palette());
        if (auto* action = qobject_cast<QAction*>(target))
            action->setIcon(icon);
        else if (auto* button = qobject_cast<QAbstractButton*>(target))
            button->setIcon(icon);
    }
}

// Colours taken from the palette: computed again when the desktop's theme changes.
void MainWindow::applyPalette()
{
    applyIcons();
    const QColor text = look::fontColor(settings::readInteger(m_ini, keys::FontColor), palette());
    for (QWidget* w : {static_cast<QWidget*>(m_grid), static_cast<QWidget*>(m_tree)}) {
        QPalette p = palette();
        p.setColor(QPalette::Text, text);
        w->setPalette(p);
    }
    m_model->setMarkColor(RecordingGrid::markColor(palette()));
    m_scope->setColors(look::storedColor(settings::readInteger(m_ini, keys::BackColor), palette()),
                       look::storedColor(settings::readInteger(m_ini, keys::TraceColor), palette()));
}

void MainWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral(" &File "));
    file->addActions({a.memo, a.remove, a.moveTo, a.copyTo, a.email, a.search});
    file->addSeparator();
    file->addAction(a.exit);
    QMenu* tree = menuBar()->addMenu(QStringLiteral(" &Tree "));
    tree->addActions({a.addNode, a.addChild, a.insertNode, a.deleteNode, a.renameNode});
    tree->addSeparator();
    tree->addActions({a.expandNode, a.collapseNode, a.expandAll, a.collapseAll});
    QMenu* recorder = menuBar()->addMenu(QStringLiteral(" Re&corder "));
    recorder->addActions({a.play, a.pause, a.stop, a.rewind, a.forward, a.record});
    QMenu* post = menuBar()->addMenu(QStringLiteral(" &Post processing "));
    post->addActions({a.level, a.equalizer});
    QMenu* options = menuBar()->addMenu(QStringLiteral(" &Options "));
    options->addAction(a.settings);
    a.modemMenu = options->addMenu(QStringLiteral("Modem"));
    a.modemMenu->addActions({a.bind, a.release});
    options->addAction(a.diagnostics);
    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral(" &Help "));
    helpMenu->addActions({a.contents, a.support});
    helpMenu->addSeparator();
    helpMenu->addAction(a.about);

    QToolBar* toolbar = addToolBar(QStringLiteral("Toolbar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->addAction(a.search);
    QAction* emailTo = toolbar->addAction(QStringLiteral("Email to"));
    m_icons.push_back({emailTo, themeicons::Glyph::Mail});
    connect(emailTo, &QAction::triggered, a.email, &QAction::trigger);
    connect(a.email, &QAction::changed, emailTo, [this, emailTo] { emailTo->setEnabled(a.email->isEnabled()); });
    toolbar->addAction(a.contents);
}

void MainWindow::buildLayout()
{
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(4, 4, 4, 0);
    column->setSpacing(4);

    // The display panel, on black.
    auto* display = new QWidget(central);
    display->setAutoFillBackground(true);
    QPalette black = display->palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, Qt::white);
    display->setPalette(black);
    auto* displayLayout = new QVBoxLayout(display);
    displayLayout->setContentsMargins(4, 4, 4, 2);
    displayLayout->setSpacing(2);
    m_scope = new Oscilloscope(display);
    m_elapsed = new QLabel(QStringLiteral("00:00:00"), display);
    m_details = new QLabel(display);
    m_details->setTextFormat(Qt::PlainText);
    m_total = new QLabel(QStringLiteral("Total Time 00:00:00"), display);
    auto* labels = new QHBoxLayout;
    labels->addWidget(m_elapsed);
    labels->addWidget(m_details, 1);
    labels->addWidget(m_total);
    displayLayout->addWidget(m_scope);
    displayLayout->addLayout(labels);
    column->addWidget(display);

    // The transport panel.
    m_position = new QSlider(Qt::Horizontal, central);
    m_position->setRange(0, transport::SliderRange);
    m_position->setEnabled(false);
    connect(m_position, &QSlider::sliderReleased, this, [this] {
        const QPoint at = m_position->mapFromGlobal(QCursor::pos());
        m_playback->seekToClick(at.x(), m_position->width());
    });
    m_position->installEventFilter(new TrackClickFilter(m_position, [this](int x) {
        m_playback->seekToClick(x, m_position->width());
    }));
    column->addWidget(m_position);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(transportButton(central, QStringLiteral("Play"), a.play));
    buttons->addWidget(transportButton(central, QStringLiteral("Pause"), a.pause));
    buttons->addWidget(transportButton(central, QStringLiteral("Stop"), a.stop));
    m_rewindButton = transportButton(central, QStringLiteral("Rewind"), a.rewind);
    m_forwardButton = transportButton(central, QStringLiteral("Fast forward"), a.forward);
    m_rewindButton->installEventFilter(new RepeatFilter(m_rewindButton, m_rewindHeld));
    m_forwardButton->installEventFilter(new RepeatFilter(m_forwardButton, m_forwardHeld));
    buttons->addWidget(m_rewindButton);
    buttons->addWidget(m_forwardButton);
    QToolButton* recordButton = transportButton(central, QStringLiteral("Record"), a.record);
    buttons->addWidget(recordButton);
    buttons->addStretch();
    auto* volumeLabel = new QLabel(QStringLiteral("&Volume"), central);
    buttons->addWidget(volumeLabel);
    m_volume = new QSlider(Qt::Horizontal, central);
    volumeLabel->setBuddy(m_volume);
    m_volume->setRange(0, 16);
    m_volume->setToolTip(QStringLiteral("Volume"));
    m_volume->setFixedWidth(120);
    connect(m_volume, &QSlider::valueChanged, this, &MainWindow::volumeChanged);
    buttons->addWidget(m_volume);
    column->addLayout(buttons);

    // Folders on the left, recordings on the right.
    m_splitter = new QSplitter(Qt::Horizontal, central);
    m_tree = new FolderTreeWidget(m_service.catalogue(), m_splitter);
    m_tree->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_tree->addActions({a.addNode, a.addChild, a.insertNode, a.deleteNode, a.renameNode, a.expandNode, a.collapseNode,
                        a.expandAll, a.collapseAll});
    auto* right = new QWidget(m_splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    m_search = new QLineEdit(right);
    m_search->setPlaceholderText(QStringLiteral("Search all folders by number, name or memo"));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textChanged, this, &MainWindow::searchChanged);
    rightLayout->addWidget(m_search);
    m_grid = new RecordingGrid(m_model, right);
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_grid->addActions({a.memo, a.remove, a.moveTo, a.copyTo, a.selectAll, a.email, a.openFolder});
    connect(m_grid, &RecordingGrid::playRequested, this, &MainWindow::play);
    connect(m_grid, &RecordingGrid::playPauseRequested, this, [this] {
        if (m_playback->playing())
            pause();
        else
            play();
    });
    connect(m_grid, &RecordingGrid::deleteRequested, this, &MainWindow::deleteRecordings);
    connect(m_grid, &RecordingGrid::commentRequested, this, &MainWindow::editComment);
    connect(m_grid, &QTableView::doubleClicked, this, [this] {
        if (m_states.recordPressed)
            return;
        if (m_playback->active())
            m_playback->stop();
        play();
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &MainWindow::currentRowChanged);
    rightLayout->addWidget(m_grid);
    auto* navigation = new QHBoxLayout;
    auto nav = [&](themeicons::Glyph icon, const QString& hint, const std::function<int(int, int)>& target) {
        auto* button = new QToolButton(right);
        m_icons.push_back({button, icon});
        m_navigation.push_back(button);
        button->setToolTip(hint);
        connect(button, &QToolButton::clicked, this, [this, target] {
            const int rows = m_model->rowCount();
            if (rows == 0)
                return;
            const int row = std::clamp(target(m_grid->currentIndex().row(), rows), 0, rows - 1);
            m_grid->setCurrentIndex(m_model->index(row, 0));
        });
        navigation->addWidget(button);
    };
    using themeicons::Glyph;
    nav(Glyph::First, QStringLiteral("First file"), [](int, int) { return 0; });
    nav(Glyph::Prior, QStringLiteral("Prior file"), [](int row, int) { return row - 1; });
    nav(Glyph::Next, QStringLiteral("Next file"), [](int row, int) { return row + 1; });
    nav(Glyph::Last, QStringLiteral("Last file"), [](int, int rows) { return rows - 1; });
    navigation->addStretch();
    auto* remove = new QToolButton(right);
    remove->setDefaultAction(a.remove);
    navigation->addWidget(remove);
    rightLayout->addLayout(navigation);
    m_splitter->addWidget(m_tree);
    m_splitter->addWidget(right);
    m_splitter->setStretchFactor(1, 1);
    connect(m_splitter, &QSplitter::splitterMoved, this,
            [this](int pos) { settings::writeInteger(m_ini, keys::Splitter, pos); });
    column->addWidget(m_splitter, 1);
    setCentralWidget(central);

    // Permanent: a temporary message shows beside them, never over them.
    m_callPanel = new QLabel(this);
    m_callPanel->setTextFormat(Qt::PlainText);
    m_callPanel->hide();
    statusBar()->addPermanentWidget(m_callPanel);
    static const int widths[] = {100, 80, 50};
    for (int i = 0; i < 3; ++i) {
        m_status[i] = new QLabel(this);
        m_status[i]->setMinimumWidth(widths[i]);
        m_status[i]->setTextFormat(Qt::PlainText);
        statusBar()->addPermanentWidget(m_status[i]);
    }

    connect(m_tree, &FolderTreeWidget::folderSelected, this, &MainWindow::folderSelected);
    connect(m_tree, &FolderTreeWidget::recordingsDropped, this, &MainWindow::moveRecordings);
    connect(m_tree, &FolderTreeWidget::filesDropped, this, &MainWindow::importFiles);
    connect(m_tree, &FolderTreeWidget::problem, this, &MainWindow::showMessage);
    connect(a.addNode, &QAction::triggered, this, [this] { m_tree->addFolder(FolderOperations::Place::LastSibling); });
    connect(a.addChild, &QAction::triggered, this, [this] { m_tree->addFolder(FolderOperations::Place::LastChild); });
    connect(a.insertNode, &QAction::triggered, this, [this] { m_tree->addFolder(FolderOperations::Place::Before); });
    connect(a.deleteNode, &QAction::triggered, m_tree, &FolderTreeWidget::deleteFolder);
    connect(a.renameNode, &QAction::triggered, m_tree, &FolderTreeWidget::renameFolder);
    connect(a.expandNode, &QAction::triggered, this, [this] { m_tree->expandCurrent(true); });
    connect(a.collapseNode, &QAction::triggered, this, [this] { m_tree->expandCurrent(false); });
    connect(a.expandAll, &QAction::triggered, m_tree, &QTreeWidget::expandAll);
    connect(a.collapseAll, &QAction::triggered, m_tree, &QTreeWidget::collapseAll);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &MainWindow::updateActions);
    connect(m_tree, &QTreeWidget::itemCollapsed, this, &MainWindow::updateActions);

    connect(m_playback, &Playback::progress, this, &MainWindow::playbackProgress);
    connect(m_playback, &Playback::samples, this, [this](const uint8_t* data, int count) {
        if (!m_scope->DisplayData(data, count) && !m_displayErrorShown) {
            m_displayErrorShown = true; // once per playback, never every tick
            m_service.log().LogEvent(QStringLiteral("<ERROR> \"DisplayData(a1:TDisp)\" Contact Ardentis support"));
            showMessage(Oscilloscope::TooManyPointsText);
        }
    });
    connect(m_playback, &Playback::stateChanged, this, &MainWindow::updateActions);
    connect(m_playback, &Playback::ended, this, [this] {
        m_scope->ClearDisplay();
        m_details->clear();
    });
    connect(m_playback, &Playback::failed, this, &MainWindow::showMessage);
}

void MainWindow::buildTray()
{
    m_trayMenu = new QMenu(this);
    m_trayMenu->addActions({a.trayShow, a.trayPlay, a.trayStop, a.trayRecord, a.trayBind, a.trayRelease});
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(a.trayExit);
    m_trayTimer.setInterval(TrayAnimation::IntervalMs);
    connect(&m_trayTimer, &QTimer::timeout, this, &MainWindow::trayTick);
    // Made and shown even while the desktop has no tray: a panel that starts after the
    // program (a start at logon) takes the icon as soon as it is there. Until then the
    // window minimises to the taskbar and is never hidden (hasTray()).
    m_tray = new QSystemTrayIcon(trayIcon(TrayAnimation::List::Normal, 1), this);
    m_tray->setToolTip(datafolder::ApplicationTitle);
    m_tray->setContextMenu(m_trayMenu);
    m_tray->show(); // from start to exit: the way back to a hidden window
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A single click acts as the double-click: some trays never send one.
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            restore();
    });
}

void MainWindow::placeWindows()
{
    const QRect saved(settings::readInteger(m_ini, keys::MainLeft), settings::readInteger(m_ini, keys::MainTop),
                      settings::readInteger(m_ini, keys::MainWid), settings::readInteger(m_ini, keys::MainHeight));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    // A window saved on a screen that is gone comes back where it can be seen.
    QRect bounds = saved.size().boundedTo(area.size()).expandedTo(minimumSize()).isValid()
                       ? QRect(saved.topLeft(), saved.size().boundedTo(area.size()).expandedTo(minimumSize()))
                       : QRect(area.topLeft(), QSize(800, 560));
    if (!area.intersects(bounds))
        bounds.moveTopLeft(area.topLeft());
    setGeometry(bounds);
    m_logger->setGeometry(settings::readInteger(m_ini, keys::EventsMainLeft),
                          settings::readInteger(m_ini, keys::EventsMainTop),
                          settings::readInteger(m_ini, keys::EventsMainWid),
                          settings::readInteger(m_ini, keys::EventsMainHeight));
    m_volume->setValue(settings::readInteger(m_ini, keys::Volume));
}

void MainWindow::applyView()
{
    const QFont font = look::storedFont(settings::readString(m_ini, keys::FontName), settings::readInteger(m_ini, keys::FontSize));
    for (QWidget* w : {static_cast<QWidget*>(m_grid), static_cast<QWidget*>(m_tree)})
        w->setFont(font);
    m_model->setFont(font);
    applyPalette();
    m_splitter->setSizes({settings::readInteger(m_ini, keys::Splitter), std::max(width() - settings::readInteger(m_ini, keys::Splitter), 200)});
    const settings::Key* widths[] = {&keys::GDate, &keys::GTime, &keys::GDuration, &keys::GCallerID};
    // Never narrower than its text in this font: the stored widths were made for a smaller one.
    const QFontMetrics metrics(font);
    const int needed[] = {metrics.horizontalAdvance(QLocale::system().toString(QDate(2026, 12, 28), QLocale::ShortFormat)),
                          metrics.horizontalAdvance(QStringLiteral("00:00:00")), metrics.horizontalAdvance(QStringLiteral("00:00:00")),
                          metrics.horizontalAdvance(QStringLiteral("5551234567"))};
    for (int i = 0; i < 4; ++i) {
        m_storedWidths[i] = settings::readInteger(m_ini, *widths[i]);
        m_shownWidths[i] = std::clamp(m_storedWidths[i], needed[i] + 16, 600);
        m_grid->setColumnWidth(i, m_shownWidths[i]);
    }
    m_playback->setPoints(settings::readInteger(m_ini, keys::Points));
    m_playback->setTrace(settings::readBool(m_ini, keys::PlayTrace));
    m_recordTrace = settings::readBool(m_ini, keys::RecordTrace); // read once, not for every live block
    m_window.voiceFeatures = settings::readBool(m_ini, keys::Voicefeatures);
    const QString recordings = m_service.catalogue().recordingsFolder();
    if (!QDir().mkpath(recordings)) {
        // The next recording would be lost: said now, not when it is saved.
        const QString text = QStringLiteral("Cannot create the recordings folder ") + recordings
                             + QStringLiteral(" -> UpdatefromView");
        m_service.log().LogEvent(QStringLiteral("<ERROR> ") + text);
        showMessage(text);
    }
    const bool voice = m_window.voiceFeatures;
    const SerialPort* port = m_service.engine().serialPort();
    m_status[1]->setText(voice ? QStringLiteral(" COM PORT ") + (port ? port->portText() : QStringLiteral("0")) : QString());
    m_status[2]->setText(voice ? QLatin1Char(' ') + settings::readString(m_ini, keys::Model).trimmed() : QString());
    updateActions();
}

void MainWindow::saveLayout()
{
    m_ini.beginUpdate();
    const QRect g = normalGeometry();
    settings::writeInteger(m_ini, keys::MainTop, g.top());
    settings::writeInteger(m_ini, keys::MainLeft, g.left());
    settings::writeInteger(m_ini, keys::MainWid, g.width());
    settings::writeInteger(m_ini, keys::MainHeight, g.height());
    settings::writeInteger(m_ini, keys::Volume, m_volume->value());
    settings::writeInteger(m_ini, keys::Splitter, m_splitter->sizes().value(0));
    const settings::Key* widths[] = {&keys::GDate, &keys::GTime, &keys::GDuration, &keys::GCallerID};
    // A width only widened for this font is not the user's: the stored one stays.
    for (int i = 0; i < 4; ++i) {
        const int width = m_grid->columnWidth(i);
        settings::writeInteger(m_ini, *widths[i], width == m_shownWidths[i] ? m_storedWidths[i] : width);
    }
    settings::writeBool(m_ini, keys::Distinctive, false);
    const QRect l = m_logger->geometry();
    settings::writeInteger(m_ini, keys::EventsMainTop, l.top());
    settings::writeInteger(m_ini, keys::EventsMainLeft, l.left());
    settings::writeInteger(m_ini, keys::EventsMainWid, l.width());
    settings::writeInteger(m_ini, keys::EventsMainHeight, l.height());
    if (!m_ini.commitUpdate())
        m_service.log().LogEvent(QStringLiteral("<ERROR> Error fmVlm.Close: ") + m_ini.lastError());
}
