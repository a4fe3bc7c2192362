#include "FileSync.h"

#include <QFile>
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
