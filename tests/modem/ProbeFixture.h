#pragma once

#include "EngineFixture.h"
#include "ScriptedModem.h"

#include "modem/ModemDefinition.h"
#include "modem/ModemDefinitionView.h"
#include "modem/TQModems.h"

#include <QSet>

// A value of the settings file, "<missing>" when the key is not there.
inline QString settingOf(const IniFile& ini, const char* section, const char* key)
{
    return ini.readString(QLatin1String(section), QLatin1String(key), QStringLiteral("<missing>"));
}

// A fake device per path for the port the discovery opens first: paths in
// `missing` cannot be opened, paths in `answering` answer AT with OK.
class DevicePort : public FakeSerialPort
{
public:
    DevicePort(QSet<QString> missing, QSet<QString> answering)
        : m_missing(std::move(missing)), m_answering(std::move(answering))
    {
        setWriteHook([this](const QByteArray& bytes) {
            if (bytes == "AT\r\n" && m_answering.contains(deviceName()))
                deliver("AT\r\r\nOK\r\n");
        });
    }

protected:
    void doOpen() override
    {
        if (m_missing.contains(deviceName()))
            throw SerialPortError(QStringLiteral("Cannot open serial port %1: the device does not exist.")
                                      .arg(deviceName())
                                      .toStdString());
        FakeSerialPort::doOpen();
    }

private:
    QSet<QString> m_missing;
    QSet<QString> m_answering;
};

// What a dialog would show, recorded.
class RecordingView : public ModemDefinitionView
{
public:
    void execModal(ModemDefinition& definition) override
    {
        ++shown;
        definition.ProbeModem();
    }
    void showMessage(const QString& text) override { messages.append(text); }
    void ShowErrorReport(const QString& message, const QString& line) override { reports.append({message, line}); }
    void setModemList(const QStringList& models) override { list = models; }
    void setBusy(bool on) override { busy.append(on); }
    void setControlsEnabled(bool on) override { enabled.append(on); }
    void showGauge(bool visible) override { gaugeShown.append(visible); }
    void setGauge(int percent) override
    {
        gauge.append(percent);
        if (onGauge)
            onGauge(percent);
    }
    void closeDialog() override { ++closed; }
    void configureDiscovery(TQModems& modems) override
    {
        if (configure)
            configure(modems);
    }
    void showProgress(const QString& text) override { progress.append(text); }
    void setProgress(int percent) override { progress.append(QString::number(percent)); }
    void closeProgress() override { progress.append(QStringLiteral("closed")); }

    int shown = 0;
    int closed = 0;
    QStringList messages;
    QList<std::pair<QString, QString>> reports;
    QStringList list;
    QList<bool> busy;
    QList<bool> enabled;
    QList<bool> gaugeShown;
    QList<int> gauge;
    QStringList progress;
    std::function<void(TQModems&)> configure;
    std::function<void(int)> onGauge;
};

// The engine on a fake port with a scripted modem behind it, and a
// discovery whose first port is fake too and whose waits do not sleep.
class ProbeTest : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        modem = std::make_unique<ScriptedModem>(port);
        view.configure = [this](TQModems& modems) { setUpDiscovery(modems); };
    }

    void setUpDiscovery(TQModems& modems)
    {
        modems.setCandidatePorts(candidates);
        modems.setPortFactory([this] { return std::make_unique<DevicePort>(missing, answering); });
        modems.setTickWait([](int) { settle(); });
    }

    // The modem of a generic V.253 voice modem, on /dev/fake0 as port 2.
    void scriptVoiceModem()
    {
        candidates = {{2, QStringLiteral("/dev/fake0"), QString()}};
        answering = {QStringLiteral("/dev/fake0")};
        for (const char* ok : {"at", "atE0", "at+fclass=8", "at+vls=0", "at+vtd=10", "at+ifc=1", "at+vit=0",
                               "at+vra=50", "at+vrn=10", "at+vsd=0,0", "at+vdr=0,0", "at+vdt=0,0",
                               "at+vbt=256,896", "at+vpp=0", "at+ipr=0", "at+vrid=1", "at+vrid=0", "at+vcid=0",
                               "at+vcid=1", "at+vcid=2", "at+vsp=0", "at+vsp=1"})
            modem->answer(QLatin1String(ok));
        modem->answer(QStringLiteral("AT+GMM?"), "\r\n+GMM: Test Voice Modem\r\n");
        modem->answer(QStringLiteral("at+vsm=?"),
                      "\r\n+VSM: 132,\"ALAW\",8,0,(8000),(0),(0)\r\n"
                      "+VSM: 128,\"8-BIT LINEAR\",8,0,(7200,8000,11025),(0),(0)\r\n"
                      "+VSM: 140,\"CELP\",0,0,(8000),(0),(0)\r\n"
                      "+VSM: 133,\"IMA ADPCM\",4,0,(7200,8000,11025),(0),(0)\r\n");
        modem->answer(QStringLiteral("at+vls=?"), "\r\n0,\"\",00000000,00000000,00000000\r\n"
                                                  "1,\"T\",00000000,00000000,00000000\r\n"
                                                  "2,\"L\",00000000,00000000,00000000\r\n"
                                                  "5,\"ST\",00000000,00000000,00000000\r\n");
        modem->answer(QStringLiteral("at+VGR=?"), "\r\n+VGR: (0,128-255)\r\n");
        modem->answer(QStringLiteral("at+VGT=?"), "\r\n+VGT: (122-134)\r\n\r\n");
        modem->answer(QStringLiteral("at+VGM=?"), "\r\n(0-255)\r\n");
    }

    QString setting(const char* section, const char* key) const { return settingOf(*ini, section, key); }

    // Lists the modems and probes the first, as the dialog's Ok would.
    void probe()
    {
        definition.SetEngine(&engine);
        ASSERT_TRUE(definition.ListModems());
        modem->clearCommands();
        definition.select(0);
        definition.ProbeModem();
    }

    std::unique_ptr<ScriptedModem> modem;
    RecordingView view;
    ModemDefinition definition{view};
    QList<SerialPortInfo> candidates;
    QSet<QString> missing;
    QSet<QString> answering;
};
