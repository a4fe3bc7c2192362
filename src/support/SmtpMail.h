#pragma once

#include <QString>
#include <QStringList>

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
};

class SmtpMail
{
public:
    // True when the server took the message; otherwise *error says why.
    static bool send(const SmtpEndpoint& server, const QString& password, const SmtpMessage& message, QString* error);
};
