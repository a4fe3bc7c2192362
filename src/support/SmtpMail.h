#pragma once

#include <QString>
#include <QStringList>
#include <atomic>

// Where mail goes when the user has set up a mail server. TLS is always
// required: port 465 speaks it from the start, any other port must offer
// STARTTLS or nothing is sent.
struct SmtpEndpoint
{
    QString host;
    int port = 587;
    QString account;  // empty: no login
    QString caFile;   // empty: the system's certificate store
};

struct SmtpMessage
{
    QString fromAddress;
    QString fromName;
    QString replyTo;
    QString to;
    QString subject;
    QString body;
    QStringList attachments;  // file paths
    QStringList alsoTo;       // further recipients
    QStringList attachmentNames; // names the mail gives them, where not the file's own
};

// How one send may be watched: stopped from another thread (the program
// ends while a server hangs), and what the server said, line by line.
struct SmtpControl
{
    const std::atomic<bool>* stop = nullptr;
    QStringList* serverLines = nullptr;
    int timeoutSeconds = 120;
};

class SmtpMail
{
public:
    // True when the server took the message; otherwise *error says why.
    static bool send(const SmtpEndpoint& server, const QString& password, const SmtpMessage& message, QString* error,
                     const SmtpControl& control = {});
    // A header's text as RFC 2047 words of at most 75 characters where it is
    // not plain printable ASCII.
    static QByteArray headerText(const QString& text);
};
