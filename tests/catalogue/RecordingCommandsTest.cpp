// comment, move, copy, delete, find and mail from the command line; mail
// goes to a stand-in xdg-email on PATH that records its arguments.
#include "CatalogueTestSupport.h"

#include "TestSupport.h"
#include "catalogue/FolderOperations.h"

#include <QFile>
#include <QStandardPaths>

namespace {

class RecordingCommandsTest : public DataFolderTest
{
protected:
    void SetUp() override
    {
        auto catalogue = openCatalogue();
        for (int i = 0; i < 3; ++i) {
            files << addRecording(*catalogue, QDateTime(QDate(2026, 4, 1), QTime(10, i)), 5, false,
                                  QStringLiteral("55598%1").arg(i));
            testsupport::writeFile(wavDir() + files.last(), QByteArray(64, 'x'));
        }
        FolderOperations folders(*catalogue);
        for (const char* name : {"Clients", "Family", "family"})
            folders.rename(folders.add(QString(), FolderOperations::Place::LastSibling), QLatin1String(name));
        catalogue->saveTree();
        for (const QString& line : QString::fromUtf8(cli({"list"}).out).split('\n', Qt::SkipEmptyParts))
            ids << line.section('\t', 0, 0);
    }
    testsupport::ProcessResult cli(QStringList args)
    {
        return testsupport::run(QStringLiteral(VELMORA_CLI_PATH), QStringList{"--data-dir", data()} + args);
    }
    QStringList files;
    QStringList ids;
};

TEST_F(RecordingCommandsTest, CommentMoveFindCopyAndDelete)
{
    ASSERT_EQ(ids.size(), 3);
    EXPECT_EQ(cli({"comment", ids[0], "Invoice"}).exitCode, 0);
    EXPECT_EQ(cli({"comment", "NOSUCHID", "x"}).exitCode, 1);

    const auto ambiguous = cli({"move", ids[1], "--folder", "Family"});
    EXPECT_EQ(ambiguous.exitCode, 1);
    EXPECT_TRUE(ambiguous.err.contains("several folders are named")) << ambiguous.err.constData();
    const auto moved = cli({"move", ids[1], ids[2], "--folder", "clients"});
    ASSERT_EQ(moved.exitCode, 0) << moved.err.constData();
    EXPECT_EQ(cli({"list"}).out.count('\n'), 1);

    const auto found = cli({"find", "555981"});
    ASSERT_EQ(found.exitCode, 0);
    EXPECT_EQ(found.out.split('\t').value(0), ids[1]) << "found in the other folder";
    EXPECT_EQ(cli({"find", "000"}).exitCode, 1);

    const QString out = path("out");
    QDir().mkpath(out);
    EXPECT_EQ(cli({"copy", ids[0], ids[1], out}).exitCode, 0);
    EXPECT_TRUE(QFile::exists(out + '/' + files[1]));

    const auto deleted = cli({"delete", ids[0], ids[2]});
    EXPECT_EQ(deleted.exitCode, 0) << deleted.err.constData();
    EXPECT_FALSE(QFile::exists(wavDir() + files[0]));
    EXPECT_TRUE(QFile::exists(wavDir() + files[1]));
    EXPECT_EQ(cli({"find", "5559"}).out.count('\n'), 1);
}

TEST_F(RecordingCommandsTest, MailHandsTheFilesToTheMailProgram)
{
    const QString bin = path("bin");
    QDir().mkpath(bin);
    const QString recorded = path("mail-args");
    testsupport::writeFile(bin + "/xdg-email", QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> %1; done\n"
                                                              "exit ${FAKE_MAIL_STATUS:-0}\n").arg(recorded).toUtf8());
    QFile::setPermissions(bin + "/xdg-email", QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::WriteOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8() + ':' + oldPath);

    const auto sent = cli({"mail", ids[0], ids[1], "--to", "owner@example.org"});
    EXPECT_EQ(sent.exitCode, 0) << sent.err.constData();
    QFile args(recorded);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(args.readAll()).split('\n');
    EXPECT_EQ(lines.count("--attach"), 2);
    EXPECT_TRUE(lines.contains(wavDir() + files[2]) || lines.contains(wavDir() + files[1]));
    EXPECT_TRUE(lines.contains("owner@example.org"));
    EXPECT_TRUE(lines.contains("Hello,")) << "the body's first line";

    qputenv("FAKE_MAIL_STATUS", "2");
    const auto failed = cli({"mail", ids[0]});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.contains("MAPI Error 11: Attachment not found")) << failed.err.constData();
    qunsetenv("FAKE_MAIL_STATUS");
    qputenv("PATH", bin.toUtf8()); // no xdg-email at all once bin's is gone
    QFile::remove(bin + "/xdg-email");
    EXPECT_TRUE(cli({"mail", ids[0]}).err.contains("No mail program is set up: xdg-email is missing"));
    qputenv("PATH", oldPath);

    // The real xdg-email on a desktop where nothing opens mailto links.
    const QByteArray saved[] = {qgetenv("XDG_DATA_DIRS"), qgetenv("XDG_DATA_HOME"), qgetenv("XDG_CONFIG_HOME"),
                                qgetenv("DISPLAY")};
    qputenv("XDG_DATA_DIRS", path("none").toUtf8());
    qputenv("XDG_DATA_HOME", path("none").toUtf8());
    qputenv("XDG_CONFIG_HOME", path("none").toUtf8());
    qunsetenv("DISPLAY");
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty())
        EXPECT_TRUE(cli({"mail", ids[0]}).err.contains("No mail program is set up: choose a mail program"));
    qputenv("XDG_DATA_DIRS", saved[0]);
    qputenv("XDG_DATA_HOME", saved[1]);
    qputenv("XDG_CONFIG_HOME", saved[2]);
    if (!saved[3].isEmpty())
        qputenv("DISPLAY", saved[3]);
}

} // namespace
