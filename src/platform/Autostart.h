#pragma once

#include <QString>

// The logon entry: ~/.config/autostart/velmora.desktop (XDG autostart),
// whose command runs the program with "STARTUP" as its argument.
class Autostart
{
public:
    // configHome: $XDG_CONFIG_HOME, by default ~/.config.
    explicit Autostart(QString configHome = QString());

    QString entryPath() const;
    bool exists() const;
    // False with *error when the entry cannot be written or removed.
    bool add(const QString& programPath, QString* error);
    bool remove(QString* error);
    // The Exec value: the program quoted as the desktop entry rules say.
    static QString execLine(const QString& programPath);

private:
    QString m_folder;
};
