// The sound commands as a user runs them: on the virtual device, and on the
// PortAudio backend against ALSA's file plugin (a test-only configuration
// in a private HOME), so the backend users get runs without a sound card.
#include "AudioTestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace audiotest;

namespace {

testsupport::ProcessResult cli(const QStringList& args, const QString& home = QString())
{
    if (home.isEmpty())
        return testsupport::run(VELMORA_CLI, args);
    return testsupport::run(QStringLiteral("env"), QStringList{QStringLiteral("HOME=") + home, VELMORA_CLI} + args);
}

// 16-bit samples that are never 0, so what the card played can be told
// from the silence it adds while it waits for more.
QByteArray neverSilent(int frames)
{
    std::vector<qint16> samples(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        samples[size_t(i)] = qint16(1 + (i * 37) % 20000);
    return toBytes(samples);
}

QByteArray withoutSilence(const QByteArray& audio)
{
    QByteArray kept;
    for (qsizetype i = 0; i + 1 < audio.size(); i += 2)
        if (audio[i] != 0 || audio[i + 1] != 0)
            kept.append(audio.mid(i, 2));
    return kept;
}

} // namespace

TEST(SoundCommands, VirtualDevicePlaysAndRecordsFiles)
{
    QTemporaryDir dir;
    const testsupport::ProcessResult list = cli({"sound-devices"});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.contains("\tin+out\t")) << list.out.toStdString();
    EXPECT_TRUE(list.out.endsWith("\tvirtual\n")) << list.out.toStdString();

    const QByteArray audio = toBytes(testSignal(4000, 2, 440, 11025));
    const QString in = dir.filePath("in.wav");
    writeWav(in, pcmFormat(11025, 16, 2), audio);
    const QString heard = dir.filePath("heard.wav");
    const testsupport::ProcessResult play = cli({"play-local", in, "--device", "virtual", "--virtual-out", heard});
    ASSERT_EQ(play.exitCode, 0) << play.err.toStdString();
    EXPECT_TRUE(play.out.contains("PLAYED 0.4 s")) << play.out.toStdString();
    const ParsedWav played = parseWav(testsupport::readFile(heard));
    EXPECT_EQ(played.format, pcmFormat(11025, 16, 2));
    EXPECT_EQ(played.data, audio);

    const QString recorded = dir.filePath("rec.wav");
    const testsupport::ProcessResult rec =
        cli({"record-local", recorded, "--seconds", "1", "--format", "ulaw:8000:1", "--virtual-in", heard});
    ASSERT_EQ(rec.exitCode, 0) << rec.err.toStdString();
    const ParsedWav wav = parseWav(testsupport::readFile(recorded));
    EXPECT_EQ(wav.format.formatTag(), WaveTag::MuLaw);
    EXPECT_NEAR(double(wav.data.size()), 8000, 300);

    const testsupport::ProcessResult bad = cli({"play-local", in, "--device", "99"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains("no sound device 99")) << bad.err.toStdString();
}

TEST(SoundCommands, PortAudioPlaysAndRecordsThroughAlsa)
{
    QTemporaryDir home;
    const QString played = home.filePath("played.raw");
    const QString source = home.filePath("source.raw");
    const QByteArray recordedSource = neverSilent(3000);
    testsupport::writeFile(source, recordedSource);
    testsupport::writeFile(home.filePath(".asoundrc"), QStringLiteral("pcm.!default {\n"
                                                                     "  type file\n"
                                                                     "  slave.pcm \"null\"\n"
                                                                     "  file \"%1\"\n"
                                                                     "  infile \"%2\"\n"
                                                                     "  format \"raw\"\n"
                                                                     "}\n")
                                                          .arg(played, source)
                                                          .toUtf8());
    const testsupport::ProcessResult list = cli({"sound-devices"}, home.path());
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.startsWith("0\tin+out\tdefault\tdefault\n")) << list.out.toStdString();
    EXPECT_TRUE(list.err.isEmpty()) << "the libraries' probing stays quiet: " << list.err.toStdString();

    const QByteArray audio = neverSilent(12000);
    const QString in = home.filePath("in.wav");
    writeWav(in, pcmFormat(8000, 16, 1), audio);
    const testsupport::ProcessResult play = cli({"play-local", in}, home.path());
    ASSERT_EQ(play.exitCode, 0) << play.err.toStdString();
    EXPECT_TRUE(play.out.contains(" on default:")) << play.out.toStdString();
    // The null device takes audio faster than real time and fills the gaps with silence.
    EXPECT_EQ(withoutSilence(testsupport::readFile(played)), audio);

    const QString recorded = home.filePath("rec.wav");
    const testsupport::ProcessResult rec = cli({"record-local", recorded, "--seconds", "1"}, home.path());
    ASSERT_EQ(rec.exitCode, 0) << rec.err.toStdString();
    EXPECT_EQ(parseWav(testsupport::readFile(recorded)).data.left(recordedSource.size()), recordedSource);
}
