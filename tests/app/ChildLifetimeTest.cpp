// The demonstration's simulator ends with the desktop program, however the program ends.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// The children of a process, from /proc (each process's parent is its stat's fourth field).
QList<qint64> childrenOf(qint64 parent)
{
    QList<qint64> found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == parent)
            found << pid;
    }
    return found;
}

bool alive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    return !text.mid(text.lastIndexOf(')') + 2).startsWith('Z');
}

} // namespace

TEST(ChildLifetime, TheSimulatorEndsWhenTheProgramIsKilled)
{
    QTemporaryDir data;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VELMORA_PROGRAM), {QStringLiteral("--demo"), QStringLiteral("--data-dir"), data.path()});
    ASSERT_TRUE(program.waitForStarted());
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(data.filePath(QStringLiteral("modem-sim.path"))) && t.elapsed() < 20000)
        QThread::msleep(50);
    const QList<qint64> children = childrenOf(program.processId());
    ASSERT_FALSE(children.isEmpty()) << "the demonstration started no simulator";
    ::kill(pid_t(program.processId()), SIGKILL);
    program.waitForFinished();
    t.restart();
    auto anyAlive = [&] { return std::any_of(children.begin(), children.end(), alive); };
    while (anyAlive() && t.elapsed() < 5000)
        QThread::msleep(20);
    EXPECT_FALSE(anyAlive()) << "a child outlived the killed program";
}
