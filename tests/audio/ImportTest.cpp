// Greetings come from ordinary tools: every WAV variant they write, and the
// formats libsndfile decodes, must give the samples sox itself decodes.
#include "AudioTestSupport.h"

#include "audio/AudioErrors.h"
#include "audio/AudioImport.h"
#include "audio/RiffReader.h"

#include <QFile>
#include <cmath>
#include <gtest/gtest.h>
#include <sndfile.h>

using namespace audiotest;

namespace {

std::vector<qint16> samples16(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    TdeRIFFAudioReader reader(&file);
    std::vector<qint16> s(size_t(reader.trackSize() / 2));
    reader.readTrack(0, s.data(), qint64(s.size() * 2));
    return s;
}

// Signal-to-difference ratio in dB of b against a, at the offset of b that
// matches best (decoders of lossy formats differ in their delay).
double matchDb(const std::vector<qint16>& a, const std::vector<qint16>& b, int maxOffset)
{
    double best = -1e9;
    for (int offset = -maxOffset; offset <= maxOffset; ++offset) {
        double signal = 0, error = 0;
        for (size_t i = 2000; i + 2000 < a.size(); ++i) {
            const long j = long(i) + offset;
            if (j < 0 || size_t(j) >= b.size())
                continue;
            signal += double(a[i]) * a[i];
            error += (double(a[i]) - b[size_t(j)]) * (double(a[i]) - b[size_t(j)]);
        }
        best = std::max(best, 10 * std::log10(signal / std::max(error, 1.0)));
    }
    return best;
}

// Ours and sox's decoding of the same file, both as 16-bit mono at `rate`.
void compareWithSox(const QTemporaryDir& dir, const QString& file, quint32 rate, double minDb, int maxOffset)
{
    const QString ours = dir.filePath(QStringLiteral("ours.wav"));
    const QString theirs = dir.filePath(QStringLiteral("theirs.wav"));
    ImportAudioFile(file, ours, pcmFormat(rate, 16, 1));
    sox({file, QStringLiteral("-D"), QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-c"),
         QStringLiteral("1"), QStringLiteral("-r"), QString::number(rate), theirs});
    const std::vector<qint16> a = samples16(theirs);
    const std::vector<qint16> b = samples16(ours);
    ASSERT_GT(a.size(), 8000u);
    EXPECT_NEAR(double(b.size()), double(a.size()), double(a.size()) * 0.05 + 1200);
    EXPECT_GT(matchDb(a, b, maxOffset), minDb);
}

// What tools write: 8 to 32-bit integer, 32 and 64-bit float, extensible
// headers (sox writes them for more than two channels or 24 bits and more),
// up to 8 channels, 4 to 192 kHz.
TEST(ImportAudio, EveryWavVariantDecodesToTheSamplesSoxDecodes)
{
    REQUIRE_SOX();
    QTemporaryDir dir;
    const struct
    {
        const char* name;
        QStringList encoding;
        int rate;
        int channels;
    } variants[] = {
        {"u8 4 kHz", {"-e", "unsigned", "-b", "8"}, 4000, 1},
        {"s24 stereo 44.1 kHz", {"-e", "signed", "-b", "24"}, 44100, 2},
        {"s32 3 channels 48 kHz", {"-e", "signed", "-b", "32"}, 48000, 3},
        {"float32 mono 22.05 kHz", {"-e", "floating-point", "-b", "32"}, 22050, 1},
        {"float64 stereo 96 kHz", {"-e", "floating-point", "-b", "64"}, 96000, 2},
        {"s16 8 channels 192 kHz", {"-e", "signed", "-b", "16"}, 192000, 8},
    };
    for (const auto& v : variants) {
        SCOPED_TRACE(v.name);
        const QString file = dir.filePath(QStringLiteral("in.wav"));
        sox(QStringList{"-n", "-r", QString::number(v.rate), "-c", QString::number(v.channels)} + v.encoding
            + QStringList{file, "synth", "3", "sine", "440", "sine", "700", "gain", "-6"});
        // At the file's own rate (exact up to rounding), and at 8 kHz.
        compareWithSox(dir, file, quint32(std::min(v.rate, 48000)), 40.0, 0);
        compareWithSox(dir, file, 8000, 30.0, 0);
    }
}

TEST(ImportAudio, FlacOggAndMp3FromSoxAndOpusFromLibsndfile)
{
    REQUIRE_SOX();
    QTemporaryDir dir;
    for (const char* kind : {"flac", "ogg", "mp3"}) {
        SCOPED_TRACE(kind);
        const QString file = dir.filePath(QStringLiteral("greeting.%1").arg(QLatin1String(kind)));
        sox({"-n", "-r", "16000", "-c", "1", file, "synth", "1.5", "sine", "440", "sine", "700", "gain", "-6"});
        // FLAC is lossless; Vorbis and MP3 decoders differ a little, and
        // MP3 decoders in their delay.
        compareWithSox(dir, file, 8000, std::string(kind) == "flac" ? 40.0 : 15.0, 1200);
    }

    // sox has no Opus encoder here: libsndfile writes one.
    const QString opus = dir.filePath(QStringLiteral("greeting.opus"));
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 1;
    info.format = SF_FORMAT_OGG | SF_FORMAT_OPUS;
    SNDFILE* out = sf_open(QFile::encodeName(opus).constData(), SFM_WRITE, &info);
    ASSERT_NE(out, nullptr) << sf_strerror(nullptr);
    std::vector<short> tone(48000 * 2);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = short(8000 * std::sin(2 * M_PI * 440 * double(i) / 48000));
    sf_writef_short(out, tone.data(), sf_count_t(tone.size()));
    sf_close(out);
    const QString ours = dir.filePath(QStringLiteral("opus.wav"));
    ImportAudioFile(opus, ours, greetingFormat());
    std::vector<qint16> expected(8000 * 2);
    for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = qint16(8000 * std::sin(2 * M_PI * 440 * double(i) / 8000));
    EXPECT_GT(matchDb(expected, samples16(ours), 400), 10.0);
}

TEST(ImportAudio, FilesThatCannotBeUsedSayWhatTheyAreAndWhy)
{
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.wav"));
    testsupport::writeFile(text, "this is not audio at all\n");
    try {
        ImportAudioFile(text, dir.filePath(QStringLiteral("out.wav")), greetingFormat());
        FAIL() << "a text file was taken for audio";
    } catch (const EACMAudioReadError& e) {
        EXPECT_TRUE(e.message().contains(text)) << qPrintable(e.message());
        EXPECT_TRUE(e.message().contains(QLatin1String("not a WAV file"))) << qPrintable(e.message());
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out.wav"))));
    EXPECT_THROW(ImportAudioFile(dir.filePath(QStringLiteral("missing.flac")), dir.filePath(QStringLiteral("o.wav")),
                                 greetingFormat()),
                 EACMAudioStreamError);
    for (const char* kind : {"FLAC", "OGG", "MPEG"})
        EXPECT_TRUE(importableFormats().join(' ').contains(QLatin1String(kind))) << kind;
}

} // namespace
