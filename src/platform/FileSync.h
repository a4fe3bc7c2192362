#pragma once

#include <QByteArray>
#include <QString>

class QSaveFile;

// fsync for a file and for a folder (after a rename or a new file in it),
// so a change survives a power loss, not only a crash of the process.
bool syncFile(const QString& path);
bool syncFolder(const QString& path);

// Replaces a file's content in one step (a new file beside it, synced, then
// renamed over it), keeping its permissions; a symbolic link keeps pointing
// at the new content. Returns false with *error set on failure; the old
// file is then unchanged.
bool replaceFile(const QString& path, const QByteArray& content, QString* error);

// Flushes, syncs and commits a file written through QSaveFile, then syncs
// its folder. False when any step failed; the file's errorString() says why.
bool commitSynced(QSaveFile& file);
