#include "config/IniFile.h"

#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::readFile;
using testsupport::writeFile;

namespace {

class IniFileTest : public testing::Test
{
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("vlm.ini")); }
    QString text() const { return QString::fromUtf8(readFile(path())); }

    QTemporaryDir m_dir;
};

TEST_F(IniFileTest, NamesMatchWithoutCaseAndBlanks)
{
    writeFile(path(), "[ Modem ]\r\n Voicefeatures = 1\r\n vgrMax=200\r\n[Settings]\r\nwavDir=/x/\r\n");
    IniFile ini(path());
    EXPECT_TRUE(ini.readBool(QStringLiteral("modem"), QStringLiteral("voiceFeatures"), false));
    EXPECT_EQ(ini.readInteger(QStringLiteral("MODEM"), QStringLiteral("vgrMax"), 0), 200);
    EXPECT_EQ(ini.readString(QStringLiteral(" settings "), QStringLiteral("WAVDIR"), {}), QStringLiteral("/x/"));
    EXPECT_TRUE(ini.valueExists(QStringLiteral("Modem"), QStringLiteral(" VGRMAX ")));
    EXPECT_FALSE(ini.valueExists(QStringLiteral("Settings"), QStringLiteral("vgrMax")));

    // Overwriting a key found under another spelling changes it, not a copy.
    ASSERT_TRUE(ini.writeInteger(QStringLiteral("modem"), QStringLiteral("VGRMAX"), 100));
    EXPECT_EQ(ini.readSection(QStringLiteral("Modem")).size(), 2);
    EXPECT_EQ(ini.readInteger(QStringLiteral("Modem"), QStringLiteral("vgrmax"), 0), 100);
}

TEST_F(IniFileTest, IntegersAcceptDecimalAndBothHexFormsElseDefault)
{
    writeFile(path(), "[S]\na=42\nb=-7\nc=0x1F\nd=$ff\ne=12abc\nf=\ng=99999999999\nh=$FFFFFFFF\ni=+5\nj=0x\n");
    IniFile ini(path());
    const auto read = [&](const char* key) { return ini.readInteger(QStringLiteral("S"), QLatin1String(key), -99); };
    EXPECT_EQ(read("a"), 42);
    EXPECT_EQ(read("b"), -7);
    EXPECT_EQ(read("c"), 31);
    EXPECT_EQ(read("d"), 255);
    EXPECT_EQ(read("e"), -99);
    EXPECT_EQ(read("f"), -99);
    EXPECT_EQ(read("g"), -99);
    EXPECT_EQ(read("h"), -1);
    EXPECT_EQ(read("i"), 5);
    EXPECT_EQ(read("j"), -99);
    EXPECT_EQ(read("missing"), -99);
}

TEST_F(IniFileTest, BooleansAreIntegers)
{
    writeFile(path(), "[S]\nt=1\nf=0\nn=5\nx=yes\n");
    IniFile ini(path());
    EXPECT_TRUE(ini.readBool(QStringLiteral("S"), QStringLiteral("t"), false));
    EXPECT_FALSE(ini.readBool(QStringLiteral("S"), QStringLiteral("f"), true));
    EXPECT_TRUE(ini.readBool(QStringLiteral("S"), QStringLiteral("n"), false));
    EXPECT_TRUE(ini.readBool(QStringLiteral("S"), QStringLiteral("x"), true));
    EXPECT_FALSE(ini.readBool(QStringLiteral("S"), QStringLiteral("x"), false));
    ASSERT_TRUE(ini.writeBool(QStringLiteral("S"), QStringLiteral("w"), true));
    EXPECT_TRUE(text().contains(QStringLiteral("w=1\n")));
}

TEST_F(IniFileTest, TimesAreWritten24HourAndReadInSeveralForms)
{
    IniFile ini(path());
    ASSERT_TRUE(ini.writeTime(QStringLiteral("DefaultSchedule"), QStringLiteral("prdTo"), QTime(23, 59, 59)));
    ASSERT_TRUE(ini.writeTime(QStringLiteral("DefaultSchedule"), QStringLiteral("prdFrom"), QTime(9, 5, 0)));
    EXPECT_TRUE(text().contains(QStringLiteral("prdTo=23:59:59\n")));
    EXPECT_TRUE(text().contains(QStringLiteral("prdFrom=09:05:00\n")));
    EXPECT_EQ(ini.readTime(QStringLiteral("DefaultSchedule"), QStringLiteral("prdTo"), {}), QTime(23, 59, 59));

    writeFile(path(), "[P]\na=9:00:00 AM\nb=5:30:00 PM\nc=17:00\nd=noon\ne=25:00:00\n");
    const QTime def(1, 2, 3);
    EXPECT_EQ(ini.readTime(QStringLiteral("P"), QStringLiteral("a"), def), QTime(9, 0, 0));
    EXPECT_EQ(ini.readTime(QStringLiteral("P"), QStringLiteral("b"), def), QTime(17, 30, 0));
    EXPECT_EQ(ini.readTime(QStringLiteral("P"), QStringLiteral("c"), def), QTime(17, 0, 0));
    EXPECT_EQ(ini.readTime(QStringLiteral("P"), QStringLiteral("d"), def), def);
    EXPECT_EQ(ini.readTime(QStringLiteral("P"), QStringLiteral("e"), def), def);
    EXPECT_EQ(ini.readTime(QStringLiteral("P"), QStringLiteral("missing"), def), def);
}

TEST_F(IniFileTest, BinaryIsUppercaseHexAndRejectsDamage)
{
    QByteArray format(512, '\0');
    for (int i = 0; i < format.size(); ++i)
        format[i] = char(i * 7);
    IniFile ini(path());
    ASSERT_TRUE(ini.writeBinary(QStringLiteral("File compression"), QStringLiteral("Bin"), format));
    const QString line = text().split(QLatin1Char('\n')).filter(QStringLiteral("Bin=")).value(0);
    EXPECT_EQ(line.size(), 4 + 1024);
    EXPECT_EQ(line.mid(4), line.mid(4).toUpper());
    EXPECT_EQ(ini.readBinary(QStringLiteral("file compression"), QStringLiteral("bin")), format);

    writeFile(path(), "[B]\nodd=ABC\nbad=0G\nlower=0a0b\nempty=\n");
    EXPECT_FALSE(ini.readBinary(QStringLiteral("B"), QStringLiteral("odd")).has_value());
    EXPECT_FALSE(ini.readBinary(QStringLiteral("B"), QStringLiteral("bad")).has_value());
    EXPECT_EQ(ini.readBinary(QStringLiteral("B"), QStringLiteral("lower")), QByteArray("\x0a\x0b"));
    EXPECT_EQ(ini.readBinary(QStringLiteral("B"), QStringLiteral("empty")), QByteArray());
    EXPECT_FALSE(ini.readBinary(QStringLiteral("B"), QStringLiteral("missing")).has_value());
}

TEST_F(IniFileTest, ValuesAreOneTrimmedLineOfAtMost2047Characters)
{
    IniFile ini(path());
    ASSERT_TRUE(ini.writeString(QStringLiteral("FirstSchedule"), QStringLiteral("prdTTS"),
                                QStringLiteral("Please leave a message\n[Commands]\nsOnHook=ath")));
    EXPECT_EQ(ini.readString(QStringLiteral("FirstSchedule"), QStringLiteral("prdTTS"), {}),
              QStringLiteral("Please leave a message"));
    // The rest of the text must not become settings of its own.
    EXPECT_FALSE(ini.sectionExists(QStringLiteral("Commands")));

    ASSERT_TRUE(ini.writeString(QStringLiteral("S"), QStringLiteral("long"), QString(3000, QLatin1Char('x'))));
    EXPECT_EQ(ini.readString(QStringLiteral("S"), QStringLiteral("long"), {}).size(), IniFile::MaxValueLength);
    ASSERT_TRUE(ini.writeString(QStringLiteral("S"), QStringLiteral("padded"), QStringLiteral("  a b  ")));
    EXPECT_EQ(ini.readString(QStringLiteral("S"), QStringLiteral("padded"), {}), QStringLiteral("a b"));
    EXPECT_EQ(ini.readString(QStringLiteral("S"), QStringLiteral("missing"), QStringLiteral("def")),
              QStringLiteral("def"));
}

TEST_F(IniFileTest, HandEditedLinesSurviveWrites)
{
    const QByteArray original = "; Velmora settings\n"
                                "[Settings]\n"
                                "amRings=4\n"
                                "# my note\n"
                                "this line is junk\n"
                                "\n"
                                "[Unknown]\n"
                                "keep=me\n";
    writeFile(path(), original);
    IniFile ini(path());
    ASSERT_TRUE(ini.writeInteger(QStringLiteral("Settings"), QStringLiteral("amRings"), 6));
    ASSERT_TRUE(ini.writeBool(QStringLiteral("Settings"), QStringLiteral("chkBeep"), false));
    ASSERT_TRUE(ini.writeString(QStringLiteral("Modem"), QStringLiteral("Model"), QStringLiteral("Sim")));
    EXPECT_EQ(text(), QStringLiteral("; Velmora settings\n"
                                     "[Settings]\n"
                                     "amRings=6\n"
                                     "# my note\n"
                                     "this line is junk\n"
                                     "chkBeep=0\n"
                                     "\n"
                                     "[Unknown]\n"
                                     "keep=me\n"
                                     "\n"
                                     "[Modem]\n"
                                     "Model=Sim\n"));
}

TEST_F(IniFileTest, SectionsListAndEraseInFileOrder)
{
    writeFile(path(), "[Tree]\nNode0=General\nNode1=#Work\n[Other]\na=1\n[tree]\nNode2=dup\n");
    IniFile ini(path());
    EXPECT_EQ(ini.readSection(QStringLiteral("TREE")), (QStringList{QStringLiteral("Node0"), QStringLiteral("Node1")}));
    const auto values = ini.readSectionValues(QStringLiteral(" tree "));
    ASSERT_EQ(values.size(), 2);
    EXPECT_EQ(values[1], std::make_pair(QStringLiteral("Node1"), QStringLiteral("#Work")));
    EXPECT_EQ(ini.readSections(), (QStringList{QStringLiteral("Tree"), QStringLiteral("Other"), QStringLiteral("tree")}));
    ASSERT_TRUE(ini.eraseSection(QStringLiteral("Tree")));
    EXPECT_FALSE(ini.sectionExists(QStringLiteral("tree")));
    EXPECT_EQ(text(), QStringLiteral("[Other]\na=1\n"));
    EXPECT_TRUE(ini.eraseSection(QStringLiteral("absent")));
    ASSERT_TRUE(ini.deleteKey(QStringLiteral("other"), QStringLiteral("A")));
    EXPECT_FALSE(ini.valueExists(QStringLiteral("Other"), QStringLiteral("a")));
    EXPECT_TRUE(ini.sectionExists(QStringLiteral("Other")));

    // A whole section at once, as the folder tree is written.
    writeFile(path(), "[Tree]\nNode0=General\n[Other]\na=1\n[tree]\nNode2=dup\n");
    ASSERT_TRUE(ini.writeSection(QStringLiteral("Tree"), {{QStringLiteral("Node0"), QStringLiteral("A\x1b")},
                                                          {QStringLiteral("Node1"), QStringLiteral("#B")}}));
    EXPECT_EQ(text(), QStringLiteral("[Other]\na=1\n\n[Tree]\nNode0=A\\x1b\nNode1=#B\n"));
}

TEST_F(IniFileTest, EveryHandleSeesEveryWriteAtOnce)
{
    IniFile a(path());
    IniFile b(path());
    EXPECT_EQ(b.readInteger(QStringLiteral("S"), QStringLiteral("n"), -1), -1);
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(a.writeInteger(QStringLiteral("S"), QStringLiteral("n"), i));
        ASSERT_EQ(b.readInteger(QStringLiteral("S"), QStringLiteral("n"), -1), i);
    }
    QFile::remove(path());
    EXPECT_FALSE(b.sectionExists(QStringLiteral("S")));
}

TEST_F(IniFileTest, FailedWriteLeavesOldFileAndNoLeftovers)
{
    writeFile(path(), "[S]\nold=1\n");
    IniFile ini(path());
    // A file-size limit makes the write fail half-way, as a full disk would.
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = ini.writeString(QStringLiteral("S"), QStringLiteral("big"), QString(2000, QLatin1Char('y'))) &&
                         ini.writeString(QStringLiteral("S"), QStringLiteral("big2"), QString(2000, QLatin1Char('z'))) &&
                         ini.writeString(QStringLiteral("S"), QStringLiteral("big3"), QString(2000, QLatin1Char('w')));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_FALSE(ini.lastError().isEmpty());
    const QString after = text();
    EXPECT_TRUE(after.startsWith(QStringLiteral("[S]\nold=1\n")));
    EXPECT_TRUE(after.endsWith(QLatin1Char('\n')));
    EXPECT_FALSE(after.contains(QStringLiteral("big3")));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("vlm.ini")});
}

TEST_F(IniFileTest, KilledWriterNeverLeavesHalfAFile)
{
    IniFile ini(path());
    ASSERT_TRUE(ini.writeString(QStringLiteral("S"), QStringLiteral("v"), QStringLiteral("start")));
    for (int round = 0; round < 5; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            IniFile writer(path());
            for (int i = 0;; ++i)
                writer.writeString(QStringLiteral("S"), QStringLiteral("v"), QString(1000 + i % 500, QLatin1Char('a' + i % 26)));
        }
        // Read while the child writes, then kill it at an arbitrary moment.
        int whole = 0;
        for (int i = 0; i < 40; ++i) {
            const QString now = text();
            whole += now.startsWith(QStringLiteral("[S]\nv=")) && now.endsWith(QLatin1Char('\n'));
            usleep(500);
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        EXPECT_EQ(whole, 40);
        const QString value = ini.readString(QStringLiteral("S"), QStringLiteral("v"), {});
        EXPECT_TRUE(value == QStringLiteral("start") || value.size() >= 1000);
    }
}

} // namespace

namespace {

TEST_F(IniFileTest, UpdateWritesTheFileOnceAtCommit)
{
    writeFile(path(), "; keep\n[Tree]\nNode0=old\n");
    IniFile ini(path());
    IniFile other(path());
    ini.beginUpdate();
    ASSERT_TRUE(ini.eraseSection(QStringLiteral("Tree")));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(ini.writeString(QStringLiteral("Tree"), QStringLiteral("Node%1").arg(i), QStringLiteral("n%1").arg(i)));
    ini.beginUpdate(); // nested: only the outermost commit writes
    ASSERT_TRUE(ini.writeBool(QStringLiteral("Expanded"), QStringLiteral("Node0"), true));
    ASSERT_TRUE(ini.commitUpdate());
    EXPECT_EQ(ini.readString(QStringLiteral("Tree"), QStringLiteral("Node2"), {}), QStringLiteral("n2"));
    EXPECT_EQ(other.readString(QStringLiteral("Tree"), QStringLiteral("Node0"), {}), QStringLiteral("old"));
    ASSERT_TRUE(ini.commitUpdate());
    EXPECT_EQ(text(), QStringLiteral("; keep\n\n[Tree]\nNode0=n0\nNode1=n1\nNode2=n2\n\n[Expanded]\nNode0=1\n"));
    EXPECT_EQ(other.readSection(QStringLiteral("Tree")).size(), 3);
}

TEST_F(IniFileTest, CancelledUpdateLeavesTheFile)
{
    writeFile(path(), "[S]\na=1\n");
    IniFile ini(path());
    ini.beginUpdate();
    ASSERT_TRUE(ini.writeInteger(QStringLiteral("S"), QStringLiteral("a"), 2));
    ini.cancelUpdate();
    EXPECT_EQ(ini.readInteger(QStringLiteral("S"), QStringLiteral("a"), 0), 1);
    EXPECT_EQ(text(), QStringLiteral("[S]\na=1\n"));
}

} // namespace
