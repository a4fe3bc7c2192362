// run killed with SIGKILL at random moments of a recorded call, as a power
// loss would end it: at the next start every recording is catalogued once,
// sox reads it, and at most a second of the audio the modem sent is lost.
#include "CliProcess.h"
#include "ModemSim.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/stat.h>

using testsupport::ModemSim;

namespace {

class PowerLoss : public testing::Test
{
protected:
    // Seconds of the simulator's clock at its log line.
    static double at(const QString& line)
    {
        static const QRegularExpression stamp(QStringLiteral("^\\[([0-9.]+)\\]"));
        return stamp.match(line).captured(1).toDouble();
    }
    // Seconds of audio the modem sent in the last call, by its own count
    // (8000 bytes a second as probed).
    double secondsSent(int fromLine)
    {
        static const QRegularExpression end(QStringLiteral("rx end.*, ([0-9]+) bytes"));
        for (const QString& line : sim->log().mid(fromLine))
            if (const auto match = end.match(line); match.hasMatch())
                return match.captured(1).toDouble() / 8000;
        return -1;
    }

    // The files of the recordings folder by inode, which a rename keeps.
    std::map<ino_t, QString> filesByInode()
    {
        std::map<ino_t, QString> files;
        const QDir wav(data.filePath(QStringLiteral("wav")));
        for (const QString& name : wav.entryList(QDir::Files)) {
            struct stat st{};
            if (::stat(QFile::encodeName(wav.filePath(name)).constData(), &st) == 0)
                files[st.st_ino] = name;
        }
        return files;
    }

    QTemporaryDir data;
    std::unique_ptr<ModemSim> sim;
    testsupport::CliProcess velmora{data.path(), QString()};
};

TEST_F(PowerLoss, KilledAtRandomMomentsOfARecordedCallEveryRecordingIsKeptOnce)
{
    if (!testsupport::haveProgram(QStringLiteral("soxi")))
        GTEST_SKIP() << "sox is not installed";
    ModemSim::Options options;
    // Real time: faster, a loaded machine falls behind the audio and the
    // lag, not the files, decides what is lost. Short calls keep it quick.
    options.speed = 1;
    sim = std::make_unique<ModemSim>(options);
    ASSERT_TRUE(sim->start()) << qPrintable(sim->error());
    velmora.setPort(sim->devicePath());
    ASSERT_EQ(velmora.cli({QStringLiteral("probe")}).exitCode, 0);
    std::mt19937 random(std::random_device{}());
    const int runs = 20;
    std::map<ino_t, double> sentByFile; // what the modem sent into each run's file
    for (int i = 0; i < runs; ++i) {
        SCOPED_TRACE(i);
        // What the simulator logged so far is in: a marker line ends it.
        const QString marker = QStringLiteral("power-loss run %1").arg(i);
        sim->command(QStringLiteral("log ") + marker);
        ASSERT_TRUE(sim->waitForLog(marker));
        const int fromLine = int(sim->log().size());
        velmora.startRun();
        ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened...")));
        for (const char* line : {"call", "ring 2 every 6s handset-after 1", "noise 3s 20"})
            sim->command(QLatin1String(line));
        ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- Start Recording")));
        QThread::msleep(300 + random() % 1200);
        // Every other run the caller hangs up first: killed inside the stop and the save.
        if (i % 2)
            sim->command(QStringLiteral("handset down"));
        QThread::msleep(random() % (i % 2 ? 1000 : 200));
        velmora.killRun();
        ASSERT_TRUE(sim->waitForLog(QStringLiteral("line freed"), 10000, fromLine));
        for (const auto& [inode, name] : filesByInode())
            if (!sentByFile.count(inode))
                sentByFile[inode] = secondsSent(fromLine);
        sim->command(QStringLiteral("handset down")); // rings again for the next call
    }
    // The next start recovers what the last run left.
    velmora.startRun();
    ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened...")));
    ASSERT_TRUE(velmora.stopRun());

    const QStringList rows = QString::fromUtf8(velmora.cli({QStringLiteral("list")}).out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(rows.size(), runs) << rows.join(QLatin1Char('\n')).toStdString();
    QSet<QString> files;
    const std::map<ino_t, QString> onDisk = filesByInode();
    for (const QString& row : rows) {
        const QString file = row.split(QLatin1Char('\t')).value(6);
        EXPECT_FALSE(files.contains(file)) << "counted twice: " << file.toStdString();
        files.insert(file);
    }
    EXPECT_EQ(onDisk.size(), size_t(runs)) << "a file for each call, and only the files of rows";
    for (const auto& [inode, name] : onDisk) {
        EXPECT_TRUE(files.contains(name)) << name.toStdString() << " is not catalogued";
        const auto soxi = testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-D"), data.filePath(QStringLiteral("wav/")) + name});
        EXPECT_EQ(soxi.exitCode, 0) << name.toStdString() << soxi.err.constData();
        const double kept = soxi.out.trimmed().toDouble();
        const double sent = sentByFile.count(inode) ? sentByFile[inode] : -1;
        std::printf("%s: the modem sent %.2f s, the file keeps %.2f s\n", qPrintable(name), sent, kept);
        EXPECT_LE(sent - kept, 1.0) << name.toStdString() << ": the modem sent " << sent << " s, the file keeps " << kept;
    }
}

// The disk fills up during a message (a file size limit stands in for it):
// the call still ends and frees the line, what was written is kept and
// catalogued, and the log says so.
TEST_F(PowerLoss, ADiskThatFillsUpDuringACallKeepsWhatWasWritten)
{
    if (!testsupport::haveProgram(QStringLiteral("soxi")))
        GTEST_SKIP() << "sox is not installed";
    sim = std::make_unique<ModemSim>();
    ASSERT_TRUE(sim->start()) << qPrintable(sim->error());
    velmora.setPort(sim->devicePath());
    ASSERT_EQ(velmora.cli({QStringLiteral("probe")}).exitCode, 0);
    // 80 blocks of 512 bytes: about 5 s of audio, the tables and the log fit.
    velmora.startRunAfter(QStringLiteral("ulimit -f 80; trap '' XFSZ"));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened...")));
    for (const char* line : {"call", "ring 2 every 6s handset-after 1", "noise 15s 20", "handset down", "busy 10s"})
        sim->command(QLatin1String(line));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- File saved"), 60000));
    ASSERT_TRUE(sim->waitForLog(QStringLiteral("line freed")));
    EXPECT_TRUE(velmora.output().contains("Recording stopped writing")) << velmora.output().constData();
    ASSERT_TRUE(velmora.stopRun());

    const QStringList rows = QString::fromUtf8(velmora.cli({QStringLiteral("list")}).out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1);
    const QString file = data.filePath(QStringLiteral("wav/")) + rows[0].split(QLatin1Char('\t')).value(6);
    const auto soxi = testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-D"), file});
    ASSERT_EQ(soxi.exitCode, 0) << soxi.err.constData();
    EXPECT_NEAR(soxi.out.trimmed().toDouble(), 40960.0 / 8000, 0.5) << "all that fitted";
}

} // namespace
