#include "CliCommand.h"

#include "catalogue/DataFolder.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "platform/SerialAccess.h"
#include "platform/SerialOpenError.h"
#include "platform/SerialPortEnumerator.h"
#include "platform/SoundBackend.h"
#include "platform/SpeechSynthesizer.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Below this a day of messages may not fit; below the warning level a busy week.
constexpr qint64 MinFreeBytes = 50LL << 20;
constexpr qint64 WarnFreeBytes = 500LL << 20;

enum class Status { Ok, Warn, Fail };

struct Check
{
    Status status;
    QString name;
    QString text;
};

struct Facts
{
    QString dataFolder;
    QString device; // the port in use: --port, else the probed one; may be empty
    QList<SerialPortInfo> ports;
    QStringList ignoreRules;
    bool modemManager = false;
};

Check groupCheck(const Facts& facts)
{
    // A device this user may already use (a simulator's terminal is the user's own) needs no group.
    const QByteArray device = facts.device.toLocal8Bit();
    if (!device.isEmpty() && ::access(device.constData(), R_OK | W_OK) == 0)
        return {Status::Ok, QStringLiteral("group"), QStringLiteral("you may read and write %1").arg(facts.device)};
    const QString group = facts.device.isEmpty() ? SerialGroup : deviceGroup(facts.device);
    const UserGroups user = currentUserGroups();
    const GroupMembership membership = groupMembership(group, user);
    if (membership.inSession)
        return {Status::Ok, QStringLiteral("group"),
                user.root ? QStringLiteral("running as root") : QStringLiteral("you are in the group '%1'").arg(group)};
    return {Status::Fail, QStringLiteral("group"), permissionAdvice(group, membership, user.user)};
}

Check ruleCheck(const Facts& facts)
{
    if (!facts.ignoreRules.isEmpty())
        return {Status::Ok, QStringLiteral("udev-rule"),
                QStringLiteral("%1 keeps ModemManager away from voice modems").arg(facts.ignoreRules.join(QStringLiteral(", ")))};
    return {Status::Fail, QStringLiteral("udev-rule"),
            QStringLiteral("no udev rule keeps ModemManager away from voice modems: install the velmora package "
                           "(it brings %1), then run sudo udevadm control --reload-rules && sudo udevadm trigger")
                .arg(InstalledUdevRule)};
}

Check modemManagerCheck(const Facts& facts)
{
    const QString name = QStringLiteral("modemmanager");
    if (!facts.modemManager)
        return {Status::Ok, name, QStringLiteral("ModemManager is not running")};
    if (facts.device.isEmpty())
        return {Status::Warn, name, QStringLiteral("ModemManager is running: make sure the udev rule covers your modem "
                                                   "(velmora-cli --port DEVICE doctor tells)")};
    if (modemManagerIgnores(facts.device))
        return {Status::Ok, name, QStringLiteral("ModemManager is running and leaves %1 alone").arg(facts.device)};
    const QString usbId = usbIdOf(facts.device);
    if (usbId.isEmpty())
        return {Status::Warn, name, QStringLiteral("ModemManager is running and may probe %1; if the modem answers "
                                                   "late or oddly, stop it: sudo systemctl disable --now ModemManager")
                                        .arg(facts.device)};
    return {Status::Fail, name,
            QStringLiteral("ModemManager is running and may take %1 (USB %2): add the line '%3' to %4, run "
                           "sudo udevadm control --reload-rules && sudo udevadm trigger and plug the modem in "
                           "again; or stop it: sudo systemctl disable --now ModemManager")
                .arg(facts.device, usbId, udevRuleLine(usbId), LocalUdevRule)};
}

Check portsCheck(const Facts& facts)
{
    if (facts.ports.isEmpty())
        return {Status::Fail, QStringLiteral("ports"),
                QStringLiteral("no serial port found: plug the modem in (USB modems appear as /dev/ttyACM0); "
                               "sudo dmesg shows whether the system saw it")};
    QStringList found;
    for (const SerialPortInfo& p : facts.ports)
        found << (p.description.isEmpty() ? p.path : QStringLiteral("%1 (%2)").arg(p.path, p.description));
    return {Status::Ok, QStringLiteral("ports"), found.join(QStringLiteral(", "))};
}

Check portCheck(const Facts& facts)
{
    if (facts.device.isEmpty())
        return {Status::Warn, QStringLiteral("port"),
                QStringLiteral("no port chosen yet: velmora-cli probe finds the modem (or give --port DEVICE)")};
    const QString problem = serialAccessProblem(facts.device);
    if (problem.isEmpty())
        return {Status::Ok, QStringLiteral("port"), QStringLiteral("%1 opens").arg(facts.device)};
    // The service or the desktop program holding it is how it should be.
    const QStringList holders = deviceHolders(facts.device);
    const bool velmora = !holders.isEmpty() && std::all_of(holders.cbegin(), holders.cend(), [](const QString& h) {
        return h == QLatin1String("velmora") || h == QLatin1String("velmora-cli");
    });
    if (problem.contains(QLatin1String("in use by another program")) && velmora)
        return {Status::Ok, QStringLiteral("port"), QStringLiteral("%1 is in use by Velmora").arg(facts.device)};
    return {Status::Fail, QStringLiteral("port"), problem};
}

Check profileCheck(const Facts& facts)
{
    const IniFile ini(facts.dataFolder + QLatin1Char('/') + datafolder::SettingsFileName);
    if (!ini.sectionExists(sections::Commands))
        return {Status::Fail, QStringLiteral("profile"),
                QStringLiteral("no modem has been probed for %1: run velmora-cli probe").arg(facts.dataFolder)};
    const QString model = settings::readString(ini, keys::Model).simplified().left(80);
    if (!settings::readBool(ini, keys::Voicefeatures))
        return {Status::Fail, QStringLiteral("profile"),
                QStringLiteral("the probed modem (%1) cannot record: it has no voice commands; a voice modem is "
                               "needed").arg(model)};
    return {Status::Ok, QStringLiteral("profile"),
            QStringLiteral("%1 on %2").arg(model, settings::readString(ini, keys::PortName).trimmed())};
}

Check speechCheck()
{
    const std::unique_ptr<SpeechSynthesizer> engine = createEspeakSynthesizer();
    QString error;
    if (engine && engine->start(error)) {
        const size_t voices = engine->voices().size();
        if (voices > 0)
            return {Status::Ok, QStringLiteral("speech"), QStringLiteral("espeak-ng with %1 voices").arg(voices)};
        error = QStringLiteral("espeak-ng has no voices");
    }
    return {Status::Fail, QStringLiteral("speech"),
            error + QStringLiteral(": greetings are not spoken; sudo apt install espeak-ng")};
}

Check soundCheck()
{
    int cards = 0;
    for (const SoundDevice& d : soundDevices())
        cards += d.backend->isReal() ? 1 : 0;
    if (cards > 0)
        return {Status::Ok, QStringLiteral("sound"), QStringLiteral("%1 sound devices").arg(cards)};
    return {Status::Warn, QStringLiteral("sound"),
            QStringLiteral("no sound card: recordings play on the virtual device only (calls are not affected); "
                           "for a USB headset or speakers, check that you are in the group 'audio' or logged in "
                           "at the seat")};
}

Check diskCheck(const Facts& facts)
{
    // A data folder not made yet will be made on the disk of its nearest existing parent.
    QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(facts.dataFolder));
    while (!QFileInfo::exists(folder) && folder != QLatin1String("/"))
        folder = QFileInfo(folder).path();
    // statvfs rather than QStorageInfo: that one needs the mount table, which a chroot lacks.
    struct statvfs fs{};
    const qint64 free = ::statvfs(folder.toLocal8Bit().constData(), &fs) == 0 ? qint64(fs.f_bavail) * qint64(fs.f_frsize)
                                                                              : -1;
    const QString text = QStringLiteral("%1 MB free for %2").arg(free >> 20).arg(facts.dataFolder);
    if (free < 0)
        return {Status::Fail, QStringLiteral("disk"), QStringLiteral("cannot tell the free space for %1").arg(facts.dataFolder)};
    if (free < MinFreeBytes)
        return {Status::Fail, QStringLiteral("disk"), text + QStringLiteral(": recordings stop when it is full; "
                                                                           "free some space")};
    if (free < WarnFreeBytes)
        return {Status::Warn, QStringLiteral("disk"), text + QStringLiteral(": about a minute of call takes 0.5 MB")};
    return {Status::Ok, QStringLiteral("disk"), text};
}

QString probedDevice(const QString& dataFolder)
{
    const IniFile ini(dataFolder + QLatin1Char('/') + datafolder::SettingsFileName);
    return settings::readString(ini, keys::PortName).trimmed();
}

// Paths and the model come from the settings file and the system: never let them steer the terminal.
QString printable(QString text)
{
    for (QChar& c : text)
        c = c.isPrint() ? c : QLatin1Char('?');
    return text;
}

const char* statusText(Status s)
{
    return s == Status::Ok ? "ok" : s == Status::Warn ? "warn" : "FAIL";
}

int runDoctor(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList rest;
    if (!args.positional(0, 0, rest))
        return cliUsageError(ctx, QStringLiteral("doctor"), args.error());
    Facts facts;
    facts.dataFolder = datafolder::choose(datafolder::currentInputs(ctx.dataDir));
    facts.device = ctx.port.isEmpty() ? probedDevice(facts.dataFolder) : ctx.port;
    facts.ports = enumerateSerialPorts(facts.device.isEmpty() ? QStringList() : QStringList{facts.device});
    facts.ignoreRules = modemManagerIgnoreRules();
    facts.modemManager = modemManagerRunning();
    const Check checks[] = {groupCheck(facts), ruleCheck(facts), modemManagerCheck(facts), portsCheck(facts),
                            portCheck(facts),  profileCheck(facts), speechCheck(), soundCheck(), diskCheck(facts)};
    bool failed = false;
    for (const Check& c : checks) {
        ctx.out << statusText(c.status) << '\t' << c.name << '\t' << printable(c.text) << '\n';
        failed = failed || c.status == Status::Fail;
    }
    return failed ? 1 : 0;
}

CliCommandRegistrar doctor({QStringLiteral("doctor"), QString(),
                            QStringLiteral("check what Velmora needs (serial group, udev rule, ModemManager, ports, "
                                           "the probed modem, espeak-ng, sound devices, free disk) and print one "
                                           "line per check, STATUS<TAB>CHECK<TAB>WHAT TO DO; exit 1 when one fails"),
                            &runDoctor});

} // namespace
