// The main window's part in call screening: the lists, the recordings'
// callers put on them, listening to a message and picking it up.
#include "app/MainWindow.h"

#include "app/CallerIdPopup.h"
#include "app/CallerListsDialog.h"
#include "app/DesktopNotifier.h"
#include "app/FolderTreeWidget.h"
#include "app/RecordingGrid.h"
#include "app/RecordingsModel.h"
#include "calls/AnsweringMachine.h"
#include "calls/CallScreen.h"
#include "calls/CallService.h"
#include "calls/LiveListening.h"
#include "config/SettingsCatalogue.h"

#include <QMenuBar>
#include <QStatusBar>

namespace {

constexpr int NoticeMs = 10000;

QString noticeText(const ScreenEvent& e)
{
    const QString caller = (e.number + QLatin1Char(' ') + e.name).trimmed();
    switch (e.kind) {
    case ScreenEvent::Kind::Blocked: return QStringLiteral("Blocked: %1 (%2)").arg(caller, e.action);
    case ScreenEvent::Kind::ChallengePassed: return QStringLiteral("A person is calling: %1").arg(caller);
    case ScreenEvent::Kind::ChallengeFailed: return QStringLiteral("Hung up on %1: no key pressed").arg(caller);
    case ScreenEvent::Kind::Waiting: return QStringLiteral("Call waiting: %1").arg(caller);
    }
    return QString();
}

} // namespace

void MainWindow::buildScreening()
{
    auto* menu = new QMenu(QStringLiteral(" &Screening "), this);
    const QList<QAction*> menus = menuBar()->actions();
    menuBar()->insertMenu(menus.isEmpty() ? nullptr : menus.last(), menu); // before Help
    QAction* lists = menu->addAction(QIcon::fromTheme(QStringLiteral("view-list-details")), QStringLiteral("Caller &lists..."));
    connect(lists, &QAction::triggered, this, &MainWindow::showCallerLists);
    menu->addSeparator();
    QAction* listen = menu->addAction(QIcon::fromTheme(QStringLiteral("audio-volume-high")), QStringLiteral("&Listen to the message"));
    connect(listen, &QAction::triggered, this, &MainWindow::listenToMessage);
    QAction* pickUp = menu->addAction(QIcon::fromTheme(QStringLiteral("call-start")), QStringLiteral("&Pick up"));
    connect(pickUp, &QAction::triggered, this, &MainWindow::pickUpCall);

    auto* block = new QAction(QIcon::fromTheme(QStringLiteral("call-stop")), QStringLiteral("Block this caller"), this);
    connect(block, &QAction::triggered, this, [this] { listCaller(CallerList::Block); });
    auto* allow = new QAction(QIcon::fromTheme(QStringLiteral("call-start")), QStringLiteral("Always put through"), this);
    connect(allow, &QAction::triggered, this, [this] { listCaller(CallerList::Allow); });
    m_grid->addActions({block, allow});

    connect(m_popup, &CallerIdPopup::listenRequested, this, &MainWindow::listenToMessage);
    if (CallScreen* screen = m_service.screen())
        connect(screen, &CallScreen::callScreened, this, &MainWindow::callScreened);
}

void MainWindow::showCallerLists()
{
    if (!m_service.callerLists()) {
        showMessage(QStringLiteral("The caller lists (Lists.d) cannot be opened: see the event log."));
        return;
    }
    CallerListsDialog(*m_service.callerLists(), this).exec();
}

void MainWindow::listCaller(CallerList list)
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid() || !m_service.callerLists())
        return;
    CallerListsDialog::addEntry(*m_service.callerLists(), list, m_model->recording(current.row()).callerId, this);
}

void MainWindow::listenToMessage()
{
    if (!m_service.callsStarted() || !m_service.live()->listenToThisCall())
        statusBar()->showMessage(QStringLiteral("No call is ringing or being answered."), NoticeMs);
}

void MainWindow::pickUpCall()
{
    if (!m_service.callsStarted() || !m_service.answeringMachine().pickUp())
        statusBar()->showMessage(QStringLiteral("The answering machine has no call to hand over."), NoticeMs);
}

// A new folder shows in the tree; the notice is plain text in the status bar.
void MainWindow::callScreened(const ScreenEvent& event)
{
    const QString current = m_tree->currentKey();
    m_tree->rebuild(current);
    if (m_tree->currentKey() == current)
        reloadList();
    statusBar()->showMessage(noticeText(event), NoticeMs);
    // A person got through the key check: the owner may want to pick up now.
    if (event.kind == ScreenEvent::Kind::ChallengePassed && settings::readBool(m_ini, keys::Notifications))
        m_notifier->notify(DesktopNotifier::Kind::IncomingCall, QStringLiteral("A person is calling"),
                           DesktopNotifier::escaped((event.number + QLatin1Char(' ') + event.name).trimmed()),
                           QString(), [] {});
}
