#include "AudioTestSupport.h"
#include "audio/AudioErrors.h"
#include "audio/RiffReader.h"
#include "audio/SubStream.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <random>

using namespace audiotest;

namespace {

const QByteArray Audio = "0123456789abcdefghij";

QByteArray fmtChunk(const char* id = "fmt ")
{
    return chunk(id, pcmFmtBody(8000, 8, 1));
}

// Returns the reader's message, or an empty string when the file reads.
QString rejection(const QByteArray& file)
{
    try {
        parseWav(file);
        return {};
    } catch (const EACMAudioReadError& e) {
        return e.message();
    }
}

struct ReaderOn
{
    explicit ReaderOn(const QByteArray& file)
    {
        buffer.setData(file);
        buffer.open(QIODevice::ReadOnly);
    }
    QBuffer buffer;
};

} // namespace

TEST(RiffReader, AcceptsVariationsOfTheChunkLayout)
{
    const QByteArray list = chunk("LIST", "INFOICMT" + le32(4) + QByteArray("hi!\0", 4));
    struct Case
    {
        const char* name;
        QByteArray file;
    } cases[] = {
        {"plain", riffFile(fmtChunk() + chunk("data", Audio))},
        {"any letter case", riffFile(fmtChunk("FmT ") + chunk("DaTa", Audio))},
        {"LIST between", riffFile(fmtChunk() + list + chunk("data", Audio))},
        {"data before fmt", riffFile(chunk("data", Audio) + fmtChunk())},
        {"odd chunk, no pad", riffFile(fmtChunk() + chunk("junk", "abc") + chunk("data", Audio))},
        {"odd chunk, padded", riffFile(fmtChunk() + chunk("junk", "abc") + '\0' + chunk("data", Audio))},
        {"chunks after data", riffFile(fmtChunk() + chunk("data", Audio) + chunk("LIST", "xx"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedWav parsed = parseWav(c.file);
        EXPECT_TRUE(parsed.format.equals(standardPcm8k()));
        EXPECT_EQ(parsed.data, Audio);
        EXPECT_EQ(c.file.mid(parsed.dataOffset, Audio.size()), Audio);
    }
}

TEST(RiffReader, RejectsWhatIsNotAUsableWavFile)
{
    const QByteArray data = chunk("data", Audio);
    struct Case
    {
        const char* name;
        QByteArray file;
    } cases[] = {
        {"empty", {}},
        {"only RIFF", "RIFF"},
        {"lower-case riff", "riff" + riffFile(fmtChunk() + data).mid(4)},
        {"RIFF length 0", riffFile(fmtChunk() + data, 0)},
        {"not WAVE", "RIFF" + le32(100) + "AVI " + fmtChunk() + data},
        {"fmt longer than 512", riffFile(chunk("fmt ", QByteArray(513, '\1')) + data)},
        {"no fmt", riffFile(data)},
        {"no data", riffFile(fmtChunk())},
        {"fmt cut short", riffFile(fmtChunk()).left(12 + 8 + 10)},
        {"huge chunk hides the rest", riffFile(chunk("junk", "") + fmtChunk() + data).replace(16, 4, le32(0xfffffff0))},
        {"header cut short", riffFile(fmtChunk() + data).left(12 + 24 + 5)},
        // Formats that were completed from defaults, or that nothing plays.
        {"fmt of 0 bytes", riffFile(chunk("fmt ", "") + data)},
        {"fmt of 2 bytes", riffFile(chunk("fmt ", le16(1)) + data)},
        {"fmt of 14 bytes", riffFile(chunk("fmt ", pcmFmtBody(8000, 8, 1).left(14)) + data)},
        {"1 sample/s", riffFile(chunk("fmt ", pcmFmtBody(1, 8, 1)) + data)},
        {"65535 channels", riffFile(chunk("fmt ", pcmFmtBody(8000, 8, 1).replace(2, 2, le16(65535))) + data)},
        {"no block size", riffFile(chunk("fmt ", pcmFmtBody(8000, 8, 1).replace(12, 2, le16(0))) + data)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rejection(c.file), QStringLiteral("Invalid file format.")) << c.name;
}

// A header stating 0 bytes/s made the player play 1 s of audio in 8 s.
TEST(RiffReader, BytesPerSecondOfPlainSamplesFollowTheRateAndBlock)
{
    for (const quint32 stated : {0u, 1u, 16000u, 0xFFFFFFFFu}) {
        const ParsedWav parsed =
            parseWav(riffFile(chunk("fmt ", pcmFmtBody(8000, 8, 1).replace(8, 4, le32(stated))) + chunk("data", Audio)));
        EXPECT_EQ(parsed.format.avgBytesPerSec(), 8000u) << stated;
    }
}

TEST(RiffReader, DataLengthPastTheEndIsCutToTheBytesPresent)
{
    QByteArray file = riffFile(fmtChunk() + chunk("data", Audio));
    file.replace(40, 4, le32(0xffffffff));
    ReaderOn on(file);
    TdeRIFFAudioReader reader(&on.buffer);
    EXPECT_EQ(reader.statedDataSize(), 0xffffffffu);
    EXPECT_EQ(reader.trackSize(), Audio.size());
    TdeSubStream* track = reader.openTrack();
    EXPECT_EQ(track->size(), Audio.size());
}

// Truncated and damaged files never crash or hang, and a file that reads
// never claims more audio than it holds.
TEST(RiffReader, DamagedFilesAreRejectedOrReadSafely)
{
    const QByteArray good = riffFile(fmtChunk() + chunk("LIST", "INFOxyz") + chunk("data", Audio));
    for (int length = 0; length <= good.size(); ++length) {
        const QByteArray cut = good.left(length);
        try {
            const ParsedWav parsed = parseWav(cut);
            EXPECT_LE(parsed.dataOffset + parsed.data.size(), qint64(cut.size()));
        } catch (const EACMAudioReadError&) {
        }
    }
    std::mt19937 random(42);
    for (int round = 0; round < 3000; ++round) {
        QByteArray damaged = good;
        for (int hits = 1 + round % 4; hits > 0; --hits)
            damaged[int(random() % damaged.size())] = char(random());
        try {
            const ParsedWav parsed = parseWav(damaged);
            EXPECT_LE(parsed.dataOffset + parsed.data.size(), qint64(damaged.size()));
        } catch (const EACMAudioReadError&) {
        }
    }
}

TEST(RiffReader, ReadTrackAlwaysStartsAtTheFirstAudioByte)
{
    ReaderOn on("junk" + riffFile(fmtChunk() + chunk("data", Audio)));
    on.buffer.seek(4); // a file embedded in a stream starts where the stream is
    TdeRIFFAudioReader reader(&on.buffer);
    char first[5];
    ASSERT_EQ(reader.readTrack(0, first, 5), 5);
    EXPECT_EQ(QByteArray(first, 5), "01234");
    ASSERT_EQ(reader.readTrack(0, first, 5), 5);
    EXPECT_EQ(QByteArray(first, 5), "01234");
    QByteArray all(100, '\0');
    EXPECT_EQ(reader.readTrack(0, all.data(), all.size()), Audio.size());
}

TEST(SubStream, SeekClampsToTheWindow)
{
    ReaderOn on(QByteArray("....") + Audio);
    TdeSubStream window(&on.buffer, 4, 10);
    EXPECT_EQ(on.buffer.pos(), 4);
    EXPECT_EQ(window.seek(0, TdeSubStream::Origin::End), 10);
    EXPECT_EQ(window.seek(-3, TdeSubStream::Origin::Current), 7);
    EXPECT_EQ(window.seek(-20, TdeSubStream::Origin::Current), 0);
    EXPECT_EQ(window.seek(50, TdeSubStream::Origin::Beginning), 10);
    EXPECT_EQ(window.seek(2, TdeSubStream::Origin::Beginning), 2);
    EXPECT_EQ(on.buffer.pos(), 6);
}

TEST(SubStream, ReadsStayInsideTheWindowWhoeverMovesTheParent)
{
    ReaderOn on(QByteArray("....") + Audio);
    TdeSubStream a(&on.buffer, 4, 10);
    TdeSubStream b(&on.buffer, 10, 6);
    char bytes[16];
    ASSERT_EQ(a.read(bytes, 3), 3);
    ASSERT_EQ(b.read(bytes + 3, 2), 2);
    ASSERT_EQ(a.read(bytes + 5, 16), 7); // only the rest of the window
    EXPECT_EQ(QByteArray(bytes, 12), "01267" "3456789");
    EXPECT_EQ(a.read(bytes, 1), 0);
    EXPECT_EQ(a.position(), a.size());
}

TEST(SubStream, BytesTheParentCannotDeliverReadAsZero)
{
    ReaderOn on("abc");
    TdeSubStream window(&on.buffer, 1, 6);
    char bytes[6];
    std::fill(std::begin(bytes), std::end(bytes), 'x');
    EXPECT_EQ(window.read(bytes, 6), 6);
    EXPECT_EQ(QByteArray(bytes, 6), QByteArray("bc\0\0\0\0", 6));
}

TEST(SubStream, WritingPastTheEndIsRefused)
{
    QBuffer parent;
    parent.setData(QByteArray(10, '.'));
    parent.open(QIODevice::ReadWrite);
    TdeSubStream window(&parent, 2, 4);
    EXPECT_EQ(window.write("ab", 2), 2);
    try {
        window.write("xyz", 3);
        FAIL() << "no exception";
    } catch (const ESubStreamError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Write past end of sub stream."));
    }
    EXPECT_EQ(parent.data(), "..ab......");
}

TEST(RiffReader, OwnsTheWindowsItOpened)
{
    ReaderOn on(riffFile(fmtChunk() + chunk("data", Audio)));
    auto reader = std::make_unique<TdeRIFFAudioReader>(&on.buffer);
    delete reader->openTrack(); // the caller may free one early
    TdeSubStream* kept = reader->openTrack();
    char first;
    ASSERT_EQ(kept->read(&first, 1), 1);
    EXPECT_EQ(first, '0');
    reader.reset(); // frees the window still open
}
