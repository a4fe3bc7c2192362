#include "PtyPair.h"
#include "TestSupport.h"
#include "platform/LinuxSerialPort.h"
#include "platform/SerialAccess.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The doctor's line for one check: STATUS, TEXT.
std::pair<QString, QString> lineOf(const QByteArray& out, const QString& check)
{
    for (const QString& line : QString::fromUtf8(out).split(QLatin1Char('\n'))) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() == 3 && f[1] == check)
            return {f[0], f[2]};
    }
    return {};
}

} // namespace

// Each row causes one fault and looks for the doctor's line about it.
TEST(DoctorCli, EachFaultGetsALineThatSaysWhatToDo)
{
    QTemporaryDir data;
    PtyPair pty;
    struct Row
    {
        const char* cause;
        QString port;
        std::function<std::shared_ptr<void>()> arrange; // what stays in place while the doctor runs
        const char* check;
        const char* status;
        const char* text;
    } rows[] = {
        {"no modem probed", QString(), {}, "profile", "FAIL", "velmora-cli probe"},
        {"no port chosen", QString(), {}, "port", "warn", "velmora-cli probe finds the modem"},
        {"port missing", QStringLiteral("/dev/ttyACM-velmora-missing"), {}, "port", "FAIL", "does not exist"},
        {"port is no serial device", data.filePath(QStringLiteral("vlm.ini")), {}, "port", "FAIL",
         "not a serial device"},
        {"port held by another program", pty.slavePath(),
         [&] {
             auto port = std::make_shared<LinuxSerialPort>();
             port->setDeviceName(pty.slavePath());
             port->setOpen(true);
             return port;
         },
         "port", "FAIL", "in use by another program"},
        {"port free", pty.slavePath(), {}, "port", "ok", "opens"},
        {"ModemManager runs", pty.slavePath(),
         [] {
             auto dir = std::make_shared<QTemporaryDir>();
             const QString program = dir->filePath(QStringLiteral("ModemManager"));
             QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), program);
             auto process = std::shared_ptr<QProcess>(new QProcess, [dir](QProcess* p) {
                 p->kill();
                 p->waitForFinished();
                 delete p;
             });
             process->start(program, {QStringLiteral("60")});
             process->waitForStarted();
             return process;
         },
         "modemmanager", "warn", "ModemManager is running and may probe"},
    };
    QFile ini(data.filePath(QStringLiteral("vlm.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.close();
    for (const Row& r : rows) {
        const std::shared_ptr<void> arranged = r.arrange ? r.arrange() : nullptr;
        QStringList args{QStringLiteral("--data-dir"), data.path()};
        if (!r.port.isEmpty())
            args << QStringLiteral("--port") << r.port;
        const auto result = testsupport::run(QStringLiteral(VELMORA_CLI), args << QStringLiteral("doctor"));
        const auto [status, text] = lineOf(result.out, QString::fromLatin1(r.check));
        EXPECT_EQ(status, QLatin1String(r.status)) << r.cause << ": " << result.out.constData();
        EXPECT_TRUE(text.contains(QLatin1String(r.text))) << r.cause << ": " << text.toStdString();
        EXPECT_EQ(result.exitCode, 1) << r.cause; // the profile fails in every row
    }
}

// The lines that depend on this machine follow what is really on it.
TEST(DoctorCli, MachineChecksFollowTheSystem)
{
    QTemporaryDir data;
    const auto result = testsupport::run(QStringLiteral(VELMORA_CLI),
                                         {QStringLiteral("--data-dir"), data.path(), QStringLiteral("doctor")});
    const QString out = QString::fromUtf8(result.out);
    EXPECT_EQ(out.count(QLatin1Char('\n')), 9) << result.out.constData();
    if (QFile::exists(InstalledUdevRule))
        EXPECT_EQ(lineOf(result.out, QStringLiteral("udev-rule")).first, QStringLiteral("ok"));
    else if (modemManagerIgnoreRules().isEmpty())
        EXPECT_TRUE(lineOf(result.out, QStringLiteral("udev-rule")).second.contains(InstalledUdevRule));
    if (!modemManagerRunning())
        EXPECT_EQ(lineOf(result.out, QStringLiteral("modemmanager")).first, QStringLiteral("ok"));
}

// As a user outside the serial group, on a device of that group: the kernel refuses, the doctor says how to join.
TEST(DoctorCli, AUserOutsideTheSerialGroupIsToldHowToJoinIt)
{
    const group* dialout = ::getgrnam("dialout");
    if (::geteuid() != 0 || !dialout || !testsupport::haveProgram(QStringLiteral("setpriv")))
        GTEST_SKIP() << "needs root, the dialout group and setpriv to act as another user";
    QTemporaryDir data;
    ::chmod(data.path().toLocal8Bit().constData(), 0777);
    const QString device = data.filePath(QStringLiteral("ttyModem"));
    testsupport::writeFile(device, QByteArray());
    ASSERT_EQ(::chown(device.toLocal8Bit().constData(), 0, dialout->gr_gid), 0);
    ::chmod(device.toLocal8Bit().constData(), 0660);
    const auto result = testsupport::run(
        QStringLiteral("setpriv"), {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                    QStringLiteral("--clear-groups"), QStringLiteral(VELMORA_CLI),
                                    QStringLiteral("--data-dir"), data.path(), QStringLiteral("--port"), device,
                                    QStringLiteral("doctor")});
    if (result.out.isEmpty() && result.exitCode != 1)
        GTEST_SKIP() << "nobody may not run the program from this folder: " << result.err.constData();
    for (const QString check : {QStringLiteral("group"), QStringLiteral("port")}) {
        const auto [status, text] = lineOf(result.out, check);
        EXPECT_EQ(status, QStringLiteral("FAIL")) << result.out.constData();
        EXPECT_TRUE(text.contains(QLatin1String("sudo usermod -aG dialout nobody"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String("log out and in again"))) << text.toStdString();
    }
}
