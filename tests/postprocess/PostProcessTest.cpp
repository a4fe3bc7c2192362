// The volume level and the voice equaliser: their arithmetic is exact, so
// the cases below check single samples.
#include "EventWait.h"
#include "TestSupport.h"

#include "platform/SoundBackend.h"
#include "postprocess/PostProcessSession.h"
#include "postprocess/VoiceEqualizer.h"
#include "postprocess/VolumeLevel.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

using namespace postprocess;

namespace {

std::vector<uint8_t> levelled(std::vector<uint8_t> audio, int percent)
{
    applyVolumeLevel(audio.data(), audio.size(), percent);
    return audio;
}

// One block of 200 samples alternating 128 + d and 128 - d (level d).
void appendBlock(std::vector<uint8_t>& audio, int d)
{
    for (size_t i = 0; i < EqualizerBlock; ++i)
        audio.push_back(uint8_t(128 + (i % 2 ? -d : d)));
}

// A quiet 440 Hz sine at 8 kHz, made by sox.
bool writeSine(const QString& path, int bits, const QString& seconds)
{
    return testsupport::run(QStringLiteral("sox"),
                            {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("8000"), QStringLiteral("-c"),
                             QStringLiteral("1"), QStringLiteral("-b"), QString::number(bits), path, QStringLiteral("synth"),
                             seconds, QStringLiteral("sine"), QStringLiteral("440"), QStringLiteral("vol"),
                             QStringLiteral("0.2")})
               .exitCode
        == 0;
}

std::vector<char> classes(const char* text)
{
    std::vector<char> c(1, '\0');
    for (const char* p = text; *p; ++p)
        c.push_back(*p);
    return c;
}

} // namespace

TEST(VolumeLevel, FactorRoundsHalfToEvenAndClips)
{
    const std::vector<uint8_t> samples{200, 100, 129, 131, 127, 0, 255};
    EXPECT_EQ(levelled(samples, 0), samples);
    EXPECT_EQ(levelled(samples, 100), (std::vector<uint8_t>{255, 72, 130, 134, 126, 0, 255}));
    EXPECT_EQ(levelled(samples, -50), (std::vector<uint8_t>{164, 114, 128, 130, 128, 64, 192}));

    std::vector<int> progress;
    std::vector<uint8_t> short99(99, 200);
    applyVolumeLevel(short99.data(), short99.size(), 10, [&](int p) { progress.push_back(p); });
    EXPECT_TRUE(progress.empty());
    std::vector<uint8_t> second(8000, 140);
    applyVolumeLevel(second.data(), second.size(), 50, [&](int p) { progress.push_back(p); });
    ASSERT_EQ(progress.size(), 100u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(second[7999], 146);
}

TEST(VoiceEqualizer, BlocksAreClassifiedAndSmoothedInPlace)
{
    std::vector<uint8_t> audio;
    appendBlock(audio, 0);
    appendBlock(audio, 1);
    EqualizeOutcome outcome;
    EXPECT_EQ(classifyBlocks(audio.data(), audio.size(), outcome), classes("SV"));
    EXPECT_EQ(outcome.voiceBlocks, 1);
    EXPECT_FLOAT_EQ(outcome.averageVoice, 1.0f);

    for (auto [before, after] : {std::pair{"SVS", "SSS"}, {"VSV", "VVV"}, {"SSVSVV", "SSSSVV"}, {"VSS", "VSS"}}) {
        std::vector<char> c = classes(before);
        smoothClasses(c);
        EXPECT_EQ(c, classes(after)) << before;
    }
}

// Average voice 10 (blocks of level 5, 5, 15, 15): the quiet spurt gets the
// gain 10 / E x 1.3, the loud one and the samples after the last complete
// block stay as they are.
TEST(VoiceEqualizer, QuietSpurtsRiseToTheAverageVoice)
{
    std::vector<uint8_t> audio;
    appendBlock(audio, 0);
    appendBlock(audio, 5);
    audio[200] = 130; // s = 2 and s = -8 in place of 5 and -5: the block's level stays 5
    audio[201] = 120;
    appendBlock(audio, 5);
    appendBlock(audio, 0);
    appendBlock(audio, 0); // one silent block alone would join the spurts
    appendBlock(audio, 15);
    appendBlock(audio, 15);
    appendBlock(audio, 0);
    for (int i = 0; i < 50; ++i)
        audio.push_back(123);
    const std::vector<uint8_t> before = audio;

    const EqualizeOutcome outcome = equalizeVoice(audio.data(), audio.size());
    EXPECT_FLOAT_EQ(outcome.averageVoice, 10.0f);
    EXPECT_EQ(outcome.spurtsRaised, 1);
    EXPECT_EQ(audio[200], 133); // 2 x 2.6 = 5.2
    EXPECT_EQ(audio[201], 107); // -8 x 2.6 = -20.8
    EXPECT_EQ(audio[202], 141); // 5 x 2.6 = 13
    EXPECT_TRUE(std::equal(audio.begin() + 601, audio.end(), before.begin() + 601)) << "the loud spurt and the tail";
    EXPECT_TRUE(std::equal(audio.begin(), audio.begin() + 200, before.begin()));
}

TEST(VoiceEqualizer, ARecordingWithoutVoiceIsLeftAsItWas)
{
    std::vector<uint8_t> audio(4000, 128);
    audio[7] = 129; // level 0.005: still silence
    const std::vector<uint8_t> before = audio;
    EXPECT_TRUE(equalizeVoice(audio.data(), audio.size()).noVoice());
    EXPECT_EQ(audio, before);
    std::vector<uint8_t> tiny(150, 200);
    EXPECT_TRUE(equalizeVoice(tiny.data(), tiny.size()).noVoice());
}

// The commands save in the file's own format, as the dialogs' Save does.
TEST(PostProcessCommands, SaveKeepsEachFileFormat)
{
    if (!testsupport::haveProgram(QStringLiteral("sox")))
        GTEST_SKIP() << "sox is not installed";
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("talk.wav"));
    ASSERT_TRUE(writeSine(source, 16, QStringLiteral("2")));
    const struct
    {
        const char* name;
        QStringList soxArgs;
        const char* encoding;
    } formats[] = {{"pcm16.wav", {}, "Signed Integer PCM"},
                   {"pcm8.wav", {QStringLiteral("-b"), QStringLiteral("8")}, "Unsigned Integer PCM"},
                   {"ulaw.wav", {QStringLiteral("-e"), QStringLiteral("u-law")}, "u-law"},
                   {"alaw.wav", {QStringLiteral("-e"), QStringLiteral("a-law")}, "A-law"},
                   {"ima.wav", {QStringLiteral("-e"), QStringLiteral("ima-adpcm")}, "IMA ADPCM"},
                   {"gsm.wav", {QStringLiteral("-e"), QStringLiteral("gsm-full-rate")}, "GSM"}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.name);
        const QString file = dir.filePath(QLatin1String(f.name));
        ASSERT_EQ(testsupport::run(QStringLiteral("sox"), QStringList{source} + f.soxArgs + QStringList{file}).exitCode, 0);
        const testsupport::ProcessResult level = testsupport::run(
            QStringLiteral(VELMORA_CLI),
            {QStringLiteral("--data-dir"), dir.filePath(QStringLiteral("data")), QStringLiteral("level"), file,
             QStringLiteral("--percent"), QStringLiteral("50")});
        ASSERT_EQ(level.exitCode, 0) << level.err.toStdString();
        EXPECT_TRUE(level.out.startsWith("SAVED "));
        const testsupport::ProcessResult info = testsupport::run(QStringLiteral("soxi"), {file});
        ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
        EXPECT_TRUE(info.out.contains(f.encoding)) << info.out.toStdString();
        const testsupport::ProcessResult equalize = testsupport::run(
            QStringLiteral(VELMORA_CLI),
            {QStringLiteral("--data-dir"), dir.filePath(QStringLiteral("data")), QStringLiteral("equalize"), file});
        EXPECT_EQ(equalize.exitCode, 0) << equalize.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("data")))) << "a file outside the catalogue makes no data folder";
}

// A data chunk stating 0 bytes made level save a 0-byte file and say SAVED;
// a 24-bit file failed only after the work, with no reason given.
TEST(PostProcessCommands, ASaveThatWouldLoseAudioOrCannotBeWrittenIsRefusedFirst)
{
    if (!testsupport::haveProgram(QStringLiteral("sox")))
        GTEST_SKIP() << "sox is not installed";
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("talk.wav"));
    ASSERT_TRUE(writeSine(source, 16, QStringLiteral("1")));
    const auto statingData = [](QByteArray wav, quint32 stated) {
        const qsizetype at = wav.indexOf("data") + 4;
        for (int i = 0; i < 4; ++i)
            wav[at + i] = char(stated >> (8 * i));
        return wav;
    };
    const QByteArray whole = testsupport::readFile(source);
    const struct
    {
        const char* name;
        QStringList soxArgs;
        quint32 stated; // 0: as sox wrote it
        const char* why;
    } cases[] = {{"empty-header.wav", {}, 1u << 31, "beyond what the file's data chunk states"},
                 {"short-header.wav", {}, 1000, "beyond what the file's data chunk states"},
                 {"pcm24.wav", {QStringLiteral("-b"), QStringLiteral("24")}, 0, "can be read but not written"},
                 {"float.wav", {QStringLiteral("-e"), QStringLiteral("float")}, 0, "can be read but not written"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = dir.filePath(QLatin1String(c.name));
        ASSERT_EQ(testsupport::run(QStringLiteral("sox"), QStringList{source} + c.soxArgs + QStringList{file}).exitCode, 0);
        if (c.stated)
            testsupport::writeFile(file, statingData(whole, c.stated == 1u << 31 ? 0 : c.stated));
        const QByteArray before = testsupport::readFile(file);
        for (const char* command : {"level", "equalize"}) {
            QStringList args{QStringLiteral("--data-dir"), dir.filePath(QStringLiteral("data")), QLatin1String(command), file};
            if (QByteArray(command) == "level")
                args << QStringLiteral("--percent") << QStringLiteral("50");
            const testsupport::ProcessResult run = testsupport::run(QStringLiteral(VELMORA_CLI), args);
            EXPECT_EQ(run.exitCode, 1) << command;
            EXPECT_FALSE(run.out.contains("SAVED"));
            EXPECT_TRUE(run.err.contains(c.why)) << run.err.toStdString();
            EXPECT_EQ(testsupport::readFile(file), before) << command;
        }
    }
}

// A catalogued recording, named as the list shows it: its row takes the new size.
TEST(PostProcessCommands, ACataloguedRecordingKeepsItsRowUpToDate)
{
    if (!testsupport::haveProgram(QStringLiteral("sox")))
        GTEST_SKIP() << "sox is not installed";
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString source = dir.filePath(QStringLiteral("call.wav"));
    ASSERT_EQ(testsupport::run(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("8000"),
                                                       QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-e"),
                                                       QStringLiteral("u-law"), source, QStringLiteral("synth"),
                                                       QStringLiteral("1"), QStringLiteral("sine"), QStringLiteral("300")}).exitCode, 0);
    const auto cli = [&](const QStringList& args) {
        return testsupport::run(QStringLiteral(VELMORA_CLI), QStringList{QStringLiteral("--data-dir"), data} + args);
    };
    const testsupport::ProcessResult added = cli({QStringLiteral("add-recording"), source});
    ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();
    const QStringList row = QString::fromUtf8(added.out).trimmed().split(QLatin1Char('\t'));
    ASSERT_GE(row.size(), 9);
    const testsupport::ProcessResult level = cli({QStringLiteral("level"), row[6], QStringLiteral("--percent"), QStringLiteral("-20")});
    ASSERT_EQ(level.exitCode, 0) << level.err.toStdString();
    const qint64 size = QFileInfo(QDir(data).filePath(QStringLiteral("wav/") + row[6])).size();
    EXPECT_TRUE(level.out.contains("UPDATED " + row[0].toUtf8() + '\t' + QByteArray::number(size))) << level.out.toStdString();
    EXPECT_TRUE(cli({QStringLiteral("list")}).out.contains('\t' + QByteArray::number(size) + '\t'));
}

namespace {

// The preview plays the applied audio, not the file's, on the sound card
// (the virtual one here).
TEST(PostProcessPreview, PlaysTheChangedAudio)
{
    if (!testsupport::haveProgram(QStringLiteral("sox")))
        GTEST_SKIP() << "sox is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("call.wav"));
    ASSERT_TRUE(writeSine(path, 8, QStringLiteral("0.5")));
    const std::shared_ptr<VirtualSoundDevice> card = VirtualSoundDevice::instance();
    card->setSpeed(0);
    card->takePlayed();
    PostProcessSession session;
    QString error;
    ASSERT_TRUE(session.open(path, &error)) << qPrintable(error);
    session.applyLevel(100);
    int ended = 0;
    QObject::connect(&session, &PostProcessSession::previewEnded, [&] { ++ended; });
    ASSERT_TRUE(session.play(&error)) << qPrintable(error);
    for (int i = 0; i < 200 && !ended; ++i)
        testsupport::settle(20);
    card->setSpeed(1);
    EXPECT_EQ(ended, 1);
    SoundFormat format;
    const QByteArray played = card->takePlayed(&format);
    ASSERT_EQ(format.bits, 8);
    EXPECT_EQ(played.left(session.audio().size()), session.audio());
}

} // namespace
