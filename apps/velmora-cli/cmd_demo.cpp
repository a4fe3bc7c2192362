#include "CliCommand.h"
#include "platform/ChildLifetime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <functional>

namespace {

// The demonstration drives a simulated modem: the simulator ships with the
// program (beside it when installed, in the build tree's tools folder).
QString findSimulator()
{
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {qEnvironmentVariable("VELMORA_MODEM_SIM"),
                                     here + QStringLiteral("/velmora-modem-sim"),
                                     here + QStringLiteral("/../../tools/modem-sim/velmora-modem-sim")}) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).absoluteFilePath();
    }
    return QStandardPaths::findExecutable(QStringLiteral("velmora-modem-sim"));
}

class DemoModem
{
public:
    bool start(const QString& program, const QString& folder, QString& error)
    {
        const QString pathFile = folder + QStringLiteral("/modem-sim.path");
        QFile::remove(pathFile);
        endWithParent(m_process);
        m_process.setStandardOutputFile(folder + QStringLiteral("/modem-sim.log"));
        m_process.setStandardErrorFile(folder + QStringLiteral("/modem-sim.log"), QIODevice::Append);
        m_process.start(program, {QStringLiteral("--profile"), QStringLiteral("conexant"),
                                  QStringLiteral("--path-file"), pathFile});
        if (!m_process.waitForStarted(5000)) {
            error = QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString());
            return false;
        }
        for (int i = 0; i < 100 && m_device.isEmpty(); ++i) {
            QThread::msleep(50);
            QFile file(pathFile);
            if (file.open(QIODevice::ReadOnly))
                m_device = QString::fromLocal8Bit(file.readAll()).trimmed();
        }
        if (m_device.isEmpty())
            error = QStringLiteral("the modem simulator did not start (see %1/modem-sim.log)").arg(folder);
        return !m_device.isEmpty();
    }

    // Scenario lines, played by the simulator as they arrive.
    void play(const QString& lines)
    {
        m_process.write(lines.toUtf8());
        m_process.waitForBytesWritten(2000);
    }

    const QString& device() const { return m_device; }

    ~DemoModem()
    {
        m_process.kill();
        m_process.waitForFinished(2000);
    }

private:
    QProcess m_process;
    QString m_device;
};

// Runs another subcommand in this process and hands its output lines to show.
int runStep(CliContext& ctx, const QString& name, const QStringList& args,
            const std::function<void(const QString&)>& show)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    CliContext step{ctx.dataDir, ctx.port, args, outStream, errStream};
    int rc = 2;
    for (const CliCommand& c : cliCommands())
        if (c.name == name)
            rc = c.run(step);
    outStream.flush();
    errStream.flush();
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        show(line);
    if (rc != 0)
        ctx.err << err;
    return rc;
}

QString demoFolder(const CliContext& ctx)
{
    if (!ctx.dataDir.isEmpty())
        return ctx.dataDir;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Velmora-demo");
}

int runDemo(CliContext& ctx)
{
    const QString folder = QFileInfo(demoFolder(ctx)).absoluteFilePath();
    const QString simulator = findSimulator();
    if (simulator.isEmpty() || !QDir().mkpath(folder)) {
        ctx.err << "velmora-cli demo: " << (simulator.isEmpty() ? "velmora-modem-sim was not found" : "cannot create " + folder) << "\n";
        return 1;
    }
    DemoModem modem;
    QString error;
    if (!modem.start(simulator, folder, error)) {
        ctx.err << "velmora-cli demo: " << error << "\n";
        return 1;
    }
    CliContext demo{folder, modem.device(), {}, ctx.out, ctx.err};
    const auto print = [&](const QString& line) { ctx.out << "   " << line << "\n"; ctx.out.flush(); };
    ctx.out << "Velmora demonstration\n"
            << "A simulated voice modem on " << modem.device() << " stands in for a telephone line.\n"
            << "Data folder: " << folder << "\n\n";

    ctx.out << "1. Finding the modem and probing its voice features (probe)\n";
    ctx.out.flush();
    if (runStep(demo, QStringLiteral("probe"), {}, [&](const QString& line) {
            static const QStringList results = {QStringLiteral("model="), QStringLiteral("voicefeatures="),
                                                QStringLiteral("compression="), QStringLiteral("vsm="),
                                                QStringLiteral("codec=")};
            for (const QString& key : results)
                if (line.startsWith(key))
                    print(line);
        }) != 0)
        return 1;

    ctx.out << "\n2. A call rings three times with caller ID, nobody answers (monitor)\n";
    ctx.out.flush();
    // The rings start once monitor has initialised the modem (caller ID on).
    modem.play(QStringLiteral("call\nawait command AT+VCID=1 timeout 30s\n"
                              "cid DATE=1209 TIME=0930 NMBR=5551234 NAME=\"SMITH JOHN\"\nring 3 every 3s\n"));
    if (runStep(demo, QStringLiteral("monitor"), {QStringLiteral("--seconds"), QStringLiteral("14")}, print) != 0)
        return 1;

    ctx.out << "\n3. The answering machine's greeting, spoken by espeak-ng, goes to the line (play --text)\n";
    ctx.out.flush();
    if (runStep(demo, QStringLiteral("play"),
                {QStringLiteral("--text"), QStringLiteral("Hello, you have reached the Velmora demonstration. Please leave "
                                                          "your message after the tone.")},
                [&](const QString& line) {
                    if (!line.contains(QLatin1String(" -> ")))
                        print(line);
                }) != 0)
        ctx.out << "   (no greeting: see the message above; the tour goes on)\n";

    ctx.out << "\n4. A conversation is recorded until the far end hangs up (record)\n";
    ctx.out.flush();
    const QString recorded = folder + QStringLiteral("/Recorded.wav");
    modem.play(QStringLiteral("call\nawait rx timeout 30s\n"
                              "say \"Hello, this is John Smith. Please call me back at five five five, "
                              "one two three four. Thank you.\"\nbusy 8\n"));
    if (runStep(demo, QStringLiteral("record"),
                {recorded, QStringLiteral("--until-disconnect"), QStringLiteral("--seconds"), QStringLiteral("60")},
                [&](const QString& line) {
                    if (!line.startsWith(QLatin1String("block ")) || line.contains(QLatin1String("disconnect")))
                        print(line);
                }) != 0)
        return 1;

    ctx.out << "\n5. The recording is filed in the catalogue (add-recording, list)\n";
    ctx.out.flush();
    if (runStep(demo, QStringLiteral("add-recording"),
                {recorded, QStringLiteral("--caller"), QStringLiteral("5551234"), QStringLiteral("--name"),
                 QStringLiteral("SMITH JOHN")},
                [](const QString&) {}) != 0)
        return 1;
    QFile::remove(recorded);
    runStep(demo, QStringLiteral("list"), {}, print);

    ctx.out << "\nDone. Look around with:\n"
            << "   velmora-cli --data-dir " << folder << " list\n"
            << "   velmora-cli --data-dir " << folder << " folders\n"
            << "   velmora-cli wav-info <a file of " << folder << "/wav>\n"
            << "velmora-cli --help lists every command.\n";
    return 0;
}

CliCommandRegistrar demo({QStringLiteral("demo"), QString(),
                          QStringLiteral("a guided tour with a simulated modem: probe, a ringing call, a spoken "
                                         "greeting, a recorded call and the catalogue (data folder Velmora-demo "
                                         "unless --data-dir)"),
                          &runDemo});

} // namespace
