#include "SerialAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace {

// Group files can be large, but a line of one is not.
constexpr qint64 MaxLine = 64 * 1024;

bool validName(const QString& name)
{
    return !name.isEmpty() && name.size() <= 64 && !name.contains(QLatin1Char('/'))
           && !name.contains(QLatin1Char(':')) && name != QLatin1String(".") && name != QLatin1String("..");
}

QString firstLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readLine(256)).trimmed();
}

} // namespace

UserGroups currentUserGroups()
{
    UserGroups user;
    user.root = ::geteuid() == 0;
    if (const passwd* pw = ::getpwuid(::getuid())) {
        user.user = QString::fromLocal8Bit(pw->pw_name);
        user.primaryGid = pw->pw_gid;
    }
    if (user.user.isEmpty())
        user.user = qEnvironmentVariable("USER");
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> gids(static_cast<size_t>(count));
        const int got = ::getgroups(count, gids.data());
        for (int i = 0; i < got; ++i)
            user.sessionGids << uint(gids[size_t(i)]);
    }
    user.sessionGids << uint(::getegid());
    return user;
}

GroupMembership groupMembership(const QString& group, const UserGroups& user, const QString& groupFile)
{
    GroupMembership result;
    QFile file(groupFile);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    while (!file.atEnd()) {
        const QStringList fields = QString::fromLocal8Bit(file.readLine(MaxLine)).trimmed().split(QLatin1Char(':'));
        if (fields.size() != 4 || fields[0] != group)
            continue;
        bool ok = false;
        const uint gid = fields[2].toUInt(&ok);
        if (!ok)
            continue;
        result.groupExists = true;
        result.listed = gid == user.primaryGid || fields[3].split(QLatin1Char(',')).contains(user.user);
        result.inSession = user.root || user.sessionGids.contains(gid);
        break;
    }
    return result;
}

QString deviceGroup(const QString& device)
{
    struct stat st{};
    if (::stat(device.toLocal8Bit().constData(), &st) != 0)
        return SerialGroup;
    const group* gr = ::getgrgid(st.st_gid);
    const QString name = gr ? QString::fromLocal8Bit(gr->gr_name) : QString();
    // root owns devices no rule has given a group: the serial group is still the way in.
    return validName(name) && name != QLatin1String("root") ? name : SerialGroup;
}

QString permissionAdvice(const QString& group, const GroupMembership& membership, const QString& user)
{
    if (!membership.groupExists)
        return QStringLiteral("The group '%1' does not exist here; ask the administrator to give your user "
                              "read and write access to the device.")
            .arg(group);
    if (membership.listed && !membership.inSession)
        return QStringLiteral("Your user %1 is in the group '%2', but this login began before it was added: "
                              "log out and in again (or restart the computer) so that it counts.")
            .arg(user, group);
    if (membership.inSession)
        return QStringLiteral("You are in the group '%1' and still may not use the device: check its "
                              "permissions (ls -l); the udev rule installed with Velmora (%2) gives the "
                              "group read and write access.")
            .arg(group, InstalledUdevRule);
    return QStringLiteral("Add your user to the group '%1': sudo usermod -aG %1 %2 - then log out and in again "
                          "(the group counts from a new login on).")
        .arg(group, user);
}

bool processRunning(const QString& command, const QString& procRoot)
{
    const QStringList pids = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        bool numeric = false;
        const uint number = pid.toUInt(&numeric);
        if (numeric && number != uint(::getpid()) && firstLine(procRoot + QLatin1Char('/') + pid + QStringLiteral("/comm")) == command)
            return true;
    }
    return false;
}

bool modemManagerRunning(const QString& procRoot)
{
    return processRunning(QStringLiteral("ModemManager"), procRoot);
}

QStringList deviceHolders(const QString& device, const QString& procRoot)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    QStringList holders;
    if (target.isEmpty())
        return holders;
    for (const QString& pid : QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const uint number = pid.toUInt(&numeric);
        if (!numeric || number == uint(::getpid()))
            continue;
        const QString fds = procRoot + QLatin1Char('/') + pid + QStringLiteral("/fd");
        for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == target) {
                holders << firstLine(procRoot + QLatin1Char('/') + pid + QStringLiteral("/comm"));
                break;
            }
        }
    }
    holders.removeDuplicates();
    return holders;
}

QStringList udevRuleFolders()
{
    return {QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
            QStringLiteral("/usr/lib/udev/rules.d"), QStringLiteral("/lib/udev/rules.d")};
}

QStringList modemManagerIgnoreRules(const QStringList& folders)
{
    QStringList rules;
    for (const QString& folder : folders) {
        for (const QFileInfo& info : QDir(folder).entryInfoList({QStringLiteral("*.rules")}, QDir::Files)) {
            // ModemManager's own rules set the same variable for devices it knows are not modems.
            if (info.fileName().contains(QLatin1String("mm-")))
                continue;
            QFile file(info.filePath());
            if (file.open(QIODevice::ReadOnly) && file.read(1 << 20).contains("ID_MM_DEVICE_IGNORE"))
                rules << info.canonicalFilePath();
        }
    }
    rules.removeDuplicates(); // /lib is /usr/lib on merged systems
    return rules;
}

QString busyAdvice(bool modemManager, const QStringList& ignoreRules)
{
    if (!modemManager)
        return QStringLiteral("Close the other program that uses the modem (a fax or terminal program). ModemManager "
                              "does not run now; should it take the modem at another time, a udev rule with "
                              "ENV{ID_MM_DEVICE_IGNORE}=\"1\" for the modem keeps it away (velmora-cli doctor "
                              "prints it).");
    const QString rule = ignoreRules.isEmpty()
                             ? QStringLiteral("no udev rule keeps it away yet: install Velmora's rule (%1)")
                                   .arg(InstalledUdevRule)
                             : QStringLiteral("if your modem is not among those %1 lists, add it in %2")
                                   .arg(ignoreRules.first(), LocalUdevRule);
    return QStringLiteral("ModemManager is running and holds USB modems: %1 (a line with "
                          "ENV{ID_MM_DEVICE_IGNORE}=\"1\"; velmora-cli doctor prints it), then plug the modem "
                          "in again. Or stop ModemManager: sudo systemctl disable --now ModemManager.")
        .arg(rule);
}

QString usbIdOf(const QString& device, const QString& sysRoot)
{
    const QString name = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    if (!validName(name))
        return QString();
    QString dir = QFileInfo(sysRoot + QStringLiteral("/class/tty/") + name + QStringLiteral("/device"))
                      .canonicalFilePath();
    // The USB device is an ancestor of the tty's interface.
    for (int depth = 0; depth < 6 && !dir.isEmpty() && dir != QLatin1String("/"); ++depth) {
        const QString vendor = firstLine(dir + QStringLiteral("/idVendor"));
        const QString product = firstLine(dir + QStringLiteral("/idProduct"));
        static const QRegularExpression hex4(QStringLiteral("^[0-9a-fA-F]{4}$"));
        if (hex4.match(vendor).hasMatch() && hex4.match(product).hasMatch())
            return (vendor + QLatin1Char(':') + product).toLower();
        dir = QFileInfo(dir).path();
    }
    return QString();
}

bool modemManagerIgnores(const QString& device, const QString& udevDataRoot)
{
    struct stat st{};
    if (::stat(device.toLocal8Bit().constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    QFile data(QStringLiteral("%1/c%2:%3").arg(udevDataRoot).arg(major(st.st_rdev)).arg(minor(st.st_rdev)));
    if (!data.open(QIODevice::ReadOnly))
        return false;
    while (!data.atEnd())
        if (data.readLine(MaxLine).trimmed() == "E:ID_MM_DEVICE_IGNORE=1")
            return true;
    return false;
}

QString udevRuleLine(const QString& usbId)
{
    const QStringList parts = usbId.split(QLatin1Char(':'));
    const QString vendor = parts.value(0, QStringLiteral("VVVV"));
    const QString product = parts.value(1, QStringLiteral("PPPP"));
    return QStringLiteral("SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\", "
                          "ENV{ID_MM_DEVICE_IGNORE}=\"1\", GROUP=\"dialout\", MODE=\"0660\"")
        .arg(vendor, product);
}
