#include "FileSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <stdlib.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool syncFile(const QString& path)
{
    return syncPath(path, O_RDONLY);
}

bool syncFolder(const QString& path)
{
    return syncPath(path, O_RDONLY | O_DIRECTORY);
}

bool replaceFile(const QString& path, const QByteArray& content, QString* error)
{
    const QFileInfo info(path);
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    QDir().mkpath(QFileInfo(target).absolutePath());
    QByteArray temp = QFile::encodeName(target) + ".new-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    bool ok = fd >= 0;
    if (ok) {
        struct stat old;
        if (::stat(QFile::encodeName(target).constData(), &old) == 0)
            ::fchmod(fd, old.st_mode & 07777);
        QFile file;
        ok = file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)
             && file.write(content) == content.size() && file.flush() && ::fsync(fd) == 0;
        file.close();
        ::close(fd);
        ok = ok && ::rename(temp.constData(), QFile::encodeName(target).constData()) == 0;
    }
    if (!ok) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0)
            ::unlink(temp.constData());
        return false;
    }
    syncFolder(QFileInfo(target).absolutePath());
    return true;
}
