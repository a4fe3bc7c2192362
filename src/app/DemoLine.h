#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

// The demonstration's telephone line: the modem simulator on a
// pseudo-terminal, probed once, and a scripted call about every minute
// (the first within 30 s): one picked up on the handset and recorded, one
// on the block list turned away, one the answering machine takes, in turn.
class DemoLine : public QObject
{
    Q_OBJECT
public:
    static constexpr int FirstCallMs = 8000;
    static constexpr int CallEveryMs = 60000;

    DemoLine(const QString& dataFolder, QObject* parent = nullptr);
    ~DemoLine() override;

    // Starts the simulator, then probes it when the folder has no modem yet;
    // ready() or failed() follows.
    void start();
    // Begins the scripted calls (once the call handling runs).
    void startCalls();
    const QString& device() const { return m_device; }
    static QString findProgram(const QString& name, const QString& buildSubfolder);

signals:
    void ready(const QString& device);
    void failed(const QString& why);
    void progress(const QString& text);

private:
    void waitForDevice();
    void probe();
    void nextCall();

    QString m_folder;
    QProcess m_simulator;
    QProcess m_probe;
    QTimer m_poll;
    QTimer m_calls;
    QString m_device;
    int m_polls = 0;
    int m_callNumber = 0;
};
