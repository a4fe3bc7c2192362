#pragma once

#include <QString>

class Catalogue;

// Adds `count` recordings to the folder (the General folder when empty):
// varied dates, callers and memos, one in seven unheard. With `withFiles`
// each gets a short WAV file in the recordings folder.
void addSampleRecordings(Catalogue& catalogue, int count, const QString& folderKey = QString(), bool withFiles = false);
