// The desktop program, on the offscreen platform, against the modem
// simulator, a real SMTP server and Debian's mosquitto broker: an answered
// message is mailed and published as run does it.
#include "../mqtt/Broker.h"
#include "MailServer.h"
#include "ModemSim.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using testsupport::ModemSim;

TEST(DesktopNews, AnAnsweredMessageIsMailedAndPublished)
{
    MailServer mail;
    Broker broker;
    ASSERT_TRUE(mail.ok);
    ASSERT_TRUE(mail.start());
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(broker.subscribe());
    QTemporaryDir data;
    const QString link = data.filePath(QStringLiteral("modem"));
    ModemSim::Options options;
    options.profile = QStringLiteral("conexant");
    options.extraArgs = {QStringLiteral("--link"), link};
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    const auto cli = [&](const QStringList& args) {
        return testsupport::run(QStringLiteral(VELMORA_CLI),
                                QStringList{QStringLiteral("--data-dir"), data.path(), QStringLiteral("--port"), link} + args);
    };
    ASSERT_EQ(cli({QStringLiteral("probe")}).exitCode, 0);
    // No login on this server: no password to ask for.
    const QStringList settings[] = {
        {"Settings", "amRings", "2"}, {"Modem", "ringSpan", "4000"}, {"Settings", "SmtpServer", "127.0.0.1"},
        {"Settings", "SmtpPort", QString::number(mail.port)}, {"MessageMail", "Enabled", "1"},
        {"MessageMail", "To", "ann@example.org"}, {"MessageMail", "From", "velmora@example.org"},
        {"MessageMail", "CaFile", mail.path("cert.pem")}, {"MQTT", "Enabled", "1"}, {"MQTT", "Host", "127.0.0.1"},
        {"MQTT", "Port", QString::number(broker.port)}, {"MQTT", "Line", "desk"}};
    for (const QStringList& s : settings)
        ASSERT_EQ(cli(QStringList{QStringLiteral("set")} + s).exitCode, 0) << qPrintable(s.join(' '));

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VELMORA_PROGRAM), {QStringLiteral("--data-dir"), data.path(), QStringLiteral("--port"), link});
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_TRUE(sim.waitForLog(QStringLiteral("host opened the port"), 30000));
    ASSERT_TRUE(broker.waitFor(QStringLiteral("0 velmora/desk/state bound"), 30000)) << qPrintable(broker.lines().join('\n'));
    for (const char* line : {"call", "cid DATE=1209 TIME=1000 NMBR=5551234 NAME=\"SMITH JOHN\"", "ring 2 every 15s",
                             "await rx timeout 200s", "say \"Hello, this is John.\"", "busy 10s"})
        sim.command(QLatin1String(line));

    QDeadlineTimer deadline(120000);
    while (!deadline.hasExpired() && !mail.finished(50))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(mail.finished(0)) << testsupport::readFile(data.filePath(QStringLiteral("Events.log"))).constData();
    EXPECT_TRUE(mail.parsed().contains(QStringLiteral("subject: New message from SMITH JOHN 5551234")));
    ASSERT_TRUE(broker.waitFor(QStringLiteral("0 velmora/desk/new_messages 1")));
    const QStringList events = broker.lines().filter(QStringLiteral(" velmora/desk/event "));
    ASSERT_FALSE(events.isEmpty());
    const QJsonObject saved = QJsonDocument::fromJson(events.last().section(QLatin1Char(' '), 2).toUtf8()).object();
    EXPECT_EQ(saved[QStringLiteral("event")].toString(), QStringLiteral("message_saved"));
    EXPECT_EQ(saved[QStringLiteral("number")].toString(), QStringLiteral("5551234"));
    program.terminate();
    program.waitForFinished(20000);
}
