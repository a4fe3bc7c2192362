#include "platform/MailFacility.h"

#include <QProcess>
#include <QStandardPaths>

QString MailFacility::errorText(int code)
{
    static const char* const texts[] = {
        nullptr, "User cancelled request", "General MAPI failure", "Logon failure", "Disk full", "Insufficient memory",
        "Access denied", nullptr, "Too many sessions", "Too many files open", "Too many recipients",
        "Attachment not found", "Failed to open attachment", "Failed to write attachment", "Unknown recipient",
        "Invalid recipient type", "No messages", "Invalid message", "Text too large.", "Invalid session",
        "Type not supported", "Ambiguous recipient", "Message in use", "Network failure", "Invalid edit fields",
        "Invalid recipients", "Not supported"};
    if (code > 0 && code < int(std::size(texts)) && texts[code])
        return QString::fromLatin1(texts[code]);
    return QStringLiteral("Unknown Error Code: ") + QString::number(code);
}

// xdg-email: 1 syntax, 2 a file does not exist, 3 a tool is missing,
// 4 the action failed, 5 no permission to read a file.
int MailFacility::codeOfExitStatus(int status)
{
    switch (status) {
    case 0: return 0;
    case 1: return 24;
    case 2: return 11;
    case 3: return NotInstalled;
    case 4: return 2;
    case 5: return 12;
    default: return 1000 + status;
    }
}

QStringList MailFacility::arguments(const MailMessage& message)
{
    QStringList args{QStringLiteral("--utf8")};
    QStringList to;
    for (const QString& entry : message.recipients) {
        if (entry.startsWith(QLatin1String("BCC:"), Qt::CaseInsensitive))
            args << QStringLiteral("--bcc") << entry.mid(4).trimmed();
        else if (entry.startsWith(QLatin1String("CC:"), Qt::CaseInsensitive))
            args << QStringLiteral("--cc") << entry.mid(3).trimmed();
        else if (!entry.trimmed().isEmpty())
            to << entry.trimmed();
    }
    if (!message.subject.isEmpty())
        args << QStringLiteral("--subject") << message.subject;
    if (!message.body.isEmpty())
        args << QStringLiteral("--body") << message.body;
    for (const QString& path : message.attachments)
        args << QStringLiteral("--attach") << path;
    return args + to;
}

bool MailFacility::installed() const
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

QString MailFacility::noMailProgramText(bool toolMissing)
{
    const QString choose = QStringLiteral("choose a mail program in your desktop's default applications, or run: "
                                          "xdg-mime default YOUR-MAILER.desktop x-scheme-handler/mailto");
    if (toolMissing)
        return QStringLiteral("No mail program is set up: xdg-email is missing. Install it (sudo apt install "
                              "xdg-utils), then ") + choose;
    return QStringLiteral("No mail program is set up: ") + choose;
}

int MailFacility::send(const MailMessage& message, QString* error) const
{
    auto fail = [error](int code) {
        if (error)
            *error = QStringLiteral("MAPI Error %1: %2").arg(code).arg(errorText(code));
        return code;
    };
    // "User cancelled request" would send the user looking in the wrong place.
    auto noMailProgram = [error](bool toolMissing) {
        if (error)
            *error = noMailProgramText(toolMissing);
        return NotInstalled;
    };
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return noMailProgram(true);
    QProcess process;
    process.start(path, arguments(message)); // never through a shell
    if (!process.waitForStarted(5000))
        return noMailProgram(true);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        return fail(2);
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return fail(2);
    if (process.exitCode() == NoMailerStatus)
        return noMailProgram(false);
    const int code = codeOfExitStatus(process.exitCode());
    return code == 0 ? 0 : fail(code);
}
