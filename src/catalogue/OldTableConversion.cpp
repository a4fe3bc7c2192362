#include "Catalogue.h"

#include "CatalogueSchema.h"
#include "platform/FileSync.h"
#include "RecordingNames.h"
#include "TableError.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdio>

// The old release kept seven fields per recording. The new table is built
// completely in memory and saved as Recordings_1.d, which then replaces
// Recordings.d in one atomic rename: at every moment Recordings.d is either
// the whole old table or the whole new one.

namespace {

QVariant typedValue(Table& table, const char* field, FieldType type, const QString& dateFormat)
{
    const auto value = fieldvalues::coerce({QString(), type, 0}, table.field(QLatin1String(field)).asVariant(),
                                           dateFormat);
    return value.value_or(QVariant());
}

qint64 fileSizeOrZero(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.size() : 0;
}

// The untouched old table, kept when rows could not be converted.
QString keepOldTable(const QString& oldPath, const QString& folder)
{
    for (int n = 0; n < 1000; ++n) {
        const QString name = n == 0 ? QStringLiteral("Recordings_old.d") : QStringLiteral("Recordings_old_%1.d").arg(n);
        if (QFileInfo::exists(folder + name))
            continue;
        if (QFile::copy(oldPath, folder + name) && syncFile(folder + name))
            return name;
        break;
    }
    throw TableError(QStringLiteral("%1: cannot keep a copy of the old table").arg(oldPath));
}

} // namespace

void Catalogue::ConvertOldRecordingsTable()
{
    const QString folder = m_db.folder();
    const QString oldPath = m_db.tableFilePath(schema::RecordingsTable);
    const QString newPath = folder + schema::ConvertedTable;
    // Only this conversion writes the file; one left over was interrupted.
    QFile::remove(newPath);

    Table old(m_db, schema::RecordingsTable);
    old.open();
    Table converted(m_db, schema::ConvertedTable);
    converted.setLoadMode(Table::LoadMode::Clear);
    converted.setFieldDefinitions(schema::recordingsFields());
    converted.setStoredName(Database::stemOf(schema::RecordingsTable));
    converted.open();

    const QString& dateFormat = m_db.dateFormat();
    const int total = old.rowCount();
    int done = 0;
    int dropped = 0;
    for (old.first(); !old.eof() && total > 0; old.next()) {
        if (progress)
            progress(done, total);
        ++done;
        const QVariant date = typedValue(old, "DateS", FieldType::Date, dateFormat);
        const QVariant time = typedValue(old, "TimeS", FieldType::Time, dateFormat);
        if (!date.isValid() || !time.isValid()) {
            ++dropped;
            continue;
        }
        const QString fileName =
            ::RecordingFileName(old.field(QStringLiteral("Channel")).asInteger(), date.toDate(), time.toTime())
            + QStringLiteral(".wav");
        converted.append();
        auto set = [&converted](const char* name, const QVariant& value) {
            converted.field(QLatin1String(name)).setVariant(value);
        };
        set("id", converted.newUniqueKey(QStringLiteral("id")));
        set("Channel", 1);
        set("DateS", date);
        set("TimeS", time);
        set("FolderId", old.field(QStringLiteral("FolderId")).asText());
        set("Duration", old.field(QStringLiteral("Duration")).asText());
        set("Comment", old.field(QStringLiteral("Comment")).asText());
        set("dtmf", QString());
        set("callerID", QString());
        set("fileName", fileName);
        set("fileSize", int(std::min<qint64>(fileSizeOrZero(m_recordingsFolder + fileName), INT_MAX)));
        set("accessed", true);
        for (int i = 1; i <= 4; ++i) {
            converted.field(QStringLiteral("bool%1").arg(i)).setBool(false);
            converted.field(QStringLiteral("st%1").arg(i)).setText(QString());
            converted.field(QStringLiteral("real%1").arg(i)).setFloat(0.0);
        }
        converted.post();
    }
    if (progress)
        progress(total, total);
    converted.saveToFile(newPath);
    converted.close();
    old.close();

    if (dropped > 0) {
        const QString kept = keepOldTable(oldPath, folder);
        m_notes.append(QStringLiteral("%1 of %2 old recordings had an unreadable date or time and were left out; "
                                      "the old table is kept as %3")
                           .arg(dropped)
                           .arg(total)
                           .arg(kept));
    }
    if (::rename(QFile::encodeName(newPath).constData(), QFile::encodeName(oldPath).constData()) != 0)
        throw TableError(QStringLiteral("Cannot replace %1: %2").arg(oldPath, QString::fromLocal8Bit(std::strerror(errno))));
    syncFolder(folder);
    m_notes.append(QStringLiteral("Converted %1 recordings of the old table format").arg(total - dropped));
}
