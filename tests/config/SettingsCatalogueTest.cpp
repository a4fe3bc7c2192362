#include "TestSupport.h"

#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "config/VoiceChoice.h"

#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QSet<QString> names(const std::vector<const settings::Key*>& list)
{
    QSet<QString> out;
    for (const settings::Key* k : list)
        out.insert(k->section + QLatin1Char('/') + k->name.trimmed());
    return out;
}

// What a first start writes, as the settings documentation lists it, and
// nothing else: not RemoteCode, Compression, Volume or the window bounds.
TEST(SettingsCatalogue, FirstStartCreatesExactlyTheCreationList)
{
    QSet<QString> expected = {
        "Settings/AutoRecord", "Settings/DiscTime", "Settings/Silence", "Settings/Periodic", "Settings/Cadence",
        "Settings/Answering Machine", "Settings/amRings", "Settings/chkBeep", "Settings/MsgTime",
        "Settings/MaxMsgEnable", "Settings/hangupSeq", "Settings/TTSvoice", "Settings/TTSvolume",
        "Settings/CallerID", "Settings/wavDir", "Settings/StartUp", "Settings/ShowHints", "Monitor/PlayTrace",
        "Monitor/RecordTrace", "Monitor/Points", "Monitor/BackColor", "Monitor/TraceColor", "Fonts/FontName",
        "Fonts/FontSize", "Fonts/FontColor", "File compression/Desc", "File compression/Bin", "Modem/Timeout"};
    for (const char* period : {"DefaultSchedule", "FirstSchedule", "SecordSchedule", "ThirdSchedule"})
        for (const char* field : {"prdEn", "prdFrom", "prdTo", "prdMsgType", "prdWav", "prdTTS"})
            expected.insert(QStringLiteral("%1/%2").arg(QLatin1String(period), QLatin1String(field)));

    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    EXPECT_EQ(names(settings::createMissingKeys(ini)), expected);
    QSet<QString> inFile;
    for (const QString& section : ini.readSections())
        for (const QString& key : ini.readSection(section))
            inFile.insert(section + QLatin1Char('/') + key.trimmed());
    EXPECT_EQ(inFile, expected);
    EXPECT_TRUE(settings::createMissingKeys(ini).empty()); // nothing twice

    EXPECT_EQ(ini.readString(QStringLiteral("Fonts"), QStringLiteral("FontName"), {}), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(settings::readTime(ini, settings::periodKey(settings::Period::Default, settings::PeriodField::To)),
              QTime(23, 59, 59));
    EXPECT_EQ(settings::readTime(ini, settings::periodKey(settings::Period::Third, settings::PeriodField::From)),
              QTime(9, 0));
    EXPECT_EQ(settings::readString(ini, keys::WavDir), dir.path() + QStringLiteral("/wav/"));
    EXPECT_TRUE(settings::readBool(ini, keys::CallerID));
}

TEST(SettingsCatalogue, CallerIdIsCreatedOnWhenTheProbeFoundItsCommand)
{
    for (const auto& [command, created] : {std::pair{"at+vcid=1", true}, std::pair{" ", false}}) {
        QTemporaryDir dir;
        IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
        ini.writeString(QStringLiteral("Commands"), QStringLiteral("sFCallerID"), QLatin1String(command));
        settings::createMissingKeys(ini);
        EXPECT_EQ(settings::readBool(ini, keys::CallerID), created) << command;
    }
}

TEST(SettingsCatalogue, MissingKeysReadAsTheirDefaultsAndNamesMatchLoosely)
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    EXPECT_EQ(settings::readInteger(ini, keys::AmRings), 4);
    EXPECT_EQ(settings::readString(ini, keys::HangupSeq), QStringLiteral("#0"));
    EXPECT_EQ(settings::readString(ini, keys::FontName), QStringLiteral("tahoma")); // not the created value
    EXPECT_TRUE(settings::readBool(ini, keys::CallProgress));
    EXPECT_EQ(settings::readBinary(ini, keys::FileCompressionBin).value_or(QByteArray()).left(4),
              QByteArray::fromHex("01000100")) << "PCM mono, what recordings are written in";
    EXPECT_EQ(settings::readInteger(ini, keys::Port, 7), 7);
    EXPECT_EQ(settings::readString(ini, settings::commandKey(8)), QStringLiteral("at+vls=0")); // sOnHook

    EXPECT_EQ(settings::find(QStringLiteral(" modem "), QStringLiteral("VGRMAX")), &keys::VgrMax);
    EXPECT_EQ(settings::find(QStringLiteral("Modem"), QStringLiteral("voiceFeatures")), &keys::Voicefeatures);
    EXPECT_EQ(settings::find(QStringLiteral("ModemInitString"), QStringLiteral("st10")), &settings::initStringKey(10));
    EXPECT_EQ(settings::find(QStringLiteral("Modem"), QStringLiteral("st1")), nullptr);

    // Every key once, and every default a value of its own type.
    QSet<QString> seen;
    for (const settings::Key* k : settings::all()) {
        const QString name = k->section.toLower() + QLatin1Char('/') + k->name.trimmed().toLower();
        EXPECT_FALSE(seen.contains(name)) << qPrintable(name);
        seen.insert(name);
        if (!k->fallback.isEmpty() || k->type != settings::Type::Binary)
            EXPECT_TRUE(k->type == settings::Type::String || settings::acceptsText(*k, k->fallback)) << qPrintable(name);
    }
}

testsupport::ProcessResult cli(const QString& data, const QStringList& args)
{
    return testsupport::run(QStringLiteral(VELMORA_CLI), QStringList{QStringLiteral("--data-dir"), data} + args);
}

// An index stored without its voice's id gets the id once, so the voice
// stays the same when more voices are installed.
TEST(SettingsCatalogue, AVoiceIndexWithoutItsIdIsGivenTheId)
{
    const QStringList ids = {"gmw/af", "sem/am", "gmw/en"};
    const struct
    {
        const char* file;
        bool written;
        const char* id;
    } cases[] = {
        {"[Settings]\nTTSvoice=2\n", true, "gmw/en"},
        {"[Settings]\nTTSvoice=0\n", false, ""},          // what every new file holds
        {"[Settings]\nTTSvoice=7\n", false, ""},          // no such voice here
        {"[Settings]\nTTSvoice=2\nTTSvoiceId=sem/am\n", false, "sem/am"},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        QTemporaryDir dir;
        testsupport::writeFile(dir.filePath(QStringLiteral("vlm.ini")), c.file);
        IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
        EXPECT_EQ(settings::adoptVoiceIndex(ini, ids), c.written);
        const IniFile reread(ini.fileName());
        EXPECT_EQ(settings::readString(reread, keys::TTSvoiceId), QLatin1String(c.id));
    }
}

// A value out of range made the detector ask for gigabytes and the message
// timer fire during the answer.
TEST(SettingsCatalogue, EveryNumberHasARangeEnforcedOnReadSetAndSave)
{
    for (const settings::Key* k : settings::all())
        if (k->type == settings::Type::Integer) {
            EXPECT_TRUE(k->minimum > std::numeric_limits<int>::min() || k->maximum < std::numeric_limits<int>::max())
                << qPrintable(k->name);
            EXPECT_TRUE(settings::acceptsText(*k, k->fallback)) << qPrintable(k->name);
        }

    QTemporaryDir dir;
    const QString data = dir.path();
    struct Case
    {
        const settings::Key& key;
        const char* stored;
        int read;
    };
    const Case cases[] = {{keys::DiscTime, "2147483647", 10}, {keys::DiscTime, "30", 30}, {keys::DiscTime, "0", 10},
                          {keys::MsgTime, "0", 20},           {keys::MsgTime, "-5", 20},  {keys::MsgTime, "2100000", 20},
                          {keys::MsgTime, "1000", 1000},      {keys::AmRings, "1", 4},    {keys::Points, "0x7FFFFFFF", 3}};
    for (const Case& c : cases) {
        const QString text = QString::fromLatin1(c.stored);
        const bool fits = settings::acceptsText(c.key, text);
        EXPECT_EQ(cli(data, {"set", c.key.section, c.key.name.trimmed(), text}).exitCode, fits ? 0 : 1) << c.stored;
        IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
        ini.writeString(c.key.section, c.key.name, text);
        EXPECT_EQ(settings::readInteger(ini, c.key), c.read) << qPrintable(c.key.name) << ' ' << c.stored;
        settings::writeInteger(ini, c.key, text.toInt());
        EXPECT_TRUE(c.key.inRange(ini.readInteger(c.key.section, c.key.name, 0))) << "saved as it came";
    }
}

TEST(SettingsCommands, ListGetAndSetCheckedAgainstTheTable)
{
    QTemporaryDir dir;
    const QString data = dir.path();
    const auto list = cli(data, {QStringLiteral("settings")});
    ASSERT_EQ(list.exitCode, 0);
    const QStringList lines = QString::fromUtf8(list.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), qsizetype(settings::all().size()));
    EXPECT_TRUE(lines.contains(QStringLiteral("Settings\tamRings\t4\t4")));

    EXPECT_EQ(cli(data, {"get", "settings", "AMRINGS"}).out, "4\n"); // missing: the default
    EXPECT_EQ(cli(data, {"set", "Settings", "amRings", "six"}).exitCode, 1);
    EXPECT_EQ(cli(data, {"set", "Settings", "amRings", "6"}).exitCode, 0);
    EXPECT_EQ(cli(data, {"set", "Settings", "AutoRecord", "no"}).exitCode, 0);
    EXPECT_EQ(cli(data, {"set", "FirstSchedule", "prdFrom", "8:30"}).exitCode, 0);
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    EXPECT_EQ(settings::readInteger(ini, keys::AmRings), 6);
    EXPECT_EQ(ini.readString(QStringLiteral("Settings"), QStringLiteral("AutoRecord"), {}), QStringLiteral("0"));
    EXPECT_EQ(ini.readString(QStringLiteral("FirstSchedule"), QStringLiteral("prdFrom"), {}), QStringLiteral("08:30:00"));

    const auto unknown = cli(data, {"set", "Vendor", "Init", "AT!4886=00"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains("--force")) << unknown.err.constData();
    EXPECT_EQ(cli(data, {"get", "Vendor", "Init"}).exitCode, 1);
    EXPECT_EQ(cli(data, {"set", "Vendor", "Init", "AT!4886=00", "--force"}).exitCode, 0);
    EXPECT_EQ(cli(data, {"get", "Vendor", "Init"}).out, "AT!4886=00\n");
}

} // namespace
