#include "CatalogueTestSupport.h"

#include "TestSupport.h"
#include "catalogue/FolderOperations.h"
#include "catalogue/RecordingOperations.h"
#include "catalogue/Sqlite.h"
#include "catalogue/TableError.h"

#include <QDir>
#include <QFile>
#include <sqlite3.h>

namespace {

class RecordingOperationsTest : public DataFolderTest
{
protected:
    void SetUp() override
    {
        catalogue = openCatalogue();
        for (int i = 0; i < 4; ++i) {
            const QString file = addRecording(*catalogue, QDateTime(QDate(2026, 3, 2), QTime(9, i)), 10, i == 0,
                                              QStringLiteral("55512%1").arg(i));
            testsupport::writeFile(wavDir() + file, QByteArray(100 + i, char('a' + i)));
            files << file;
        }
        RecordingList list(*catalogue);
        list.setFolder(catalogue->recordFolderId());
        for (int i = list.count() - 1; i >= 0; --i)
            ids << list.row(i).id; // oldest first, as the files
    }
    std::unique_ptr<Catalogue> catalogue;
    QStringList files;
    QStringList ids;
};

TEST_F(RecordingOperationsTest, CommentIsStoredButNeverClearedByAnEmptyText)
{
    RecordingOperations ops(*catalogue);
    EXPECT_TRUE(ops.setComment(ids[1], QStringLiteral("Call back <b>Monday</b>")));
    EXPECT_FALSE(ops.setComment(ids[1], QString()));
    EXPECT_FALSE(ops.setComment(QStringLiteral("NOSUCHID"), QStringLiteral("x")));
    EXPECT_EQ(ops.rows({ids[1]}).front().comment, "Call back <b>Monday</b>");
}

TEST_F(RecordingOperationsTest, DeleteCommitsTheRowsThenRemovesTheFilesAndAFailedCommitKeepsThem)
{
    RecordingOperations ops(*catalogue);
    ops.removeFile = [](const QString& path, QString* why) { return QFile::remove(path) || (*why = "gone", false); };

    // Another program holds the table: the delete cannot commit.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(qPrintable(path(QStringLiteral("Recordings.d"))), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_THROW(ops.remove({ids[0], ids[1]}), TableError);
    EXPECT_FALSE(catalogue->database().inBatch()) << "later changes are committed again";
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(ops.rows(ids).size(), 4u);
    for (const QString& file : files)
        EXPECT_TRUE(QFile::exists(wavDir() + file)) << qPrintable(file);

    int attempts = 0;
    ops.removeFile = [&](const QString& p, QString* why) {
        if (++attempts == 2) { // one file will not go
            *why = QStringLiteral("Permission denied");
            return false;
        }
        return QFile::remove(p);
    };
    const DeleteOutcome outcome = ops.remove({ids[0], ids[2], ids[3], QStringLiteral("NOSUCHID")});
    EXPECT_EQ(outcome.rows, 3);
    ASSERT_EQ(outcome.fileProblems.size(), 1);
    EXPECT_TRUE(outcome.fileProblems[0].endsWith(": Permission denied"));
    EXPECT_EQ(ops.rows(ids).size(), 1u);
    EXPECT_TRUE(QFile::exists(wavDir() + files[1]));
    EXPECT_FALSE(QFile::exists(wavDir() + files[0]));
}

// A row id of "../victim" made delete unlink victim.wav outside the
// data folder.
TEST_F(RecordingOperationsTest, TableValuesNeverReachAFileOutsideTheRecordingsFolder)
{
    RecordingOperations ops(*catalogue);
    ops.removeFile = [](const QString& path, QString*) { return QFile::remove(path); };
    const QString victim = path(QStringLiteral("victim.wav"));
    QDir().mkpath(path(QStringLiteral("deep/er")));
    struct Case
    {
        const char* id;
        const char* fileName;
    };
    const Case cases[] = {{"../victim", "x.wav"}, {"../victim", "../victim.wav"}, {"..", ".."},
                          {"plain", "../victim.wav"}, {"a\x01b", "../victim.wav"}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        testsupport::writeFile(victim, "keep");
        sqlite::Statement update(catalogue->database().connection(),
                                 QStringLiteral("UPDATE %1 SET id = ?, fileName = ? WHERE id = ?")
                                     .arg(catalogue->calls().qualifiedName()));
        const QString id = QString::fromLatin1(cases[i].id);
        update.bind(1, id);
        update.bind(2, QString::fromLatin1(cases[i].fileName));
        update.bind(3, ids[int(i % 4)]);
        update.step();
        catalogue->calls().refresh();
        const QString out = path(QStringLiteral("deep/er"));
        ops.copyOut({id}, out);
        EXPECT_TRUE(QDir(out).entryList(QDir::Files).isEmpty()) << cases[i].id;
        ops.remove({id});
        EXPECT_EQ(testsupport::readFile(victim), "keep") << cases[i].id << ' ' << cases[i].fileName;
    }
}

TEST_F(RecordingOperationsTest, CopyOutNeverDestroysTheSourceAndListsWhatFailed)
{
    RecordingOperations ops(*catalogue);
    const QString target = path(QStringLiteral("out"));
    QDir().mkpath(target);
    QDir().mkpath(target + QLatin1Char('/') + files[2]); // a folder where the file should go
    QFile::remove(wavDir() + files[3]);
    testsupport::writeFile(target + QLatin1Char('/') + files[0], "old");

    CopyOutcome outcome = ops.copyOut(ids, target);
    EXPECT_EQ(outcome.copied, QStringList({files[0], files[1]}));
    EXPECT_EQ(outcome.failed.size(), 2) << qPrintable(outcome.failed.join('\n'));
    QFile copied(target + QLatin1Char('/') + files[0]);
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), QByteArray(100, 'a')) << "an older file there is replaced";

    outcome = ops.copyOut({ids[1]}, wavDir()); // onto itself
    EXPECT_EQ(outcome.skipped, QStringList({files[1]}));
    QFile source(wavDir() + files[1]);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_EQ(source.size(), 101);
}

TEST_F(RecordingOperationsTest, FindAndSearchReachEveryFolder)
{
    FolderOperations folders(*catalogue);
    const QString clients = folders.add(QString(), FolderOperations::Place::LastSibling);
    folders.rename(clients, QStringLiteral("Clients"));
    const QString twin = folders.add(QString(), FolderOperations::Place::LastSibling);
    folders.rename(twin, QStringLiteral("clients"));
    folders.fileRecordings({ids[2]}, clients);
    RecordingOperations ops(*catalogue);
    ops.setComment(ids[3], QStringLiteral("SMITH JOHN"));

    const auto found = ops.findByNumber(QStringLiteral("55512"));
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found.front().id, ids[3]) << "newest first";
    EXPECT_EQ(ops.findByNumber(QStringLiteral("555122")).front().id, ids[2]) << "in another folder";
    EXPECT_EQ(ops.folderKeysNamed(QStringLiteral("CLIENTS")).size(), 2);

    RecordingList list(*catalogue);
    list.setFolder(catalogue->recordFolderId());
    list.setSearch(QStringLiteral("smith"));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.row(0).id, ids[3]);
    list.setSearch(QStringLiteral("555122"));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.row(0).id, ids[2]);
    list.setSearch(QString());
    EXPECT_EQ(list.count(), 3) << "the folder again";
}

} // namespace
