#include "CatalogueTestSupport.h"

#include "TestSupport.h"
#include "catalogue/Database.h"
#include "catalogue/Table.h"

QString DataFolderTest::addRecording(Catalogue& catalogue, const QDateTime& start, qint64 seconds, bool answered,
                                     const QString& number, int bytes)
{
    testsupport::writeFile(catalogue.recordingsFolder() + Catalogue::RecordedFileName, QByteArray(bytes, 'x'));
    RecordingSession session;
    session.startTime = start;
    session.seconds = seconds;
    session.answeredByMachine = answered;
    session.callerNumber = number;
    session.savedAt = start.addSecs(seconds);
    return catalogue.AddRecordingRow(session);
}

void writeTableFile(const QString& folder, const QString& tableName, const FieldDefs& fields,
                    const std::vector<std::vector<QVariant>>& rows)
{
    Database db(folder);
    Table table(db, tableName);
    table.setLoadMode(Table::LoadMode::Clear);
    table.setFieldDefinitions(fields);
    table.open();
    for (const auto& row : rows) {
        table.append();
        for (size_t i = 0; i < row.size(); ++i)
            table.field(int(i)).setVariant(row[i]);
        table.post();
    }
    table.saveToFile(db.folder() + tableName);
}
