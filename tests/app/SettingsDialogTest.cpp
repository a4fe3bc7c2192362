#include "app/SettingsDialog.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"

#include <QApplication>
#include <limits>
#include <QCheckBox>
#include <QFile>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QCheckBox* box(QWidget& dialog, const char* text)
{
    for (QCheckBox* b : dialog.findChildren<QCheckBox*>())
        if (b->text() == QLatin1String(text))
            return b;
    return nullptr;
}

TEST(SettingsDialog, OkWritesTheSettingsAndTheLogonEntryAndCancelWritesNothing)
{
    QTemporaryDir dir;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    settings::createMissingKeys(ini);
    {
        SettingsDialog dialog(ini, {SpeechVoice{QStringLiteral("en"), QStringLiteral("English")}});
        box(dialog, "Run as a system service (load at start up)")->setChecked(true);
        box(dialog, "On")->setChecked(true); // silence
        dialog.reject();
    }
    EXPECT_FALSE(settings::readBool(ini, keys::Silence)) << "Cancel writes nothing";
    EXPECT_FALSE(settings::exists(ini, keys::RemoteCode));

    SettingsDialog dialog(ini, {SpeechVoice{QStringLiteral("en"), QStringLiteral("English")}});
    box(dialog, "Run as a system service (load at start up)")->setChecked(true);
    box(dialog, "On")->setChecked(true);
    QString error;
    ASSERT_TRUE(dialog.confirm(&error)) << qPrintable(error);
    EXPECT_TRUE(settings::readBool(ini, keys::Silence));
    EXPECT_TRUE(settings::readBool(ini, keys::StartUp));
    EXPECT_EQ(settings::readString(ini, keys::RemoteCode), "00") << "written by the first Ok";
    QFile entry(dir.filePath(QStringLiteral("config/autostart/velmora.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(" STARTUP\n"));

    box(dialog, "Run as a system service (load at start up)")->setChecked(false);
    ASSERT_TRUE(dialog.confirm(&error));
    EXPECT_FALSE(entry.exists());
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

// Mail and MQTT keep their settings in sections of their own, written with the rest.
TEST(SettingsDialog, TheMailAndMqttTabWritesItsKeys)
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    settings::writeString(ini, keys::MailFormat, QStringLiteral("wav"));
    SettingsDialog dialog(ini, {});
    box(dialog, "Send mails")->setChecked(true);
    box(dialog, "Publish the line's state and events")->setChecked(true);
    QString error;
    ASSERT_TRUE(dialog.confirm(&error)) << qPrintable(error);
    EXPECT_TRUE(settings::readBool(ini, keys::MailEnabled));
    EXPECT_TRUE(settings::readBool(ini, keys::MqttEnabled));
    EXPECT_EQ(settings::readString(ini, keys::MailFormat), QStringLiteral("wav")) << "kept as it was";
    EXPECT_EQ(settings::readInteger(ini, keys::MqttPort), 1883);
    EXPECT_EQ(settings::readString(ini, keys::MailSubject), QStringLiteral("New message from {name} {number} ({duration})"));
}

// The slider falls back to 128, and the user is told why through the error report.
TEST(SettingsDialog, AnUnreadableGainIsReportedWhenShown)
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    settings::createMissingKeys(ini);
    ini.writeString(QStringLiteral("Commands"), QStringLiteral("sTransmitGain"), QStringLiteral("at+vgt=loud"));
    SettingsDialog dialog(ini, {});
    QStringList reported;
    SettingsDialog::Links links;
    links.reportError = [&](const QString& message, const QString& line) { reported << message << line; };
    dialog.setLinks(links);
    dialog.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    EXPECT_EQ(reported, QStringList({"'loud' is not a valid integer value", "SpkVolTr.Position := StrToInt(k2);"}));
    dialog.hide();
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(reported.size(), 2) << "once a dialog";
}

} // namespace

#include "app/FormatChooser.h"
#include "audio/CodecRegistry.h"

namespace {

TEST(FormatChooser, ListsTheCodecLayersFormatsFromTheCurrentOneAndRefusesOnesThatDoNotConvert)
{
    const std::vector<TdeWaveFormat> formats = CodecRegistry::instance().formats();
    ASSERT_GT(formats.size(), 4u);
    FormatChooser chooser(QStringLiteral("Choose file compression format"), formats[2]);
    EXPECT_EQ(chooser.list()->count(), int(formats.size()));
    EXPECT_EQ(chooser.list()->currentRow(), 2);
    EXPECT_EQ(chooser.chosen().formatBuffer(), formats[2].formatBuffer());
    int converting = 0;
    for (const TdeWaveFormat& format : formats)
        converting += recordingsConvertTo(format) ? 1 : 0;
    EXPECT_EQ(converting, int(formats.size())) << "every offered format takes a recording";
    TdeWaveFormat unknown;
    unknown.setFormatTag(0x7777);
    EXPECT_FALSE(recordingsConvertTo(unknown));
}

} // namespace

#include "app/StoredLook.h"

namespace {

// Colours stored by other installations name system colours; the default
// black of the list font follows the theme's text so a dark theme stays readable.
TEST(StoredLook, SystemColoursFollowThePaletteAndFontsFallBack)
{
    QPalette dark;
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Text, QColor(240, 240, 240));
    dark.setColor(QPalette::Highlight, QColor(0, 90, 200));
    EXPECT_EQ(look::storedColor(-2147483640, dark), QColor(230, 230, 230)); // window text
    EXPECT_EQ(look::storedColor(std::numeric_limits<int>::min() + 13, dark), QColor(0, 90, 200));   // highlight
    EXPECT_EQ(look::storedColor(65280, dark), QColor(0, 255, 0));
    EXPECT_EQ(look::storedValue(QColor(1, 2, 3)), 0x030201);
    EXPECT_EQ(look::fontColor(0, dark), QColor(240, 240, 240));
    EXPECT_EQ(look::fontColor(255, dark), QColor(255, 0, 0));
    EXPECT_EQ(look::storedFont(QStringLiteral("No Such Font Family 42"), 8).family(), QApplication::font().family());
}

} // namespace
