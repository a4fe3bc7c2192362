#pragma once

#include <QString>

// fsync for a file and for a folder (after a rename or a new file in it),
// so a change survives a power loss, not only a crash of the process.
bool syncFile(const QString& path);
bool syncFolder(const QString& path);
