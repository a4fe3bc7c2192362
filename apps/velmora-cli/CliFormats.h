#pragma once

#include "audio/WaveFormat.h"

#include <QString>
#include <QStringList>
#include <optional>

// pcm:RATE:BITS:CHANNELS, alaw:RATE:CHANNELS, ulaw:RATE:CHANNELS,
// ima:RATE:CHANNELS or gsm:RATE:1.
std::optional<TdeWaveFormat> parseFormatSpec(const QString& spec);
