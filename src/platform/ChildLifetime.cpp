#include "platform/ChildLifetime.h"

#include <QProcess>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

void endWithParent(QProcess& process)
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        // Only async-signal-safe calls here: this runs between fork and exec.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) // the parent died before the line above
            ::_exit(1);
    });
}
