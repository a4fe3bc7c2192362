// The owner's evening, in a real browser: velmora-cli run answers a call on
// the simulated line, the calls page shows the message by itself, the owner
// plays it to its end, gives it a memo and deletes it. Screenshots at phone
// and desktop sizes are left in the build folder to look at.
#include "CliProcess.h"
#include "ModemSim.h"
#include "TestSupport.h"
#include "WebDriver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::ModemSim;

namespace {

const QString Password = QStringLiteral("evening at home");
const QString Screenshots = QStringLiteral(VELMORA_SCREENSHOTS);

class Browser : public testing::Test
{
protected:
    void shoot(WebDriver& browser, const QString& name, int width, int height, bool top = true)
    {
        browser.resize(width, height);
        if (top)
            browser.script(QStringLiteral("window.scrollTo(0, 0);"));
        QThread::msleep(300);
        EXPECT_TRUE(browser.screenshot(QDir(Screenshots).filePath(name + QStringLiteral(".png")))) << qPrintable(name);
    }
    int rowsListed() { return QString::fromUtf8(velmora.cli({QStringLiteral("list")}).out).count(QStringLiteral(".wav")); }

    QTemporaryDir data;
    QTemporaryDir home; // the trash of deleted recordings
    const QString link = data.filePath(QStringLiteral("modem"));
    testsupport::CliProcess velmora{data.path(), link};
};

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

TEST_F(Browser, TheOwnerHearsAndManagesTheMessageJustLeft)
{
    if (!WebDriver::available())
        GTEST_SKIP() << "chromium and chromedriver are not installed";
    QDir().mkpath(Screenshots);
    ModemSim::Options options;
    options.profile = QStringLiteral("conexant");
    options.speed = 10;
    options.extraArgs = {QStringLiteral("--link"), link};
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    ASSERT_EQ(velmora.cli({QStringLiteral("probe")}).exitCode, 0);
    const QString port = QString::number(freePort());
    for (const auto& [section, key, value] : std::vector<std::tuple<QString, QString, QString>>{
             {"Settings", "amRings", "2"}, {"Settings", "RemoteCode", "4711"}, {"Settings", "MsgTime", "60"},
             {"Modem", "ringSpan", "4000"}, {"Web", "Enabled", "1"}, {"Web", "Port", port}})
        ASSERT_TRUE(velmora.set(section, key, value)) << qPrintable(key);
    QProcess password;
    password.start(QStringLiteral(VELMORA_CLI), {QStringLiteral("--data-dir"), data.path(), QStringLiteral("web-password")});
    password.write(Password.toUtf8() + '\n');
    password.closeWriteChannel();
    ASSERT_TRUE(password.waitForFinished(20000) && password.exitCode() == 0) << password.readAllStandardError().constData();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
    velmora.startRun(environment);
    const QString site = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("Web interface at ") + site, 30000, 1, false)) << velmora.output().constData() << velmora.run().readAllStandardError().constData();

    WebDriver browser;
    ASSERT_TRUE(browser.start()) << qPrintable(browser.error());
    browser.open(site);
    ASSERT_TRUE(browser.url().endsWith(QLatin1String("/login")));
    browser.type(QStringLiteral("#password"), Password);
    browser.click(QStringLiteral("button[type=submit]"));
    ASSERT_TRUE(browser.waitFor(QStringLiteral("document.getElementById('listing')"), 10000))
        << qPrintable(browser.url()) << ' ' << qPrintable(browser.script(QStringLiteral("return document.body.innerText;")).toString());
    shoot(browser, QStringLiteral("calls-empty-desktop"), 1280, 800);

    // The call comes while the page is open; the page shows it by itself.
    for (const char* line : {"call", "cid DATE=1209 TIME=1000 NMBR=5551234 NAME=\"SMITH JOHN\"", "ring 2 every 15s",
                             "await rx timeout 200s", "say \"Hello, this is John. Please call me back tomorrow.\"", "busy 10s"})
        sim.command(QLatin1String(line));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- File saved"), 120000, 1, false)) << velmora.output().constData();
    ASSERT_TRUE(browser.waitFor(QStringLiteral("document.querySelector('details.call.new .num')?.textContent === '5551234'"), 15000));
    shoot(browser, QStringLiteral("calls-desktop"), 1280, 800);
    shoot(browser, QStringLiteral("calls-phone"), 390, 844);
    EXPECT_EQ(velmora.newCount(), 1);

    // Played to its end (four times as fast), it is heard.
    browser.click(QStringLiteral("details.call summary"));
    ASSERT_TRUE(browser.waitFor(QStringLiteral("document.querySelector('details.call audio').getAttribute('src')"), 5000));
    browser.script(QStringLiteral("const a = document.querySelector('details.call audio'); a.playbackRate = 4; a.play();"));
    ASSERT_TRUE(browser.waitFor(QStringLiteral("document.querySelector('details.call audio').ended"), 30000))
        << browser.script(QStringLiteral("const a = document.querySelector('details.call audio'); "
                                         "return [a.error && a.error.message, a.currentTime, a.duration, a.src].join(' ');"))
               .toString()
               .toStdString();
    EXPECT_GT(browser.script(QStringLiteral("return document.querySelector('details.call audio').duration;")).toDouble(), 2.0);
    ASSERT_TRUE(browser.waitFor(QStringLiteral("!document.querySelector('details.call.new')"), 5000));
    QDeadlineTimer heard(5000);
    while (velmora.newCount() != 0 && !heard.hasExpired())
        QThread::msleep(100);
    EXPECT_FALSE(heard.hasExpired()) << "the message is still new in the catalogue";
    shoot(browser, QStringLiteral("call-open-phone"), 390, 844);

    // A memo, with the keyboard's text.
    browser.type(QStringLiteral("details.call .memo-form input"), QStringLiteral("Call back on Monday"));
    browser.click(QStringLiteral("details.call .memo-form button"));
    ASSERT_TRUE(browser.waitFor(QStringLiteral("document.getElementById('notice').textContent === 'Memo saved.'"), 5000));
    EXPECT_TRUE(velmora.cli({QStringLiteral("list")}).out.contains("Call back on Monday"));

    // Deleted: gone from the catalogue and from the recordings folder.
    const QStringList before = QDir(data.filePath(QStringLiteral("wav"))).entryList({QStringLiteral("*.wav")}, QDir::Files);
    ASSERT_EQ(before.size(), 1);
    browser.click(QStringLiteral("details.call button.delete"));
    browser.click(QStringLiteral("details.call button.delete"));
    ASSERT_TRUE(browser.waitFor(QStringLiteral("document.querySelector('#listing .empty')"), 5000))
        << qPrintable(browser.script(QStringLiteral("return document.body.innerText;")).toString());
    EXPECT_EQ(rowsListed(), 0);
    EXPECT_FALSE(QFile::exists(data.filePath(QStringLiteral("wav/")) + before[0]));

    // A spoken greeting, typed and heard as the line would carry it.
    browser.open(site + QStringLiteral("greetings"));
    browser.type(QStringLiteral("#speak-text"), QStringLiteral("You have reached the Smiths. Please leave a message."));
    browser.click(QStringLiteral("#speak button"));
    EXPECT_TRUE(browser.waitFor(QStringLiteral("document.getElementById('spoken').duration > 1"), 20000));
    shoot(browser, QStringLiteral("greetings-phone"), 390, 844);
    shoot(browser, QStringLiteral("greetings-desktop"), 1280, 800, false);
    browser.open(site + QStringLiteral("status"));
    EXPECT_TRUE(browser.waitFor(QStringLiteral("document.getElementById('modem').textContent === 'bound'"), 10000));
    shoot(browser, QStringLiteral("status-desktop"), 1280, 800);
    // A caller blocked from the page: the block list holds the entry.
    browser.open(site + QStringLiteral("lists"));
    browser.type(QStringLiteral("#add-entry input[name=caller]"), QStringLiteral("0900*"));
    browser.type(QStringLiteral("#add-entry input[name=note]"), QStringLiteral("premium-rate sellers"));
    browser.click(QStringLiteral("#add-entry button"));
    EXPECT_TRUE(browser.waitFor(QStringLiteral("document.querySelector('table.entries')?.textContent.includes('0900*')"), 5000));
    EXPECT_TRUE(velmora.cli({QStringLiteral("block"), QStringLiteral("list")}).out.contains("0900*"));
    shoot(browser, QStringLiteral("lists-phone"), 390, 844);
    // The answering machine off from the page: the settings file says so.
    browser.click(QStringLiteral("#answering"));
    EXPECT_TRUE(browser.waitFor(QStringLiteral("document.getElementById('notice').textContent === 'The answering machine is off.'"), 5000));
    EXPECT_EQ(velmora.cli({QStringLiteral("get"), QStringLiteral("Settings"), QStringLiteral("Answering Machine")}).out.trimmed(), "0");

    EXPECT_TRUE(velmora.stopRun());
}

} // namespace
