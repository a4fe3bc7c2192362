#include "CatalogueTestSupport.h"

#include "TestSupport.h"
#include "catalogue/CatalogueSchema.h"
#include "catalogue/Query.h"
#include "catalogue/RecordingNames.h"
#include "catalogue/TableError.h"
#include "config/IniFile.h"

#include <QFileInfo>

namespace {

using CatalogueTest = DataFolderTest;

const QString NewMessages = QStringLiteral("SELECT * FROM recordings WHERE accessed=false");

QString text(Table& table, const char* field)
{
    return table.field(QLatin1String(field)).asText();
}

TEST_F(CatalogueTest, FirstStartCreatesTheTablesTheGeneralFolderAndItsNode)
{
    auto catalogue = openCatalogue();
    EXPECT_EQ(catalogue->calls().fieldCount(), 28);
    EXPECT_EQ(catalogue->calls().rowCount(), 0);
    ASSERT_EQ(catalogue->folders().rowCount(), 1);
    EXPECT_EQ(text(catalogue->folders(), "FolderName"), "General");
    const QString key = text(catalogue->folders(), "FolderId");
    EXPECT_EQ(key.size(), 9);
    EXPECT_EQ(catalogue->recordFolderId(), key);
    ASSERT_EQ(catalogue->tree().nodeCount(), 1);
    EXPECT_EQ(catalogue->tree().roots[0].text, "General");
    EXPECT_EQ(catalogue->tree().roots[0].folderKey, key);
    // The tree is written at once, so a crash before the first save loses nothing.
    EXPECT_EQ(catalogue->treeIni().readString("Folders", "Node0", QString()), key);

    addRecording(*catalogue, QDateTime(QDate(2008, 3, 14), QTime(9, 5, 7)), 30, false);
    catalogue.reset();
    // The second start finds everything as it was.
    catalogue = openCatalogue();
    EXPECT_EQ(catalogue->recordFolderId(), key);
    EXPECT_EQ(catalogue->tree().nodeCount(), 1);
    ASSERT_EQ(catalogue->calls().rowCount(), 1);
    EXPECT_EQ(text(catalogue->calls(), "FolderId"), key);
}

TEST_F(CatalogueTest, AddedRowHoldsTheSessionAsTheSchemaSays)
{
    auto catalogue = openCatalogue();
    // The user is looking at another folder: the recording still goes to the first.
    Table& folders = catalogue->folders();
    folders.append();
    folders.field("FolderId").setText("OTHER");
    folders.field("FolderName").setText("Clients");
    folders.post();
    ASSERT_TRUE(folders.locate("FolderId", "OTHER"));

    testsupport::writeFile(catalogue->recordingsFolder() + "Recorded.wav", QByteArray(4321, 'x'));
    RecordingSession session;
    session.startTime = QDateTime(QDate(2008, 3, 14), QTime(9, 5, 7, 450));
    session.seconds = 754;
    session.callerNumber = "5551234";
    session.callerName = "SMITH JOHN";
    session.answeredByMachine = true;
    session.savedAt = QDateTime(QDate(2008, 3, 14), QTime(9, 17, 41));
    const QString fileName = catalogue->AddRecordingRow(session);
    EXPECT_EQ(fileName, "1_20080314_090507.wav");
    EXPECT_EQ(catalogue->lastFileName(), fileName);
    EXPECT_EQ(catalogue->calls().rowCount(), 0); // not in the folder being viewed

    folders.first();
    Table& calls = catalogue->calls();
    ASSERT_EQ(calls.rowCount(), 1);
    EXPECT_EQ(text(calls, "id").size(), 9);
    EXPECT_EQ(calls.field("Channel").asInteger(), 1);
    EXPECT_EQ(text(calls, "FolderId"), catalogue->recordFolderId());
    EXPECT_EQ(calls.field("DateS").asVariant().toDate(), QDate(2008, 3, 14));
    EXPECT_EQ(calls.field("TimeS").asVariant().toTime(), QTime(9, 5, 7));
    EXPECT_EQ(text(calls, "Duration"), "12:34");
    EXPECT_EQ(text(calls, "Comment"), "SMITH JOHN");
    EXPECT_EQ(text(calls, "callerID"), "5551234");
    EXPECT_EQ(text(calls, "fileName"), fileName);
    EXPECT_EQ(calls.field("fileSize").asInteger(), 4321);
    EXPECT_FALSE(calls.field("accessed").asBool()); // left on the answering machine
    EXPECT_EQ(calls.field("int3").asInteger(), 0);
    EXPECT_FALSE(calls.field("int3").isNull());
    EXPECT_EQ(catalogue->RecordingFileName(), "1_20080314_090507");
}

TEST_F(CatalogueTest, MissingRecordedFileStoresNoRow)
{
    auto catalogue = openCatalogue();
    RecordingSession session;
    session.startTime = QDateTime::currentDateTime();
    try {
        catalogue->AddRecordingRow(session);
        FAIL() << "a row without its file";
    } catch (const TableError& e) {
        EXPECT_TRUE(e.message().contains("Recorded.wav")) << e.message().toStdString();
    }
    EXPECT_EQ(catalogue->calls().rowCount(), 0);
    EXPECT_EQ(catalogue->calls().state(), Table::State::Browse);
}

TEST_F(CatalogueTest, RecordingAcrossMidnightCarriesTheSavingDayAndTheStartTime)
{
    auto catalogue = openCatalogue();
    testsupport::writeFile(wavDir() + "Recorded.wav", "RIFF");
    RecordingSession session;
    session.startTime = QDateTime(QDate(2008, 12, 31), QTime(23, 59, 50));
    session.seconds = 30;
    session.savedAt = QDateTime(QDate(2009, 1, 1), QTime(0, 0, 20));
    EXPECT_EQ(catalogue->AddRecordingRow(session), "1_20090101_235950.wav");
    EXPECT_EQ(catalogue->calls().field("DateS").asVariant().toDate(), QDate(2009, 1, 1));
    EXPECT_EQ(catalogue->calls().field("TimeS").asVariant().toTime(), QTime(23, 59, 50));
    EXPECT_TRUE(catalogue->calls().field("accessed").asBool()); // not the answering machine
}

TEST(RecordingNamesTest, DurationAndLongDateTexts)
{
    const std::pair<int, const char*> durations[] = {{0, "00:00"},   {5, "00:05"},   {59, "00:59"},
                                                     {60, "01:00"},  {599, "09:59"}, {600, "10:00"},
                                                     {754, "12:34"}, {3600, "60:00"}, {6000, "100:00"}};
    for (const auto& [seconds, expected] : durations)
        EXPECT_EQ(DurationText(seconds), expected) << seconds;

    EXPECT_EQ(LongDateText(QDate(2008, 8, 6)), "Wensday, 6 Augest 2008");
    EXPECT_EQ(LongDateText(QDate(2008, 8, 30)), "Saturday, 30 Augest 2008");
    EXPECT_EQ(LongDateText(QDate(2008, 10, 1)), "Wensday, 1 October 2008");
    EXPECT_EQ(LongDateText(QDate(2009, 1, 4)), "Sunday, 4 January 2009");

    EXPECT_EQ(RecordingFileName(1, QDate(2008, 3, 14), QTime(9, 5, 7)), "1_20080314_090507");
    EXPECT_EQ(RecordingFileName(12, QDate(999, 1, 2), QTime(0, 0, 0)), "12_09990102_000000");
}

TEST_F(CatalogueTest, NewMessagesQuerySpansFoldersUntilEachIsHeard)
{
    auto catalogue = openCatalogue();
    const QDateTime start(QDate(2008, 5, 1), QTime(10, 0, 0));
    addRecording(*catalogue, start, 10, true, "111");
    addRecording(*catalogue, start.addSecs(60), 10, false, "222"); // picked up: heard
    addRecording(*catalogue, start.addSecs(120), 10, true, "333");
    addRecording(*catalogue, start.addSecs(180), 10, true, "444");
    // File two of the messages in another folder.
    Table& folders = catalogue->folders();
    folders.append();
    folders.field("FolderId").setText("SECOND");
    folders.field("FolderName").setText("Second");
    folders.post();
    folders.first();
    Table& calls = catalogue->calls();
    for (const char* number : {"333", "444"}) {
        ASSERT_TRUE(calls.locate("callerID", number));
        calls.edit();
        calls.field("FolderId").setText("SECOND");
        calls.post();
    }
    ASSERT_EQ(calls.rowCount(), 2);

    Query newMessages(catalogue->database(), NewMessages);
    newMessages.open();
    QStringList numbers;
    QStringList ids;
    for (newMessages.first(); !newMessages.eof(); newMessages.next()) {
        numbers.append(newMessages.field("CallerID").asText());
        ids.append(newMessages.field("id").asText());
    }
    EXPECT_EQ(numbers, QStringList({"111", "333", "444"}));

    // Remote access: locate each message in its folder by id and mark it heard.
    for (const QString& id : ids) {
        for (folders.first(); !folders.eof() && !calls.locate("id", id); folders.next()) {
        }
        ASSERT_EQ(text(calls, "id"), id);
        calls.edit();
        calls.field("accessed").setBool(true);
        calls.post();
        calls.commit();
    }
    newMessages.close();
    newMessages.open();
    EXPECT_EQ(newMessages.rowCount(), 0);
}

TEST_F(CatalogueTest, UnsafeFileNamesAndIdsNeverReachOutsideTheRecordingsFolder)
{
    auto catalogue = openCatalogue();
    testsupport::writeFile(path("outside.wav"), "keep me");
    testsupport::writeFile(path("victim.wav"), "keep me too");
    Table& calls = catalogue->calls();
    const QStringList unsafe = {"../outside.wav", path("outside.wav"), "..", "", "sub/../../outside.wav"};
    for (const QString& name : unsafe) {
        addRecording(*catalogue, QDateTime(QDate(2008, 1, 1), QTime(1, 0, 0)), 1, false);
        calls.last();
        calls.edit();
        calls.field("fileName").setText(name);
        calls.field("id").setText("../victim");
        calls.post();
        EXPECT_TRUE(catalogue->recordingFilePath().isEmpty()) << name.toStdString();
        catalogue->RenameLegacyFile();
        calls.deleteRow(); // deletes the row's file, when it has a safe one
    }
    EXPECT_EQ(testsupport::readFile(path("outside.wav")), "keep me");
    EXPECT_EQ(testsupport::readFile(path("victim.wav")), "keep me too");
    EXPECT_EQ(calls.rowCount(), 0);

    // A safe name is deleted with its row.
    addRecording(*catalogue, QDateTime(QDate(2008, 1, 1), QTime(2, 0, 0)), 1, false);
    const QString file = wavDir() + text(calls, "fileName");
    testsupport::writeFile(file, "wave");
    EXPECT_EQ(catalogue->recordingFilePath(), file);
    calls.deleteRow();
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(CatalogueTest, LegacyFileIsRenamedButNeverOverAnotherRecording)
{
    auto catalogue = openCatalogue();
    addRecording(*catalogue, QDateTime(QDate(2008, 3, 14), QTime(9, 5, 7)), 5, false);
    const QString id = text(catalogue->calls(), "id");
    testsupport::writeFile(wavDir() + id + ".wav", "legacy");
    testsupport::writeFile(wavDir() + "1_20080314_090512.wav", "other");
    catalogue->RenameLegacyFile();
    EXPECT_EQ(testsupport::readFile(wavDir() + "1_20080314_090507.wav"), "legacy");
    EXPECT_FALSE(QFile::exists(wavDir() + id + ".wav"));

    addRecording(*catalogue, QDateTime(QDate(2008, 3, 14), QTime(9, 5, 12)), 5, false);
    catalogue->calls().last();
    const QString second = text(catalogue->calls(), "id");
    testsupport::writeFile(wavDir() + second + ".wav", "legacy 2");
    catalogue->RenameLegacyFile();
    EXPECT_EQ(testsupport::readFile(wavDir() + "1_20080314_090512.wav"), "other");
    EXPECT_EQ(testsupport::readFile(wavDir() + second + ".wav"), "legacy 2");
}

TEST_F(CatalogueTest, DamagedRecordingsTableIsReportedAndKept)
{
    const QByteArray damaged = QByteArray("SQLite format 3") + QByteArray(4096, '\x7f');
    testsupport::writeFile(path("Recordings.d"), damaged);
    Catalogue catalogue(data(), wavDir());
    try {
        catalogue.OpenCatalogue();
        FAIL() << "a damaged table opened";
    } catch (const TableError& e) {
        EXPECT_TRUE(e.message().contains("Recordings.d")) << e.message().toStdString();
    }
    EXPECT_FALSE(catalogue.isOpen());
    EXPECT_EQ(testsupport::readFile(path("Recordings.d")), damaged);
    EXPECT_EQ(QDir(data()).entryList(QDir::Files), QStringList({"Recordings.d"}));
}

TEST_F(CatalogueTest, RecordingsTableWithoutTheNeededFieldsIsRefusedNotChanged)
{
    writeTableFile(data(), "Recordings.d", {{"id", FieldType::Text, 10}, {"Other", FieldType::Integer, 0}},
                   {{"A", 1}});
    const QByteArray before = testsupport::readFile(path("Recordings.d"));
    Catalogue catalogue(data(), wavDir());
    EXPECT_THROW(catalogue.OpenCatalogue(), TableError);
    EXPECT_EQ(testsupport::readFile(path("Recordings.d")), before);
}

class ConversionTest : public DataFolderTest
{
protected:
    static FieldDefs oldFields()
    {
        return {{"id", FieldType::Text, 10},      {"Channel", FieldType::Integer, 0},
                {"FolderId", FieldType::Text, 20}, {"DateS", FieldType::Text, 20},
                {"TimeS", FieldType::Text, 20},    {"Duration", FieldType::Text, 10},
                {"Comment", FieldType::Text, 255}};
    }
};

TEST_F(ConversionTest, OldTableGetsNewKeysChannelOneAndNamesFromItsDates)
{
    writeTableFile(data(), "Recordings.d", oldFields(),
                   {{"OLD1", 2, "F1", "03/14/2008", "09:05:07", "01:40", "first"},
                    {"OLD2", 1, "F2", "not a date", "10:00:00", "00:10", "lost"},
                    {"OLD3", 1, "F1", "2008-12-31", "23:59:50", "00:30", "third"}});
    const QByteArray oldBytes = testsupport::readFile(path("Recordings.d"));
    QDir().mkpath(wavDir());
    testsupport::writeFile(wavDir() + "2_20080314_090507.wav", QByteArray(777, 'w'));

    auto catalogue = openCatalogue();
    Table& calls = catalogue->calls();
    EXPECT_EQ(calls.fieldCount(), 28);
    // Read the converted file directly, across folders.
    Query all(catalogue->database(), "SELECT * FROM recordings");
    all.open();
    ASSERT_EQ(all.rowCount(), 2);
    EXPECT_EQ(all.field("Channel").asInteger(), 1);
    EXPECT_EQ(all.field("id").asText().size(), 9);
    EXPECT_NE(all.field("id").asText(), "OLD1");
    EXPECT_EQ(all.field("FolderId").asText(), "F1");
    EXPECT_EQ(all.field("Comment").asText(), "first");
    EXPECT_EQ(all.field("Duration").asText(), "01:40");
    EXPECT_EQ(all.field("fileName").asText(), "2_20080314_090507.wav"); // its own channel and dates
    EXPECT_EQ(all.field("fileSize").asInteger(), 777);
    EXPECT_TRUE(all.field("accessed").asBool());
    EXPECT_TRUE(all.field("int1").isNull());
    all.next();
    EXPECT_EQ(all.field("fileName").asText(), "1_20081231_235950.wav");
    EXPECT_EQ(all.field("fileSize").asInteger(), 0); // no such file

    // The row that could not be read is not lost: the old table is kept.
    EXPECT_EQ(testsupport::readFile(path("Recordings_old.d")), oldBytes);
    EXPECT_FALSE(QFile::exists(path("Recordings_1.d")));
    EXPECT_EQ(catalogue->openNotes().size(), 2);
    // The converted file answers to its name in other programs too.
    EXPECT_EQ(testsupport::run("sqlite3", {path("Recordings.d"), "SELECT count(*) FROM recordings"}).out, "2\n");
}

TEST_F(ConversionTest, FailedConversionLeavesTheOldTableAsItWas)
{
    FieldDefs fields = oldFields();
    fields[2].name = "Folder"; // no FolderId: the conversion cannot complete
    writeTableFile(data(), "Recordings.d", fields, {{"OLD1", 1, "F1", "03/14/2008", "09:05:07", "01:40", "x"}});
    testsupport::writeFile(path("Recordings_1.d"), "left by an interrupted conversion");
    const QByteArray before = testsupport::readFile(path("Recordings.d"));
    Catalogue catalogue(data(), wavDir());
    EXPECT_THROW(catalogue.OpenCatalogue(), TableError);
    EXPECT_EQ(testsupport::readFile(path("Recordings.d")), before);
}

TEST_F(CatalogueTest, OldTreeFileIsImportedSavedAndThenRemoved)
{
    writeTableFile(data(), "Folders.d", schema::foldersFields(),
                   {{"KGEN", "General"}, {"KCLI", "Clients"}, {"KFAM", "Family"}});
    testsupport::writeFile(path("tree.d"), "General\r\n\tClients\r\n\t\tUnknown\r\n\tFamily\r\n\r\n");
    auto catalogue = openCatalogue();
    const FolderTree& tree = catalogue->tree();
    ASSERT_EQ(tree.nodeCount(), 4);
    EXPECT_EQ(tree.roots[0].folderKey, "KGEN");
    EXPECT_TRUE(tree.roots[0].expanded);
    EXPECT_EQ(tree.roots[0].children[0].folderKey, "KCLI");
    EXPECT_EQ(tree.roots[0].children[1].folderKey, "KFAM");
    // A name no folder has gets its own folder, not the key of another.
    const QString unknown = tree.roots[0].children[0].children[0].folderKey;
    EXPECT_FALSE(unknown.isEmpty());
    EXPECT_NE(unknown, "KCLI");
    ASSERT_TRUE(catalogue->folders().locate("FolderId", unknown));
    EXPECT_EQ(text(catalogue->folders(), "FolderName"), "Unknown");

    EXPECT_FALSE(QFile::exists(path("tree.d")));
    IniFile ini(path("Tree.ini"));
    EXPECT_EQ(ini.readString("Tree", "Node2", QString()), "##Unknown");
    EXPECT_EQ(ini.readString("Folders", "Node3", QString()), "KFAM");
}

TEST_F(CatalogueTest, FoldersMissingFromTheTreeGetANode)
{
    writeTableFile(data(), "Folders.d", schema::foldersFields(), {{"KGEN", "General"}, {"KNEW", "Added late"}});
    IniFile ini(path("Tree.ini"));
    ini.writeString("Tree", "Node0", "General");
    ini.writeString("Folders", "Node0", "KGEN");
    auto catalogue = openCatalogue();
    ASSERT_EQ(catalogue->tree().nodeCount(), 2);
    EXPECT_EQ(catalogue->tree().roots[1].text, "Added late");
    EXPECT_EQ(ini.readString("Folders", "Node1", QString()), "KNEW");
}

} // namespace
