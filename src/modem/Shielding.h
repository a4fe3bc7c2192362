#pragma once

#include <QByteArray>

// Removes every DLE pair whose code is in ShieldedCodes, both bytes of it,
// DLE DLE included; a DLE followed by any other byte stays. Used on received
// voice data and on audio before it is sent to the line.
QByteArray StripShielding(QByteArray data);

// The same in place, without allocating; returns the new length.
qsizetype stripShieldingInPlace(char* data, qsizetype size);
