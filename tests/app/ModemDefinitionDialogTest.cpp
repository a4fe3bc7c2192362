#include "ModemSim.h"

#include "app/MainWindow.h"
#include "app/ModemDefinitionDialog.h"
#include "calls/CallService.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "modem/TQVModem253.h"
#include "platform/LinuxSerialPort.h"

#include <QApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QTemporaryDir>
#include <QElapsedTimer>
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

// In the window of a data folder without a modem: the modem found is probed
// and bound, and the call handling runs on it.
TEST(ModemDefinitionDialog, FindModemsStartsTheCallHandlingOnTheModemFound)
{
    testsupport::ModemSim sim;
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    QTemporaryDir dir;
    LinuxSerialPort port;
    port.setDeviceName(sim.devicePath());
    CallService service({dir.path(), &port, nullptr, nullptr});
    ASSERT_TRUE(service.open(nullptr));
    MainWindow window(service);
    service.setView(&window);
    window.show();
    ASSERT_EQ(service.startCalls(), CallService::Start::NoModem);
    window.callsStarted(false, QString());

    bool pressed = false;
    QTimer ok;
    QObject::connect(&ok, &QTimer::timeout, &window, [&] {
        auto* dialog = qobject_cast<ModemDefinitionDialog*>(QApplication::activeModalWidget());
        if (!dialog || pressed || dialog->modems()->count() == 0)
            return;
        pressed = true;
        dialog->setQuiet(true);
        dialog->probeSelected();
    });
    ok.start(50);
    window.findModems();
    ok.stop();
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(settings::readBool(service.ini(), keys::Voicefeatures));
    QElapsedTimer t;
    t.start();
    while (!service.engine().portIsOpen() && t.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(service.engine().portIsOpen());

    // Again on the bound modem: released for the scan, bound again after it.
    pressed = false;
    ok.start(50);
    window.findModems();
    ok.stop();
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(service.engine().portIsOpen());

    // Options, Diagnostics on the bound modem: the log, and the modem taken back.
    EXPECT_TRUE(window.runDiagnostics());
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("Diagnostics.log"))));
    EXPECT_TRUE(service.engine().portIsOpen());
    EXPECT_TRUE(sim.waitForLog(QStringLiteral("host: at+FMR?"))) << "the last question";
    window.setExitRequested(true);
    window.close();
    service.shutDown();
}

} // namespace
