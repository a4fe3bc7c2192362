#pragma once

#include "modem/CompressionRecord.h"

#include <QString>

// Reading one line of a modem's answer to AT+VSM=? into a compression record.
//
// Real modems write these lines in many shapes: with or without "+VSM:", in
// either letter case, separated by commas or (old modems) semicolons, the
// rates bare, in parentheses or not given at all:
//   +VSM: 128,"8-BIT LINEAR",8,0,(7200,8000,11025),(0),(0)
//   128,"8-BIT LINEAR",(7200,8000,11025)
//   +vsm: 1,"unsigned pcm",8,0,8000,0,0
//   128;"8-BIT LINEAR";8;0;(7200,8000)
// Fields are split at separators outside parentheses and quotes. Lines of
// 3, 5 or 7 fields carry a rate list; lines of 2 or 4 fields (cml, cmid and
// perhaps bps and tm) name no rate, and get the standard 8000 samples/s.
//
// Returns false, with the record cleared, for a line that is not a
// compression the system can name (an echo, "OK", "CELP", a garbled line).
bool ParseVsmLine(const QString& line, CompressionRecord& record);

// The sample rate to ask for, out of a rate list given as text ("8000",
// "7200,8000,11025"): 8000 first for 8-bit and narrower samples, 7200 first
// for 12 and 16 bits. Empty when none of the known rates is offered or the
// bit width is not one of those.
QString PickRate(const QString& bits, const QString& rates);

// "at+vsm=" followed by cml, vsr, sds and sel, the empty ones left out.
// Parameters of an AT command are always separated by commas (a semicolon
// would start a new command), whatever separator the modem's list used.
QString BuildVsmCommand(const CompressionRecord& record);
