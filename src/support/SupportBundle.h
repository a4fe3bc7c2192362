#pragma once

#include <QString>
#include <QStringList>

// What a user sends to whoever helps: the problem described, Diagnostics.log,
// Events.log and Events.1.log, and a copy of vlm.ini with the secrets masked
// (the remote code, the hang-up sequence, mail accounts), as a .tar.gz.
class SupportBundle
{
public:
    static inline const QString Masked = QStringLiteral("****");

    explicit SupportBundle(const QString& dataFolder);

    // The files of the data folder it holds (those that exist), by name.
    QStringList files() const;
    // vlm.ini with every secret's value masked.
    QString redactedSettings() const;
    // Writes the archive; false with *error (nothing left at `out` then).
    bool write(const QString& out, const QString& description, QString* error) const;

    static bool isSecret(const QString& key);

private:
    QString m_folder;
};
