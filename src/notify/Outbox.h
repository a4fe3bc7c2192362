#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

// One mail waiting to go: what it says, whom to, and how its sending went.
struct OutboxMail
{
    QString id; // the file's stem, given by the outbox
    QDateTime created;
    int attempts = 0;
    QDateTime nextAttempt;
    QString lastError;
    QStringList to;
    QString subject;
    QString body;
    QString recording; // plain name in the recordings folder; empty: nothing attached
    QString format;    // "opus" or "wav"
};

// The mails not sent yet, one file each in a folder of the data folder, so
// they outlast the program. Files are written whole (a crash leaves the old
// one or the new one); a file that is not an outbox mail is left alone.
class Outbox
{
public:
    static inline const QString FolderName = QStringLiteral("Outbox");

    explicit Outbox(QString folder);
    const QString& folder() const { return m_folder; }

    // Gives the mail its id and stores it; false with *error.
    bool add(OutboxMail& mail, QString* error);
    bool save(const OutboxMail& mail, QString* error);
    void remove(const OutboxMail& mail);
    // Oldest first.
    std::vector<OutboxMail> mails() const;
    // Where the mail's converted attachment is kept between tries.
    QString attachmentPath(const OutboxMail& mail) const;

    static bool isMailId(const QString& id);

private:
    QString pathOf(const QString& id) const;

    QString m_folder;
};
