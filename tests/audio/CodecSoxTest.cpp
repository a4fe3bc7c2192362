// Every codec driver must agree with sox sample for sample: decoding what
// sox encodes, and producing files sox decodes as the driver itself does.
#include "AudioTestSupport.h"
#include "audio/AudioConvertor.h"
#include "audio/G711Codec.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcmCodec.h"

#include <gtest/gtest.h>

using namespace audiotest;

namespace {

struct Driver
{
    const char* name;
    TdeWaveFormat format;
    QStringList soxEncoding;
};

std::vector<Driver> drivers()
{
    return {
        {"a-law mono", g711Format(WaveTag::ALaw, 8000, 1), {"-e", "a-law"}},
        {"mu-law stereo", g711Format(WaveTag::MuLaw, 11025, 2), {"-e", "mu-law"}},
        {"ima adpcm mono", imaAdpcmFormat(8000, 1), {"-e", "ima-adpcm"}},
        {"ima adpcm stereo", imaAdpcmFormat(22050, 2), {"-e", "ima-adpcm"}},
        {"gsm 6.10", gsmFormat(8000), {"-e", "gsm-full-rate"}},
    };
}

// Converts in blocks of a tenth of a second, as a recording would arrive.
QByteArray convertBytes(const TdeWaveFormat& from, const TdeWaveFormat& to, const QByteArray& input)
{
    return convertAll(from, to, input, std::max<qint64>(from.avgBytesPerSec() / 10 / from.blockAlign(), 1) * from.blockAlign());
}

QByteArray soxDecode(const QString& path, const QTemporaryDir& dir)
{
    const QString raw = dir.filePath("decoded.raw");
    sox({path, "-t", "raw", "-e", "signed", "-b", "16", raw});
    return testsupport::readFile(raw);
}

} // namespace

TEST(CodecSox, DriversDecodeWhatSoxEncodesToTheSamplesSoxDecodes)
{
    REQUIRE_SOX();
    QTemporaryDir dir;
    for (const Driver& d : drivers()) {
        SCOPED_TRACE(d.name);
        const QString source = dir.filePath("source.wav");
        const QString encoded = dir.filePath("encoded.wav");
        const quint32 rate = d.format.samplesPerSec();
        const quint16 channels = d.format.channels();
        writeWav(source, pcmFormat(rate, 16, channels), toBytes(testSignal(int(rate), channels, 700, rate)));
        sox(QStringList{source} + d.soxEncoding + QStringList{encoded});

        const ParsedWav parsed = parseWav(testsupport::readFile(encoded));
        const QByteArray ours = convertBytes(parsed.format, pcmFormat(rate, 16, channels), parsed.data);
        const QByteArray theirs = soxDecode(encoded, dir);
        ASSERT_GT(ours.size(), 0);
        EXPECT_EQ(ours, theirs.left(ours.size()));
        // sox may decode a final partial block that the driver drops.
        EXPECT_LT(theirs.size() - ours.size(), 2 * 2041 * channels);
    }
}

TEST(CodecSox, SoxDecodesWhatDriversEncodeAsTheDriversDo)
{
    REQUIRE_SOX();
    QTemporaryDir dir;
    for (const Driver& d : drivers()) {
        SCOPED_TRACE(d.name);
        const quint32 rate = d.format.samplesPerSec();
        const quint16 channels = d.format.channels();
        const TdeWaveFormat pcm = pcmFormat(rate, 16, channels);
        const QByteArray encoded = convertBytes(pcm, d.format, toBytes(testSignal(int(rate), channels, 900, rate)));
        const QString path = dir.filePath("ours.wav");
        writeWav(path, d.format, encoded);

        const QByteArray ours = convertBytes(d.format, pcm, encoded);
        EXPECT_EQ(soxDecode(path, dir), ours);
    }
}

TEST(CodecG711, EveryCodeDecodesAsSoxDecodesIt)
{
    REQUIRE_SOX();
    QTemporaryDir dir;
    QByteArray codes;
    for (int c = 0; c < 256; ++c)
        codes.append(char(c));
    for (const char* law : {"a-law", "mu-law"}) {
        SCOPED_TRACE(law);
        const QString raw = dir.filePath("codes.raw");
        testsupport::writeFile(raw, codes);
        const QString decoded = dir.filePath("decoded.raw");
        sox({"-t", "raw", "-r", "8000", "-c", "1", "-e", law, raw, "-t", "raw", "-e", "signed", "-b", "16", decoded});
        const QByteArray theirs = testsupport::readFile(decoded);
        ASSERT_EQ(theirs.size(), 512);
        for (int c = 0; c < 256; ++c) {
            const qint16 expected = qint16(quint8(theirs[2 * c]) | quint8(theirs[2 * c + 1]) << 8);
            const qint16 ours = QByteArray(law) == "a-law" ? g711::alawToLinear(quint8(c)) : g711::ulawToLinear(quint8(c));
            ASSERT_EQ(ours, expected) << "code " << c;
        }
    }
}

// Encoding picks the nearest level: a value that is itself a decoded level
// survives a round trip, and a second round trip of any value changes nothing.
TEST(CodecG711, RoundTripsAreStable)
{
    for (int v = -32768; v <= 32767; ++v) {
        const auto s = qint16(v);
        const qint16 a = g711::alawToLinear(g711::linearToAlaw(s));
        ASSERT_EQ(g711::alawToLinear(g711::linearToAlaw(a)), a) << v;
        const qint16 u = g711::ulawToLinear(g711::linearToUlaw(s));
        ASSERT_EQ(g711::ulawToLinear(g711::linearToUlaw(u)), u) << v;
    }
}
