#pragma once

#include <QString>

// A recording as Opus in Ogg for a mail: speech at a low rate, so a minute
// is a few tens of kB.
namespace opusattachment {

inline constexpr int BitsPerSecond = 6000;

// Writes `outPath` from the WAV file (any format the codec layer reads);
// written beside it and renamed when complete. False with *error.
bool encode(const QString& wavPath, const QString& outPath, QString* error);

} // namespace opusattachment
