#pragma once

#include "AudioErrors.h"

#include <QString>

// Result codes of the codec layer and the sound devices: 0 is success; the
// others are the multimedia (1-12), wave (32-35) and codec (512-514) codes
// of the published audio interface, onto which every failure is mapped.
namespace CodecResult {
constexpr int Ok = 0;
constexpr int BadDeviceId = 2;
constexpr int NoMemory = 7;
constexpr int NotSupported = 8;
constexpr int InvalidParameter = 11;
constexpr int BadFormat = 32;
constexpr int NotPossible = 512;
constexpr int Busy = 513;
constexpr int Unprepared = 514;
} // namespace CodecResult

// The error-table text of a result; prefix is empty or a caller's message
// (a line break is put after it).
QString codecErrorText(int result, const QString& prefix = {});

// Raises E with the error-table text when result is not 0.
template <typename E>
void raiseOnCodecError(int result, const QString& prefix = {})
{
    if (result != CodecResult::Ok)
        throw E(codecErrorText(result, prefix));
}
