// New-message mail: the templates, the header words, the outbox sent to a
// real SMTP server on 127.0.0.1 (down at first, then up; a week of failures),
// and the password file of the headless service.
#include "AudioMatch.h"
#include "MailServer.h"
#include "RealLine.h"

#include "notify/MailSender.h"
#include "notify/MailText.h"
#include "notify/PasswordFile.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

TEST(MailText, TemplatesTakeTheCallersTextOnOneLineAndShort)
{
    const QDateTime when(QDate(2026, 12, 10), QTime(9, 5, 7));
    struct Case { const char* tmpl; CallFacts facts; const char* expected; };
    const Case cases[] = {
        {"New message from {name} {number} ({duration})", {"5551234", "SMITH JOHN", when, 65, "General"},
         "New message from SMITH JOHN 5551234 (1:05)"},
        {"{date} {time} {folder}: {duration}", {"", "", when, 3725, "Inbox"}, "2026-12-10 09:05 Inbox: 1:02:05"},
        {"from {number}", {"", "", when, 0, ""}, "from unknown caller"},
        {"{name}|", {"5551234", "EVE\r\nBcc: x@example.org", when, 1, ""}, "EVE Bcc: x@example.org|"},
        {"{name} {nope}", {"1", "{number}", when, 1, ""}, "{number} {nope}"},
        {"{duration}", {"1", "", when, -1, ""}, "no message"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mailtext::fill(QString::fromUtf8(c.tmpl), c.facts), QString::fromUtf8(c.expected)) << c.tmpl;
    const CallFacts longName{"1", QString(500, QLatin1Char('x')), when, 1, ""};
    EXPECT_EQ(mailtext::fill(QStringLiteral("{name}"), longName).size(), mailtext::MaxField);
    EXPECT_EQ(mailtext::subjectLine(QString(900, QLatin1Char('y')) + QStringLiteral("\n")).size(), mailtext::MaxSubject);
}

// Python's mail package is the judge of the words.
TEST(MailText, HeaderWordsStayShortAndDecodeToTheText)
{
    const QString texts[] = {QStringLiteral("New message from SMITH JOHN"), QStringLiteral("Nachricht von Jürgen Müller (0:42)"),
                             QStringLiteral("来电 ") + QString(40, QChar(0x6765)) + QStringLiteral(" 😀😀😀 end"),
                             QStringLiteral("tab\there")};
    for (const QString& text : texts) {
        const QByteArray header = SmtpMail::headerText(text);
        EXPECT_FALSE(header.contains('\r') || header.contains('\n'));
        for (const QByteArray& word : header.split(' '))
            if (word.startsWith("=?"))
                EXPECT_LE(word.size(), 75) << word.constData();
        const auto decoded = testsupport::run(
            QStringLiteral("python3"),
            {QStringLiteral("-c"), QStringLiteral("import sys,email.header as h; sys.stdout.buffer.write(str(h.make_header("
                                                  "h.decode_header(sys.argv[1]))).encode())"),
             QString::fromLatin1(header)});
        EXPECT_EQ(QString::fromUtf8(decoded.out), text) << header.constData() << decoded.err.constData();
    }
}

TEST(PasswordFile, OnlyAFileItsUserAloneMayReadIsUsed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("secret"));
    testsupport::writeFile(path, "pa55 word\nsecond line\n");
    struct Case { QFile::Permissions permissions; bool accepted; };
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    const Case cases[] = {{owner, true}, {QFile::ReadOwner, true}, {owner | QFile::ReadGroup, false},
                          {owner | QFile::ReadOther, false}, {owner | QFile::WriteOther, false}};
    for (const Case& c : cases) {
        ASSERT_TRUE(QFile::setPermissions(path, c.permissions));
        QString password, error;
        EXPECT_EQ(passwordfile::read(path, &password, &error), c.accepted) << int(c.permissions);
        EXPECT_EQ(password, c.accepted ? QStringLiteral("pa55 word") : QString());
        EXPECT_EQ(error.isEmpty(), c.accepted) << error.toStdString();
    }
    QString password, error;
    EXPECT_FALSE(passwordfile::read(dir.filePath(QStringLiteral("none")), &password, &error));
    EXPECT_FALSE(passwordfile::read(dir.path(), &password, &error));
}

class MailDelivery : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.ok);
        ASSERT_TRUE(QDir().mkpath(recordings));
        account.server = {QStringLiteral("127.0.0.1"), server.port, QStringLiteral("ann"), server.path("cert.pem")};
        account.from = QStringLiteral("velmora@example.org");
        account.recordingsFolder = recordings + QLatin1Char('/');
    }
    OutboxMail queued(const QString& recording = {})
    {
        OutboxMail mail;
        mail.created = start;
        mail.to = {QStringLiteral("ann@example.org"), QStringLiteral("bob@example.org")};
        mail.subject = QStringLiteral("New message from Jürgen 5551234 (0:12)");
        mail.body = QStringLiteral("Jürgen 5551234 called.\n");
        mail.recording = recording;
        mail.format = QStringLiteral("opus");
        QString error;
        EXPECT_TRUE(outbox.add(mail, &error)) << error.toStdString();
        return mail;
    }

    MailServer server;
    QTemporaryDir dir;
    const QString recordings = dir.filePath(QStringLiteral("wav"));
    Outbox outbox{dir.filePath(QStringLiteral("Outbox"))};
    MailAccount account;
    const QDateTime start = QDateTime(QDate(2026, 12, 1), QTime(12, 0), Qt::UTC);
};

// A real speaker's message as the modem records it (8 kHz 8-bit), mailed
// as Opus; the server is down at the first try and the program restarts.
TEST_F(MailDelivery, AServerDownAtFirstGetsTheMessageOnceItIsUp)
{
    const QStringList prompts = realline::spokenPrompts();
    ASSERT_GT(prompts.size(), 10) << "install asterisk-prompt-es-co (scripts/install-deps.sh)";
    const QString message = recordings + QStringLiteral("/2026-12-01 12-00-00.wav");
    ASSERT_EQ(testsupport::run(QStringLiteral("sox"), prompts.mid(0, 4) + QStringList{QStringLiteral("-r"), QStringLiteral("8000"),
                                                                               QStringLiteral("-b"), QStringLiteral("8"),
                                                                               QStringLiteral("-e"), QStringLiteral("unsigned"), message})
                  .exitCode,
              0);
    queued(QStringLiteral("2026-12-01 12-00-00.wav"));
    {
        MailSender sender(outbox, account);
        sender.setPassword(QStringLiteral("pa55"));
        const auto outcomes = sender.sendDue(start);
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].kind, MailOutcome::Kind::Failed);
        EXPECT_FALSE(outcomes[0].detail.isEmpty());
        EXPECT_EQ(sender.nextDue(), start.addSecs(60));
        EXPECT_TRUE(sender.sendDue(start.addSecs(30)).empty()) << "not due yet";
    }
    ASSERT_TRUE(server.start());
    MailSender restarted(outbox, account); // what the outbox holds outlasts the program
    restarted.setPassword(QStringLiteral("pa55"));
    const auto outcomes = restarted.sendDue(start.addSecs(61));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, MailOutcome::Kind::Sent) << outcomes[0].detail.toStdString();
    EXPECT_TRUE(outbox.mails().empty());
    EXPECT_TRUE(QDir(outbox.folder()).entryList(QDir::Files).isEmpty()) << "the converted attachment goes too";

    ASSERT_TRUE(server.finished());
    const QString attachment = dir.filePath(QStringLiteral("got.ogg"));
    const QString mail = server.parsed(attachment);
    EXPECT_TRUE(mail.contains(QStringLiteral("subject: New message from Jürgen 5551234 (0:12)"))) << qPrintable(mail);
    EXPECT_TRUE(mail.contains(QStringLiteral("rcpt: <ann@example.org> <bob@example.org>"))) << qPrintable(mail);
    EXPECT_TRUE(mail.contains(QStringLiteral("attachment: 2026-12-01 12-00-00.ogg audio/ogg"))) << qPrintable(mail);
    const AudioMatch match = matchAudio(message, attachment, dir.path());
    EXPECT_TRUE(match.error.isEmpty()) << match.error.toStdString();
    EXPECT_NEAR(match.seconds[1], match.seconds[0], 0.1);
    EXPECT_GT(match.correlation, 0.9);
    const qint64 bytes = QFileInfo(attachment).size();
    EXPECT_LT(double(bytes) / match.seconds[0], 1500) << bytes << " bytes for " << match.seconds[0] << " s";
}

TEST_F(MailDelivery, FailuresWaitLongerEachTimeAndAWeekOldMailIsGivenUp)
{
    const qint64 delays[] = {60, 120, 240, 480, 960, 1920, 3600, 3600, 3600};
    for (int attempt = 1; attempt <= 9; ++attempt)
        EXPECT_EQ(MailSender::retryDelaySeconds(attempt), delays[attempt - 1]) << attempt;

    queued(QStringLiteral("gone.wav")); // deleted since: the mail says so
    MailSender sender(outbox, account);
    sender.setPassword(QStringLiteral("pa55"));
    QDateTime now = start;
    int tries = 0;
    for (; now < start.addDays(8); now = now.addSecs(60)) {
        for (const MailOutcome& o : sender.sendDue(now)) {
            ++tries;
            if (o.kind == MailOutcome::Kind::GaveUp)
                goto givenUp;
            EXPECT_EQ(o.kind, MailOutcome::Kind::Failed);
        }
    }
givenUp:
    EXPECT_GE(now, start.addDays(7));
    EXPECT_LT(now, start.addDays(7).addSecs(3601));
    EXPECT_NEAR(tries, 7 + (7 * 24 - 1), 3) << "hourly once the waits reach an hour";
    EXPECT_TRUE(outbox.mails().empty());
}

} // namespace
