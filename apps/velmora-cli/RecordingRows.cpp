#include "RecordingRows.h"

#include "catalogue/RecordingList.h"
#include "catalogue/RowCursor.h"
#include "core/VisibleText.h"

namespace {

// A TAB or line break inside a value would break the columns.
QString column(const QString& text)
{
    QString flat = text;
    for (QChar& c : flat)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return visibleText(flat);
}

void printColumns(const QStringList& columns, QTextStream& out)
{
    QStringList flat;
    for (const QString& text : columns)
        flat.append(column(text));
    out << flat.join(QLatin1Char('\t')) << '\n';
}

} // namespace

void printRecordingRow(const RecordingRow& row, QTextStream& out)
{
    printColumns({row.id, row.date.toString(QStringLiteral("yyyy-MM-dd")), row.time.toString(QStringLiteral("HH:mm:ss")),
                  row.duration, row.callerId, row.comment, row.fileName, QString::number(row.fileSize),
                  row.accessed ? QStringLiteral("1") : QStringLiteral("0")},
                 out);
}

void printRecordingRow(RowCursor& row, QTextStream& out)
{
    printColumns({row.field(QStringLiteral("id")).asText(),
                  row.field(QStringLiteral("DateS")).asVariant().toDate().toString(QStringLiteral("yyyy-MM-dd")),
                  row.field(QStringLiteral("TimeS")).asVariant().toTime().toString(QStringLiteral("HH:mm:ss")),
                  row.field(QStringLiteral("Duration")).asText(), row.field(QStringLiteral("callerID")).asText(),
                  row.field(QStringLiteral("Comment")).asText(), row.field(QStringLiteral("fileName")).asText(),
                  QString::number(row.field(QStringLiteral("fileSize")).asInteger()),
                  row.field(QStringLiteral("accessed")).asBool() ? QStringLiteral("1") : QStringLiteral("0")},
                 out);
}
