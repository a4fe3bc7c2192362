// The live search's index against a plain scan of the same rows.
#include "CatalogueTestSupport.h"

#include "catalogue/RecordingList.h"
#include "catalogue/Sqlite.h"

#include <algorithm>

namespace {

class SearchIndexTest : public DataFolderTest
{
protected:
    // The rows that hold the text, any letter case, read by a scan.
    static std::vector<qint64> scanned(Catalogue& catalogue, const QString& text)
    {
        sqlite::Statement scan(catalogue.database().connection(),
                               QStringLiteral("SELECT rowid FROM %1 WHERE instr(lower(callerID), lower(?1)) > 0 "
                                              "OR instr(lower(Comment), lower(?1)) > 0 ORDER BY rowid")
                                   .arg(catalogue.calls().qualifiedName()));
        scan.bind(1, text);
        std::vector<qint64> rows;
        while (scan.step())
            rows.push_back(scan.columnInt64(0));
        return rows;
    }
    static std::vector<qint64> searched(Catalogue& catalogue, const QString& text)
    {
        RecordingList list(catalogue);
        list.setSearch(text);
        std::vector<qint64> rows;
        for (int i = 0; i < list.count(); ++i)
            rows.push_back(list.row(i).rowid);
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    static void exec(Catalogue& catalogue, const QString& sql)
    {
        catalogue.database().connection().exec(sql.arg(catalogue.calls().qualifiedName()));
    }
};

TEST_F(SearchIndexTest, FindsWhatAScanFindsAfterInsertsEditsDeletesAndInAnOlderFile)
{
    const QString texts[] = {QStringLiteral("555"), QStringLiteral("5551"), QStringLiteral("smith"),
                             QStringLiteral("SMI"), QStringLiteral("ntist - a"), QStringLiteral("say \"hi\""),
                             QStringLiteral("5"), QStringLiteral("zzz")};
    auto check = [&](Catalogue& catalogue, const char* when) {
        for (const QString& text : texts)
            EXPECT_EQ(searched(catalogue, text), scanned(catalogue, text)) << when << ": " << qPrintable(text);
    };
    {
        auto catalogue = openCatalogue();
        ASSERT_TRUE(catalogue->searchIndexed());
        const char* const comments[] = {"SMITH JOHN", "Dentist - appointment", "say \"hi\" to Smithers", "", "Bank"};
        for (int i = 0; i < 40; ++i)
            addRecording(*catalogue, QDateTime(QDate(2026, 3, 1), QTime(9, 0)).addSecs(i * 61), 5, i % 2,
                         QStringLiteral("555%1").arg(1000 + i * 37));
        QString cases;
        for (int i = 0; i < 5; ++i)
            cases += QStringLiteral(" WHEN %1 THEN %2").arg(i).arg(sqlite::literal(QLatin1String(comments[i])));
        exec(*catalogue, QStringLiteral("UPDATE %1 SET Comment = CASE rowid % 5") + cases + QStringLiteral(" END"));
        check(*catalogue, "after edits");
        exec(*catalogue, QStringLiteral("DELETE FROM %1 WHERE rowid % 3 = 0"));
        check(*catalogue, "after deletes");
        // As a file of an older build holds it: no index, no triggers.
        const QString schema = sqlite::quoted(catalogue->calls().attachment().schema);
        for (const char* drop : {"TRIGGER %1.\"Recordings_search_insert\"", "TRIGGER %1.\"Recordings_search_delete\"",
                                 "TRIGGER %1.\"Recordings_search_update\"", "TABLE %1.\"Recordings_search\""})
            catalogue->database().connection().exec(QStringLiteral("DROP ") + QString::fromLatin1(drop).arg(schema));
        exec(*catalogue, QStringLiteral("UPDATE %1 SET Comment = 'Smith again' WHERE rowid % 4 = 1"));
    }
    auto reopened = openCatalogue();
    ASSERT_TRUE(reopened->searchIndexed()) << "made again when the file is opened";
    check(*reopened, "in a file of an older build");
}

} // namespace
