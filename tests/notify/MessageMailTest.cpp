// Which of the line's events become mails, as the settings say; a modem
// that goes away by itself is news, one the user released is not.
#include "TestSupport.h"

#include "calls/CallNews.h"
#include "calls/EventLog.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "notify/MessageMail.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList subjects(const QString& outboxFolder)
{
    QStringList found;
    for (const OutboxMail& mail : Outbox(outboxFolder).mails())
        found << mail.subject;
    found.sort();
    return found;
}

TEST(MessageMail, TheSettingsChooseWhichEventsAreMailed)
{
    struct Case
    {
        bool enabled, onMessage, onEveryCall, onModemLost;
        QStringList expected;
    };
    const Case cases[] = {
        {true, true, false, false, {"New message from SMITH JOHN 5551234 (0:42)"}},
        {false, true, true, true, {}},
        {true, false, true, true,
         {"Blocked call from EVE 0900123", "Call from ANN 5550000 (0:07)", "New message from SMITH JOHN 5551234 (0:42)",
          "The modem is lost"}},
        {true, false, false, true, {"The modem is lost"}},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
        settings::writeBool(ini, keys::MailEnabled, c.enabled);
        settings::writeBool(ini, keys::MailOnMessage, c.onMessage);
        settings::writeBool(ini, keys::MailOnEveryCall, c.onEveryCall);
        settings::writeBool(ini, keys::MailOnModemLost, c.onModemLost);
        settings::writeString(ini, keys::MailTo, QStringLiteral("ann@example.org"));
        EventLog log;
        log.open(dir.path());
        CallNews news;
        bool userReleased = false;
        news.setUserReleased([&] { return userReleased; });
        MessageMail mail({news, ini, log, dir.path(), dir.filePath(QStringLiteral("wav/"))});

        const QDateTime start = QDateTime::currentDateTime();
        news.reportSaved({QStringLiteral("5551234"), QStringLiteral("SMITH JOHN"), start, 42, QStringLiteral("a.wav"),
                          QStringLiteral("General"), true, 1});
        news.reportSaved({QStringLiteral("5550000"), QStringLiteral("ANN"), start, 7, QStringLiteral("b.wav"),
                          QStringLiteral("General"), false, 1});
        news.reportBlocked(QStringLiteral("0900123"), QStringLiteral("EVE"), QStringLiteral("hung up"));
        news.showTray(TrayIcon::Bound);
        userReleased = true; // Release: not a modem gone
        news.showTray(TrayIcon::Released);
        news.showTray(TrayIcon::Bound);
        userReleased = false;
        news.showTray(TrayIcon::Released);
        EXPECT_EQ(subjects(mail.outboxFolder()), c.expected) << c.enabled << c.onMessage << c.onEveryCall << c.onModemLost;
    }
}

} // namespace
