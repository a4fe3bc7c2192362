#include "platform/FileSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
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

bool writeAll(int fd, const QByteArray& data)
{
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
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
    int failure = ok ? 0 : errno;
    if (ok) {
        struct stat old;
        if (::stat(QFile::encodeName(target).constData(), &old) == 0)
            ::fchmod(fd, old.st_mode & 07777);
        ok = writeAll(fd, content) && ::fsync(fd) == 0;
        failure = ok ? 0 : errno;
        ::close(fd);
        if (ok && ::rename(temp.constData(), QFile::encodeName(target).constData()) != 0) {
            ok = false;
            failure = errno;
        }
    }
    if (!ok) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(target, QString::fromLocal8Bit(std::strerror(failure)));
        if (fd >= 0)
            ::unlink(temp.constData());
        return false;
    }
    syncFolder(QFileInfo(target).absolutePath());
    return true;
}

bool commitSynced(QSaveFile& file)
{
    if (!file.flush() || ::fdatasync(file.handle()) != 0 || !file.commit())
        return false;
    syncFolder(QFileInfo(file.fileName()).absolutePath());
    return true;
}
