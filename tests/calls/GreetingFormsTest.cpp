// The greeting dialogs' logic: Msgs.d rows edited and stored at once, the
// schedule held for the run, and a greeting saved as the line would carry it.
#include "EventWait.h"

#include "audio/RiffReader.h"
#include "calls/GreetingForms.h"
#include "calls/GreetingPreview.h"
#include "calls/GreetingTable.h"
#include "config/CurrentSettings.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "platform/SoundBackend.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Folder
{
    QTemporaryDir dir;
    QString path() const { return dir.path(); }
    QString ini() const { return dir.filePath(QStringLiteral("vlm.ini")); }
};

qint64 wavAudioBytes(const QString& path, TdeWaveFormat* format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    TdeRIFFAudioReader reader(&file);
    *format = reader.trackFormat();
    return reader.trackSize();
}

} // namespace

TEST(GreetingMessagesFormTest, RowsAreAddedEditedAndRemovedInTheFile)
{
    Folder folder;
    GreetingTable table(folder.path());
    GreetingMessagesForm form(table, folder.path());
    EXPECT_FALSE(form.hasRows());
    EXPECT_FALSE(form.add(QStringLiteral("  ")).has_value());

    const QString first = *form.add(QStringLiteral("5551234"));
    const QString second = *form.add(QStringLiteral("5559876"));
    EXPECT_EQ(form.rows()[size_t(form.current())].msgId, second);
    EXPECT_EQ(form.message().tts, settings::DefaultGreetingText);
    form.setType(0);
    form.setWavFile(QStringLiteral("/greetings/hello.wav"));
    form.setCurrent(0);
    form.setText(QStringLiteral("Hello mother"));
    form.setType(2);

    GreetingTable reopened(folder.path());
    std::vector<CallerGreeting> rows = reopened.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].msgType, 2);
    EXPECT_EQ(rows[0].tts, QStringLiteral("Hello mother"));
    EXPECT_EQ(rows[1].msgType, 0);
    EXPECT_EQ(rows[1].wavFile, QStringLiteral("/greetings/hello.wav"));
    EXPECT_TRUE(form.message().recordedFile.endsWith(QStringLiteral("/Msgs/") + first + QStringLiteral(".wav")));

    form.removeCurrent();
    ASSERT_EQ(form.rows().size(), 1u);
    EXPECT_EQ(form.rows()[size_t(form.current())].msgId, second);
    form.removeCurrent();
    EXPECT_FALSE(form.hasRows());
    EXPECT_TRUE(reopened.rows().empty());
}

TEST(ScheduleFormTest, ChangesApplyAtOnceAndAreStoredOnlyByClose)
{
    Folder folder;
    IniFile ini(folder.ini());
    CurrentSettings current(ini);
    {
        ScheduleForm form(ini, current, folder.path());
        EXPECT_FALSE(form.editsTimes());
        form.setEnabled(true); // the default period has no flag
        EXPECT_FALSE(current.values().periods[0].enabled);
        form.setCurrent(1);
        form.setEnabled(true);
        form.setFrom(QTime(22, 0, 0, 500));
        form.setTo(QTime(6, 0));
        form.setText(QStringLiteral("Good night"));
    }
    const PeriodSettings& night = current.values().periods[1];
    EXPECT_TRUE(night.enabled);
    EXPECT_EQ(night.from, QTime(22, 0));
    EXPECT_EQ(night.tts, QStringLiteral("Good night"));

    // Another key changing on disk does not undo the dialog's schedule.
    settings::writeInteger(ini, keys::AmRings, 6);
    EXPECT_TRUE(current.reloadIfChanged());
    EXPECT_TRUE(current.values().periods[1].enabled);
    EXPECT_FALSE(CallSettings::readPeriods(ini)[1].enabled);

    ScheduleForm again(ini, current, folder.path());
    again.setCurrent(1);
    EXPECT_EQ(again.period().tts, QStringLiteral("Good night"));
    ASSERT_TRUE(again.close());
    EXPECT_EQ(CallSettings::readPeriods(ini)[1], current.values().periods[1]);
    EXPECT_EQ(current.values().amRings, 6);
}

TEST(GreetingPreviewTest, SavesAGreetingAsTheLineWouldCarryIt)
{
    Folder folder;
    GreetingPreview preview;
    QStringList saved; // the errors, one per save
    QObject::connect(&preview, &GreetingPreview::saved, [&](const QString&, const QString& error) { saved << error; });
    QString why;
    EXPECT_FALSE(preview.play({GreetingType::WavFile, folder.dir.filePath(QStringLiteral("none.wav")), {}}, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(preview.play({GreetingType::Text, QStringLiteral("  "), {}}, &why));

    const QString spoken = folder.dir.filePath(QStringLiteral("spoken.wav"));
    ASSERT_TRUE(preview.saveTo({GreetingType::Text, QStringLiteral("Please leave a message."), {}}, spoken, &why)) << why.toStdString();
    ASSERT_TRUE(testsupport::waitUntil([&] { return saved.count() == 1; }, 20000));
    EXPECT_EQ(saved[0], QString());
    TdeWaveFormat format;
    EXPECT_GT(wavAudioBytes(spoken, &format), 4000); // half a second at least
    EXPECT_EQ(format.samplesPerSec(), 8000u);

    // A file greeting is stored as greetings are kept: PCM 16-bit.
    const QString copy = folder.dir.filePath(QStringLiteral("copy.wav"));
    ASSERT_TRUE(preview.saveTo({GreetingType::WavFile, spoken, {}}, copy, &why)) << why.toStdString();
    EXPECT_EQ(saved.count(), 2);
    EXPECT_GT(wavAudioBytes(copy, &format), 8000);
    EXPECT_EQ(format.bitsPerSample(), 16);
    EXPECT_EQ(preview.state(), GreetingPreview::State::Idle);
}

// Record from the (virtual) sound card into the greeting's file; Stop ends it
// and the file holds what was heard, as greetings are kept.
TEST(GreetingPreviewTest, RecordsAGreetingFromTheSoundCard)
{
    Folder folder;
    std::shared_ptr<VirtualSoundDevice> card = VirtualSoundDevice::instance();
    card->setSpeed(0);
    card->setInput(QByteArray(16000, '\x10')); // half a second of 16-bit audio
    GreetingPreview preview;
    int finished = 0;
    QObject::connect(&preview, &GreetingPreview::finished, [&](const QString&) { ++finished; });
    const QString path = folder.dir.filePath(QStringLiteral("Msgs/greeting.wav"));
    QDir().mkpath(folder.dir.filePath(QStringLiteral("Msgs")));
    QString why;
    ASSERT_TRUE(preview.record(path, &why)) << why.toStdString();
    EXPECT_FALSE(preview.play({GreetingType::Text, QStringLiteral("Hello"), {}}, &why)) << "one thing at a time";
    testsupport::settle(300);
    preview.stop();
    card->setSpeed(1);
    EXPECT_EQ(finished, 1);
    TdeWaveFormat format;
    EXPECT_GT(wavAudioBytes(path, &format), 8000);
    EXPECT_EQ(format.bitsPerSample(), 16);
    EXPECT_EQ(format.samplesPerSec(), 8000u);
}
