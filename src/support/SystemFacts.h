#pragma once

#include <QString>

// What the diagnostics say of the computer: the operating system's name
// (PRETTY_NAME of os-release) and the first processor with its clock rate.
struct SystemFacts
{
    QString osName;
    QString processor; // "<model name> <MHz>Mhz"

    // From the files of a running system; `root` lets tests give their own.
    static SystemFacts read(const QString& root = QString());
};
