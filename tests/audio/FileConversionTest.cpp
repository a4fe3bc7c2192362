#include "AudioTestSupport.h"
#include "audio/AudioConvertor.h"
#include "audio/FileConversion.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcmCodec.h"
#include "audio/ModemFormats.h"
#include "audio/AudioErrors.h"
#include "audio/RiffReader.h"
#include "audio/RiffWriter.h"

#include <QBuffer>
#include <QDir>
#include <gtest/gtest.h>

using namespace audiotest;

namespace {

class CollectingSink : public AudioMessageSink
{
public:
    void showMessage(const QString& text) override { messages << text; }
    QStringList messages;
};

QByteArray wholeInOneBlock(const QString& path)
{
    const ParsedWav wav = parseWav(testsupport::readFile(path));
    return convertAll(wav.format, standardPcm8k(), wav.data, 0);
}

QByteArray pcm8kOf(const QString& path)
{
    QBuffer memory;
    memory.open(QIODevice::ReadWrite);
    CollectingSink sink;
    EXPECT_TRUE(WavToPcm8k(path, memory, &sink));
    EXPECT_TRUE(sink.messages.isEmpty());
    return memory.data();
}

} // namespace

// Converting in quarter-second pieces gives the bytes one big block would.
TEST(WavToPcm8k, PiecewiseConversionMatchesTheWholeFileInOneBlock)
{
    QTemporaryDir dir;
    const QString stereo = dir.filePath("stereo.wav");
    writeWav(stereo, pcmFormat(44100, 16, 2), toBytes(testSignal(3 * 44100 + 123, 2, 300, 44100)));
    const QByteArray pieces = pcm8kOf(stereo);
    EXPECT_EQ(pieces.size(), (3 * 44100 + 123) * 8000 / 44100);
    EXPECT_EQ(pieces, wholeInOneBlock(stereo));

    const QString gsm = dir.filePath("gsm.wav");
    {
        QBuffer pcm;
        pcm.setData(toBytes(testSignal(8000 * 2, 1, 500, 8000)));
        pcm.open(QIODevice::ReadOnly);
        QFile file(gsm);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        TdeRIFFAudioWriter writer(&file);
        writer.setFormat(gsmFormat(8000));
        TdeAudioConvertor toGsm;
        toGsm.setFormatIn(pcmFormat(8000, 16, 1));
        toGsm.setFormatOut(gsmFormat(8000));
        toGsm.setOnAudioConverted([&](TdeAudioConvertor*, const void* d, qint64 n, bool&) { writer.writeData(d, n); });
        toGsm.open();
        const QByteArray all = pcm.data();
        toGsm.convert(all.constData(), all.size());
    }
    EXPECT_EQ(pcm8kOf(gsm), wholeInOneBlock(gsm));
    EXPECT_EQ(pcm8kOf(gsm).size(), 16000 / 320 * 320);
}

TEST(WavToPcm8k, AppendsAtTheStreamsPositionAndReportsFailures)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.wav");
    writeWav(good, standardPcm8k(), "abc");
    QBuffer memory;
    memory.open(QIODevice::ReadWrite);
    memory.write("head");
    ASSERT_TRUE(WavToPcm8k(good, memory));
    EXPECT_EQ(memory.data(), "headabc");

    const QString damaged = dir.filePath("damaged.wav");
    testsupport::writeFile(damaged, "RIFF\x04\0\0\0WAVE");
    CollectingSink sink;
    EXPECT_FALSE(WavToPcm8k(damaged, memory, &sink));
    EXPECT_EQ(sink.messages, QStringList{"Error was created during pcm conversion"});

    EXPECT_THROW(WavToPcm8k(dir.filePath("missing.wav"), memory, &sink), EACMAudioStreamError);
}

TEST(Pcm8kToWav, ReplacesTheFileInItsOwnFormat)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rec.wav");
    writeWav(path, imaAdpcmFormat(8000, 1), QByteArray(256 * 3, '\0'));
    QBuffer memory;
    memory.setData(QByteArray(5000, '\x90')); // fed as 2048 + 2048 + 904
    memory.open(QIODevice::ReadOnly);
    ASSERT_TRUE(Pcm8kToWav(path, memory));
    const ParsedWav result = parseWav(testsupport::readFile(path));
    EXPECT_TRUE(result.format.equals(imaAdpcmFormat(8000, 1)));
    EXPECT_EQ(result.data.size(), 5000 / 505 * 256);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"rec.wav"});
}

TEST(Pcm8kToWav, AFailedConversionLeavesTheRecordingUntouched)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rec.wav");
    writeWav(path, gsmFormat(8000), QByteArray(65 * 10, '\x11'));
    const QByteArray before = testsupport::readFile(path);

    QBuffer unreadable; // opened for writing only: every read fails
    unreadable.open(QIODevice::WriteOnly);
    unreadable.write(QByteArray(4000, '\x80'));
    EXPECT_FALSE(Pcm8kToWav(path, unreadable));
    EXPECT_EQ(testsupport::readFile(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"rec.wav"});

    const QString notWav = dir.filePath("notes.txt");
    testsupport::writeFile(notWav, "not audio");
    QBuffer memory;
    memory.open(QIODevice::ReadOnly);
    EXPECT_THROW(Pcm8kToWav(notWav, memory), EACMAudioReadError);
    EXPECT_EQ(testsupport::readFile(notWav), "not audio");
}

TEST(ModemFormats, RowsMatchByExactNameBitsAndRate)
{
    const Tcodec codec;
    const auto ima = codec.findModemFormat("IMA ADPCM", 4, 8000);
    ASSERT_TRUE(ima);
    // The headerless stream modems send: two samples a byte.
    EXPECT_EQ(ima->formatBuffer().left(20), QByteArray::fromHex("1100 0100 401f0000 a00f0000 0100 0400 0200 0200"));
    EXPECT_TRUE(ima->equals(codec.ima_adpcm_8000_4.formatIn()));
    EXPECT_TRUE(codec.findModemFormat("SIGNED PCM", 16, 8000)->equals(pcmFormat(8000, 16, 1)));
    EXPECT_EQ(codec.findModemFormat("UNSIGNED PCM", 8, 8000)->formatTag(), WaveTag::Pcm);
    EXPECT_EQ(codec.findModemFormat("ULAW", 8, 8000)->formatTag(), WaveTag::MuLaw);
    EXPECT_EQ(codec.findModemFormat("ALAW", 8, 8000)->formatTag(), WaveTag::ALaw);
    EXPECT_FALSE(codec.findModemFormat("SIGNED PCM", 8, 8000));
    EXPECT_FALSE(codec.findModemFormat("ulaw", 8, 8000));
    EXPECT_EQ(codec.findModemFormat("ULAW", 8, 7200)->samplesPerSec(), 7200u);
    EXPECT_FALSE(codec.findModemFormat("ULAW", 8, 1000));
}
