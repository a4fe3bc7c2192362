// velmora-cli monitor against the voice modem simulator.
#include "ModemSim.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::ModemSim;

namespace {

struct MonitorCase
{
    const char* profile; // how the modem reports rings and caller ID
    const char* cidFirst; // "before" or "between" the rings
};

class CliMonitor : public testing::TestWithParam<MonitorCase>
{
};

TEST_P(CliMonitor, RingsCallerIdAndRingAwayOfAnUnansweredCall)
{
    ModemSim::Options options;
    options.profile = QString::fromLatin1(GetParam().profile);
    options.extraArgs = {QStringLiteral("--set"), QStringLiteral("cid-timing=%1").arg(GetParam().cidFirst)};
    // Fifteen simulated seconds between rings are 1.5 s here: long enough to
    // be measured as the ring span.
    options.scenario = QStringLiteral("call\n"
                                      "await command VCID timeout 60s\n"
                                      "wait 5s\n"
                                      "cid DATE=1015 TIME=1310 NMBR=5551234\n"
                                      "ring 3 every 15s\n");
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    QTemporaryDir data;

    const auto result = testsupport::run(QStringLiteral(VELMORA_CLI),
                                         {QStringLiteral("--data-dir"), data.path(), QStringLiteral("--port"),
                                          sim.devicePath(), QStringLiteral("monitor"), QStringLiteral("--seconds"),
                                          QStringLiteral("9")});
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    const QStringList lines = QString::fromLatin1(result.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.count(QStringLiteral("RING")), 3) << result.out.constData();
    EXPECT_EQ(lines.count(QStringLiteral("CALLERID date=1015 time=1310 number=5551234 name=")), 1)
        << result.out.constData();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), QStringLiteral("RINGAWAY 3"));
}

INSTANTIATE_TEST_SUITE_P(Profiles, CliMonitor,
                         testing::Values(MonitorCase{"usr", "between"}, MonitorCase{"old-serial", "before"},
                                         MonitorCase{"generic", "between"}),
                         [](const auto& info) {
                             return std::string(info.param.profile) == "old-serial" ? std::string("oldserial")
                                                                                    : std::string(info.param.profile);
                         });

} // namespace
