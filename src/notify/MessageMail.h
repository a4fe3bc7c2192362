#pragma once

#include "notify/MailText.h"
#include "notify/MailWorker.h"

#include <QObject>
#include <memory>

class CallNews;
class EventLog;
class IniFile;
struct SavedRecording;

// Mails the owner what the settings ask for (new messages, every call, the
// modem lost): each goes into the outbox at once, and the worker sends it.
// The call handling only ever writes one small file.
class MessageMail : public QObject
{
    Q_OBJECT
public:
    struct Parts
    {
        CallNews& news;
        IniFile& ini;
        EventLog& log;
        QString dataFolder;
        QString recordingsFolder; // ends with "/"
    };
    explicit MessageMail(Parts parts, QObject* parent = nullptr);
    ~MessageMail() override;

    // Starts sending what earlier runs left, and what comes. The source is
    // asked (on the worker's thread) once a password is needed.
    void start(std::function<QString()> passwordSource);
    void setPassword(const QString& password);
    static MailAccount account(const IniFile& ini, const QString& recordingsFolder);
    QString outboxFolder() const;

    // Puts one mail in the outbox; `recording` (a plain name) is attached.
    bool queue(const QString& subject, const QString& body, const QString& recording, QString* error);

signals:
    void passwordNeeded();

private:
    void saved(const SavedRecording& recording);
    void blocked(const QString& number, const QString& name, const QString& action);
    void modemLost();
    void report(const MailOutcome& outcome);
    bool enabled() const;
    void ensureWorker();

    Parts m_;
    std::function<QString()> m_passwordSource;
    QString m_password;
    std::unique_ptr<MailWorker> m_worker;
};
