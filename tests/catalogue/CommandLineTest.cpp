#include "CatalogueTestSupport.h"

#include "TestSupport.h"

#include <QtEndian>
#include "catalogue/RecordingList.h"

namespace {

class CommandLineTest : public DataFolderTest
{
protected:
    testsupport::ProcessResult cli(QStringList args)
    {
        args.prepend(data());
        args.prepend(QStringLiteral("--data-dir"));
        return testsupport::run(QStringLiteral(VELMORA_CLI_PATH), args);
    }

    static QList<QStringList> rows(const QByteArray& out)
    {
        QList<QStringList> result;
        for (const QString& line : QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts))
            result.append(line.split('\t'));
        return result;
    }

    // A silent 8 kHz 16-bit mono WAV file of the given length, made by sox.
    QString makeWav(const QString& name, const QString& seconds)
    {
        const QString file = path(name);
        const auto made = testsupport::run("sox", {"-n", "-r", "8000", "-c", "1", "-b", "16", file, "trim", "0", seconds});
        EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
        return file;
    }
};

TEST_F(CommandLineTest, FoldersListAndAddRecordingWorkOnAnEmptyDataFolder)
{
    if (!testsupport::haveProgram("sox"))
        GTEST_SKIP() << "sox is needed to make the WAV files";
    const auto folders = cli({"folders"});
    ASSERT_EQ(folders.exitCode, 0) << folders.err.toStdString();
    const auto tree = rows(folders.out);
    ASSERT_EQ(tree.size(), 1);
    EXPECT_EQ(tree[0][0], "General");
    EXPECT_EQ(tree[0][1].size(), 9);

    const QString message = makeWav("message.wav", "75.5");
    const QString call = makeWav("call.wav", "3");
    const auto added = cli({"add-recording", message, "--caller", "5551234", "--name", "SMITH\tJOHN", "--answered"});
    ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();
    ASSERT_EQ(cli({"add-recording", call}).exitCode, 0);

    const auto listed = rows(cli({"list"}).out);
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(rows(added.out), listed.mid(0, 1)); // add-recording prints the row it added
    const QStringList& first = listed[0];
    ASSERT_EQ(first.size(), 9);
    EXPECT_EQ(first[0].size(), 9);
    EXPECT_EQ(first[1], QDate::currentDate().toString("yyyy-MM-dd"));
    EXPECT_EQ(first[3], "01:15");
    EXPECT_EQ(first[4], "5551234");
    EXPECT_EQ(first[5], "SMITH JOHN");
    EXPECT_EQ(first[8], "0");
    EXPECT_EQ(listed[1][3], "00:03");
    EXPECT_EQ(listed[1][8], "1");
    // The start time lies the audio's length before the row's saving.
    const QTime start = QTime::fromString(first[2], "HH:mm:ss");
    EXPECT_EQ(first[6], "1_" + QString(first[1]).remove(QLatin1Char('-')) + "_" + start.toString("HHmmss") + ".wav");
    EXPECT_EQ(testsupport::readFile(wavDir() + first[6]), testsupport::readFile(message));
    EXPECT_EQ(first[7].toLongLong(), QFileInfo(message).size());

    const auto fresh = rows(cli({"list", "--new"}).out);
    ASSERT_EQ(fresh.size(), 1);
    EXPECT_EQ(fresh[0][4], "5551234");
    EXPECT_TRUE(rows(cli({"list", "--new", "--folder", "General"}).out).size() == 1);
}

TEST_F(CommandLineTest, BadInputIsReportedAndAddsNothing)
{
    // 8-bit mono PCM with 100 bytes of audio, at this rate and channel count.
    const auto wave = [](quint32 rate, quint16 channels) {
        QByteArray fmt(16, '\0');
        qToLittleEndian<quint16>(1, fmt.data());
        qToLittleEndian(channels, fmt.data() + 2);
        qToLittleEndian(rate, fmt.data() + 4);
        qToLittleEndian(rate * channels, fmt.data() + 8);
        qToLittleEndian<quint16>(channels, fmt.data() + 12);
        qToLittleEndian<quint16>(8, fmt.data() + 14);
        QByteArray body = "WAVEfmt " + QByteArray(4, '\0') + fmt + "data" + QByteArray(4, '\0') + QByteArray(100, '\x80');
        qToLittleEndian<quint32>(16, body.data() + 8);
        qToLittleEndian<quint32>(100, body.data() + 32);
        QByteArray riff = "RIFF" + QByteArray(4, '\0') + body;
        qToLittleEndian<quint32>(quint32(body.size()), riff.data() + 4);
        return riff;
    };
    // Nothing can play the last two: they were filed all the same.
    const QByteArray unplayable[] = {"plain text", wave(1, 1), wave(8000, 65535)};
    for (const QByteArray& content : unplayable) {
        testsupport::writeFile(path("not-a-wave.wav"), content);
        const auto refused = cli({"add-recording", path("not-a-wave.wav")});
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(refused.err.contains("not-a-wave.wav")) << refused.err.toStdString();
    }
    testsupport::writeFile(path("not-a-wave.wav"), wave(8000, 1));
    ASSERT_EQ(cli({"add-recording", path("not-a-wave.wav")}).exitCode, 0) << "the same, playable";
    ASSERT_EQ(cli({"delete", rows(cli({"list"}).out).value(0).value(0)}).exitCode, 0);
    EXPECT_TRUE(rows(cli({"list"}).out).isEmpty());
    EXPECT_TRUE(QDir(wavDir()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    const auto unknown = cli({"list", "--folder", "Nobody"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains("Nobody"));
    EXPECT_EQ(cli({"list", "extra"}).exitCode, 2);

    testsupport::writeFile(path("Folders.d"), "damaged");
    const auto damaged = cli({"folders"});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_TRUE(damaged.err.contains("Folders.d")) << damaged.err.toStdString();
    EXPECT_EQ(testsupport::readFile(path("Folders.d")), "damaged");
}

// Caller ID and a modem's model name are kept as received, but escape
// sequences in them never reach a terminal or vlm.ini.
TEST_F(CommandLineTest, ControlCharactersAreKeptButNeverEmittedRaw)
{
    if (!testsupport::haveProgram("sox"))
        GTEST_SKIP() << "sox is needed to make the WAV files";
    const QString hostile = QStringLiteral("\x1b]0;owned\x07\u009b2J\u202e555");
    const auto added = cli({"add-recording", makeWav("m.wav", "1"), "--caller", hostile, "--name", "\x1b[31mX"});
    ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();
    ASSERT_EQ(cli({"set", "Modem", "Model", "ACME\x1b[8m"}).exitCode, 0);
    const QByteArray ini = testsupport::readFile(path("vlm.ini"));
    for (const QByteArray& out : {added.out, cli({"list"}).out, cli({"get", "Modem", "Model"}).out, ini}) {
        const QString text = QString::fromUtf8(out);
        for (const QChar c : text)
            EXPECT_TRUE(c == u'\t' || c == u'\n' || (c >= u' ' && c != u'\x7f' && (c < u'\x80' || c > u'\x9f') && c != u'\u202e'))
                << "U+" << std::hex << int(c.unicode()) << " in " << out.toStdString();
    }
    EXPECT_TRUE(added.out.contains("\\x1b]0;owned\\x07\\x9b2J\\u202e555")) << added.out.toStdString();
    EXPECT_TRUE(ini.contains("Model=ACME\\x1b[8m"));
    auto catalogue = openCatalogue();
    RecordingList list(*catalogue);
    list.setFolder(catalogue->recordFolderId());
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.row(0).callerId, hostile) << "stored as received";
}

} // namespace
