// WAV files travel between Velmora and other programs: files sox writes must
// parse with the right fields, and files written here must read in sox.
#include "AudioTestSupport.h"
#include "audio/RiffReader.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace audiotest;

namespace {

struct SoxFile
{
    const char* name;
    QStringList encoding; // sox output options
    quint16 tag;
    quint16 channels;
    quint32 rate;
    quint16 bits;
    quint16 blockAlign;
    const char* rawEncoding; // sox options that give the data bytes as stored, or nullptr
};

const SoxFile soxFiles[] = {
    {"u8 mono 8000", {"-e", "unsigned", "-b", "8"}, 1, 1, 8000, 8, 1, "-e unsigned -b 8"},
    {"u8 stereo 11025", {"-e", "unsigned", "-b", "8"}, 1, 2, 11025, 8, 2, "-e unsigned -b 8"},
    {"s16 mono 44100", {"-e", "signed", "-b", "16"}, 1, 1, 44100, 16, 2, "-e signed -b 16"},
    {"s16 stereo 8000", {"-e", "signed", "-b", "16"}, 1, 2, 8000, 16, 4, "-e signed -b 16"},
    {"s16 stereo 44100", {"-e", "signed", "-b", "16"}, 1, 2, 44100, 16, 4, "-e signed -b 16"},
    {"u8 mono 11025", {"-e", "unsigned", "-b", "8"}, 1, 1, 11025, 8, 1, "-e unsigned -b 8"},
    {"a-law", {"-e", "a-law"}, 6, 1, 8000, 8, 1, "-e a-law"},
    {"mu-law", {"-e", "mu-law"}, 7, 1, 8000, 8, 1, "-e mu-law"},
    {"ima adpcm", {"-e", "ima-adpcm"}, 0x11, 1, 8000, 4, 256, nullptr},
    {"gsm", {"-e", "gsm-full-rate"}, 0x31, 1, 8000, 0, 65, nullptr},
};

QString makeSoxFile(const QTemporaryDir& dir, const SoxFile& f)
{
    const QString path = dir.filePath(QString::fromLatin1(f.name).replace(' ', '_') + ".wav");
    sox(QStringList{"-n", "-r", QString::number(f.rate), "-c", QString::number(f.channels)} + f.encoding +
        QStringList{path, "synth", "0.3", "sine", "440", "sine", "660"});
    return path;
}

} // namespace

TEST(SoxWav, FilesSoxWritesParseWithTheirFieldsAndDataSize)
{
    REQUIRE_SOX();
    QTemporaryDir dir;
    for (const SoxFile& f : soxFiles) {
        SCOPED_TRACE(f.name);
        const QString path = makeSoxFile(dir, f);
        const QByteArray bytes = testsupport::readFile(path);
        const ParsedWav parsed = parseWav(bytes);
        EXPECT_EQ(parsed.format.formatTag(), f.tag);
        EXPECT_EQ(parsed.format.channels(), f.channels);
        EXPECT_EQ(parsed.format.samplesPerSec(), f.rate);
        EXPECT_EQ(parsed.format.bitsPerSample(), f.bits);
        EXPECT_EQ(parsed.format.blockAlign(), f.blockAlign);
        // sox writes "data" last: its audio runs to the end of the file (or
        // to a pad byte after an odd length).
        const qint64 end = parsed.dataOffset + parsed.data.size();
        EXPECT_EQ(end + (parsed.data.size() % 2 == 1 && end < bytes.size() ? 1 : 0), bytes.size());
        if (f.tag == 1) {
            const qint64 frames = soxi({"-s", path}).toLongLong();
            EXPECT_EQ(parsed.data.size(), frames * f.blockAlign);
        }
        if (f.rawEncoding) {
            const QString raw = dir.filePath("out.raw");
            sox(QStringList{path, "-t", "raw"} + QString::fromLatin1(f.rawEncoding).split(' ') + QStringList{raw});
            EXPECT_EQ(parsed.data, testsupport::readFile(raw));
        }
        if (f.tag == 0x11 || f.tag == 0x31) {
            EXPECT_EQ(parsed.format.extraSize(), 2);
        }
    }
}

TEST(SoxWav, FileWithAListChunkParses)
{
    REQUIRE_SOX();
    QTemporaryDir dir;
    const QString path = makeSoxFile(dir, soxFiles[3]);
    const QByteArray plain = testsupport::readFile(path);
    const ParsedWav before = parseWav(plain);
    // Insert a LIST INFO chunk with an odd, padded comment before "data", as
    // tagging programs do; sox must still accept the result.
    const QByteArray info = "INFOICMT" + le32(5) + QByteArray("tag1\0", 5) + '\0';
    QByteArray tagged = plain;
    tagged.insert(before.dataOffset - 8, chunk("LIST", info));
    tagged.replace(4, 4, le32(quint32(tagged.size() - 8)));
    const QString taggedPath = dir.filePath("tagged.wav");
    testsupport::writeFile(taggedPath, tagged);
    EXPECT_EQ(soxi({"-s", taggedPath}), soxi({"-s", path}));

    const ParsedWav after = parseWav(tagged);
    EXPECT_TRUE(after.format.equals(before.format));
    EXPECT_EQ(after.dataOffset, before.dataOffset + 8 + info.size());
    EXPECT_EQ(after.data, before.data);
}

TEST(SoxWav, FilesWrittenHereReadInSoxWithTheSameFormatAndSamples)
{
    REQUIRE_SOX();
    QTemporaryDir dir;
    const QByteArray pcm16 = toBytes(testSignal(4410, 2, 440, 44100));
    QByteArray pcm8(3000, '\0');
    QByteArray law(3000, '\0');
    for (int i = 0; i < pcm8.size(); ++i) {
        pcm8[i] = char(128 + 100 * std::sin(i * 0.3));
        law[i] = char(i * 7 % 256 == 0x7f ? 0x7e : i * 7); // 0x7f is mu-law's second zero
    }
    TdeWaveFormat alaw = standardPcm8k();
    alaw.setFormatTag(WaveTag::ALaw);
    TdeWaveFormat ulaw = alaw;
    ulaw.setFormatTag(WaveTag::MuLaw);
    struct Case
    {
        const char* name;
        TdeWaveFormat format;
        QByteArray audio;
        QStringList raw;
        const char* soxEncoding;
    } cases[] = {
        {"u8 mono 8000", standardPcm8k(), pcm8, {"-e", "unsigned", "-b", "8"}, "Unsigned"},
        {"s16 stereo 44100", pcmFormat(44100, 16, 2), pcm16, {"-e", "signed", "-b", "16"}, "Signed"},
        {"a-law", alaw, law, {"-e", "a-law"}, "A-law"},
        {"mu-law", ulaw, law, {"-e", "mu-law"}, "u-law"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath("ours.wav");
        writeWav(path, c.format, c.audio);
        EXPECT_EQ(soxi({"-r", path}).toUInt(), c.format.samplesPerSec());
        EXPECT_EQ(soxi({"-c", path}).toUInt(), c.format.channels());
        EXPECT_TRUE(soxi({"-e", path}).startsWith(c.soxEncoding)) << soxi({"-e", path}).toStdString();
        const QString raw = dir.filePath("ours.raw");
        sox(QStringList{path, "-t", "raw"} + c.raw + QStringList{raw});
        EXPECT_EQ(testsupport::readFile(raw), c.audio);
    }
}

TEST(WavInfoCommand, PrintsTheFieldsOrTheReadersMessage)
{
    REQUIRE_SOX();
    QTemporaryDir dir;
    const QString path = makeSoxFile(dir, soxFiles[8]); // IMA ADPCM: extra bytes, a "fact" chunk
    const testsupport::ProcessResult ok = testsupport::run(VELMORA_CLI, {"wav-info", path});
    EXPECT_EQ(ok.exitCode, 0);
    const qint64 size = QFileInfo(path).size();
    EXPECT_EQ(QString::fromUtf8(ok.out), QStringLiteral("format_tag=17\nchannels=1\nsamples_per_sec=8000\n"
                                                        "avg_bytes_per_sec=4055\nblock_align=256\n"
                                                        "bits_per_sample=4\nextra_size=2\ndata_offset=60\n"
                                                        "data_size=%1\n")
                                             .arg(size - 60));

    const QString bad = dir.filePath("bad.wav");
    testsupport::writeFile(bad, "riff and nothing else");
    const testsupport::ProcessResult rejected = testsupport::run(VELMORA_CLI, {"wav-info", bad});
    EXPECT_EQ(rejected.exitCode, 1);
    EXPECT_EQ(rejected.out, "");
    EXPECT_EQ(rejected.err, "Invalid file format.\n");
}
