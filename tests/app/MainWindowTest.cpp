// The main window on the offscreen platform, over a catalogue without a modem.
#include "CatalogueSamples.h"

#include "app/FindDialog.h"
#include "app/FolderTreeWidget.h"
#include "app/RecordingGrid.h"
#include "calls/EventLog.h"
#include "app/MainWindow.h"
#include "app/RecordingsModel.h"
#include "calls/CallService.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FolderOperations.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "platform/SingleInstance.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

bool waitUntil(const std::function<bool()>& done, int ms = 3000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Runs the action and answers the modal dialog it opens with `answer`.
template <typename Dialog>
void answerDialog(QWidget& window, const QString& action, const std::function<void(Dialog&)>& answer)
{
    QAction* found = nullptr;
    for (QAction* a : window.findChildren<QAction*>())
        if (a->text() == action)
            found = a;
    ASSERT_NE(found, nullptr) << qPrintable(action);
    bool answered = false;
    QTimer::singleShot(50, &window, [&] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            answered = true;
            answer(*dialog);
        }
    });
    found->trigger();
    EXPECT_TRUE(answered) << qPrintable(action);
}

class MainWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.open(nullptr));
        addSampleRecordings(service.catalogue(), 70);
    }
    std::unique_ptr<MainWindow> makeWindow()
    {
        auto window = std::make_unique<MainWindow>(service);
        service.setView(window.get());
        window->show();
        window->callsStarted(false, QString());
        return window;
    }
    QTemporaryDir dir;
    CallService service{{dir.path(), nullptr, nullptr, nullptr}};
};

TEST_F(MainWindowTest, ListShowsTheFolderUnheardBoldAndDroppedRowsMove)
{
    auto window = makeWindow();
    RecordingsModel* model = window->recordings();
    ASSERT_EQ(model->rowCount(), 70);
    int bold = 0;
    for (int row = 0; row < model->rowCount(); ++row)
        bold += model->data(model->index(row, 0), Qt::FontRole).value<QFont>().bold() ? 1 : 0;
    EXPECT_EQ(bold, 10) << "one in seven of the samples is unheard";
    EXPECT_TRUE(window->actions().listOperations);

    const QString clients = FolderOperations(service.catalogue()).add(QString(), FolderOperations::Place::LastSibling);
    window->folderTree()->rebuild();
    const QStringList ids = {model->recording(0).id, model->recording(1).id};
    emit window->folderTree()->recordingsDropped(ids, clients);
    EXPECT_EQ(model->rowCount(), 68);
    emit window->folderTree()->recordingsDropped(ids, QStringLiteral("NOSUCHKEY")); // refused, nothing lost
    ASSERT_TRUE(window->folderTree()->selectKey(clients));
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_FALSE(window->actions().record) << "no modem bound";
}

TEST_F(MainWindowTest, ASecondStartRestoresTheMinimisedWindowAndStartUpCloseOnlyMinimises)
{
    settings::writeBool(service.ini(), keys::StartUp, true);
    auto window = makeWindow();
    SingleInstance first(dir.path());
    ASSERT_EQ(first.claim(), SingleInstance::Role::First);
    QObject::connect(&first, &SingleInstance::restoreRequested, window.get(), &MainWindow::restore);
    window->showMinimized();
    ASSERT_TRUE(waitUntil([&] { return window->isMinimized() || !window->isVisible(); }));
    // What a second start sends (it would block this thread waiting for the answer).
    QLocalSocket second;
    second.connectToServer(SingleInstance::socketPath(dir.path()));
    ASSERT_TRUE(second.waitForConnected(2000));
    second.write(SingleInstance::RestoreRequest);
    second.flush();
    EXPECT_TRUE(waitUntil([&] { return window->isVisible() && !window->isMinimized(); }));

    const QString events = dir.path() + QStringLiteral("/Events.log");
    auto sessionEnded = [&] {
        QFile file(events);
        return file.open(QIODevice::ReadOnly) && file.readAll().contains("---------- End session ----------");
    };
    window->close(); // StartUp set and no Exit: only minimised
    EXPECT_FALSE(waitUntil(sessionEnded, 300));
    window->setExitRequested(true);
    window->close();
    EXPECT_TRUE(sessionEnded());
    const IniFile ini(dir.path() + QStringLiteral("/vlm.ini"));
    EXPECT_TRUE(settings::exists(ini, keys::MainWid)) << "the layout is written at close";
}

// The marks end with a cancelled move; every search starts from an empty text.
TEST_F(MainWindowTest, ListDialogsStartAfreshWhenCancelledOrOpenedAgain)
{
    auto window = makeWindow();
    RecordingsModel* model = window->recordings();
    model->toggleMark(0);
    model->toggleMark(1);
    answerDialog<QDialog>(*window, QStringLiteral("Move to..."), [](QDialog& move) { move.reject(); });
    EXPECT_TRUE(model->markedIds().isEmpty());
    EXPECT_EQ(model->rowCount(), 70) << "nothing moved";

    QString shown = QStringLiteral("unset");
    auto search = [&](FindDialog& find) {
        shown = find.text();
        find.findChild<QLineEdit*>()->setText(QStringLiteral("555"));
        find.reject();
    };
    answerDialog<FindDialog>(*window, QStringLiteral("Search..."), search);
    answerDialog<FindDialog>(*window, QStringLiteral("Search..."), search);
    EXPECT_EQ(shown, QString()) << "not the last search's text";
}

// Widths widened for the font are shown, not stored; a column the user
// resized is; a recordings folder that cannot be made is said at once.
TEST(MainWindowStart, StoredWidthsStayAndAnUnusableRecordingsFolderIsReported)
{
    QTemporaryDir dir;
    testsupport::writeFile(dir.filePath(QStringLiteral("blocked")), "a file, not a folder");
    testsupport::writeFile(dir.filePath(QStringLiteral("vlm.ini")),
                           "[Settings]\ngDate=20\ngTime=90\ngCallerID=21\nwavDir=" + dir.filePath(QStringLiteral("blocked/wav/")).toUtf8() + "\n");
    CallService service{{dir.path(), nullptr, nullptr, nullptr}};
    ASSERT_TRUE(service.open(nullptr));
    {
        MainWindow window(service);
        service.setView(&window);
        window.show();
        window.callsStarted(false, QString());
        EXPECT_TRUE(service.log().lines().join(QLatin1Char('\n')).contains(QLatin1String(" -> UpdatefromView")));
        EXPECT_GT(window.grid()->columnWidth(0), 20) << "the date fits";
        window.grid()->setColumnWidth(1, 120);
        window.setExitRequested(true);
        window.close();
    }
    const IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    EXPECT_EQ(settings::readInteger(ini, keys::GDate), 20);
    EXPECT_EQ(settings::readInteger(ini, keys::GCallerID), 21);
    EXPECT_EQ(settings::readInteger(ini, keys::GTime), 120);
}

} // namespace
