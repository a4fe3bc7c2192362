#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One voice compression the modem offers (one line of its +VSM=? answer),
// as the probe keeps it: nine short texts of at most FieldLength characters.
struct CompressionRecord
{
    static constexpr int FieldCount = 9;
    static constexpr int FieldLength = 30;
    // On disk each field is a length byte and FieldLength character bytes.
    static constexpr int FieldSize = 1 + FieldLength;
    static constexpr int RecordSize = FieldCount * FieldSize; // 279

    QString desc; // normalised name: "UNSIGNED PCM", "SIGNED PCM", "IMA ADPCM", "ULAW", "ALAW", "ADPCM"
    QString cml;  // the modem's compression method number
    QString cmid; // the modem's own description, quotes kept
    QString bps;  // bits per sample
    QString tm;   // timing marker
    QString vsr;  // the chosen sample rate
    QString sds;  // silence detection sensitivity
    QString sel;  // silence expansion level
    QString vsm;  // the command that selects this compression

    bool operator==(const CompressionRecord&) const = default;

    // "desc,cml,bps,tm,vsr,sds,sel": the line shown for it in the settings.
    QString displayLine() const;
};

// The records of Compressions.d: a plain sequence of RecordSize-byte records
// numbered from 0. Text is Latin-1; the bytes after a field's text are zero.
QByteArray encodeCompressionRecord(const CompressionRecord& record);
// Decodes whole records from the start of `bytes`, at most maxRecords; a
// trailing partial record is ignored and a length byte above FieldLength is
// read as FieldLength, so a damaged file gives odd texts, never a crash.
QList<CompressionRecord> decodeCompressionRecords(const QByteArray& bytes, int maxRecords);

// The file beside the settings file.
QString compressionsFilePath(const QString& settingsFileName);
