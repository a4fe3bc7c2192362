#include "CompressionRecord.h"

#include <QFileInfo>
#include <array>

namespace {

std::array<QString CompressionRecord::*, CompressionRecord::FieldCount> fieldOrder()
{
    return {&CompressionRecord::desc, &CompressionRecord::cml, &CompressionRecord::cmid,
            &CompressionRecord::bps,  &CompressionRecord::tm,  &CompressionRecord::vsr,
            &CompressionRecord::sds,  &CompressionRecord::sel, &CompressionRecord::vsm};
}

} // namespace

QString CompressionRecord::displayLine() const
{
    return QStringList{desc, cml, bps, tm, vsr, sds, sel}.join(QLatin1Char(','));
}

QByteArray encodeCompressionRecord(const CompressionRecord& record)
{
    QByteArray bytes(CompressionRecord::RecordSize, '\0');
    int offset = 0;
    for (QString CompressionRecord::* field : fieldOrder()) {
        const QByteArray text = (record.*field).left(CompressionRecord::FieldLength).toLatin1();
        bytes[offset] = char(text.size());
        std::copy(text.cbegin(), text.cend(), bytes.begin() + offset + 1);
        offset += CompressionRecord::FieldSize;
    }
    return bytes;
}

QList<CompressionRecord> decodeCompressionRecords(const QByteArray& bytes, int maxRecords)
{
    QList<CompressionRecord> records;
    const auto fields = fieldOrder();
    for (qsizetype start = 0; start + CompressionRecord::RecordSize <= bytes.size() && records.size() < maxRecords;
         start += CompressionRecord::RecordSize) {
        CompressionRecord record;
        for (int f = 0; f < CompressionRecord::FieldCount; ++f) {
            const qsizetype at = start + qsizetype(f) * CompressionRecord::FieldSize;
            const int length = std::min(int(quint8(bytes[at])), CompressionRecord::FieldLength);
            record.*fields[size_t(f)] = QString::fromLatin1(bytes.mid(at + 1, length));
        }
        records.append(record);
    }
    return records;
}

QString compressionsFilePath(const QString& settingsFileName)
{
    return QFileInfo(settingsFileName).absolutePath() + QStringLiteral("/Compressions.d");
}
