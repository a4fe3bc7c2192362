#include "app/DesktopProgram.h"
#include "app/DesktopNews.h"

#include "app/DemoLine.h"
#include "app/MainWindow.h"
#include "calls/CallService.h"
#include "web/WebService.h"
#include "calls/EventLog.h"
#include "modem/TQVModem253.h"
#include "catalogue/DataFolder.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "platform/InterruptScope.h"
#include "platform/LinuxSerialPort.h"
#include "platform/SerialOpenError.h"
#include "platform/SerialPortEnumerator.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSessionManager>
#include <QStandardPaths>
#include <QTimer>

bool DesktopProgram::parse(const QStringList& arguments, Options& options, QString* error)
{
    bool positional = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const bool takesValue = arg == QLatin1String("--data-dir") || arg == QLatin1String("--port");
        if (takesValue && i + 1 >= arguments.size()) {
            *error = arg + QStringLiteral(" needs a value");
            return false;
        }
        if (arg == QLatin1String("--data-dir"))
            options.dataDir = arguments[++i];
        else if (arg == QLatin1String("--port"))
            options.port = arguments[++i];
        else if (arg == QLatin1String("--demo"))
            options.demo = true;
        else if (arg.startsWith(QLatin1String("-"))) {
            *error = QStringLiteral("unknown option ") + arg;
            return false;
        } else if (!positional) {
            positional = true; // only the first counts
            options.startup = arg.toUpper() == QLatin1String("STARTUP");
            options.developer = arg.toUpper() == QLatin1String("ONIDE");
        }
    }
    return true;
}

QString DesktopProgram::usage()
{
    return QStringLiteral("Usage: velmora [--data-dir DIR] [--port PATH] [--demo] [STARTUP]\n"
                          "  --data-dir DIR  the data folder (settings, catalogue, recordings)\n"
                          "  --port PATH     the modem's serial device\n"
                          "  --demo          a simulated modem and a call about every minute, in its own\n"
                          "                  data folder (~/.local/share/Velmora-demo unless --data-dir)\n"
                          "  STARTUP         started at logon: the window starts minimised\n");
}

DesktopProgram::DesktopProgram(Options options) : m_options(std::move(options)) {}

DesktopProgram::~DesktopProgram()
{
    m_news.reset();
    m_window.reset();
    m_service.reset();
    m_demo.reset();
}

QString DesktopProgram::dataFolder(QString* error) const
{
    if (!m_options.demo)
        return datafolder::prepare(m_options.dataDir, error);
    const QString folder = m_options.dataDir.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                     + QStringLiteral("/Velmora-demo")
                               : m_options.dataDir;
    return datafolder::prepare(QFileInfo(folder).absoluteFilePath(), error);
}

int DesktopProgram::run()
{
    QString error;
    const QString folder = dataFolder(&error);
    if (folder.isEmpty()) {
        QMessageBox::critical(nullptr, datafolder::ApplicationTitle, error);
        return 1;
    }
    m_instance = std::make_unique<SingleInstance>(folder);
    if (m_instance->claim(&error) == SingleInstance::Role::Second)
        return 0; // the running one shows its window
    m_port = std::make_unique<LinuxSerialPort>();
    m_service = std::make_unique<CallService>(CallService::Options{folder, m_port.get(), nullptr, nullptr});
    if (!m_service->open(&error)) {
        QMessageBox::critical(nullptr, datafolder::ApplicationTitle, error);
        return 1;
    }
    m_web = std::make_unique<WebService>(*m_service);
    m_web->start(&error); // a reason not to run is in the event log
    qApp->setProperty("onide", m_options.developer);
    m_window = std::make_unique<MainWindow>(*m_service);
    m_service->setView(m_window.get());
    QObject::connect(m_instance.get(), &SingleInstance::restoreRequested, m_window.get(), &MainWindow::restore);
    m_signals = std::make_unique<InterruptScope>();
    m_signals->whenInterrupted(m_window.get(), [this] { m_window->endSession(); });
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, m_window.get(),
                     [this](QSessionManager&) { m_window->setExitRequested(true); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, m_window.get(), [this] { m_window->endSession(); });

    const bool startMinimised = m_options.startup && settings::readBool(m_service->ini(), keys::StartUp);
    if (startMinimised && m_window->hasTray())
        ; // only the tray icon shows
    else if (startMinimised)
        m_window->showMinimized();
    else
        m_window->show();

    // The modem is bound once the window is on the screen.
    if (m_options.demo) {
        m_demo = std::make_unique<DemoLine>(folder);
        QObject::connect(m_demo.get(), &DemoLine::progress, m_window.get(),
                         [this](const QString& text) { m_window->showStatus(QLatin1Char(' ') + text); });
        QObject::connect(m_demo.get(), &DemoLine::failed, m_window.get(), [this](const QString& why) {
            m_window->callsStarted(false, QStringLiteral("<ERROR> Demonstration: ") + why);
        });
        QObject::connect(m_demo.get(), &DemoLine::ready, m_window.get(), [this](const QString& device) {
            startCalls(device);
            m_demo->startCalls();
        });
        QTimer::singleShot(0, m_demo.get(), &DemoLine::start);
    } else {
        QTimer::singleShot(0, m_window.get(), [this] {
            startCalls(m_options.port.isEmpty() ? settings::readString(m_service->ini(), keys::PortName).trimmed()
                                                : m_options.port);
        });
    }
    return QApplication::exec();
}

void DesktopProgram::startCalls(const QString& device)
{
    m_port->setDeviceName(device);
    const CallService::Start result = m_service->startCalls();
    QString note;
    if (result == CallService::Start::NoModem)
        note = QStringLiteral("No modem has been set up: Options, Settings, Modem, Find modems (or velmora-cli probe)");
    m_window->callsStarted(result == CallService::Start::Ready, note);
    m_news = std::make_unique<DesktopNews>(*m_service, m_window.get());
    m_news->start();
    // The first run's usual obstacles (the group, ModemManager) said in a box, not only in the log.
    if (result == CallService::Start::Ready && !m_service->engine().portIsOpen()) {
        const QString path = device.isEmpty() ? devicePathForPort(m_port->comNumber(), QString()) : device;
        const QString problem = path.isEmpty() ? QString() : serialAccessProblem(path);
        if (!problem.isEmpty())
            m_window->showMessage(problem + QStringLiteral("\n\nvelmora-cli doctor checks all that Velmora needs."));
    }
    if (m_options.demo)
        m_window->showStatus(QStringLiteral(" Demonstration: a call about every minute"));
}
