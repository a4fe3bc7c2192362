// velmora-cli monitor against the voice modem simulator.
#include "ModemSim.h"
#include "TestSupport.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

using testsupport::ModemSim;

namespace {

struct MonitorCase
{
    const char* profile;  // how the modem reports rings and caller ID
    const char* cidFirst; // "before" or "between" the rings
    int chunk;            // the modem's reads: bytes each, 0 as they come
    const char* rings = "ring 3 every 15s";
};

testsupport::ProcessResult cli(const QString& data, const QString& port, const QStringList& command)
{
    return testsupport::run(QStringLiteral(VELMORA_CLI),
                            QStringList{QStringLiteral("--data-dir"), data, QStringLiteral("--port"), port} + command);
}

// The data folder as the probe leaves it for one simulated modem family.
void probeInto(const QString& data, const QString& profile, int chunk)
{
    ModemSim::Options options;
    options.profile = profile;
    options.chunk = chunk;
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    const auto probe = cli(data, sim.devicePath(), {QStringLiteral("probe")});
    ASSERT_EQ(probe.exitCode, 0) << probe.err.constData();
}

class CliMonitor : public testing::TestWithParam<MonitorCase>
{
};

TEST_P(CliMonitor, RingsCallerIdAndRingAwayOfAnUnansweredCall)
{
    QTemporaryDir data;
    probeInto(data.path(), QString::fromLatin1(GetParam().profile), GetParam().chunk);
    ModemSim::Options options;
    options.profile = QString::fromLatin1(GetParam().profile);
    options.chunk = GetParam().chunk;
    options.extraArgs = {QStringLiteral("--set"), QStringLiteral("cid-timing=%1").arg(GetParam().cidFirst)};
    // Fifteen simulated seconds between rings are 1.5 s here: long enough to
    // be measured as the ring span.
    options.scenario = QStringLiteral("call\n"
                                      "await command VCID timeout 60s\n"
                                      "wait 5s\n"
                                      "cid DATE=1015 TIME=1310 NMBR=5551234\n"
                                      "%1\n")
                           .arg(QLatin1String(GetParam().rings));
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());

    const auto result = cli(data.path(), sim.devicePath(), {QStringLiteral("monitor"), QStringLiteral("--seconds"),
                                                            QStringLiteral("9")});
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    EXPECT_FALSE(result.err.contains("Time out")) << result.err.constData();
    const QStringList lines = QString::fromLatin1(result.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.count(QStringLiteral("RING")), 3) << result.out.constData();
    EXPECT_EQ(lines.count(QStringLiteral("CALLERID date=1015 time=1310 number=5551234 name=")), 1)
        << result.out.constData();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), QStringLiteral("RINGAWAY 3"));
}

INSTANTIATE_TEST_SUITE_P(Profiles, CliMonitor,
                         testing::Values(MonitorCase{"usr", "between", 0}, MonitorCase{"old-serial", "before", 0},
                                         MonitorCase{"generic", "between", 0},
                                         // each ring reported twice (a distinctive ring) is one ring
                                         MonitorCase{"generic", "between", 1, "ring 3 every 15s double"},
                                         MonitorCase{"conexant", "between", 3}),
                         [](const auto& info) {
                             std::string name = info.param.profile;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name + "_chunk" + std::to_string(info.param.chunk);
                         });

// A modem whose output comes a byte or three at a time is probed and
// initialised exactly as one whose replies come whole.
TEST(ProbeInReadsOfAnySize, GivesTheSameProfileAndACleanInit)
{
    QString first;
    QByteArray firstCompressions;
    for (const int chunk : {256, 3, 1}) {
        SCOPED_TRACE(chunk);
        QTemporaryDir data;
        probeInto(data.path(), QStringLiteral("conexant"), chunk);
        QString settings = QString::fromUtf8(testsupport::readFile(data.filePath(QStringLiteral("vlm.ini"))));
        settings.remove(QRegularExpression(QStringLiteral("PortName=[^\n]*\n")));
        const QByteArray compressions = testsupport::readFile(data.filePath(QStringLiteral("Compressions.d")));
        if (chunk == 256) {
            first = settings;
            firstCompressions = compressions;
        }
        EXPECT_EQ(settings, first);
        EXPECT_EQ(compressions, firstCompressions);

        ModemSim::Options options;
        options.profile = QStringLiteral("conexant");
        options.chunk = chunk;
        ModemSim sim(options);
        ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
        const auto init = cli(data.path(), sim.devicePath(), {QStringLiteral("init")});
        EXPECT_EQ(init.exitCode, 0) << init.err.constData();
        EXPECT_FALSE(init.out.contains("Time out")) << init.out.constData();
        EXPECT_FALSE(init.out.contains("Error")) << init.out.constData();
    }
}

} // namespace
