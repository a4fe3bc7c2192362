#include "audio/ModemFormats.h"
#include "modem/CompressionChoice.h"
#include "modem/CompressionRecord.h"

#include <gtest/gtest.h>

namespace {

CompressionRecord record(const char* desc, const char* bps, const char* vsr = "8000")
{
    CompressionRecord r;
    r.desc = QLatin1String(desc);
    r.bps = QLatin1String(bps);
    r.vsr = QLatin1String(vsr);
    return r;
}

TEST(CompressionsFile, RecordLayoutIsNineLengthPrefixedFieldsOf31Bytes)
{
    CompressionRecord r;
    r.desc = QStringLiteral("UNSIGNED PCM");
    r.cml = QStringLiteral("128");
    r.cmid = QStringLiteral("\"8-BIT LINEAR\"");
    r.bps = QStringLiteral("8");
    r.tm = QStringLiteral("0");
    r.vsr = QStringLiteral("8000");
    r.sds = QStringLiteral("0");
    r.sel = QString();
    r.vsm = QStringLiteral("at+vsm=128,8000,0");
    const QByteArray bytes = encodeCompressionRecord(r);
    ASSERT_EQ(bytes.size(), 279);
    const QByteArray texts[] = {"UNSIGNED PCM", "128", "\"8-BIT LINEAR\"", "8", "0", "8000", "0", "", "at+vsm=128,8000,0"};
    for (int f = 0; f < 9; ++f) {
        EXPECT_EQ(quint8(bytes[f * 31]), texts[f].size()) << f;
        EXPECT_EQ(bytes.mid(f * 31 + 1, texts[f].size()), texts[f]) << f;
        EXPECT_EQ(bytes.mid(f * 31 + 1 + texts[f].size(), 30 - texts[f].size()).count('\0'), 30 - texts[f].size());
    }
    EXPECT_EQ(decodeCompressionRecords(bytes + bytes, 101), QList<CompressionRecord>({r, r}));
    EXPECT_EQ(r.displayLine(), QStringLiteral("UNSIGNED PCM,128,8,0,8000,0,"));
}

TEST(CompressionsFile, DamagedFilesReadWithoutHarm)
{
    CompressionRecord r;
    r.cmid = QString(40, QLatin1Char('x'));
    QByteArray bytes = encodeCompressionRecord(r);
    EXPECT_EQ(quint8(bytes[62]), 30); // cut to the field
    bytes[0] = char(250);             // a length beyond the field
    const QList<CompressionRecord> read = decodeCompressionRecords(bytes + QByteArray(100, 'z'), 101);
    ASSERT_EQ(read.size(), 1); // the partial record at the end is ignored
    EXPECT_EQ(read[0].desc.size(), 30);
    EXPECT_EQ(read[0].cmid, QString(30, QLatin1Char('x')));

    QByteArray many;
    for (int i = 0; i < 120; ++i)
        many += encodeCompressionRecord(r);
    EXPECT_EQ(decodeCompressionRecords(many, 101).size(), 101);
    EXPECT_TRUE(decodeCompressionRecords(QByteArray(), 101).isEmpty());
}

TEST(CompressionChoice, PreferenceOrderAndFirstRecordWithinIt)
{
    // 8-bit A-law listed first, 8-bit unsigned PCM second: PCM wins.
    EXPECT_EQ(chooseCompressionIndex({record("ALAW", "8"), record("UNSIGNED PCM", "8")}), 1);

    const QList<CompressionRecord> all = {
        record("ADPCM", "4"),        record("IMA ADPCM", "4"),  record("UNSIGNED PCM", "16"),
        record("SIGNED PCM", "16"),  record("ALAW", "8"),       record("ULAW", "8"),
        record("ULAW", "8"),         record("UNSIGNED PCM", "8"),
    };
    // Removing the winner each time walks down the preference order.
    const int expectedOrder[] = {7, 5, 6, 4, 3, 2, 1};
    QList<CompressionRecord> remaining = all;
    for (const int expected : expectedOrder) {
        const auto chosen = chooseCompressionIndex(remaining);
        ASSERT_TRUE(chosen.has_value());
        EXPECT_EQ(remaining[*chosen].desc, all[expected].desc);
        EXPECT_EQ(remaining[*chosen].bps, all[expected].bps);
        remaining[*chosen].desc = QStringLiteral("CHOSEN");
    }
    // 4-bit ADPCM has no codec, and is still chosen when it is all there is.
    const auto last = chooseCompressionIndex(remaining);
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(*last, 0);

    EXPECT_FALSE(chooseCompressionIndex({record("ADPCM", "2"), record("ULAW", "16")}).has_value());
    EXPECT_FALSE(chooseCompressionIndex({}).has_value());
}

TEST(CompressionChoice, ADecodableCompressionBeatsAnEarlierPreferenceWithoutCodec)
{
    // 4-bit ADPCM has no codec; 16-bit signed PCM at 7200 has.
    EXPECT_EQ(chooseCompressionIndex({record("ADPCM", "4"), record("SIGNED PCM", "16", "7200")}), 1);
    // 8-bit signed PCM is decoded, and preferred to mu-law.
    EXPECT_EQ(chooseCompressionIndex({record("ULAW", "8"), record("SIGNED PCM", "8")}), 1);
    // Alone, the undecodable preference is chosen (and the probe then says
    // that no codec matches).
    EXPECT_EQ(chooseCompressionIndex({record("ADPCM", "2"), record("ADPCM", "4")}), 1);
}

// Modems that stream at 7200 samples/s, or offer only 8-bit signed PCM,
// get a codec format too: the codec layer resamples, the receive path flips
// the sign of 8-bit signed samples.
TEST(CompressionChoice, CodecFormatsAndTheirNames)
{
    const struct
    {
        const char* desc;
        int bits;
        int rate;
        const char* name;
    } cases[] = {
        {"UNSIGNED PCM", 8, 8000, "pcm_8000_8"}, {"UNSIGNED PCM", 16, 8000, "pcm_8000_16"},
        {"SIGNED PCM", 16, 8000, "pcm_8000_16"}, {"ULAW", 8, 8000, "uLaw_8000_8"},
        {"ALAW", 8, 8000, "aLaw_8000_8"},        {"IMA ADPCM", 4, 8000, "ima_adpcm_8000_4"},
        {"SIGNED PCM", 8, 8000, "pcm_8000_8"},   {"UNSIGNED PCM", 8, 7200, "pcm_7200_8"},
        {"ULAW", 8, 7200, "uLaw_7200_8"},        {"SIGNED PCM", 8, 7200, "pcm_7200_8"},
        {"IMA ADPCM", 4, 11025, "ima_adpcm_11025_4"},
        {"ADPCM", 4, 8000, nullptr},             {"IMA ADPCM", 8, 8000, nullptr},
        {"ULAW", 8, 1000, nullptr},              {"ulaw", 8, 8000, nullptr}, // names are compared exactly
    };
    const Tcodec codec;
    for (const auto& c : cases) {
        const auto found = modemCodecFor(QLatin1String(c.desc), c.bits, c.rate);
        if (!c.name) {
            EXPECT_FALSE(found) << c.desc << ' ' << c.bits;
            continue;
        }
        ASSERT_TRUE(found) << c.desc << ' ' << c.bits << ' ' << c.rate;
        EXPECT_EQ(found->name, QLatin1String(c.name));
        EXPECT_EQ(found->format.samplesPerSec(), quint32(c.rate));
        EXPECT_EQ(modemCodecName(found->format.formatBuffer()), QLatin1String(c.name));
    }
    // At 8000 the formats are the codec module's own rows.
    EXPECT_EQ(modemCodecFor(QStringLiteral("ULAW"), 8, 8000)->format, codec.uLaw_8000_8.formatIn());
    EXPECT_EQ(modemCodecName(QByteArray(512, '\0')), QString());
    EXPECT_FALSE(modemCodecFor(record("ULAW", "8", ""))); // no rate
}

} // namespace
