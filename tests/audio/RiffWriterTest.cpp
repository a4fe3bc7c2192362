#include "AudioTestSupport.h"
#include "audio/AudioErrors.h"
#include "audio/RiffReader.h"
#include "audio/RiffWriter.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace audiotest;

namespace {

quint32 u32At(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

// A device that accepts only so many bytes, like a disk that fills up.
class FullDisk : public QBuffer
{
public:
    explicit FullDisk(qint64 room) : m_room(room) {}

protected:
    qint64 writeData(const char* data, qint64 len) override
    {
        if (pos() + len > m_room)
            return -1;
        return QBuffer::writeData(data, len);
    }

private:
    qint64 m_room;
};

} // namespace

TEST(RiffWriter, NoAudioLeavesTheTargetUntouched)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.wav");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        TdeRIFFAudioWriter writer(&file);
        writer.writeData("x", 0);
        writer.finish();
    }
    EXPECT_EQ(QFile(path).size(), 0);
}

TEST(RiffWriter, PcmLayoutWithOneByteHasNoPadByte)
{
    QBuffer target;
    target.open(QIODevice::ReadWrite);
    {
        TdeRIFFAudioWriter writer(&target);
        writer.setFormat(standardPcm8k());
        writer.writeData("\x80", 1);
    }
    const QByteArray file = target.data();
    ASSERT_EQ(file.size(), 45);
    EXPECT_EQ(file.left(4), "RIFF");
    EXPECT_EQ(u32At(file, 4), 37u);
    EXPECT_EQ(file.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32At(file, 16), 16u);
    EXPECT_EQ(file.mid(20, 16), standardPcm8k().formatBuffer().left(16));
    EXPECT_EQ(file.mid(36, 4), "data");
    EXPECT_EQ(u32At(file, 40), 1u);
    EXPECT_EQ(file.at(44), '\x80');
}

TEST(RiffWriter, NonPcmFormatCarriesItsExtraBytesAndNoFactChunk)
{
    TdeWaveFormat ima;
    ima.setFormatTag(WaveTag::ImaAdpcm);
    ima.setChannels(1);
    ima.setSamplesPerSec(8000);
    ima.setAvgBytesPerSec(4055);
    ima.setBlockAlign(256);
    ima.setBitsPerSample(4);
    ima.setExtraSize(2);
    ima.extraBytes()[0] = 0xf9;
    ima.extraBytes()[1] = 0x01;

    QBuffer target;
    target.open(QIODevice::ReadWrite);
    {
        TdeRIFFAudioWriter writer(&target);
        writer.setFormat(ima);
        writer.writeData(QByteArray(256, 'a').constData(), 256);
    }
    const QByteArray file = target.data();
    EXPECT_EQ(u32At(file, 16), 20u);
    EXPECT_EQ(file.mid(20, 20), ima.formatBuffer().left(20));
    EXPECT_EQ(file.mid(40, 4), "data");
    EXPECT_EQ(u32At(file, 44), 256u);
    EXPECT_EQ(file.size(), 48 + 256);
    EXPECT_EQ(u32At(file, 4), 38u + 2 + 256);
}

TEST(RiffWriter, WritesFromTheTargetsPositionAndLeavesItAtTheEnd)
{
    QBuffer target;
    target.open(QIODevice::ReadWrite);
    target.write("prefix");
    {
        TdeRIFFAudioWriter writer(&target);
        writer.setFormat(standardPcm8k());
        writer.writeData("abc", 3);
        writer.writeData("de", 2);
        writer.finish();
        EXPECT_EQ(target.pos(), 6 + 44 + 5);
        EXPECT_EQ(writer.bytesWritten(), 5);
    }
    const QByteArray file = target.data().mid(6);
    EXPECT_EQ(u32At(file, 4), 36u + 5);
    EXPECT_EQ(u32At(file, 40), 5u);
    EXPECT_EQ(file.mid(44), "abcde");
}

// A recording must survive the program dying: what is on disk at any moment
// reads back with all audio up to the last header update, which is never
// more than a second of audio behind.
TEST(RiffWriter, FileCutShortByACrashReadsBackUpToTheLastUpdate)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rec.wav");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    TdeRIFFAudioWriter writer(&file);
    writer.setFormat(standardPcm8k()); // one second = 8000 bytes
    QByteArray written;
    for (int block = 0; block < 40; ++block) {
        const QByteArray audio(700, char('A' + block % 26));
        writer.writeData(audio.constData(), audio.size());
        written += audio;

        // What a crash right now would leave behind.
        const ParsedWav onDisk = parseWav(testsupport::readFile(path));
        EXPECT_GE(onDisk.data.size(), written.size() - 8000) << "block " << block;
        EXPECT_EQ(onDisk.data, written.left(onDisk.data.size()));
    }
    // The first block is readable at once.
    writer.finish();
    EXPECT_EQ(parseWav(testsupport::readFile(path)).data, written);
}

TEST(RiffWriter, PowerLossThatTruncatesTheFileStillReads)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rec.wav");
    writeWav(path, standardPcm8k(), QByteArray(20000, 'z'));
    // Lengths in the header claim more than the disk kept.
    const QByteArray cut = testsupport::readFile(path).left(44 + 12345);
    const ParsedWav parsed = parseWav(cut);
    EXPECT_EQ(parsed.data, QByteArray(12345, 'z'));
}

TEST(RiffWriter, FullDiskIsReportedNotTakenForSuccess)
{
    FullDisk disk(1000);
    disk.open(QIODevice::ReadWrite);
    TdeRIFFAudioWriter writer(&disk);
    writer.setFormat(standardPcm8k());
    writer.writeData(QByteArray(500, 'a').constData(), 500);
    EXPECT_THROW(writer.writeData(QByteArray(600, 'b').constData(), 600), EACMAudioStreamError);
}
