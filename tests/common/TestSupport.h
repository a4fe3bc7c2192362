#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testsupport {

struct ProcessResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end (at most timeoutMs) and returns what it printed.
ProcessResult run(const QString& program, const QStringList& args, int timeoutMs = 60000);

// True when the program is on PATH.
bool haveProgram(const QString& program);

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

} // namespace testsupport
