#include "app/DemoLine.h"

#include "calls/CallerListTable.h"
#include "catalogue/DataFolder.h"
#include "catalogue/TableError.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "platform/ChildLifetime.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString pathFile(const QString& folder)
{
    return folder + QStringLiteral("/modem-sim.path");
}

struct Caller
{
    const char* number;
    const char* name;
    const char* words;
    bool handset; // picked up on the handset, else the answering machine takes it
    bool blocked = false; // on the block list: turned away as the caller ID arrives
};

const QString BlockedPrefix = QStringLiteral("0900*");

const Caller Callers[] = {
    {"5551234", "SMITH JOHN", "Hello, this is John Smith. I am calling about the order we talked about. "
                              "Please call me back at five five five, one two three four.", true},
    {"09005550199", "TELESALES", "", false, true},
    {"5559876", "JONES MARY", "Hi, it is Mary Jones. Just wanted to say the meeting moved to Thursday at ten. "
                              "Talk to you soon, bye.", false},
    {"5554321", "BROWN ALEX", "Good morning, Alex Brown from the garage here. Your car is ready to be picked up.",
     true},
    {"", "", "Hello? Hello, is anybody there? I will try again later.", false},
};

} // namespace

DemoLine::DemoLine(const QString& dataFolder, QObject* parent) : QObject(parent), m_folder(dataFolder)
{
    endWithParent(m_simulator);
    endWithParent(m_probe);
    m_poll.setInterval(50);
    connect(&m_poll, &QTimer::timeout, this, &DemoLine::waitForDevice);
    m_calls.setInterval(CallEveryMs);
    connect(&m_calls, &QTimer::timeout, this, &DemoLine::nextCall);
}

DemoLine::~DemoLine()
{
    m_probe.kill();
    m_probe.waitForFinished(2000);
    m_simulator.kill();
    m_simulator.waitForFinished(2000);
}

QString DemoLine::findProgram(const QString& name, const QString& buildSubfolder)
{
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {here + QLatin1Char('/') + name, here + QStringLiteral("/../../") + buildSubfolder + QLatin1Char('/') + name})
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).absoluteFilePath();
    return QStandardPaths::findExecutable(name);
}

void DemoLine::start()
{
    QString program = qEnvironmentVariable("VELMORA_MODEM_SIM");
    if (program.isEmpty())
        program = findProgram(QStringLiteral("velmora-modem-sim"), QStringLiteral("tools/modem-sim"));
    if (program.isEmpty()) {
        emit failed(QStringLiteral("velmora-modem-sim was not found beside the program"));
        return;
    }
    QFile::remove(pathFile(m_folder));
    m_simulator.setStandardOutputFile(m_folder + QStringLiteral("/modem-sim.log"));
    m_simulator.setStandardErrorFile(m_folder + QStringLiteral("/modem-sim.log"), QIODevice::Append);
    m_simulator.start(program, {QStringLiteral("--profile"), QStringLiteral("conexant"), QStringLiteral("--path-file"),
                                pathFile(m_folder)});
    emit progress(QStringLiteral("Starting the simulated modem..."));
    m_polls = 0;
    m_poll.start();
}

void DemoLine::waitForDevice()
{
    QFile file(pathFile(m_folder));
    if (file.open(QIODevice::ReadOnly))
        m_device = QString::fromLocal8Bit(file.readAll()).trimmed();
    if (!m_device.isEmpty()) {
        m_poll.stop();
        const IniFile ini(m_folder + QLatin1Char('/') + datafolder::SettingsFileName);
        if (ini.sectionExists(sections::Commands))
            emit ready(m_device);
        else
            probe();
        return;
    }
    if (++m_polls > 200 || m_simulator.state() == QProcess::NotRunning) {
        m_poll.stop();
        emit failed(QStringLiteral("the modem simulator did not start (see %1/modem-sim.log)").arg(m_folder));
    }
}

// The probe of the command line, as a new user would run it once.
void DemoLine::probe()
{
    const QString cli = findProgram(QStringLiteral("velmora-cli"), QStringLiteral("apps/velmora-cli"));
    if (cli.isEmpty()) {
        emit failed(QStringLiteral("velmora-cli was not found beside the program"));
        return;
    }
    emit progress(QStringLiteral("Probing the simulated modem..."));
    connect(&m_probe, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (status == QProcess::NormalExit && code == 0)
            emit ready(m_device);
        else
            emit failed(QStringLiteral("the probe of the simulated modem failed: ")
                        + QString::fromLocal8Bit(m_probe.readAllStandardError()).trimmed());
    });
    m_probe.start(cli, {QStringLiteral("--data-dir"), m_folder, QStringLiteral("--port"), m_device,
                        QStringLiteral("probe")});
}

void DemoLine::startCalls()
{
    ListEntry entry;
    callerlists::parseCaller(BlockedPrefix, entry);
    entry.action = BlockAction::Tones;
    entry.note = QStringLiteral("demonstration: premium-rate numbers");
    try {
        CallerListTable(m_folder).add(entry);
    } catch (const TableError& e) {
        emit progress(QStringLiteral("The block list cannot be written: ") + e.message());
    }
    QTimer::singleShot(FirstCallMs, this, &DemoLine::nextCall);
    m_calls.start();
}

void DemoLine::nextCall()
{
    const Caller& c = Callers[m_callNumber++ % std::size(Callers)];
    const QDateTime now = QDateTime::currentDateTime();
    QString script = QStringLiteral("call\n");
    if (*c.number)
        script += QStringLiteral("cid DATE=%1 TIME=%2 NMBR=%3 NAME=\"%4\"\n")
                      .arg(now.toString(QStringLiteral("MMdd")), now.toString(QStringLiteral("hhmm")),
                           QLatin1String(c.number), QLatin1String(c.name));
    if (c.blocked) {
        m_simulator.write((script + QStringLiteral("ring 8 every 6s\n")).toUtf8());
        emit progress(QStringLiteral("A caller on the block list rings (demonstration)"));
        return;
    }
    script += c.handset ? QStringLiteral("ring 3 every 6s handset-after 2\n") : QStringLiteral("ring 8 every 6s\n");
    script += QStringLiteral("await rx timeout 60s\nwait 1s\nsay \"%1\"\nbusy 8s\n").arg(QLatin1String(c.words));
    if (c.handset)
        script += QStringLiteral("handset down\n"); // the next call rings again
    m_simulator.write(script.toUtf8());
    emit progress(QStringLiteral("A call rings (demonstration)"));
}
