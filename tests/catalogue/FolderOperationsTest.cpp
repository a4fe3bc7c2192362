#include "CatalogueTestSupport.h"

#include "catalogue/FolderOperations.h"
#include "catalogue/RecordingList.h"
#include "catalogue/TableError.h"

#include <QFile>

namespace {

using FolderOperationsTest = DataFolderTest;

QStringList texts(const FolderTree& tree)
{
    return tree.toLines();
}

// The row's id, read as the window reads the General folder; its file made.
QString idOf(Catalogue& catalogue, const QString& fileName)
{
    RecordingList list(catalogue);
    list.setFolder(catalogue.recordFolderId());
    const int index = list.count() > 0 ? [&] {
        for (int i = 0; i < list.count(); ++i)
            if (list.row(i).fileName == fileName)
                return i;
        return -1;
    }() : -1;
    QFile file(catalogue.recordingsFolder() + fileName);
    file.open(QIODevice::WriteOnly);
    return index < 0 ? QString() : list.row(index).id;
}

TEST_F(FolderOperationsTest, FoldersArePlacedAsTheActionsSayAndSurviveARestart)
{
    auto catalogue = openCatalogue();
    FolderOperations ops(*catalogue);
    const QString general = catalogue->recordFolderId();
    const QString second = ops.add(general, FolderOperations::Place::LastSibling);
    const QString child = ops.add(general, FolderOperations::Place::LastChild);
    const QString before = ops.add(second, FolderOperations::Place::Before);
    EXPECT_EQ(texts(catalogue->tree()),
              QStringList({"General", "\tNew folder", "New folder", "New folder"}));
    EXPECT_TRUE(catalogue->tree().roots[0].expanded);
    ops.rename(second, QStringLiteral("Clients"));
    ops.rename(child, QStringLiteral("Family"));
    ops.rename(before, QStringLiteral("Bank"));
    catalogue->saveTree();
    catalogue = openCatalogue();
    EXPECT_EQ(texts(catalogue->tree()), QStringList({"General", "\tFamily", "Bank", "Clients"}));
    ASSERT_TRUE(catalogue->folders().locate(QStringLiteral("FolderId"), second));
    EXPECT_EQ(catalogue->folders().field(QStringLiteral("FolderName")).asText(), "Clients");
}

TEST_F(FolderOperationsTest, NamesThatWouldBreakTheTreeAndGeneralAreRefused)
{
    auto catalogue = openCatalogue();
    FolderOperations ops(*catalogue);
    const QString key = ops.add(QString(), FolderOperations::Place::LastSibling);
    for (const QString& bad : {QString(), QStringLiteral("  "), QStringLiteral("a#b"), QStringLiteral("a\tb"),
                               QStringLiteral("a\nb")})
        EXPECT_THROW(ops.rename(key, bad), TableError) << qPrintable(bad);
    EXPECT_EQ(ops.folderName(key), FolderOperations::NewFolderName);
    EXPECT_THROW(ops.rename(catalogue->recordFolderId(), QStringLiteral("Other")), TableError);
    EXPECT_THROW(ops.remove(catalogue->recordFolderId()), TableError);
    EXPECT_EQ(ops.remove(QStringLiteral("NOSUCHKEY")), 0);
    EXPECT_EQ(catalogue->tree().nodeCount(), 2);
}

TEST_F(FolderOperationsTest, DeletingAFolderTakesItsSubfoldersRecordingsAndFilesOnly)
{
    auto catalogue = openCatalogue();
    FolderOperations ops(*catalogue);
    const QString general = catalogue->recordFolderId();
    const QString kept = addRecording(*catalogue, QDateTime(QDate(2026, 3, 1), QTime(9, 0)), 10, false);
    ASSERT_FALSE(idOf(*catalogue, kept).isEmpty());
    const QString parent = ops.add(general, FolderOperations::Place::LastSibling);
    const QString child = ops.add(parent, FolderOperations::Place::LastChild);
    const QString grandchild = ops.add(child, FolderOperations::Place::LastChild);
    QStringList doomed;
    for (int i = 0; i < 3; ++i)
        doomed << addRecording(*catalogue, QDateTime(QDate(2026, 3, 2), QTime(9, i)), 10, false);
    ops.fileRecordings({idOf(*catalogue, doomed[0])}, parent);
    ops.fileRecordings({idOf(*catalogue, doomed[1]), idOf(*catalogue, doomed[2])}, grandchild);

    EXPECT_EQ(ops.remove(parent), 3);
    catalogue->saveTree();
    for (const QString& file : doomed)
        EXPECT_FALSE(QFile::exists(wavDir() + file)) << qPrintable(file);
    EXPECT_TRUE(QFile::exists(wavDir() + kept));

    catalogue = openCatalogue();
    EXPECT_EQ(texts(catalogue->tree()), QStringList({"General"}));
    EXPECT_EQ(catalogue->folders().rowCount(), 1);
    RecordingList list(*catalogue);
    list.setFolder(general);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.row(0).fileName, kept);
    EXPECT_FALSE(catalogue->folders().containsValue(QStringLiteral("FolderId"), child));
}

TEST_F(FolderOperationsTest, FoldersMoveButNeverIntoThemselvesAndRecordingsNeverIntoNoFolder)
{
    auto catalogue = openCatalogue();
    FolderOperations ops(*catalogue);
    const QString general = catalogue->recordFolderId();
    const QString a = ops.add(general, FolderOperations::Place::LastSibling);
    const QString b = ops.add(a, FolderOperations::Place::LastChild);
    ops.rename(a, QStringLiteral("A"));
    ops.rename(b, QStringLiteral("B"));
    EXPECT_FALSE(ops.move(a, b, true)) << "onto its own child";
    EXPECT_FALSE(ops.move(a, general, true)) << "onto the first node";
    EXPECT_FALSE(ops.move(general, a, true)) << "the first node";
    EXPECT_TRUE(ops.move(b, a, false));
    EXPECT_EQ(texts(catalogue->tree()), QStringList({"General", "B", "A"}));

    const QString file = addRecording(*catalogue, QDateTime(QDate(2026, 3, 1), QTime(9, 0)), 10, false);
    const QString id = idOf(*catalogue, file);
    EXPECT_THROW(ops.fileRecordings({id}, QString()), TableError);
    EXPECT_THROW(ops.fileRecordings({id}, QStringLiteral("NOSUCHKEY")), TableError);
    EXPECT_EQ(ops.fileRecordings({id}, b), 1);
    RecordingList list(*catalogue);
    list.setFolder(general);
    EXPECT_EQ(list.count(), 0);
    list.setFolder(b);
    EXPECT_EQ(list.indexOfId(id), 0);
}

} // namespace
