#include "app/PostProcessDialog.h"
#include "audio/RiffWriter.h"
#include "audio/WaveFormat.h"

#include <QFile>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString writeWav(const QString& path, const QByteArray& audio)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    TdeRIFFAudioWriter writer(&file);
    writer.setFormat(standardPcm8k());
    writer.writeData(audio.constData(), audio.size());
    writer.finish();
    return path;
}

// A second Apply and a close that arrive while Apply runs are ignored; Save
// writes the file once and the dialog's display hook sees the new audio.
TEST(PostProcessDialog, ApplyRunsOnceAndTheWindowWaitsForIt)
{
    QTemporaryDir dir;
    const QString path = writeWav(dir.filePath(QStringLiteral("call.wav")), QByteArray(8000, char(140)));
    PostProcessDialog dialog(PostProcessDialog::Kind::VolumeLevel);
    dialog.setQuiet(true);
    QByteArray shown;
    dialog.onDisplay = [&](const QByteArray& audio) { shown = audio; };
    QString error;
    ASSERT_TRUE(dialog.open(path, &error)) << qPrintable(error);
    dialog.show();
    dialog.slider()->setValue(100);
    QTimer::singleShot(0, &dialog, [&] {
        dialog.apply();
        dialog.reject();
        dialog.close();
    });
    dialog.apply();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(shown.at(0), char(152)) << "applied once: 12 x 2";
    EXPECT_TRUE(dialog.session().canSave());
    dialog.save();
    EXPECT_FALSE(dialog.session().canSave());
    ASSERT_TRUE(dialog.messages().isEmpty()) << qPrintable(dialog.messages().join(QLatin1Char('\n')));

    PostProcessDialog again(PostProcessDialog::Kind::VoiceEqualizer);
    again.setQuiet(true);
    ASSERT_TRUE(again.open(path, &error));
    EXPECT_EQ(again.session().audio().at(100), char(152)) << "saved";
    again.reject();

    const QString silent = writeWav(dir.filePath(QStringLiteral("silent.wav")), QByteArray(8000, char(128)));
    PostProcessDialog equalizer(PostProcessDialog::Kind::VoiceEqualizer);
    equalizer.setQuiet(true);
    ASSERT_TRUE(equalizer.open(silent, &error));
    equalizer.apply();
    EXPECT_FALSE(equalizer.session().canSave());
    ASSERT_EQ(equalizer.messages().size(), 1);
    EXPECT_TRUE(equalizer.messages()[0].contains(QLatin1String("no voice")));
}

} // namespace
