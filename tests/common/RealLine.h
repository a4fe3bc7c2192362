#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// Real recordings as a telephone line delivers them: band-limited by sox
// to 300-3400 Hz at a chosen peak level, then, when asked, the line's own
// noise (white noise at about -55 dBFS, 50 Hz hum), as 8 kHz 8-bit
// unsigned samples.
namespace realline {

// Recorded prompts of one speaker, Debian's asterisk-prompt-es-co;
// empty when the package is missing.
QStringList spokenPrompts();
// A recording kept with the tests (tests/data/linedsp).
QString excerpt(const QString& name);

// The files back to back, peak at `peakDbfs`, trimmed to `seconds` when
// above 0, then `padSeconds` of the line alone; empty when sox fails.
std::vector<uint8_t> onLine(const QStringList& files, double peakDbfs, bool noise, double seconds = 0,
                            double padSeconds = 0);

} // namespace realline
