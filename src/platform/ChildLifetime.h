#pragma once

class QProcess;

// A child the program starts ends with it, however the program ends (a
// crash or SIGKILL included): the kernel sends it SIGTERM when its parent
// dies. Call before QProcess::start.
void endWithParent(QProcess& process);
