#include "audio/AudioErrors.h"
#include "audio/WaveFormat.h"

#include <QBuffer>
#include <gtest/gtest.h>

TEST(WaveFormat, NewRecordIsTheDefaultWithZeroExtraBytes)
{
    const TdeWaveFormat f;
    EXPECT_EQ(f.formatTag(), 1);
    EXPECT_EQ(f.channels(), 2);
    EXPECT_EQ(f.samplesPerSec(), 11025u);
    EXPECT_EQ(f.avgBytesPerSec(), 22050u);
    EXPECT_EQ(f.blockAlign(), 2);
    EXPECT_EQ(f.bitsPerSample(), 8);
    EXPECT_EQ(f.extraSize(), 0);
    const QByteArray bytes = f.formatBuffer();
    ASSERT_EQ(bytes.size(), 512);
    // Little-endian WAVEFORMATEX layout.
    EXPECT_EQ(bytes.left(18), QByteArray::fromHex("0100 0200 112b0000 22560000 0200 0800 0000"));
    EXPECT_EQ(bytes.mid(18), QByteArray(494, '\0'));
}

TEST(WaveFormat, ExtraSizeAboveTheBufferIsRefusedAndChangesNothing)
{
    TdeWaveFormat f;
    f.setExtraSize(494);
    EXPECT_EQ(f.extraSize(), 494);
    const TdeWaveFormat before = f;
    try {
        f.setExtraSize(495);
        FAIL() << "no exception";
    } catch (const EACMError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("The wave format buffer is too small."));
    }
    EXPECT_TRUE(f.equals(before));

    // A stored value past the limit (a loaded buffer) reads capped.
    QByteArray raw = f.formatBuffer();
    raw[16] = char(0xff);
    raw[17] = char(0xff);
    ASSERT_TRUE(f.setFormatBuffer(raw));
    EXPECT_EQ(f.extraSize(), 494);
}

TEST(WaveFormat, EqualityComparesAllBytesAndSetDefaultKeepsExtraBytes)
{
    TdeWaveFormat a;
    TdeWaveFormat b;
    EXPECT_TRUE(a.equals(b));
    b.extraBytes()[100] = 7; // stale byte beyond ExtraSize
    EXPECT_FALSE(a.equals(b));
    b.setSamplesPerSec(8000);
    b.setDefault();
    EXPECT_EQ(b.samplesPerSec(), 11025u);
    EXPECT_EQ(b.extraBytes()[100], 7);
    a.assign(b);
    EXPECT_TRUE(a == b);
    a.setChannels(1); // copies never share
    EXPECT_EQ(b.channels(), 2);
}

TEST(WaveFormat, StoredFormIsExactlyTheBuffer)
{
    TdeWaveFormat f = pcmFormat(44100, 16, 2);
    f.extraBytes()[493] = 0x5a;
    QBuffer stream;
    stream.open(QIODevice::ReadWrite);
    ASSERT_TRUE(f.saveFormatBuffer(stream));
    EXPECT_EQ(stream.size(), 512);
    stream.seek(0);
    TdeWaveFormat g;
    ASSERT_TRUE(g.loadFormatBuffer(stream));
    EXPECT_TRUE(g.equals(f));

    // A short stream or a wrong-sized settings value leaves the record alone.
    QBuffer shortStream;
    shortStream.setData(QByteArray(511, 'x'));
    shortStream.open(QIODevice::ReadOnly);
    EXPECT_FALSE(g.loadFormatBuffer(shortStream));
    EXPECT_FALSE(g.setFormatBuffer(QByteArray(513, 'x')));
    EXPECT_TRUE(g.equals(f));
}

TEST(WaveFormat, StandardPcm8kFields)
{
    const TdeWaveFormat f = standardPcm8k();
    EXPECT_EQ(f.formatBuffer().left(18), QByteArray::fromHex("0100010040" "1f0000401f000001000800" "0000"));
    EXPECT_EQ(f.formatBuffer().mid(18), QByteArray(494, '\0'));
}
