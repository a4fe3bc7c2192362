// The recordings grid of the main window: marking, search, delete, play.
#include "CatalogueSamples.h"

#include "app/MainWindow.h"
#include "app/RecordingGrid.h"
#include "app/RecordingsModel.h"
#include "calls/CallService.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FolderOperations.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void key(QWidget* w, int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, k, modifiers);
    QApplication::sendEvent(w, &press);
}

// Answers the next message box with OK, as the user would.
void acceptNextBox()
{
    QTimer::singleShot(50, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->accept();
    });
}

class RecordingListTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.open(nullptr));
        addSampleRecordings(service.catalogue(), 12, QString(), true);
        window = std::make_unique<MainWindow>(service);
        service.setView(window.get());
        window->show();
        window->callsStarted(false, QString());
        model = window->recordings();
        grid = window->grid();
        grid->setFocus();
    }
    bool fileOf(int row) { return QFile::exists(service.catalogue().recordingsFolder() + model->recording(row).fileName); }
    QTemporaryDir dir;
    CallService service{{dir.path(), nullptr, nullptr, nullptr}};
    std::unique_ptr<MainWindow> window;
    RecordingsModel* model = nullptr;
    RecordingGrid* grid = nullptr;
};

TEST_F(RecordingListTest, MarkingFollowsTheKeysAndThreeMarkedPlusTheCurrentRowDeleteFour)
{
    ASSERT_EQ(model->rowCount(), 12);
    key(grid, Qt::Key_Down, Qt::ShiftModifier); // marks row 0, moves to 1
    key(grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(model->markedIds().size(), 2);
    key(grid, Qt::Key_Down);
    EXPECT_TRUE(model->markedIds().isEmpty()) << "a plain move clears the marks";
    for (int i = 0; i < 3; ++i)
        key(grid, Qt::Key_Down, Qt::ShiftModifier); // rows 3, 4, 5 marked; current row 6
    ASSERT_EQ(grid->currentIndex().row(), 6);
    const QStringList doomed = grid->idsToActOn();
    ASSERT_EQ(doomed.size(), 4);
    QStringList files;
    for (const QString& id : doomed)
        files << service.catalogue().recordingsFolder() + model->recording(model->rowOfId(id)).fileName;
    acceptNextBox();
    key(grid, Qt::Key_Delete);
    EXPECT_EQ(model->rowCount(), 8);
    for (const QString& file : files)
        EXPECT_FALSE(QFile::exists(file)) << qPrintable(file);
    EXPECT_TRUE(fileOf(0));
}

TEST_F(RecordingListTest, SearchFindsACallerInAnyFolderAndPlayingUnboldsIt)
{
    const QString other = FolderOperations(service.catalogue()).add(QString(), FolderOperations::Place::LastSibling);
    int unheard = -1;
    for (int row = 0; row < model->rowCount() && unheard < 0; ++row)
        if (!model->recording(row).accessed)
            unheard = row;
    ASSERT_GE(unheard, 0);
    const RecordingRow row = model->recording(unheard);
    FolderOperations(service.catalogue()).fileRecordings({row.id}, other);
    window->searchBox()->setText(row.callerId);
    ASSERT_EQ(model->rowCount(), 1) << "found in the other folder";
    grid->setCurrentIndex(model->index(0, 0));
    EXPECT_TRUE(model->data(model->index(0, 0), Qt::FontRole).value<QFont>().bold());
    key(grid, Qt::Key_Return);
    EXPECT_FALSE(model->data(model->index(0, 0), Qt::FontRole).value<QFont>().bold()) << "heard once it plays";
    window->searchBox()->clear();
    EXPECT_EQ(model->rowCount(), 11);

    model->sort(RecordingsModel::CallerColumn, Qt::AscendingOrder);
    for (int r = 1; r < model->rowCount(); ++r)
        EXPECT_LE(model->recording(r - 1).callerId, model->recording(r).callerId);
    model->sort(RecordingsModel::DateColumn, Qt::DescendingOrder);
    EXPECT_GE(model->recording(0).date, model->recording(model->rowCount() - 1).date) << "newest first";
}

} // namespace
