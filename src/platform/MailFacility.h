#pragma once

#include <QString>
#include <QStringList>

// A message for the user's own mail program.
struct MailMessage
{
    // "CC:" and "BCC:" before an address make it a copy or blind copy.
    QStringList recipients;
    QStringList attachments; // file paths
    QString subject;
    QString body;
};

// The mail facility on xdg-email: the message opens in the desktop's mail
// program for the user to edit and send. Codes are the mail system's.
class MailFacility
{
public:
    static constexpr int NotInstalled = 1;
    // xdg-email's status when nothing on the desktop opens mailto links.
    static constexpr int NoMailerStatus = 3;
    // What the user reads when no mail program takes the message.
    static QString noMailProgramText(bool toolMissing);
    static QString errorText(int code);
    // The code for xdg-email's exit status.
    static int codeOfExitStatus(int status);
    static QStringList arguments(const MailMessage& message);

    // 0 when the mail program took the message; otherwise the code, with
    // "MAPI Error %d: %s" in *error, or how to set up a mail program when
    // there is none.
    int send(const MailMessage& message, QString* error) const;
    bool installed() const;

    QString program = QStringLiteral("xdg-email");
    int timeoutMs = 60000;
};
