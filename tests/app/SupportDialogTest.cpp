#include "TestSupport.h"

#include "app/ErrorReportDialog.h"
#include "app/SupportDialog.h"
#include "config/IniFile.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A mail program that keeps its arguments, one a line, and exits with `status`.
QString mailProgram(const QTemporaryDir& dir, int status = 0)
{
    const QString path = dir.filePath(QStringLiteral("mail-program"));
    testsupport::writeFile(path, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"%1\"\nexit %2\n")
                                     .arg(dir.filePath(QStringLiteral("mail-args")))
                                     .arg(status)
                                     .toUtf8());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString mailArguments(const QTemporaryDir& dir)
{
    return QString::fromUtf8(testsupport::readFile(dir.filePath(QStringLiteral("mail-args"))));
}

// Over the user's own server: the address is checked first, and a send that
// fails keeps the dialog and what was typed.
TEST(SupportDialog, TheAddressIsCheckedAndAFailedSendKeepsTheText)
{
    QTemporaryDir data;
    testsupport::writeFile(data.filePath(QStringLiteral("vlm.ini")),
                           "[Settings]\nSupportAddress=help@example.org\nSmtpServer=127.0.0.1\nSmtpPort=1\nRemoteCode=4711\n");
    testsupport::writeFile(data.filePath(QStringLiteral("Diagnostics.log")), "diagnostics\n");
    IniFile ini(data.filePath(QStringLiteral("vlm.ini")));
    SupportDialog dialog(data.path(), ini, {});
    dialog.setQuiet(true);
    dialog.show();
    dialog.send();
    EXPECT_EQ(dialog.messages().value(0), QStringLiteral("Please enter your email address."));
    dialog.addressField()->setText(QStringLiteral("ann"));
    dialog.send();
    EXPECT_EQ(dialog.messages().value(1), QStringLiteral("Please enter a valid email address."));
    EXPECT_TRUE(dialog.addressField()->text().isEmpty());

    dialog.addressField()->setText(QStringLiteral("ann@example.org"));
    dialog.problemField()->setPlainText(QStringLiteral("No rings since Monday."));
    dialog.send();
    ASSERT_EQ(dialog.messages().size(), 3);
    EXPECT_TRUE(dialog.messages()[2].startsWith(QLatin1String("An error has occured")));
    EXPECT_TRUE(dialog.messages()[2].contains(data.path()));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.problemField()->toPlainText(), QStringLiteral("No rings since Monday."));
    EXPECT_EQ(dialog.nameField()->text(), QStringLiteral("ann@example.org"));
    EXPECT_EQ(dialog.attachmentNames(), (QStringList{QStringLiteral("Diagnostics.log"), QStringLiteral("vlm.ini")}));
    const QByteArray copy = testsupport::readFile(data.filePath(QStringLiteral("Support/vlm.ini")));
    EXPECT_TRUE(copy.contains("RemoteCode=****") && !copy.contains("4711"));
}

// Through the mail program: the diagnostics are made first when missing, the
// files go as attachments; a bundle can always be saved.
TEST(SupportDialog, TheMailProgramGetsTheMessageAndTheFiles)
{
    QTemporaryDir data;
    testsupport::writeFile(data.filePath(QStringLiteral("vlm.ini")), "[Settings]\nSupportAddress=help@example.org\n");
    testsupport::writeFile(data.filePath(QStringLiteral("Events.log")), "New session\n");
    IniFile ini(data.filePath(QStringLiteral("vlm.ini")));
    int diagnosed = 0;
    SupportDialog dialog(data.path(), ini, [&] {
        ++diagnosed;
        testsupport::writeFile(data.filePath(QStringLiteral("Diagnostics.log")), "atE0\n");
        return true;
    });
    dialog.setQuiet(true);
    dialog.mailProgram = mailProgram(data);
    int logSaved = 0;
    dialog.saveEventLog = [&] { ++logSaved; };
    dialog.problemField()->setPlainText(QStringLiteral("It hangs up."));
    dialog.send();
    EXPECT_EQ(diagnosed, 1);
    EXPECT_GE(logSaved, 1) << "the lines held in memory are written before they are attached";
    EXPECT_EQ(dialog.result(), QDialog::Accepted) << qPrintable(dialog.messages().join(QLatin1Char('\n')));
    const QString args = mailArguments(data);
    for (const QString& part : {QStringLiteral("VLM v2.5.3 support"), QStringLiteral("It hangs up."),
                                data.filePath(QStringLiteral("Support/Diagnostics.log")), data.filePath(QStringLiteral("Support/vlm.ini")),
                                QStringLiteral("help@example.org")})
        EXPECT_TRUE(args.contains(part)) << qPrintable(part);

    const QString bundle = data.filePath(QStringLiteral("help.tar.gz"));
    EXPECT_TRUE(dialog.saveBundle(bundle));
    EXPECT_TRUE(QFileInfo::exists(bundle));
}

TEST(ErrorReport, SendsTheReportAndShowsAFailureAfterClosing)
{
    QTemporaryDir data;
    testsupport::writeFile(data.filePath(QStringLiteral("vlm.ini")), "[Settings]\n");
    IniFile ini(data.filePath(QStringLiteral("vlm.ini")));
    ErrorReportDialog dialog(data.path(), ini);
    dialog.setQuiet(true);
    dialog.mailProgram = mailProgram(data);
    QTimer::singleShot(0, &dialog, &QDialog::reject);
    dialog.ShowErrorReport(QStringLiteral("boom"), QStringLiteral("testInt := StrToInt(stValues[i2]);"));
    EXPECT_EQ(dialog.message(), QStringLiteral("boom"));
    dialog.show();
    dialog.sendReport();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.messages().isEmpty());
    const QString args = mailArguments(data);
    EXPECT_TRUE(args.contains(QLatin1String("VLM error report")));
    EXPECT_TRUE(args.contains(QLatin1String("Error message : boom\n\nLine : testInt := StrToInt(stValues[i2]);")));

    dialog.mailProgram = mailProgram(data, 3);
    dialog.sendReport();
    EXPECT_EQ(dialog.messages().size(), 1) << "the mail program's failure is shown";
}

} // namespace
