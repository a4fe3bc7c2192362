#include "AudioTestSupport.h"
#include "audio/RiffReader.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace audiotest;

namespace {

testsupport::ProcessResult cli(const QStringList& args)
{
    return testsupport::run(VELMORA_CLI, args);
}

} // namespace

TEST(ConvertCommand, WritesEveryFormatItOffersAsSoxReadsIt)
{
    REQUIRE_SOX();
    QTemporaryDir dir;
    const QString in = dir.filePath("in.wav");
    writeWav(in, standardPcm8k(), QByteArray(8000, '\x80') + QByteArray(8000, '\xa0'));
    const struct
    {
        const char* spec;
        quint16 tag;
        const char* soxEncoding;
        quint32 rate;
    } cases[] = {
        {"pcm:44100:16:2", 1, "Signed", 44100}, {"alaw:8000:1", 6, "A-law", 8000},
        {"ulaw:11025:2", 7, "u-law", 11025},    {"ima:8000:1", 0x11, "IMA ADPCM", 8000},
        {"gsm:8000:1", 0x31, "GSM", 8000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.spec);
        const QString out = dir.filePath("out.wav");
        const testsupport::ProcessResult r = cli({"convert", in, out, "--to", c.spec});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const ParsedWav wav = parseWav(testsupport::readFile(out));
        EXPECT_EQ(wav.format.formatTag(), c.tag);
        EXPECT_EQ(wav.format.samplesPerSec(), c.rate);
        EXPECT_TRUE(soxi({"-e", out}).contains(c.soxEncoding)) << soxi({"-e", out}).toStdString();
        EXPECT_NEAR(soxi({"-D", out}).toDouble(), 2.0, 0.07);
    }
}

TEST(ConvertCommand, FailuresLeaveTheTargetAsItWas)
{
    QTemporaryDir dir;
    const QString in = dir.filePath("in.wav");
    writeWav(in, standardPcm8k(), QByteArray(800, '\x80'));
    const QString out = dir.filePath("out.wav");
    testsupport::writeFile(out, "previous content");

    const testsupport::ProcessResult badSpec = cli({"convert", in, out, "--to", "mp3:8000:1"});
    EXPECT_EQ(badSpec.exitCode, 2);

    const testsupport::ProcessResult unsupported = cli({"convert", in, out, "--to", "pcm:384000:16:2"});
    EXPECT_EQ(unsupported.exitCode, 1);
    EXPECT_EQ(unsupported.err, "velmora-cli convert: The selected audio format is not supported on this machine.\n");

    const QString damaged = dir.filePath("damaged.wav");
    testsupport::writeFile(damaged, testsupport::readFile(in).left(30));
    const testsupport::ProcessResult rejected = cli({"convert", damaged, out, "--to", "gsm:8000:1"});
    EXPECT_EQ(rejected.exitCode, 1);
    EXPECT_EQ(rejected.err, "velmora-cli convert: Invalid file format.\n");

    EXPECT_EQ(testsupport::readFile(out), "previous content");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

TEST(Pcm8kCommand, WritesTheStandardFormatsBytes)
{
    QTemporaryDir dir;
    const QString in = dir.filePath("in.wav");
    writeWav(in, pcmFormat(22050, 16, 2), toBytes(testSignal(22050, 2, 440, 22050)));
    const QString out = dir.filePath("out.raw");
    const testsupport::ProcessResult ok = cli({"pcm8k", in, out});
    ASSERT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_EQ(QFileInfo(out).size(), 8000);

    testsupport::writeFile(in, "RIFF");
    const testsupport::ProcessResult bad = cli({"pcm8k", in, out});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.err, "velmora-cli pcm8k: Error was created during pcm conversion\n");
    EXPECT_EQ(QFileInfo(out).size(), 8000);
    const testsupport::ProcessResult level =
        cli({"--data-dir", dir.filePath("data"), "level", in, "--percent", "50"});
    EXPECT_EQ(level.exitCode, 1);
    EXPECT_EQ(level.err.count("Error was created during pcm conversion"), 1) << level.err.toStdString();
}
