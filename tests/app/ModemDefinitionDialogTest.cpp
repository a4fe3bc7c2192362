#include "ModemSim.h"

#include "app/ModemDefinitionDialog.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "modem/TQVModem253.h"
#include "platform/LinuxSerialPort.h"

#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Find modems as the settings dialog runs it: the scan finds the simulated
// modem on its terminal, Ok probes it and the dialog closes with the profile
// written.
TEST(ModemDefinitionDialog, FindsAndProbesTheSimulatedModem)
{
    testsupport::ModemSim sim;
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    LinuxSerialPort port;
    TQVModem253 engine;
    engine.setSerialPort(&port);
    engine.setIniFile(&ini);
    ModemDefinitionDialog dialog({sim.devicePath()});
    dialog.setQuiet(true);
    QStringList listed;
    QTimer ok; // Ok, once the dialog shows the modems found
    QObject::connect(&ok, &QTimer::timeout, &dialog, [&] {
        if (!dialog.isVisible() || !listed.isEmpty())
            return;
        for (int i = 0; i < dialog.modems()->count(); ++i)
            listed << dialog.modems()->item(i)->text();
        dialog.probeSelected();
    });
    ok.start(50);
    QTimer::singleShot(60000, &dialog, &QDialog::reject); // never hangs the run
    engine.setDefinitionView(&dialog);
    engine.DefineModem();
    engine.setDefinitionView(nullptr);

    ASSERT_FALSE(listed.isEmpty()) << qPrintable(dialog.messages().join(QLatin1Char('\n')));
    EXPECT_TRUE(dialog.messages().isEmpty()) << qPrintable(dialog.messages().join(QLatin1Char('\n')));
    EXPECT_TRUE(settings::readBool(ini, keys::Voicefeatures));
    EXPECT_TRUE(ini.sectionExists(QStringLiteral("Commands")));
    EXPECT_FALSE(port.isOpen());
}

} // namespace
