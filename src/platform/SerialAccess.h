#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What decides whether this user may open a serial device, read from the
// system as it is, so the error texts and the doctor can say what to do.

inline const QString SerialGroup = QStringLiteral("dialout");
inline const QString InstalledUdevRule = QStringLiteral("/lib/udev/rules.d/60-velmora.rules");
inline const QString LocalUdevRule = QStringLiteral("/etc/udev/rules.d/61-velmora-local.rules");

struct UserGroups
{
    QString user;
    bool root = false;
    uint primaryGid = 0;
    QList<uint> sessionGids; // the groups this process runs with
};
UserGroups currentUserGroups();

struct GroupMembership
{
    bool groupExists = false;
    bool listed = false;    // in the group file (or the user's primary group)
    bool inSession = false; // counts for this process: listed before this login began
};
GroupMembership groupMembership(const QString& group, const UserGroups& user,
                                const QString& groupFile = QStringLiteral("/etc/group"));

// The group that owns the device; the serial group when it cannot be read.
QString deviceGroup(const QString& device);

// What to do about a permission refused on a device of that group.
QString permissionAdvice(const QString& group, const GroupMembership& membership, const QString& user);

// Whether a process of that command name runs (its /proc/PID/comm), this one aside.
bool processRunning(const QString& command, const QString& procRoot = QStringLiteral("/proc"));
bool modemManagerRunning(const QString& procRoot = QStringLiteral("/proc"));
// The command names of the processes that have the device open, this one
// aside (only processes whose descriptors we may read: our own, or all as root).
QStringList deviceHolders(const QString& device, const QString& procRoot = QStringLiteral("/proc"));

// udev's rule folders, the administrator's first.
QStringList udevRuleFolders();
// The rule files that keep ModemManager away from a device (ID_MM_DEVICE_IGNORE).
QStringList modemManagerIgnoreRules(const QStringList& folders = udevRuleFolders());

// What to do about a device another program holds.
QString busyAdvice(bool modemManager, const QStringList& ignoreRules);

// USB vendor and product of a device as "0572:1340", empty when it is not on USB.
QString usbIdOf(const QString& device, const QString& sysRoot = QStringLiteral("/sys"));
// Whether udev marked the device for ModemManager to leave alone.
bool modemManagerIgnores(const QString& device, const QString& udevDataRoot = QStringLiteral("/run/udev/data"));

// The line to add to the local rule for a modem of that USB id.
QString udevRuleLine(const QString& usbId);
