#include "ModemSim.h"
#include "TestSupport.h"

#include "modem/TQVModem253.h"
#include "platform/FakeSerialPort.h"
#include "support/ModemDiagnostics.h"
#include "support/SupportBundle.h"
#include "support/SystemFacts.h"

#include <QDateTime>
#include <QDir>
#include <QTimeZone>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

testsupport::ProcessResult cli(const QString& data, const QStringList& args)
{
    return testsupport::run(QStringLiteral(VELMORA_CLI), QStringList{QStringLiteral("--data-dir"), data} + args);
}

TEST(SystemFacts, OsReleaseAndTheFirstProcessor)
{
    QTemporaryDir root;
    QDir().mkpath(root.filePath(QStringLiteral("etc")));
    QDir().mkpath(root.filePath(QStringLiteral("proc")));
    testsupport::writeFile(root.filePath(QStringLiteral("etc/os-release")), "NAME=Debian\nPRETTY_NAME=\"Debian GNU/Linux 13 (trixie)\"\n");
    testsupport::writeFile(root.filePath(QStringLiteral("proc/cpuinfo")),
                           "processor\t: 0\nmodel name\t: Test CPU @ 2.40GHz\ncpu MHz\t\t: 2399.996\n\n"
                           "processor\t: 1\nmodel name\t: Other CPU\ncpu MHz\t\t: 800.000\n");
    const SystemFacts facts = SystemFacts::read(root.path());
    EXPECT_EQ(facts.osName, QStringLiteral("Debian GNU/Linux 13 (trixie)"));
    EXPECT_EQ(facts.processor, QStringLiteral("Test CPU @ 2.40GHz 2400Mhz"));
    EXPECT_EQ(ModemDiagnostics::replyText(QStringLiteral("\r\n+GMM: Test\r\n\r\nOK\r\n")), QStringLiteral("+GMM: Test"));
}

// Every command in order, its answer or ERROR, and a blank line; a port that
// cannot be opened fails without a log.
TEST(Diagnostics, TheModemsAnswersGoIntoTheLog)
{
    testsupport::ModemSim sim;
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    QTemporaryDir data;
    const testsupport::ProcessResult run = cli(data.path(), {QStringLiteral("--port"), sim.devicePath(), QStringLiteral("diagnose")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString log = QDir(data.path()).filePath(ModemDiagnostics::FileName);
    EXPECT_TRUE(run.out.trimmed().endsWith(log.toUtf8()));
    const QStringList lines = QString::fromUtf8(testsupport::readFile(log)).split(QLatin1Char('\n'));
    ASSERT_GT(lines.size(), 5 + 50 * 2);
    EXPECT_EQ(lines[4], QStringLiteral(" "));
    EXPECT_TRUE(lines[3].endsWith(QLatin1String("Mhz")));
    // Each command, its answer (none for a bare OK) or ERROR, then one blank.
    qsizetype at = 5;
    for (const char* command : ModemDiagnostics::Commands) {
        ASSERT_EQ(lines.value(at), QLatin1String(command));
        at = lines.indexOf(QStringLiteral(" "), at + 1) + 1;
        ASSERT_GT(at, 0) << command;
    }
    EXPECT_EQ(lines.value(at), QString()) << "nothing after the last command";
    EXPECT_NE(lines.value(lines.indexOf(QStringLiteral("at+VSM=?")) + 1), QStringLiteral(" ")) << "its answer";

    QTemporaryDir other;
    const testsupport::ProcessResult none =
        cli(other.path(), {QStringLiteral("--port"), other.filePath(QStringLiteral("no-such-port")), QStringLiteral("diagnose")});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(QDir(other.path()).filePath(ModemDiagnostics::FileName)));
}

// A modem that falls silent still leaves a log to send: what it answered,
// then ERROR for the rest without waiting for each, and why.
TEST(Diagnostics, AModemThatStopsAnsweringStillLeavesTheLog)
{
    QTemporaryDir data;
    FakeSerialPort port;
    port.addReply("atE0", {"\r\nOK\r\n"});
    TQVModem253 engine;
    engine.setSerialPort(&port);
    engine.setCmdTimeoutDur(1);
    engine.setSleepFunction([](int) {});
    ModemDiagnostics diagnostics(engine, data.path());
    QString message;
    EXPECT_EQ(diagnostics.run(&message), ModemDiagnostics::Result::NoAnswer);
    EXPECT_TRUE(message.contains(QLatin1String("does not answer"))) << qPrintable(message);
    const QStringList lines =
        QString::fromUtf8(testsupport::readFile(data.filePath(ModemDiagnostics::FileName))).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5 + 2 + 49 * 3 + 2);
    EXPECT_FALSE(lines[1].contains(QTimeZone::systemTimeZone().abbreviation(QDateTime::currentDateTime())))
        << qPrintable(lines[1]);
    EXPECT_EQ(lines.mid(5, 5), QStringList({"atE0", " ", "atI0", "ERROR", " "}));
    EXPECT_EQ(lines.mid(lines.size() - 5, 3), QStringList({"at+FMR?", "ERROR", " "}));
    EXPECT_EQ(lines[lines.size() - 2],
              "The modem did not answer 3 commands in a row; the last 46 were not sent and are marked ERROR.");
    const QByteArray sent = port.written();
    EXPECT_TRUE(sent.contains("atI2\r"));
    EXPECT_FALSE(sent.contains("atI3\r")) << "not waited for";
}

TEST(SupportBundle, HoldsTheLogsAndMasksTheSecrets)
{
    QTemporaryDir data;
    testsupport::writeFile(data.filePath(QStringLiteral("vlm.ini")),
                           "[Settings]\nRemoteCode=4711\nhangupSeq=#9\namRings=4\n[Mail]\nSmtpPassword=secret\n");
    testsupport::writeFile(data.filePath(QStringLiteral("Events.log")), "New session\n");
    const QString out = data.filePath(QStringLiteral("help.tar.gz"));
    const testsupport::ProcessResult made =
        cli(data.path(), {QStringLiteral("support-bundle"), out, QStringLiteral("--description"), QStringLiteral("No rings")});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const QString listing = QString::fromUtf8(testsupport::run(QStringLiteral("tar"), {QStringLiteral("-tzf"), out}).out);
    for (const char* name : {"velmora-support/description.txt", "velmora-support/Events.log", "velmora-support/vlm.ini"})
        EXPECT_TRUE(listing.contains(QLatin1String(name))) << name;
    EXPECT_FALSE(listing.contains(QLatin1String("Diagnostics.log"))) << "only files that exist";
    const QByteArray settings =
        testsupport::run(QStringLiteral("tar"), {QStringLiteral("-xzOf"), out, QStringLiteral("velmora-support/vlm.ini")}).out;
    EXPECT_TRUE(settings.contains("RemoteCode=****"));
    EXPECT_TRUE(settings.contains("hangupSeq=****"));
    EXPECT_TRUE(settings.contains("SmtpPassword=****"));
    EXPECT_TRUE(settings.contains("amRings=4"));
    EXPECT_FALSE(settings.contains("4711"));
    EXPECT_TRUE(testsupport::readFile(data.filePath(QStringLiteral("vlm.ini"))).contains("4711")) << "the original is untouched";
}

// Events.log logs every key pressed: the remote code left the machine in the
// bundle as "<< 4 >> << 7 >> << 1 >> << 1 >>".
TEST(SupportBundle, KeysThatMakeUpTheRemoteCodeOrHangUpSequenceAreMaskedInWhatLeaves)
{
    QTemporaryDir data;
    testsupport::writeFile(data.filePath(QStringLiteral("vlm.ini")), "[Settings]\nRemoteCode=4711\nhangupSeq=#9\n");
    const QByteArray log = "<< 4 >>\n<< 4 >>\n<< 7 >>\nRing\n<< 1 >>\n<< 1 >>\n-- Remote access\n<< 2 >>\n<< # >>\n<< 9 >>\n"
                           "<< 9 >>\n<< 4 >>\n<< 7 >>\n<< 1 >>\n<< 2 >>\n";
    testsupport::writeFile(data.filePath(QStringLiteral("Events.log")), log);
    const QStringList expected = {"<< 4 >>", "<< x >>", "<< x >>", "Ring", "<< x >>", "<< x >>", "-- Remote access",
                                  "<< 2 >>", "<< x >>", "<< x >>", "<< 9 >>", "<< 4 >>", "<< 7 >>", "<< 1 >>", "<< 2 >>", ""};
    const QString out = data.filePath(QStringLiteral("help.tar.gz"));
    ASSERT_EQ(cli(data.path(), {QStringLiteral("support-bundle"), out}).exitCode, 0);
    const QByteArray bundled =
        testsupport::run(QStringLiteral("tar"), {QStringLiteral("-xzOf"), out, QStringLiteral("velmora-support/Events.log")}).out;
    EXPECT_EQ(QString::fromUtf8(bundled).split(QLatin1Char('\n')), expected);
    EXPECT_EQ(SupportBundle(data.path()).redacted(QStringLiteral("Events.log")).split(QLatin1Char('\n')), expected)
        << "as mailed";
    EXPECT_EQ(testsupport::readFile(data.filePath(QStringLiteral("Events.log"))), log) << "the log on disk is kept";
}

} // namespace
