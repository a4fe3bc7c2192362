#pragma once

#include "modem/CompressionRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class TdeAudioConvertor;
class Tcodec;

// The row of the modem sample formats (Tcodec) that decodes a compression.
struct ModemCodecRow
{
    const char* name; // the Tcodec member's name, e.g. "pcm_8000_8"
    TdeAudioConvertor Tcodec::* convertor;
};

// The first row for this normalised name, width and rate (8 kHz only):
// 8-bit unsigned PCM, 16-bit PCM of either sign, 8-bit mu-law or A-law,
// 4-bit IMA ADPCM. None for, e.g., 8-bit signed PCM.
const ModemCodecRow* modemCodecRow(const QString& desc, int bits, int rate);
// The same for a record, whose width and rate are texts.
const ModemCodecRow* modemCodecRow(const CompressionRecord& record);

// The record to record with, by preference: 8-bit unsigned PCM, 8-bit
// signed PCM, 8-bit mu-law, 8-bit A-law, 16-bit signed then unsigned PCM,
// IMA ADPCM, 4-bit ADPCM; within a preference the first record listed.
//
// A record that some codec row decodes is preferred over an earlier
// preference that none does (a modem offering 8-bit signed PCM and mu-law
// records in mu-law rather than not at all); only when no offered record is
// decodable does the plain preference order choose. None when no record
// matches any preference.
std::optional<int> chooseCompressionIndex(const QList<CompressionRecord>& records);

// The name of the row whose format is stored in `formatBlock` (the 512-byte
// "Bin" of the modem compression); empty when none is.
QString modemCodecName(const QByteArray& formatBlock);
