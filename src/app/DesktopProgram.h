#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class CallService;
class DemoLine;
class InterruptScope;
class LinuxSerialPort;
class MainWindow;
class SingleInstance;
class WebService;

// The desktop program from start to end: one instance per user and data
// folder, the call handling and the windows in their creation order, the
// modem bound once the window is up.
class DesktopNews;

class DesktopProgram
{
public:
    struct Options
    {
        QString dataDir; // --data-dir
        QString port;    // --port
        bool demo = false;
        bool startup = false; // STARTUP: the first argument that is not an option
        bool developer = false; // ONIDE
    };
    // Parses the command line; false with *error for an unknown option.
    static bool parse(const QStringList& arguments, Options& options, QString* error);
    static QString usage();

    explicit DesktopProgram(Options options);
    ~DesktopProgram();
    // Runs the event loop; the exit code.
    int run();
    MainWindow* window() const { return m_window.get(); }

private:
    void startCalls(const QString& device);
    QString dataFolder(QString* error) const;

    Options m_options;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<LinuxSerialPort> m_port;
    std::unique_ptr<CallService> m_service;
    std::unique_ptr<WebService> m_web; // off unless the settings turn it on
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<DemoLine> m_demo;
    std::unique_ptr<DesktopNews> m_news;
    std::unique_ptr<InterruptScope> m_signals;
};
