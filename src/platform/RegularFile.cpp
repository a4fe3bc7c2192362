#include "platform/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int checkFlags(QIODevice::OpenMode mode)
{
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (mode & QIODevice::WriteOnly) {
        flags |= O_WRONLY; // a FIFO without a reader then fails at once
        if (!(mode & QIODevice::ExistingOnly))
            flags |= O_CREAT;
    } else {
        flags |= O_RDONLY;
    }
    return flags;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

// Qt keeps the name only when it opens by name, so the file is checked
// without blocking first and the one Qt opened must be the same.
bool RegularFile::open(OpenMode mode)
{
    const int probe = ::open(QFile::encodeName(fileName()).constData(), checkFlags(mode), 0666);
    if (probe < 0) {
        setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat checked{};
    const bool regular = ::fstat(probe, &checked) == 0 && S_ISREG(checked.st_mode);
    ::close(probe);
    if (!regular) {
        setErrorString(QStringLiteral("not a regular file"));
        return false;
    }
    if (!QFile::open(mode))
        return false;
    struct stat opened{};
    if (::fstat(handle(), &opened) != 0 || !sameFile(opened, checked)) {
        close();
        setErrorString(QStringLiteral("the file was replaced while it was opened"));
        return false;
    }
    return true;
}
