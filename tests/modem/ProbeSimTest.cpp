#include "EngineFixture.h"
#include "ModemSim.h"
#include "ProbeFixture.h"
#include "TestSupport.h"

#include "modem/CompressionChoice.h"
#include "modem/CompressionRecord.h"
#include "modem/InitScript.h"
#include "platform/LinuxSerialPort.h"

#include <QFile>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

using testsupport::ModemSim;

struct SimProfile
{
    const char* profile;
    const char* model;
    int compressions; // lines of its +VSM=? answer we can name
    const char* vsm;
    const char* flowControl;
    const char* desc = "UNSIGNED PCM";
    const char* codec = "pcm_8000_8";
    const char* escapedStops = "0"; // the stop pair form the modem obeys
};

void PrintTo(const SimProfile& p, std::ostream* os)
{
    *os << p.profile;
}

class ProbeSimTest : public EngineHarness<LinuxSerialPort>, public testing::WithParamInterface<SimProfile>
{
protected:
    void SetUp() override
    {
        EngineHarness::SetUp();
        ModemSim::Options options;
        options.profile = QLatin1String(GetParam().profile);
        sim = std::make_unique<ModemSim>(options);
        ASSERT_TRUE(sim->start()) << qPrintable(sim->error());
        view.configure = [this](TQModems& modems) {
            modems.setCandidatePorts({{1, sim->devicePath(), QString()}});
        };
        engine.setDefinitionView(&view);
    }

    QString setting(const char* section, const char* key) const { return settingOf(*ini, section, key); }

    std::unique_ptr<ModemSim> sim;
    RecordingView view;
};

// The probe against each simulated modem family sets up a profile that the
// next initialisation uses as it stands, and the modem accepts it.
TEST_P(ProbeSimTest, ProbeSetsUpAProfileTheModemAccepts)
{
    const SimProfile& p = GetParam();
    engine.DefineModem();

    EXPECT_TRUE(view.messages.isEmpty()) << qPrintable(view.messages.join(QLatin1Char('|')));
    EXPECT_TRUE(view.reports.isEmpty());
    ASSERT_EQ(view.shown, 1);
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("1"));
    EXPECT_EQ(setting("Modem", "Model"), QLatin1String(p.model));
    EXPECT_EQ(setting("PortParams", "PortName"), sim->devicePath());
    EXPECT_EQ(setting("Commands", "sVoiceCompression"), QLatin1String(p.vsm));
    EXPECT_EQ(setting("Commands", "sFlowControl"), QLatin1String(p.flowControl));
    EXPECT_EQ(setting("Modem", "CompressionDesc"), QLatin1String(p.desc));
    EXPECT_EQ(setting("Modem", "EscapeStopPairs"), QLatin1String(p.escapedStops));
    EXPECT_FALSE(sim->log().filter(QStringLiteral("line freed")).isEmpty());
    const auto bin = ini->readBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"));
    ASSERT_TRUE(bin.has_value());
    EXPECT_EQ(modemCodecName(*bin), QLatin1String(p.codec));

    QFile file(compressionsFilePath(ini->fileName()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), p.compressions * CompressionRecord::RecordSize);
    const QList<CompressionRecord> records = decodeCompressionRecords(bytes, 101);
    const int chosen = ini->readInteger(QStringLiteral("Modem"), QStringLiteral("Compression"), -1);
    ASSERT_GE(chosen, 0);
    ASSERT_LT(chosen, records.size());
    EXPECT_EQ(records[chosen].vsm, QLatin1String(p.vsm));
    EXPECT_EQ(ini->readSection(QStringLiteral("Modem compressions")).size(), p.compressions);
    EXPECT_FALSE(port.isOpen());

    // The next start: the init script sends the probed commands, and the
    // modem answers each of them with OK.
    ensureInitScript(initScriptPath(ini->fileName()));
    log.lines.clear();
    ASSERT_TRUE(engine.InitModem());
    for (const QString& command : {QString::fromLatin1(p.vsm), setting("Commands", "sTransmitGain"),
                                   setting("Commands", "sReceiveGain"), setting("Commands", "sFCallerID")}) {
        const qsizetype at = log.lines.indexOf(command);
        ASSERT_GE(at, 0) << qPrintable(command);
        ASSERT_LT(at + 1, log.lines.size());
        EXPECT_EQ(log.lines[at + 1], QStringLiteral("ok")) << qPrintable(command);
    }
    engine.ReleaseModem();
}

INSTANTIATE_TEST_SUITE_P(
    Families, ProbeSimTest,
    testing::Values(SimProfile{"generic", "Generic V.253 Voice Modem", 6, "at+vsm=128,8000,0,0", "at+flo=1"},
                    SimProfile{"conexant", "V90/V92 USB Voice Modem", 5, "at+vsm=128,8000", "at+ifc=1", "UNSIGNED PCM",
                               "pcm_8000_8", "1"},
                    SimProfile{"usr", "56K Voice Faxmodem", 4, "at+vsm=1,8000,0,0", "at+flo=1"},
                    SimProfile{"old-serial", "Serial Voice Modem", 4, "at+vsm=128,8000", "at+ifc=1"},
                    SimProfile{"rockwell", "Rockwell Voice Modem", 3, "at+vsm=0,7200,0,0", "at+ifc=1", "SIGNED PCM",
                               "pcm_7200_8"}));

// A pseudo-terminal nobody answers on: it opens, and stays silent.
class SilentPort
{
public:
    SilentPort()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_path = QString::fromLocal8Bit(::ptsname(m_master));
    }
    ~SilentPort()
    {
        if (m_master >= 0)
            ::close(m_master);
    }
    const QString& path() const { return m_path; }

private:
    int m_master = -1;
    QString m_path;
};

QString cli()
{
    return QStringLiteral(VELMORA_CLI);
}

TEST(ProbeCommand, ProbeThenInitOnASimulatedModem)
{
    ModemSim::Options options;
    options.profile = QStringLiteral("usr");
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data")); // not there yet

    const auto probe = testsupport::run(cli(), {"--data-dir", data, "--port", sim.devicePath(), "probe"});
    EXPECT_EQ(probe.exitCode, 0) << probe.err.constData();
    for (const char* line : {"model=56K Voice Faxmodem\n", "voicefeatures=1\n", "compression=UNSIGNED PCM,8,8000\n",
                             "vsm=at+vsm=1,8000,0,0\n", "codec=pcm_8000_8\n"})
        EXPECT_TRUE(probe.out.contains(line)) << line << probe.out.constData();
    EXPECT_TRUE(probe.out.contains("progress 100%"));

    // Without --port: the device stored by the probe is used.
    const auto init = testsupport::run(cli(), {"--data-dir", data, "init"});
    EXPECT_EQ(init.exitCode, 0) << init.err.constData();
    EXPECT_TRUE(init.out.contains("at+vsm=1,8000,0,0\n")) << init.out.constData();
    EXPECT_TRUE(sim.waitForLog(QStringLiteral("host: at+vsm=1,8000,0,0")));

    const auto modems = testsupport::run(cli(), {"--port", sim.devicePath(), "modems"});
    EXPECT_EQ(modems.exitCode, 0) << modems.err.constData();
    EXPECT_TRUE(modems.out.endsWith('\t' + sim.devicePath().toUtf8() + "\t56K Voice Faxmodem\n")) << modems.out.constData();
}

// The modem is unplugged half-way through the probe: the probe fails, says
// where, and leaves the data folder unprobed.
TEST(ProbeCommand, AModemUnpluggedDuringTheProbeLeavesNoProfile)
{
    ModemSim::Options options;
    options.scenario = QStringLiteral("await command AT+VGR=? timeout 60s\nunplug\n");
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    QTemporaryDir dir;
    const auto probe = testsupport::run(cli(), {"--data-dir", dir.path(), "--port", sim.devicePath(), "probe"});
    EXPECT_EQ(probe.exitCode, 1);
    EXPECT_TRUE(probe.err.contains("The modem stopped answering during the probe: no answer to at+VG"))
        << probe.err.constData();
    EXPECT_TRUE(probe.out.contains("voicefeatures=0\ncompression=,,\n")) << probe.out.constData();
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    EXPECT_FALSE(ini.sectionExists(QStringLiteral("Commands")));

    const auto init = testsupport::run(cli(), {"--data-dir", dir.path(), "init"});
    EXPECT_EQ(init.exitCode, 1);
    EXPECT_TRUE(init.err.contains("run velmora-cli probe first")) << init.err.constData();
}

TEST(ProbeCommand, APortThatDoesNotAnswerIsNoModem)
{
    SilentPort silent;
    ASSERT_FALSE(silent.path().isEmpty());
    QTemporaryDir dir;
    const auto probe = testsupport::run(cli(), {"--data-dir", dir.path(), "--port", silent.path(), "probe"});
    EXPECT_EQ(probe.exitCode, 1);
    EXPECT_TRUE(probe.err.contains("There is no modem found in your system")) << probe.err.constData();
    EXPECT_TRUE(probe.out.contains("voicefeatures=0\n"));
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    EXPECT_FALSE(ini.readBool(QStringLiteral("Modem"), QStringLiteral("Voicefeatures"), true));
    EXPECT_FALSE(ini.sectionExists(QStringLiteral("Commands")));

    const auto modems = testsupport::run(cli(), {"--port", silent.path(), "modems"});
    EXPECT_EQ(modems.exitCode, 1);
    EXPECT_TRUE(modems.out.isEmpty());

    const auto missing = testsupport::run(cli(), {"--data-dir", dir.path(), "--port", "/dev/velmora-none", "probe"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("the device does not exist")) << missing.err.constData();
}

} // namespace
