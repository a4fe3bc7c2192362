#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// Runs velmora-modem-sim for a test: a V.253 voice modem on a
// pseudo-terminal. Start it, open devicePath() with a serial port, and talk.
//
//   ModemSim::Options options;
//   options.profile = "conexant";
//   options.scenario = "call\nring 2\n";
//   ModemSim sim(options);
//   ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
//   port.setDeviceName(sim.devicePath());
//   sim.command("dle b");                    // a live scenario command
//   ASSERT_TRUE(sim.waitForLog("rx end"));   // a line of the simulator's log
//
// Time runs `speed` times faster than real time. The process is killed when
// the object goes away; kill() makes the device vanish earlier.
class ModemSim
{
public:
    struct Options
    {
        QString profile = QStringLiteral("generic");
        double speed = 10;
        int chunk = 0;          // --chunk N when > 0
        QString scenario;       // scenario text (written to a file for --scenario)
        bool capture = false;   // save transmissions in captureDir()
        QStringList extraArgs;  // e.g. {"--set", "stop=plain"}
    };

    ModemSim();
    explicit ModemSim(Options options);
    ~ModemSim();
    ModemSim(const ModemSim&) = delete;
    ModemSim& operator=(const ModemSim&) = delete;

    // Starts the simulator and reads its device path; false (see error())
    // when it cannot be started within timeoutMs.
    bool start(int timeoutMs = 10000);
    QString devicePath() const { return m_path; }
    QString captureDir() const { return m_dir.path(); }
    QString error() const { return m_error; }

    // Sends one live scenario command ("ring 2", "dle b", "say \"hello\"").
    void command(const QString& line);
    // Processes events until a log line contains text (only lines that came
    // after `fromLine`); true when it did within timeoutMs.
    bool waitForLog(const QString& text, int timeoutMs = 10000, int fromLine = 0);
    // The simulator's log lines so far (without the device path line).
    QStringList log();
    // Kills the process: the device disappears as an unplugged modem does.
    void kill();
    bool running() const { return m_process.state() != QProcess::NotRunning; }

    // Where the simulator binary is: VELMORA_MODEM_SIM in the environment,
    // else the one this build made.
    static QString program();

private:
    void collect();

    Options m_options;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_path;
    QString m_error;
    QByteArray m_pending;
    QStringList m_log;
};

} // namespace testsupport
