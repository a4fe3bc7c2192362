// velmora-cli detect on files.
#include "TestSupport.h"

#include "audio/RiffWriter.h"
#include "audio/WaveFormat.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

// 256 ms off, 256 ms of 440 Hz, over and over, as 16-bit samples at 8 kHz:
// the file is converted to 8-bit before the detector sees it.
QString writeCadence(const QTemporaryDir& dir)
{
    std::vector<int16_t> samples;
    for (int cycle = 0; cycle < 10; ++cycle) {
        samples.insert(samples.end(), 2048, 0);
        for (int i = 0; i < 2048; ++i)
            samples.push_back(int16_t(std::lround(15000 * std::sin(2 * M_PI * 440 * i / 8000.0))));
    }
    const QString path = dir.filePath(QStringLiteral("busy.wav"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        TdeRIFFAudioWriter writer(&file);
        writer.setFormat(pcmFormat(8000, 16, 1));
        writer.writeData(samples.data(), qint64(samples.size() * 2));
        writer.finish();
    }
    return path;
}

TEST(CliDetect, CadenceIsReportedFromItsFirstSwitchOnAndEndsTheCallFromTheFourth)
{
    QTemporaryDir dir;
    const auto result = testsupport::run(QStringLiteral(VELMORA_CLI),
                                         {QStringLiteral("detect"), writeCadence(dir), QStringLiteral("--cadence")});
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    const QStringList lines = QString::fromLatin1(result.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("block 3 cadence period=264 duty=2"));
    EXPECT_EQ(lines[1], QStringLiteral("block 6 cadence period=512 duty=50"));
    EXPECT_EQ(lines.indexOf(QStringLiteral("block 11 cadence-disconnect")), 4);
    EXPECT_FALSE(result.out.contains("silence"));
}

TEST(CliDetect, UnreadableFileIsAnErrorNotACrash)
{
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.wav"));
    testsupport::writeFile(bad, "RIFF\x10\0\0\0WAVEjunk");
    for (const QString& file : {bad, dir.filePath(QStringLiteral("missing.wav"))}) {
        const auto result = testsupport::run(QStringLiteral(VELMORA_CLI), {QStringLiteral("detect"), file});
        EXPECT_EQ(result.exitCode, 1) << qPrintable(file);
        EXPECT_FALSE(result.err.isEmpty());
    }
}

} // namespace
