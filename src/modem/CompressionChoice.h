#pragma once

#include "audio/WaveFormat.h"
#include "modem/CompressionRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The codec format that decodes a modem compression, and its name
// ("pcm_8000_8", "uLaw_7200_8").
struct ModemCodec
{
    QString name;
    TdeWaveFormat format;
};

// The codec format for this normalised name, width and rate: 8-bit unsigned
// PCM; 8-bit signed PCM (the receive path makes its samples unsigned, so it
// records as 8-bit unsigned PCM); 16-bit PCM of either sign; 8-bit mu-law or
// A-law; 4-bit IMA ADPCM; each at any rate the codec layer resamples from
// (7200, 8000, 11025, ...). None for other compressions.
std::optional<ModemCodec> modemCodecFor(const QString& desc, int bits, int rate);
// The same for a record, whose width and rate are texts.
std::optional<ModemCodec> modemCodecFor(const CompressionRecord& record);

// The record to record with, by preference: 8-bit unsigned PCM, 8-bit
// signed PCM, 8-bit mu-law, 8-bit A-law, 16-bit signed then unsigned PCM,
// IMA ADPCM, 4-bit ADPCM; within a preference the first record listed.
//
// A record that some codec decodes is preferred over an earlier preference
// that none does; only when no offered record is decodable does the plain
// preference order choose. None when no record matches any preference.
std::optional<int> chooseCompressionIndex(const QList<CompressionRecord>& records);

// The name of the codec format stored in `formatBlock` (the 512-byte "Bin"
// of the modem compression); empty when it is none of them.
QString modemCodecName(const QByteArray& formatBlock);
