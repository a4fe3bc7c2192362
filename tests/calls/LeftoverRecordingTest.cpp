// A Recorded.wav left by a crash is saved, never written over.
#include "CallFixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtEndian>

namespace {

// What a writer that never finished leaves: a header with zero lengths
// followed by `audioBytes` of 8 kHz 8-bit audio.
QByteArray unfinishedWav(int audioBytes)
{
    QByteArray wav("RIFF\0\0\0\0WAVEfmt ", 16);
    auto put32 = [&wav](quint32 v) { wav.append(reinterpret_cast<const char*>(&(v = qToLittleEndian(v))), 4); };
    auto put16 = [&wav](quint16 v) { wav.append(reinterpret_cast<const char*>(&(v = qToLittleEndian(v))), 2); };
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(8000);
    put16(1);
    put16(8);
    wav.append("data\0\0\0\0", 8);
    wav.append(QByteArray(audioBytes, char(0x90)));
    return wav;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class LeftoverRecordingTest : public CallTest
{
protected:
    QString recordings() const { return dataFolder + QStringLiteral("/wav/"); }
};

TEST_F(LeftoverRecordingTest, IsRepairedAndCataloguedAsUnheardBeforeAnythingRecords)
{
    QDir().mkpath(recordings());
    writeFile(recordings() + Catalogue::RecordedFileName, unfinishedWav(16000));
    start();
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(lastRow("accessed"), QStringLiteral("False"));
    EXPECT_EQ(lastRow("Duration"), QStringLiteral("00:02"));
    const QString saved = recordings() + lastRow("fileName");
    EXPECT_FALSE(QFile::exists(recordings() + Catalogue::RecordedFileName));
    QProcess soxi;
    soxi.start(QStringLiteral("soxi"), {QStringLiteral("-D"), saved});
    ASSERT_TRUE(soxi.waitForFinished(10000));
    EXPECT_EQ(soxi.readAllStandardOutput().trimmed(), QByteArray("2.000000"));

    // Something else in its place when a recording starts is moved aside.
    writeFile(recordings() + Catalogue::RecordedFileName, QByteArray("not a wav file at all"));
    service->controller().Record();
    talk(600);
    service->controller().Stop();
    settle();
    EXPECT_EQ(rowCount(), 2);
    EXPECT_EQ(QDir(recordings()).entryList({QStringLiteral("Recorded-damaged-*.wav")}).size(), 1);
    EXPECT_EQ(QFile(recordings() + lastRow("fileName")).size(), 44 + 600 * 8);

    // Killed after the row of a save was committed, before the file took its
    // name: it takes the name at the next start and is not catalogued twice.
    const QString named = lastRow("fileName");
    ASSERT_TRUE(QFile::rename(recordings() + named, recordings() + Catalogue::RecordedFileName));
    service.reset();
    start();
    EXPECT_EQ(rowCount(), 2);
    EXPECT_TRUE(QFile::exists(recordings() + named));
    EXPECT_FALSE(QFile::exists(recordings() + Catalogue::RecordedFileName));
}

// Call numbers start again with every run: the name a call took beside a
// stuck Recorded.wav would be written over by a later run's call.
TEST_F(LeftoverRecordingTest, ACallsOwnNameIsRecoveredToo)
{
    QDir().mkpath(recordings());
    writeFile(recordings() + QStringLiteral("Recorded-3.wav"), unfinishedWav(8000));
    writeFile(recordings() + QStringLiteral("Recorded-damaged-20261210_101010.wav"), unfinishedWav(8000));
    start();
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(lastRow("Duration"), QStringLiteral("00:01"));
    EXPECT_EQ(QDir(recordings()).entryList({QStringLiteral("Recorded-*.wav")}),
              QStringList{QStringLiteral("Recorded-damaged-20261210_101010.wav")});
}

} // namespace
