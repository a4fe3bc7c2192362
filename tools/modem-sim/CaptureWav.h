#pragma once

#include "Profile.h"

#include <string>

namespace sim {

// Writes what the modem received in a transmission as a WAV file: 8-bit
// PCM (signed samples made unsigned, as WAV has them), mu-law, A-law or
// 16-bit PCM as they came; IMA ADPCM decoded to 16-bit PCM. False when the
// file cannot be written.
bool writeCaptureWav(const std::string& path, Encoding encoding, int rate, const std::string& voiceBytes);

} // namespace sim
