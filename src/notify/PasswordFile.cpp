#include "notify/PasswordFile.h"

#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace passwordfile {

bool read(const QString& path, QString* password, QString* error)
{
    const QFileInfo info(path);
    if (path.trimmed().isEmpty() || !info.isFile()) {
        *error = QStringLiteral("No password file %1").arg(path);
        return false;
    }
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    if ((info.permissions() & others) || info.ownerId() != ::getuid()) {
        *error = QStringLiteral("The password file %1 is open to other users; only its owner may read it "
                                "(chmod 600)").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read the password file %1: %2").arg(path, file.errorString());
        return false;
    }
    *password = QString::fromUtf8(file.readLine(4096)).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return true;
}

} // namespace passwordfile
