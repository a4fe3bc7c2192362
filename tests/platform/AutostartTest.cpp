#include "platform/Autostart.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(Autostart, EntryIsAddedQuotedAndRemoved)
{
    QTemporaryDir config;
    Autostart entry(config.path());
    QString error;
    ASSERT_TRUE(entry.add(QStringLiteral("/opt/my \"tools\"/velmora"), &error)) << qPrintable(error);
    QFile file(entry.entryPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=\"/opt/my \\\\\"tools\\\\\"/velmora\" STARTUP\n"))) << qPrintable(text);
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(entry.remove(&error));
    EXPECT_FALSE(entry.exists());
    EXPECT_TRUE(entry.remove(&error)) << "nothing to remove is no error";

    Autostart unwritable(QStringLiteral("/proc/velmora-no-such-folder"));
    EXPECT_FALSE(unwritable.add(QStringLiteral("/usr/bin/velmora"), &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
