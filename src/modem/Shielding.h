#pragma once

#include <QByteArray>
#include <QByteArrayView>

// DLE shielding of voice data (V.253), both ways.

// Received voice data as the modem shields it: DLE DLE is one data byte
// 0x10; DLE and any other code of ShieldedCodes is an event and leaves the
// data; a DLE before a byte outside that set, or at the very end, stays data.
QByteArray StripShielding(QByteArrayView data);

// Voice data for the line: every data byte 0x10 goes out as DLE DLE, so the
// modem never takes a sample for the start of a command.
QByteArray ShieldVoiceData(QByteArrayView data);
// The same into `out`, which holds at least 2 * size bytes; returns how many
// were written. Allocates nothing.
qsizetype shieldVoiceData(const char* data, qsizetype size, char* out);
