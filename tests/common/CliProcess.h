#pragma once

#include "TestSupport.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>

namespace testsupport {

// velmora-cli for a test, on one data folder and one port: short commands
// run to their end; `run` runs beside the test while its output is kept.
//
//   CliProcess velmora(data.path(), link);
//   ASSERT_EQ(velmora.cli({"probe"}).exitCode, 0);
//   velmora.startRun();
//   ASSERT_TRUE(velmora.waitFor(" opened..."));
//
// `run` is stopped with SIGTERM when the object goes away.
class CliProcess
{
public:
    CliProcess(QString dataDir, QString port);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    ProcessResult cli(const QStringList& command) const;
    bool set(const QString& section, const QString& key, const QString& value) const;
    int newCount() const;

    void startRun(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    // run in a shell after `setUp` (a ulimit, a trap).
    void startRunAfter(const QString& setUp);
    // Until run has printed `text` `times` times; events are processed
    // meanwhile, which keeps a simulator's output drained. Adds a test
    // failure with run's output when it does not come and `report` is set.
    bool waitFor(const QString& text, int timeoutMs = 30000, int times = 1, bool report = true);
    // SIGTERM; false when run had to be killed after timeoutMs.
    bool stopRun(int timeoutMs = 20000);
    void killRun();                      // SIGKILL, as a power loss ends it
    QProcess& run() { return m_run; }
    const QByteArray& output() { return collect(); }

    void setPort(const QString& port) { m_port = port; }
    // Called on every turn of waitFor, for a peer that must be read too.
    std::function<void()> whileWaiting;

    static QString program();

private:
    const QByteArray& collect();

    QString m_dataDir;
    QString m_port;
    QProcess m_run;
    QByteArray m_output;
};

} // namespace testsupport
