// velmora-cli run against the modem simulator and a real SMTP server on
// 127.0.0.1: an answered message arrives as mail; a server that hangs
// does not hold up the call; notify-test prints what the server said.
#include "AudioMatch.h"
#include "CliProcess.h"
#include "MailServer.h"
#include "ModemSim.h"
#include "RealLine.h"

#include "notify/Outbox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <memory>

using testsupport::ModemSim;

namespace {

class CliMail : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mail.ok);
        ModemSim::Options options;
        options.profile = QStringLiteral("conexant");
        options.speed = 10;
        options.extraArgs = {QStringLiteral("--link"), link};
        sim = std::make_unique<ModemSim>(options);
        ASSERT_TRUE(sim->start()) << qPrintable(sim->error());
        ASSERT_EQ(velmora.cli({QStringLiteral("probe")}).exitCode, 0);
        const QString secret = data.filePath(QStringLiteral("smtp-password"));
        testsupport::writeFile(secret, "pa55\n");
        QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner);
        const QStringList settings[] = {
            {"Settings", "amRings", "2"}, {"Modem", "ringSpan", "4000"}, {"Settings", "MsgTime", "60"},
            {"Settings", "SmtpServer", "127.0.0.1"}, {"Settings", "SmtpPort", QString::number(mail.port)},
            {"Settings", "SmtpAccount", "ann"}, {"MessageMail", "Enabled", "1"},
            {"MessageMail", "To", "ann@example.org"}, {"MessageMail", "From", "velmora@example.org"},
            {"MessageMail", "CaFile", mail.path("cert.pem")}, {"MessageMail", "PasswordFile", secret}};
        for (const QStringList& s : settings)
            ASSERT_TRUE(velmora.set(s[0], s[1], s[2])) << qPrintable(s.join(' '));
    }
    // Keeps run's output drained while the server waits for the mail.
    bool mailArrived(int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired() && !mail.finished(20)) {
            velmora.output();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        velmora.output();
        return mail.finished(0);
    }
    // A real speaker's message, as the line carries it.
    QString speech()
    {
        const QString path = data.filePath(QStringLiteral("speech.wav"));
        const QStringList prompts = realline::spokenPrompts();
        EXPECT_GT(prompts.size(), 10) << "install asterisk-prompt-es-co (scripts/install-deps.sh)";
        testsupport::run(QStringLiteral("sox"), prompts.mid(10, 3) + QStringList{QStringLiteral("-r"), QStringLiteral("8000"),
                                                                         QStringLiteral("-b"), QStringLiteral("16"), path});
        return path;
    }
    // Simulated seconds from the answering ring to the greeting, from the simulator's log.
    double secondsToAnswer()
    {
        double ring = -1, greeting = -1;
        for (const QString& line : sim->log()) {
            const double t = line.mid(1, line.indexOf(QLatin1Char(']')) - 1).toDouble();
            if (line.contains(QLatin1String("] ring")))
                ring = t;
            if (greeting < 0 && line.contains(QLatin1String("AT+VTX"), Qt::CaseInsensitive))
                greeting = t;
        }
        return ring >= 0 && greeting >= 0 ? greeting - ring : -1;
    }
    void call(const QString& speechFile)
    {
        for (const QString& line : {QStringLiteral("call"), QStringLiteral("cid DATE=1209 TIME=1000 NMBR=5551234 NAME=\"SMITH JOHN\""),
                                    QStringLiteral("ring 2 every 15s"), QStringLiteral("await rx timeout 200s"),
                                    QStringLiteral("play ") + speechFile, QStringLiteral("busy 10s")})
            sim->command(line);
    }

    MailServer mail;
    QTemporaryDir data;
    const QString link = data.filePath(QStringLiteral("modem"));
    std::unique_ptr<ModemSim> sim;
    testsupport::CliProcess velmora{data.path(), link};
};

TEST_F(CliMail, AnAnsweredMessageArrivesAsMailWithItsAudio)
{
    const QString talk = speech();
    ASSERT_TRUE(mail.start());
    velmora.startRun();
    ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened..."), 60000));
    call(talk);
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- File saved"), 120000)) << qPrintable(sim->log().join(QLatin1Char('\n')));
    QElapsedTimer sinceSaved;
    sinceSaved.start();
    ASSERT_TRUE(mailArrived(60000)) << velmora.output().constData();
    RecordProperty("mail_ms_after_file_saved", int(sinceSaved.elapsed()));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("Mail sent to ann@example.org: New message from SMITH JOHN 5551234"), 60000));

    const QString attachment = data.filePath(QStringLiteral("got.ogg"));
    const QString parsed = mail.parsed(attachment);
    EXPECT_TRUE(parsed.contains(QStringLiteral("subject: New message from SMITH JOHN 5551234 (0:"))) << qPrintable(parsed);
    EXPECT_TRUE(parsed.contains(QStringLiteral("audio/ogg"))) << qPrintable(parsed);
    const AudioMatch match = matchAudio(talk, attachment, data.path());
    EXPECT_TRUE(match.error.isEmpty()) << match.error.toStdString();
    EXPECT_GT(match.correlation, 0.85) << "the speech the simulator played is in the attachment";
    EXPECT_GT(match.seconds[1], match.seconds[0]);
    RecordProperty("attachment_bytes", int(QFileInfo(attachment).size()));
    RecordProperty("seconds_to_answer", QString::number(secondsToAnswer()).toStdString());

    // notify-test: one mail, and the server's words on stdout.
    ASSERT_TRUE(mail.start());
    const auto test = velmora.cli({QStringLiteral("notify-test")});
    EXPECT_EQ(test.exitCode, 0) << test.err.constData();
    EXPECT_TRUE(test.out.contains("server: 250 queued")) << test.out.constData();
    ASSERT_TRUE(mail.finished());
    EXPECT_TRUE(mail.parsed().contains(QStringLiteral("subject: Velmora test mail")));
}

// The mail an earlier run left goes to a server that takes the connection
// and never answers, while a call comes in.
TEST_F(CliMail, ACallIsAnsweredWhileTheMailServerHangs)
{
    const QString talk = speech();
    Outbox outbox(data.filePath(Outbox::FolderName));
    OutboxMail left;
    left.created = QDateTime::currentDateTimeUtc();
    left.to = {QStringLiteral("ann@example.org")};
    left.subject = QStringLiteral("Left by an earlier run");
    QString error;
    ASSERT_TRUE(outbox.add(left, &error)) << error.toStdString();
    ASSERT_TRUE(mail.start(true));
    velmora.startRun();
    ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened..."), 60000));
    call(talk);
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("Answering machine"), 120000));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- File saved"), 120000)) << qPrintable(sim->log().join(QLatin1Char('\n')));
    RecordProperty("seconds_to_answer", QString::number(secondsToAnswer()).toStdString());
    EXPECT_GT(secondsToAnswer(), 0);
    EXPECT_FALSE(velmora.output().contains("Mail sent")) << "the server never answered";
    EXPECT_EQ(velmora.newCount(), 1);

    // Ending the program ends the send that hangs.
    QElapsedTimer stopping;
    stopping.start();
    ASSERT_TRUE(velmora.stopRun());
    EXPECT_EQ(velmora.run().exitCode(), 0);
    RecordProperty("ms_to_stop", int(stopping.elapsed()));
    EXPECT_EQ(outbox.mails().size(), 2u) << "both kept for the next run";
}

} // namespace
