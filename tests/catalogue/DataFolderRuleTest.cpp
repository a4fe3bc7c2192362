#include "CatalogueTestSupport.h"

#include "TestSupport.h"
#include "catalogue/DataFolder.h"
#include "config/IniFile.h"

namespace {

using DataFolderRuleTest = DataFolderTest;

TEST_F(DataFolderRuleTest, OverrideThenPortableThenXdgThenHome)
{
    const QString program = path("bin");
    QDir().mkpath(program);
    datafolder::Inputs inputs{QString(), program, QString(), "/home/someone"};
    EXPECT_EQ(datafolder::choose(inputs), "/home/someone/.local/share/Velmora");
    inputs.xdgDataHome = "relative/ignored";
    EXPECT_EQ(datafolder::choose(inputs), "/home/someone/.local/share/Velmora");
    inputs.xdgDataHome = "/xdg/data/";
    EXPECT_EQ(datafolder::choose(inputs), "/xdg/data/Velmora");

    testsupport::writeFile(program + "/vlm.ini", "[Settings]\n");
    EXPECT_EQ(datafolder::choose(inputs), program);

    inputs.overrideDir = data() + "/chosen/";
    EXPECT_EQ(datafolder::choose(inputs), data() + "/chosen");

    QString error;
    EXPECT_EQ(datafolder::prepare(data() + "/made/here", &error), data() + "/made/here");
    EXPECT_TRUE(QFileInfo(data() + "/made/here").isDir());
    testsupport::writeFile(path("file"), "x");
    EXPECT_TRUE(datafolder::prepare(path("file") + "/below", &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(DataFolderRuleTest, RecordingsFolderComesFromTheSettings)
{
    EXPECT_EQ(datafolder::recordingsFolder(data()), data() + "/wav/");
    IniFile settings(path("vlm.ini"));
    settings.writeString("Settings", "wavDir", "/srv/calls");
    EXPECT_EQ(datafolder::recordingsFolder(data()), "/srv/calls/");
    settings.writeString("settings", "WAVDIR", "calls/");
    EXPECT_EQ(datafolder::recordingsFolder(data()), data() + "/calls/");
}

} // namespace
