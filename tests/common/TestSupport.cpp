#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <stdexcept>

namespace testsupport {

ProcessResult run(const QString& program, const QStringList& args, int timeoutMs)
{
    QProcess process;
    process.start(program, args);
    ProcessResult result;
    if (!process.waitForStarted(timeoutMs)) {
        result.err = QStringLiteral("cannot start %1").arg(program).toUtf8();
        return result;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

bool haveProgram(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace testsupport
