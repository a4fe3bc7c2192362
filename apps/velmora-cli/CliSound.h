#pragma once

#include "CliCommand.h"

#include "audio/WaveFormat.h"

#include <optional>

// --device N|virtual for the sound commands: a number of the sound-devices
// list, or -1 for the system's default. Prints the error and gives nothing
// when the device does not exist or cannot play (record).
std::optional<int> takeSoundDevice(CliContext& ctx, const QString& command, CliArgs& args, bool output);
int virtualSoundDeviceNumber();
QString soundDeviceName(int number, bool output);

// What the virtual device "hears": the WAV file converted to `format`.
bool loadVirtualInput(CliContext& ctx, const QString& command, const QString& fileName,
                      const TdeWaveFormat& format);
// What the virtual device played, as a WAV file in the format it was played in.
bool saveVirtualOutput(CliContext& ctx, const QString& command, const QString& fileName);
