#include "app/GreetingDialogs.h"
#include "app/GreetingMessageGroup.h"
#include "app/SettingsDialog.h"
#include "calls/GreetingTable.h"
#include "config/CurrentSettings.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <gtest/gtest.h>

namespace {

template <typename W>
W* child(QWidget& parent, int index = 0)
{
    return parent.findChildren<W*>().value(index);
}

QPushButton* button(QWidget& parent, const char* text)
{
    for (QPushButton* b : parent.findChildren<QPushButton*>())
        if (b->text() == QLatin1String(text))
            return b;
    return nullptr;
}

// The type list and the text box reach Msgs.d at once; leaving a row keeps
// what was typed in it.
TEST(GreetingDialogs, GreetingMessagesEditsTheRowsOfMsgsD)
{
    QTemporaryDir dir;
    GreetingTable table(dir.path());
    GreetingMessagesDialog dialog(table, dir.path(), {});
    EXPECT_FALSE(dialog.message()->isEnabled()) << "no rows yet";
    dialog.addCaller(QStringLiteral("5551234"));
    dialog.addCaller(QStringLiteral("5559876"));
    auto* rows = child<QListWidget>(dialog);
    ASSERT_EQ(rows->count(), 2);
    EXPECT_TRUE(dialog.message()->isEnabled());

    child<QPlainTextEdit>(dialog)->setPlainText(QStringLiteral("Hi Anna"));
    rows->setCurrentRow(0); // leaving the row stores the text
    auto* type = child<QComboBox>(dialog);
    type->setCurrentIndex(2);
    emit type->activated(2);
    EXPECT_TRUE(dialog.message()->recordButton()->isEnabled()) << "Record only for a recorded greeting";

    std::vector<CallerGreeting> stored = GreetingTable(dir.path()).rows();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].msgType, 2);
    EXPECT_EQ(stored[1].tts, QStringLiteral("Hi Anna"));

    dialog.form().removeCurrent();
    dialog.addCaller(QString()); // an empty answer adds nothing
    EXPECT_EQ(GreetingTable(dir.path()).rows().size(), 1u);
}

// The pickers change the period the answering machine uses at once; only
// Close stores it; the default period has no flag and no times.
TEST(GreetingDialogs, ScheduleAppliesAtOnceAndCloseStores)
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    CurrentSettings current(ini);
    ScheduleDialog dialog(ini, current, dir.path(), {});
    auto* enable = child<QCheckBox>(dialog);
    EXPECT_FALSE(enable->isEnabled());
    dialog.periods()->setCurrentIndex(2);
    EXPECT_TRUE(enable->isEnabled());
    enable->setChecked(true);
    child<QTimeEdit>(dialog, 0)->setTime(QTime(12, 30));
    EXPECT_TRUE(current.values().periods[2].enabled);
    EXPECT_EQ(current.values().periods[2].from, QTime(12, 30));
    EXPECT_FALSE(CallSettings::readPeriods(ini)[2].enabled);

    button(dialog, "Close")->click();
    EXPECT_TRUE(CallSettings::readPeriods(ini)[2].enabled);
    EXPECT_EQ(CallSettings::readPeriods(ini)[2].from, QTime(12, 30));
}

TEST(GreetingDialogs, SettingsStoreTheChosenVoiceById)
{
    QTemporaryDir dir;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    settings::createMissingKeys(ini);
    SettingsDialog dialog(ini, {SpeechVoice{QStringLiteral("gmw/en"), QStringLiteral("English")},
                                SpeechVoice{QStringLiteral("roa/fr"), QStringLiteral("French")}});
    EXPECT_FALSE(button(dialog, "Schedule")->isEnabled()) << "no current settings linked";
    QComboBox* voices = nullptr;
    for (QComboBox* c : dialog.findChildren<QComboBox*>())
        if (c->findData(QStringLiteral("roa/fr")) >= 0)
            voices = c;
    ASSERT_NE(voices, nullptr);
    QString error;
    ASSERT_TRUE(dialog.confirm(&error)) << qPrintable(error);
    EXPECT_EQ(settings::readString(ini, keys::TTSvoiceId), QString()) << "Ok alone keeps the engine's own voice";
    voices->setCurrentIndex(1);
    ASSERT_TRUE(dialog.confirm(&error)) << qPrintable(error);
    EXPECT_EQ(settings::readString(ini, keys::TTSvoiceId), QStringLiteral("roa/fr"));
    EXPECT_EQ(settings::readInteger(ini, keys::TTSvoice), 1);
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

} // namespace
