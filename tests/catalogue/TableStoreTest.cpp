#include "CatalogueTestSupport.h"

#include "TestSupport.h"
#include "catalogue/CatalogueSchema.h"
#include "catalogue/Query.h"
#include "catalogue/Table.h"
#include "catalogue/TableError.h"
#include "catalogue/TableFiles.h"
#include "catalogue/UniqueKey.h"

#include <QRegularExpression>
#include <QSet>

namespace {

FieldDefs sampleFields()
{
    return {{QStringLiteral("Name"), FieldType::Text, 5},   {QStringLiteral("Count"), FieldType::Integer, 0},
            {QStringLiteral("Day"), FieldType::Date, 0},    {QStringLiteral("At"), FieldType::Time, 0},
            {QStringLiteral("Flag"), FieldType::Boolean, 0}, {QStringLiteral("Ratio"), FieldType::Float, 0},
            {QStringLiteral("Notes"), FieldType::Memo, 0},   {QStringLiteral("Group"), FieldType::Text, 10}};
}

class TableStoreTest : public DataFolderTest
{
protected:
    // Rows "a".."e" in groups g1, g2, g1, g2, g1.
    void writeSample()
    {
        std::vector<std::vector<QVariant>> rows;
        const QStringList names = {"a", "b", "c", "d", "e"};
        for (int i = 0; i < names.size(); ++i)
            rows.push_back({names[i], i, QDate(2008, 3, 14 + i), QTime(9, 5, i), i % 2 == 0, 0.5 * i,
                            QStringLiteral("memo %1").arg(i), i % 2 == 0 ? "g1" : "g2"});
        writeTableFile(data(), QStringLiteral("Sample.d"), sampleFields(), rows);
    }

    QStringList namesInOrder(Table& table)
    {
        QStringList names;
        for (table.first(); !table.eof(); table.next())
            names.append(table.field(QStringLiteral("name")).asText());
        return names;
    }
};

TEST_F(TableStoreTest, FileDescribesItsFieldsAndValuesKeepTheirTypes)
{
    writeSample();
    Database db(data());
    Table table(db, QStringLiteral("Sample.d"));
    table.open();
    ASSERT_EQ(table.fieldCount(), 8);
    EXPECT_EQ(table.fieldDefs()[0].type, FieldType::Text);
    EXPECT_EQ(table.fieldDefs()[0].size, 5);
    EXPECT_EQ(table.fieldDefs()[6].type, FieldType::Memo);

    table.setRecNo(3);
    // Names match without regard to case.
    EXPECT_EQ(table.field(QStringLiteral("NAME")).asText(), "c");
    EXPECT_EQ(table.field(QStringLiteral("count")).asInteger(), 2);
    EXPECT_EQ(table.field(QStringLiteral("day")).asVariant().toDate(), QDate(2008, 3, 16));
    EXPECT_EQ(table.field(QStringLiteral("day")).asText(), "03/16/2008"); // the date format property
    EXPECT_EQ(table.field(QStringLiteral("at")).asText(), "09:05:02");
    EXPECT_TRUE(table.field(QStringLiteral("flag")).asBool());
    EXPECT_DOUBLE_EQ(table.field(QStringLiteral("ratio")).asFloat(), 1.0);
    EXPECT_EQ(table.field(QStringLiteral("notes")).asText(), "memo 2");
    EXPECT_THROW(table.field(QStringLiteral("missing")), TableError);

    table.edit();
    table.field(QStringLiteral("Name")).setText(QStringLiteral("longer than five"));
    table.field(QStringLiteral("Day")).setText(QStringLiteral("12/31/2009"));
    EXPECT_THROW(table.field(QStringLiteral("Count")).setText(QStringLiteral("many")), TableError);
    table.field(QStringLiteral("Count")).setText(QString()); // empty text is null
    table.post();
    table.close();
    table.open();
    table.setRecNo(3);
    EXPECT_EQ(table.field(QStringLiteral("Name")).asText(), "longe");
    EXPECT_EQ(table.field(QStringLiteral("Day")).asVariant().toDate(), QDate(2009, 12, 31));
    EXPECT_TRUE(table.field(QStringLiteral("Count")).isNull());
    EXPECT_EQ(table.field(QStringLiteral("Count")).asInteger(), 0);
}

TEST_F(TableStoreTest, CursorNavigatesAndEditsInTableOrder)
{
    writeSample();
    Database db(data());
    Table table(db, QStringLiteral("Sample.d"));
    table.open();
    EXPECT_EQ(table.rowCount(), 5);
    table.first();
    EXPECT_TRUE(table.bof());
    EXPECT_FALSE(table.eof());
    table.last();
    EXPECT_EQ(table.recNo(), 5);
    table.next();
    EXPECT_TRUE(table.eof());
    EXPECT_EQ(table.field(QStringLiteral("Name")).asText(), "e"); // stays on the last row

    // Fields are written only while editing; cancel drops the change.
    table.first();
    EXPECT_THROW(table.field(QStringLiteral("Name")).setText(QStringLiteral("x")), TableError);
    table.edit();
    table.field(QStringLiteral("Name")).setText(QStringLiteral("x"));
    table.cancel();
    EXPECT_EQ(table.field(QStringLiteral("Name")).asText(), "a");

    // An appended row goes to the end and becomes current; moving posts it.
    table.append();
    table.field(QStringLiteral("Name")).setText(QStringLiteral("f"));
    table.first();
    EXPECT_EQ(table.state(), Table::State::Browse);
    EXPECT_EQ(namesInOrder(table), QStringList({"a", "b", "c", "d", "e", "f"}));
}

TEST_F(TableStoreTest, DeleteNotifiesBeforeAndAfterAndCanBeStopped)
{
    writeSample();
    Database db(data());
    Table table(db, QStringLiteral("Sample.d"));
    table.open();
    QStringList events;
    table.beforeDelete = [&](Table& t) {
        events.append("before " + t.field(QStringLiteral("Name")).asText());
        if (t.field(QStringLiteral("Name")).asText() == "a")
            throw TableError(QStringLiteral("kept"));
    };
    table.afterDelete = [&](Table& t) { events.append("after " + QString::number(t.rowCount())); };

    table.first();
    EXPECT_THROW(table.deleteRow(), TableError);
    EXPECT_EQ(table.rowCount(), 5);

    table.setRecNo(2);
    table.deleteRow();
    EXPECT_EQ(events, QStringList({"before a", "before b", "after 4"}));
    EXPECT_EQ(table.field(QStringLiteral("Name")).asText(), "c"); // the next row takes its place
    table.last();
    table.deleteRow();
    EXPECT_EQ(table.field(QStringLiteral("Name")).asText(), "d"); // the last row: the one before
    EXPECT_EQ(namesInOrder(table), QStringList({"a", "c", "d"}));
}

TEST_F(TableStoreTest, LocateIsExactAndLeavesTheCursorWhenNothingMatches)
{
    writeSample();
    Database db(data());
    Table table(db, QStringLiteral("Sample.d"));
    table.open();
    table.setRecNo(2);
    EXPECT_FALSE(table.locate(QStringLiteral("Name"), QStringLiteral("C")));
    EXPECT_EQ(table.recNo(), 2);
    EXPECT_TRUE(table.locate(QStringLiteral("name"), QStringLiteral("d")));
    EXPECT_EQ(table.recNo(), 4);
    // The first match wins; typed fields compare by value.
    EXPECT_TRUE(table.locate(QStringLiteral("Flag"), true));
    EXPECT_EQ(table.recNo(), 1);
    EXPECT_TRUE(table.locate(QStringLiteral("Day"), QDate(2008, 3, 18)));
    EXPECT_EQ(table.field(QStringLiteral("Name")).asText(), "e");
}

TEST_F(TableStoreTest, DetailShowsOnlyTheRangeOfTheMastersRow)
{
    writeSample();
    writeTableFile(data(), QStringLiteral("Groups.d"), {{QStringLiteral("Group"), FieldType::Text, 10}},
                   {{QStringLiteral("g1")}, {QStringLiteral("g2")}, {QStringLiteral("g3")}});
    Database db(data());
    Table groups(db, QStringLiteral("Groups.d"));
    Table detail(db, QStringLiteral("Sample.d"));
    groups.open();
    detail.open();
    detail.setMasterLink(&groups, QStringLiteral("Group"), QStringLiteral("group"));

    groups.first();
    EXPECT_EQ(namesInOrder(detail), QStringList({"a", "c", "e"}));
    detail.setRecNo(2);
    EXPECT_EQ(detail.field(QStringLiteral("Name")).asText(), "c");
    EXPECT_FALSE(detail.locate(QStringLiteral("Name"), QStringLiteral("b"))); // outside the range

    groups.next();
    EXPECT_EQ(namesInOrder(detail), QStringList({"b", "d"}));
    EXPECT_TRUE(detail.locate(QStringLiteral("Name"), QStringLiteral("d")));

    // Moving a row to another group takes it out of this range.
    detail.edit();
    detail.field(QStringLiteral("Group")).setText(QStringLiteral("g3"));
    detail.post();
    EXPECT_EQ(detail.rowCount(), 1);
    // A row appended for another group is stored but not shown here.
    detail.append();
    detail.field(QStringLiteral("Name")).setText(QStringLiteral("z"));
    detail.field(QStringLiteral("Group")).setText(QStringLiteral("g1"));
    detail.post();
    EXPECT_EQ(namesInOrder(detail), QStringList({"b"}));
    groups.last();
    EXPECT_EQ(namesInOrder(detail), QStringList({"d"}));
    groups.first();
    EXPECT_EQ(namesInOrder(detail), QStringList({"a", "c", "e", "z"}));
}

TEST_F(TableStoreTest, QueryFindsTablesByFileNameWithoutRegardToCase)
{
    writeSample();
    QFile::rename(path("Sample.d"), path("SAMPLE.d"));
    Database db(data());
    Query query(db, QStringLiteral("SELECT * FROM sample WHERE flag=false"));
    QStringList events;
    query.afterOpen = [&](Query& q) { events.append("open " + QString::number(q.rowCount())); };
    query.afterClose = [&](Query&) { events.append("close"); };
    query.open();
    EXPECT_EQ(query.rowCount(), 2);
    EXPECT_EQ(query.field(QStringLiteral("NAME")).asText(), "b");
    EXPECT_EQ(query.field(QStringLiteral("Day")).asVariant().toDate(), QDate(2008, 3, 15));
    query.next();
    EXPECT_EQ(query.field(QStringLiteral("Name")).asText(), "d");
    query.next();
    EXPECT_TRUE(query.eof());
    query.close();
    EXPECT_EQ(events, QStringList({"open 2", "close"}));

    // A change by an open table is seen by the next opening of the query.
    Table table(db, QStringLiteral("Sample.d"));
    table.open();
    table.first();
    table.edit();
    table.field(QStringLiteral("Flag")).setBool(false);
    table.post();
    query.open();
    EXPECT_EQ(query.rowCount(), 3);
}

TEST_F(TableStoreTest, UnreadableTableFileIsReportedAndLeftAlone)
{
    const QByteArray junk = QByteArray("this is a text file, not a table\n").repeated(200);
    testsupport::writeFile(path("Junk.d"), junk);
    testsupport::writeFile(path("Empty.d"), QByteArray());
    Database db(data());
    Table junkTable(db, QStringLiteral("Junk.d"));
    try {
        junkTable.open();
        FAIL() << "a text file opened as a table";
    } catch (const TableError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Junk.d"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("not a database"))) << e.message().toStdString();
    }
    EXPECT_FALSE(junkTable.isOpen());
    Table empty(db, QStringLiteral("Empty.d"));
    EXPECT_THROW(empty.open(), TableError);
    Table missing(db, QStringLiteral("Missing.d"));
    EXPECT_THROW(missing.open(), TableError);

    EXPECT_EQ(testsupport::readFile(path("Junk.d")), junk);
    EXPECT_EQ(testsupport::readFile(path("Empty.d")), QByteArray());
    EXPECT_FALSE(QFile::exists(path("Missing.d")));
}

TEST_F(TableStoreTest, BatchIsDurableOnlyAtCommit)
{
    writeSample();
    Database db(data());
    Table table(db, QStringLiteral("Sample.d"));
    table.open();
    db.beginBatch();
    table.append();
    table.field(QStringLiteral("Name")).setText(QStringLiteral("f"));
    table.post();
    // Another reader of the file sees nothing of the open batch.
    EXPECT_EQ(testsupport::run(QStringLiteral("sqlite3"), {path("Sample.d"), "SELECT count(*) FROM sample"}).out,
              "5\n");
    table.commit();
    EXPECT_EQ(testsupport::run(QStringLiteral("sqlite3"), {path("Sample.d"), "SELECT count(*) FROM sample"}).out,
              "6\n");
}

TEST(UniqueKeyTest, KeysAreNineFileNameSafeCharactersAndDoNotRepeat)
{
    const QRegularExpression safe(QStringLiteral("^[0-9A-Z]{9}$"));
    QSet<QString> keys;
    for (int i = 0; i < 20000; ++i) {
        const QString key = newUniqueKey();
        ASSERT_TRUE(safe.match(key).hasMatch()) << key.toStdString();
        keys.insert(key);
    }
    EXPECT_EQ(keys.size(), 20000);
    // Later seconds give later keys, so keys sort by their time.
    const QDateTime t(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC);
    EXPECT_LT(uniqueKeyAt(t, 46655), uniqueKeyAt(t.addSecs(1), 0));
}

} // namespace

namespace {

using GreetingsTableTest = DataFolderTest;

TEST_F(GreetingsTableTest, CreatedOnceWithItsFieldsThenOpenedAsItIs)
{
    const QString text = QStringLiteral("Please leave a message after the tone. ").repeated(40);
    {
        Database db(data());
        Table messages(db, schema::MessagesTable);
        openOrCreateTable(messages, schema::messagesFields());
        ASSERT_EQ(messages.fieldCount(), 21);
        EXPECT_EQ(messages.fieldDefs()[4].type, FieldType::Memo);
        messages.append();
        messages.field(QStringLiteral("MsgID")).setText(messages.newUniqueKey(QStringLiteral("MsgId")));
        messages.field(QStringLiteral("CallerID")).setText(QStringLiteral("5551234"));
        messages.field(QStringLiteral("tts")).setText(text);
        messages.post();
    }
    Database db(data());
    Table messages(db, schema::MessagesTable);
    openOrCreateTable(messages, schema::messagesFields());
    ASSERT_EQ(messages.rowCount(), 1);
    EXPECT_EQ(messages.field(QStringLiteral("TTS")).asText(), text); // no length limit

    testsupport::writeFile(path("Msgs.d"), "garbage");
    Table damaged(db, QStringLiteral("Msgs.d"));
    messages.close();
    EXPECT_THROW(openOrCreateTable(damaged, schema::messagesFields()), TableError);
    EXPECT_EQ(testsupport::readFile(path("Msgs.d")), "garbage");
}

} // namespace
