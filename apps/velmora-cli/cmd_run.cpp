#include "CliCommand.h"
#include "platform/InterruptScope.h"

#include "calls/CallService.h"
#include "calls/EventLog.h"
#include "calls/TextRecordingView.h"
#include "catalogue/Catalogue.h"
#include "catalogue/DataFolder.h"
#include "config/CurrentSettings.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "core/StreamTextSink.h"
#include "mqtt/MqttNews.h"
#include "notify/MessageMail.h"
#include "notify/PasswordFile.h"
#include "platform/LinuxSerialPort.h"
#include "platform/SystemdNotify.h"
#include "web/WebService.h"

#include <QEventLoop>

namespace {

constexpr int MinRemoteCodeDigits = 4;

// The device: --port, else the settings' PortName, else the port number the
// profile gives when the modem is bound.
QString deviceFor(const CliContext& ctx, const QString& dataFolder)
{
    if (!ctx.port.isEmpty())
        return ctx.port;
    const IniFile ini(dataFolder + QLatin1Char('/') + datafolder::SettingsFileName);
    return settings::readString(ini, keys::PortName).trimmed();
}

// A file read at once: nothing slow happens on the call handling's thread.
void startMail(MessageMail& mail, CallService& service)
{
    QObject::connect(&mail, &MessageMail::passwordNeeded, &mail, [&service] {
        service.log().LogEvent(QStringLiteral("<ERROR> Mail waits for a password: set [MessageMail] PasswordFile"));
    });
    const QString passwordFile = settings::readString(service.ini(), keys::MailPasswordFile).trimmed();
    QString password, error;
    if (!passwordFile.isEmpty() && !passwordfile::read(passwordFile, &password, &error))
        service.log().LogEvent(QStringLiteral("<ERROR> ") + error);
    mail.setPassword(password);
    mail.start({});
}

void startMqtt(MqttNews& mqtt, CallService& service)
{
    const QString passwordFile = settings::readString(service.ini(), keys::MqttPasswordFile).trimmed();
    QString password, error;
    if (!passwordFile.isEmpty() && !passwordfile::read(passwordFile, &password, &error))
        service.log().LogEvent(QStringLiteral("<ERROR> ") + error);
    mqtt.start(password);
}

// The call handling, headless: as the desktop program runs it, with the
// event log and what the window would show on stdout.
int runRun(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList rest;
    if (!args.positional(0, 0, rest))
        return cliUsageError(ctx, QStringLiteral("run"), args.error());
    QString error;
    const QString dataFolder = datafolder::prepare(ctx.dataDir, &error);
    if (dataFolder.isEmpty()) {
        ctx.err << "velmora-cli run: " << error << "\n";
        return 1;
    }
    InterruptScope interrupts;
    StreamTextSink out(ctx.out);
    TextRecordingView view(out);
    LinuxSerialPort port;
    port.setDeviceName(deviceFor(ctx, dataFolder));
    CallService service({dataFolder, &port, &view, nullptr});
    service.log().addMirror(&out);
    switch (service.start(&error)) {
    case CallService::Start::Failed:
        ctx.err << "velmora-cli run: " << error << "\n";
        return 1;
    case CallService::Start::NoModem:
        ctx.err << "velmora-cli run: no modem has been set up in " << dataFolder
                << "; run velmora-cli probe first\n";
        service.log().endSession();
        return 1;
    case CallService::Start::Ready:
        break;
    }
    const CallSettings& settings = service.settings().values();
    if (settings.answeringMachine && settings.remoteCode.size() < MinRemoteCodeDigits)
        ctx.err << "velmora-cli run: warning: the remote code \"" << settings.remoteCode << "\" has fewer than "
                << MinRemoteCodeDigits << " digits; anyone who calls could listen to the messages "
                << "(velmora-cli set Settings RemoteCode NNNN)\n";
    MessageMail mail({service.news(), service.ini(), service.log(), dataFolder, service.catalogue().recordingsFolder()});
    startMail(mail, service);
    MqttNews mqtt({service.news(), service.ini(), service.log()});
    startMqtt(mqtt, service);
    WebService web(service);
    if (!web.start(&error))
        ctx.err << "velmora-cli run: the web interface is off: " << error << "\n";
    SystemdService systemd; // under systemd: ready now, then alive while the loop turns
    systemd.ready(QStringLiteral("handling calls for ") + dataFolder);
    QEventLoop loop;
    interrupts.whenInterrupted(&loop, [&loop] { loop.quit(); });
    loop.exec();
    web.stop();
    service.shutDown();
    return 0;
}

CliCommandRegistrar run({QStringLiteral("run"), QString(),
                         QStringLiteral("handle calls as the desktop program does (record calls picked up on a "
                                        "handset, answer with a greeting and record messages, remote access, "
                                        "catalogue them), logging to Events.log and stdout, until Ctrl+C "
                                        "or SIGTERM"),
                         &runRun});

} // namespace
