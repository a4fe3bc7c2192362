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
    // A file of the bundle as it leaves the machine: vlm.ini as above, a log
    // with the keys that make up the remote code or the hang-up sequence
    // masked (the log on disk keeps them, for the user's own reading).
    QString redacted(const QString& name) const;
    static inline const QString MaskedKey = QStringLiteral("<< x >>");
    // Writes the archive; false with *error (nothing left at `out` then).
    bool write(const QString& out, const QString& description, QString* error) const;

    static bool isSecret(const QString& key);

private:
    QString m_folder;
};
