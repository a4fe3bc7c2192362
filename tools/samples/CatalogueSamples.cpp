#include "CatalogueSamples.h"

#include "catalogue/Catalogue.h"
#include "catalogue/Sqlite.h"

#include <QDateTime>
#include <QFile>
#include <cmath>

namespace {

const char* const Names[] = {"SMITH JOHN", "JONES MARY", "BROWN ALEX", "Dentist - appointment", "",
                             "GARCIA ANA", "Bank", "MILLER TOM", "Plumber, Tuesday", "WILSON KATE"};

QByteArray sampleWav(int seconds)
{
    const int samples = 8000 * seconds;
    QByteArray wav;
    auto u32 = [&wav](quint32 v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&wav](quint16 v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
    wav.append("RIFF");
    u32(36 + samples);
    wav.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(8000);
    u16(1);
    u16(8);
    wav.append("data");
    u32(samples);
    for (int i = 0; i < samples; ++i) // a warbling tone that fades in and out
        wav.append(char(128 + int(60 * std::sin(i * 0.06 + std::sin(i * 0.0007) * 8) * std::sin(i * 3.14159 / samples))));
    return wav;
}

} // namespace

void addSampleRecordings(Catalogue& catalogue, int count, const QString& folderKey, bool withFiles)
{
    const QString folder = folderKey.isEmpty() ? catalogue.recordFolderId() : folderKey;
    Database& db = catalogue.database();
    const QByteArray wav = withFiles ? sampleWav(3) : QByteArray();
    db.beginBatch();
    sqlite::Statement insert(db.connection(),
                             QStringLiteral("INSERT INTO %1 (id, Channel, FolderId, DateS, TimeS, Duration, Comment, "
                                            "dtmf, callerID, fileName, fileSize, accessed) "
                                            "VALUES (?, 1, ?, ?, ?, ?, ?, '', ?, ?, ?, ?)")
                                 .arg(catalogue.calls().qualifiedName()));
    const QDateTime start(QDate(2026, 1, 5), QTime(8, 0));
    for (int i = 0; i < count; ++i) {
        const QDateTime at = start.addSecs(qint64(i) * 3517);
        const int seconds = 5 + (i * 37) % 400;
        const QString fileName = QStringLiteral("1_%1_%2.wav").arg(at.toString(QStringLiteral("yyyyMMdd_hhmmss"))).arg(i);
        insert.reset();
        insert.bind(1, QStringLiteral("S%1").arg(i, 8, 36, QLatin1Char('0')).toUpper());
        insert.bind(2, folder);
        insert.bind(3, at.date().toString(Qt::ISODate));
        insert.bind(4, at.time().toString(Qt::ISODate));
        insert.bind(5, QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10, QLatin1Char('0')));
        insert.bind(6, QString::fromLatin1(Names[i % 10]));
        insert.bind(7, i % 10 == 4 ? QString() : QStringLiteral("555%1").arg(1000 + (i * 7919) % 9000));
        insert.bind(8, fileName);
        insert.bind(9, withFiles ? wav.size() : seconds * 8000);
        insert.bind(10, i % 7 != 3);
        insert.step();
        if (withFiles) {
            QFile file(catalogue.recordingsFolder() + fileName);
            if (file.open(QIODevice::WriteOnly))
                file.write(wav);
        }
    }
    db.commitBatch();
    catalogue.calls().refresh();
}
